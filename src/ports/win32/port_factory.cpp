#include "platform/http.h"
#include "platform/port.h"
#include "ports/win32/url_moniker_downloader.h"
#include "ports/win32/win32_files.h"
#include "ports/win32/win32_system.h"
#include "ports/win32/winhttp_client.h"
#include "ports/win32/wininet_login_client.h"

namespace zeva {

std::unique_ptr<IFileSystem> CreateFileSystem() {
  return std::make_unique<win32::Win32FileSystem>();
}
std::unique_ptr<ITextCodec> CreateTextCodec() {
  return std::make_unique<win32::Win32Codec>();
}
std::unique_ptr<INetworkAdapters> CreateNetworkAdapters() {
  return std::make_unique<win32::Win32Adapters>();
}
std::unique_ptr<ISingleInstance> CreateSingleInstance() {
  return std::make_unique<win32::MutexInstance>();
}
std::unique_ptr<IRegistry> CreateRegistry() {
  return std::make_unique<win32::Win32Registry>();
}
std::unique_ptr<IShell> CreateShell() {
  return std::make_unique<win32::Win32Shell>();
}
std::unique_ptr<IAutostart> CreateAutostart() {
  return std::make_unique<win32::Win32Autostart>();
}

std::unique_ptr<ILoginClient> CreateLoginClient() {
  return std::make_unique<win32::WinInetLoginClient>();
}
// The moniker keeps its own limits; the options are the other transport's.
std::unique_ptr<IFileDownloader> CreateFileDownloader(const HttpClientOptions&) {
  return std::make_unique<win32::UrlMonikerDownloader>();
}

std::unique_ptr<IDiskSpace> CreateDiskSpace() {
  return std::make_unique<win32::Win32DiskSpace>();
}

std::unique_ptr<IHttpClient> CreateHttpClient(const HttpClientOptions& options) {
  return win32::CreateWinHttpClient(options);
}

}  // namespace zeva
