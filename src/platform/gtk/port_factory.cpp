#include "platform/gtk/curl_http_client.h"
#include "platform/gtk/iconv_codec.h"
#include "platform/gtk/lock_file_instance.h"
#include "platform/gtk/posix_adapters.h"
#include "platform/gtk/posix_files.h"
#include "platform/gtk/posix_shell.h"
#include "platform/gtk/wine_registry.h"
#include "platform/http.h"
#include "platform/port.h"

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

std::unique_ptr<IHttpClient> CreateHttpClient(const HttpClientOptions& options) {
  return posix::CreateCurlHttpClient(options);
}

}  // namespace zeva
