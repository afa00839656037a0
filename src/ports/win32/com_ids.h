// Interface and command-group identifiers that mingw's libuuid does not define.
#pragma once

#include <windows.h>

namespace zeva::win32 {

// IDocHostShowUI.
inline constexpr IID kIidDocHostShowUI = {
    0xC4D244B0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
// The command group in which the browser asks its host about script errors and messages.
inline constexpr GUID kCgidDocHostCommandHandler = {
    0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};

}  // namespace zeva::win32
