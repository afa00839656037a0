#include "platform/http.h"
#include "platform/port.h"
#include "ports/posix/curl_file_downloader.h"
#include "ports/posix/curl_http_client.h"
#include "ports/posix/curl_login_client.h"
#include "ports/posix/iconv_codec.h"
#include "ports/posix/lock_file_instance.h"
#include "ports/posix/posix_adapters.h"
#include "ports/posix/posix_files.h"
#include "ports/posix/posix_shell.h"
#include "ports/posix/wine_registry.h"
#include "ports/posix/xdg_autostart.h"

namespace zeva {

std::unique_ptr<IFileSystem> CreateFileSystem() {
  return std::make_unique<posix::PosixFileSystem>();
}
std::unique_ptr<ITextCodec> CreateTextCodec() {
  return std::make_unique<posix::IconvCodec>();
}
std::unique_ptr<INetworkAdapters> CreateNetworkAdapters() {
  return std::make_unique<posix::PosixAdapters>();
}
std::unique_ptr<ISingleInstance> CreateSingleInstance() {
  return std::make_unique<posix::LockFileInstance>();
}
std::unique_ptr<IRegistry> CreateRegistry() {
  return std::make_unique<posix::WineRegistry>();
}
std::unique_ptr<IShell> CreateShell() {
  return std::make_unique<posix::PosixShell>();
}
std::unique_ptr<IAutostart> CreateAutostart() {
  return std::make_unique<posix::XdgAutostart>();
}

std::unique_ptr<ILoginClient> CreateLoginClient() {
  return std::make_unique<posix::CurlLoginClient>();
}
std::unique_ptr<IFileDownloader> CreateFileDownloader(const HttpClientOptions& options) {
  return std::make_unique<posix::CurlFileDownloader>(options);
}

std::unique_ptr<IDiskSpace> CreateDiskSpace() {
  return std::make_unique<posix::PosixDiskSpace>();
}

std::unique_ptr<IHttpClient> CreateHttpClient(const HttpClientOptions& options) {
  return posix::CreateCurlHttpClient(options);
}

}  // namespace zeva
