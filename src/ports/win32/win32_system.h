// The small Windows services: code page, adapters, the single-instance mutex, windows,
// message boxes, the shell and the user-interface libraries.
#pragma once

#include <cstdint>

#include "platform/adapters.h"
#include "platform/autostart.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/single_instance.h"
#include "platform/text_codec.h"
#include "platform/toolkit.h"
#include "platform/window_system.h"

namespace zeva::win32 {

class Win32Codec final : public ITextCodec {
 public:
  std::u16string AnsiToUtf16(std::string_view bytes) override;
  std::string Utf16ToAnsi(std::u16string_view text) override;
};

class Win32Adapters final : public INetworkAdapters {
 public:
  std::optional<HardwareAddress> FirstAdapterAddress() override;
};

class MutexInstance final : public ISingleInstance {
 public:
  // The mutex is never closed: it keeps later starts out while this process runs.
  InstanceLock Acquire(std::u16string_view name) override;
};

class Win32WindowSystem final : public IWindowSystem {
 public:
  WindowHandle FindTopLevelWindow(std::u16string_view title) override;
  bool SetForeground(WindowHandle window) override;
  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override;
  bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
  int SetShowState(WindowHandle window, int command) override;
  bool IsMaximized(WindowHandle window) override;
  WindowHandle ActiveWindow() override;
  // WM_SETTEXT with a time-out: a hung program cannot hold the caller for ever.
  bool SetWindowTitle(WindowHandle window, std::u16string_view title) override;
};

class Win32Registry final : public IRegistry {
 public:
  std::optional<std::u16string> ReadString(RegistryRoot root, std::u16string_view keyPath,
                                           std::u16string_view valueName) override;
};

// The current user's Run key.
class Win32Autostart final : public IAutostart {
 public:
  bool Register(const AutostartEntry& entry) override;
  bool Unregister(std::u16string_view name) override;
};

class Win32Dialogs final : public IDialogs {
 public:
  int ShowMessageBox(uint32_t owner, const std::u16string& text, const std::u16string& caption,
                     uint32_t style) override;
  int ShowRenamedMessageBox(uint32_t owner, const std::u16string& text,
                            const std::u16string& caption, uint32_t style,
                            const std::vector<std::u16string>& buttonTexts) override;
  std::optional<std::u16string> PickFolder(uint32_t owner, const std::u16string& prompt,
                                           const std::u16string& startFolder) override;
};

class Win32Shell final : public IShell {
 public:
  bool Execute(const std::u16string& verb, const std::u16string& file,
               const std::u16string& parameters, const std::u16string& folder, int show) override;
  bool IsProgramRunning(std::u16string_view name) override;
};

class Win32Toolkit final : public IToolkit {
 public:
  bool Start() override;
  void Stop() override;

 private:
  uintptr_t m_gdiplusToken = 0;
  bool m_oleStarted = false;
};

}  // namespace zeva::win32
