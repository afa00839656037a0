// Window messages the client's windows exchange, with their Windows numbers (both ports
// translate their native events into these).
#pragma once

#include <cstdint>

namespace zeva {

inline constexpr uint32_t kWmClose = 0x0010;
// The window is being shown (wParam 1) or hidden (0), whoever asked for it.
inline constexpr uint32_t kWmShowWindow = 0x0018;
inline constexpr uint32_t kWmCommand = 0x0111;
inline constexpr uint32_t kWmSysCommand = 0x0112;
// The system move started from the caption (SC_MOVE with the caption hit code).
inline constexpr uintptr_t kScMoveFromCaption = 0xF012;

// The main window's own messages (WM_USER + 1001 ... + 1005).
inline constexpr uint32_t kWmTrayNotify = 2025;
inline constexpr uint32_t kWmOpenSettings = 2026;
inline constexpr uint32_t kWmStartWindowMode = 2027;
inline constexpr uint32_t kWmUpdateCheck = 2028;
inline constexpr uint32_t kWmAccelerator = 2029;
// Posted by the main window to itself when the self-update hands over: its run ends after
// the current message, as a posted quit would end it (WM_USER + 1006).
inline constexpr uint32_t kWmQuitClient = 2030;

// The download dialog's worker to its window (WM_USER + 1101, + 1102): the bar's new
// position; the download's end (wParam: 1 the file is in place, 0 it failed).
inline constexpr uint32_t kWmDownloadProgress = 2125;
inline constexpr uint32_t kWmDownloadEnded = 2126;

}  // namespace zeva
