#include "platform/win32/win32_system.h"

#include <windows.h>
// After windows.h; GDI+ needs the OLE types that the lean windows.h leaves out.
#include <commctrl.h>
#include <iphlpapi.h>
#include <ole2.h>
#include <shellapi.h>
//
#include <gdiplus.h>

#include <vector>

#include "platform/win32/wide.h"

namespace zeva::win32 {

std::u16string Win32Codec::AnsiToUtf16(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), length);
  return FromWide(text);
}

std::string Win32Codec::Utf16ToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  const std::wstring wide = Wide(text);
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::optional<HardwareAddress> Win32Adapters::FirstAdapterAddress() {
  // Room for 16 adapters first; a machine with more gets a buffer of the size it asks for,
  // so its first adapter is still the one reported.
  ULONG size = 16 * sizeof(IP_ADAPTER_INFO);
  std::vector<unsigned char> buffer(size);
  ULONG result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  if (result == ERROR_BUFFER_OVERFLOW) {
    buffer.resize(size);
    result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  if (result != ERROR_SUCCESS) return std::nullopt;
  const auto* first = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
  HardwareAddress address{};
  for (size_t i = 0; i < address.size(); ++i) address[i] = first->Address[i];
  return address;
}

InstanceLock MutexInstance::Acquire(std::u16string_view name) {
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, Wide(name).c_str());
  const DWORD error = ::GetLastError();
  if (!mutex) return InstanceLock::kFailed;
  return error == ERROR_ALREADY_EXISTS ? InstanceLock::kAlreadyExists : InstanceLock::kAcquired;
}

WindowHandle Win32WindowSystem::FindTopLevelWindow(std::u16string_view title) {
  const HWND window = ::FindWindowW(nullptr, Wide(title).c_str());
  return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(window));
}

bool Win32WindowSystem::SetForeground(WindowHandle window) {
  return ::SetForegroundWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(window))) != FALSE;
}

int Win32Dialogs::ShowMessageBox(uint32_t owner, const std::u16string& text,
                                 const std::u16string& caption, uint32_t style) {
  return ::MessageBoxW(reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)), Wide(text).c_str(),
                       Wide(caption).c_str(), style);
}

bool Win32Shell::Execute(const std::u16string& verb, const std::u16string& file,
                         const std::u16string& parameters, const std::u16string& folder, int show) {
  const std::wstring wideVerb = Wide(verb), wideFile = Wide(file),
                     wideParameters = Wide(parameters), wideFolder = Wide(folder);
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, wideVerb.empty() ? nullptr : wideVerb.c_str(), wideFile.c_str(),
                      wideParameters.empty() ? nullptr : wideParameters.c_str(),
                      wideFolder.empty() ? nullptr : wideFolder.c_str(), show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool Win32Toolkit::Start() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
  ::InitCommonControlsEx(&controls);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  const bool gdiplus = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  m_gdiplusToken = gdiplus ? token : 0;
  // The web browser control needs OLE on this thread.
  m_oleStarted = SUCCEEDED(::OleInitialize(nullptr));
  return gdiplus;
}

void Win32Toolkit::Stop() {
  if (m_gdiplusToken) Gdiplus::GdiplusShutdown(m_gdiplusToken);
  m_gdiplusToken = 0;
  if (m_oleStarted) ::OleUninitialize();
  m_oleStarted = false;
}

}  // namespace zeva::win32
