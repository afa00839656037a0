#include "ports/win32/win32_system.h"

#include <windows.h>
// After windows.h; GDI+ needs the OLE types that the lean windows.h leaves out.
#include <commctrl.h>
#include <iphlpapi.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
//
#include <gdiplus.h>

#include <vector>

#include "host/origin.h"
#include "ports/win32/wide.h"

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

namespace {

HWND ToHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

}  // namespace

intptr_t Win32WindowSystem::SendWindowMessage(WindowHandle window, uint32_t message,
                                              uintptr_t wParam, intptr_t lParam) {
  return ::SendMessageW(ToHwnd(window), message, wParam, lParam);
}

bool Win32WindowSystem::PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                          intptr_t lParam) {
  return ::PostMessageW(ToHwnd(window), message, wParam, lParam) != FALSE;
}

int Win32WindowSystem::SetShowState(WindowHandle window, int command) {
  return ::ShowWindow(ToHwnd(window), command);
}

bool Win32WindowSystem::IsMaximized(WindowHandle window) {
  return ::IsZoomed(ToHwnd(window)) != FALSE;
}

WindowHandle Win32WindowSystem::ActiveWindow() {
  return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(::GetActiveWindow()));
}

bool Win32WindowSystem::SetWindowTitle(WindowHandle window, std::u16string_view title) {
  const HWND target = ToHwnd(window);
  if (!::IsWindow(target)) return false;
  const std::wstring text = Wide(title);
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &result) != 0 &&
         result != 0;
}

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

bool Win32Autostart::Register(const AutostartEntry& entry) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // The program's path as it is, without quotation marks.
  const std::wstring data = Wide(entry.program);
  const LONG status = ::RegSetValueExW(key, Wide(entry.name).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(data.c_str()),
                                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool Win32Autostart::Unregister(std::u16string_view name) {
  HKEY key = nullptr;
  const LONG opened = ::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  const LONG status = ::RegDeleteValueW(key, Wide(name).c_str());
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

std::optional<std::u16string> Win32Registry::ReadString(RegistryRoot root,
                                                        std::u16string_view keyPath,
                                                        std::u16string_view valueName) {
  static const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                                HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG};
  const auto index = static_cast<size_t>(root);
  if (index >= std::size(kRoots)) return std::nullopt;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(kRoots[index], Wide(keyPath).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::wstring name = Wide(valueName);
  std::vector<wchar_t> buffer(4096, L'\0');
  std::optional<std::u16string> result;
  // Values of any length: the buffer grows to what the value needs.
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status == ERROR_MORE_DATA) {
      buffer.assign(size / sizeof(wchar_t) + 2, L'\0');
      continue;
    }
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
      const size_t units = size / sizeof(wchar_t);
      std::wstring_view text(buffer.data(), std::min(units, buffer.size()));
      text = text.substr(0, text.find(L'\0'));
      result = FromWide(text);
    }
    break;
  }
  ::RegCloseKey(key);
  return result;
}

namespace {

int CALLBACK SelectStartFolder(HWND picker, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED) ::SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, folder);
  return 0;
}

}  // namespace

std::optional<std::u16string> Win32Dialogs::PickFolder(uint32_t owner, const std::u16string& prompt,
                                                       const std::u16string& startFolder) {
  const std::wstring title = Wide(prompt);
  const std::wstring start = Wide(startFolder);
  BROWSEINFOW info{};
  info.hwndOwner = ToHwnd(owner);
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  if (!start.empty()) {
    // Once the picker is up, it selects the start folder (a missing one selects nothing).
    info.lpfn = &SelectStartFolder;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  }
  PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&info);
  if (!item) return std::nullopt;
  std::vector<wchar_t> path(32768, L'\0');
  const bool ok = ::SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()),
                                          GPFIDL_DEFAULT) != FALSE;
  ::CoTaskMemFree(item);
  // An item without a file-system path: the launcher test then fails on the empty path.
  return ok ? FromWide(path.data()) : std::u16string();
}

int Win32Dialogs::ShowMessageBox(uint32_t owner, const std::u16string& text,
                                 const std::u16string& caption, uint32_t style) {
  return ::MessageBoxW(reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)), Wide(text).c_str(),
                       Wide(caption).c_str(), style);
}

namespace {

// The box being renamed on this thread: a CBT hook sees it activate and renames its buttons
// before it is drawn.
thread_local const std::vector<std::u16string>* t_buttonTexts = nullptr;
thread_local HHOOK t_renameHook = nullptr;

LRESULT CALLBACK RenameButtons(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && t_buttonTexts) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    size_t next = 0;
    // The box's buttons in creation order are its buttons from left to right.
    for (HWND child = ::GetWindow(box, GW_CHILD); child && next < t_buttonTexts->size();
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      wchar_t className[16] = {};
      ::GetClassNameW(child, className, 16);
      if (::lstrcmpiW(className, L"Button") != 0) continue;
      ::SetWindowTextW(child, Wide((*t_buttonTexts)[next++]).c_str());
    }
    t_buttonTexts = nullptr;  // once: nested boxes keep their own texts
  }
  return ::CallNextHookEx(t_renameHook, code, wParam, lParam);
}

}  // namespace

int Win32Dialogs::ShowRenamedMessageBox(uint32_t owner, const std::u16string& text,
                                        const std::u16string& caption, uint32_t style,
                                        const std::vector<std::u16string>& buttonTexts) {
  if (buttonTexts.empty()) return ShowMessageBox(owner, text, caption, style);
  t_buttonTexts = &buttonTexts;
  t_renameHook = ::SetWindowsHookExW(WH_CBT, &RenameButtons, nullptr, ::GetCurrentThreadId());
  const int answer = ShowMessageBox(owner, text, caption, style);
  if (t_renameHook) ::UnhookWindowsHookEx(t_renameHook);
  t_renameHook = nullptr;
  t_buttonTexts = nullptr;
  return answer;
}

namespace {

// How long a page's handler has to show that it gave up (ended with an error) before the
// page counts as opened.
constexpr DWORD kHandlerVerdict = 1000;

}  // namespace

bool Win32Shell::Execute(const std::u16string& verb, const std::u16string& file,
                         const std::u16string& parameters, const std::u16string& folder, int show) {
  const std::wstring wideVerb = Wide(verb), wideFile = Wide(file),
                     wideParameters = Wide(parameters), wideFolder = Wide(folder);
  if (!IsWebAddress(file)) {
    const HINSTANCE result =
        ::ShellExecuteW(nullptr, wideVerb.empty() ? nullptr : wideVerb.c_str(), wideFile.c_str(),
                        wideParameters.empty() ? nullptr : wideParameters.c_str(),
                        wideFolder.empty() ? nullptr : wideFolder.c_str(), show);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
  // A web page goes to whatever handles the scheme. A handler that starts and gives up at
  // once (Wine's winebrowser with no browser behind it) opened nothing: that is a failure,
  // not an open page. A browser that keeps running, or hands over to a running one and
  // ends well, opened it.
  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof request;
  request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  request.lpVerb = wideVerb.empty() ? nullptr : wideVerb.c_str();
  request.lpFile = wideFile.c_str();
  request.lpParameters = wideParameters.empty() ? nullptr : wideParameters.c_str();
  request.lpDirectory = wideFolder.empty() ? nullptr : wideFolder.c_str();
  request.nShow = show;
  if (!::ShellExecuteExW(&request)) return false;
  if (!request.hProcess) return true;  // handed over without a process of its own
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(request.hProcess, kHandlerVerdict) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(request.hProcess, &code);
  }
  ::CloseHandle(request.hProcess);
  return code == STILL_ACTIVE || code == 0;
}

bool Win32Shell::IsProgramRunning(std::u16string_view name) {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  const std::wstring wanted = Wide(std::u16string(name));
  const DWORD self = ::GetCurrentProcessId();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
       more = ::Process32NextW(snapshot, &entry)) {
    found = entry.th32ProcessID != self && wanted == entry.szExeFile;
  }
  ::CloseHandle(snapshot);
  return found;
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
