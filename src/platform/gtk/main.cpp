// The GTK port's program: wires the port's services to the core and runs the client.
#include <unistd.h>

#include <string>

#include "app/main_window.h"
#include "app/zeva_app.h"
#include "download/download_engine.h"
#include "host/external_dispatcher.h"
#include "platform/gtk/gtk_main_window.h"
#include "platform/gtk/port_services.h"
#include "platform/http.h"
#include "platform/port.h"
#include "platform/unicode.h"
#include "res/resource_ids.h"

namespace {

// The extension lives beside the program once installed; in a build tree, where CMake put it.
std::string WebExtensionFolder(zeva::IFileSystem& files) {
  std::u16string exe = files.ExecutablePath();
  const std::string installed =
      zeva::Utf16ToUtf8(exe.substr(0, exe.rfind(u'/'))) + "/web-extension";
  if (::access((installed + "/zeva_web_extension.so").c_str(), R_OK) == 0) return installed;
  return ZEVA_BUILD_WEB_EXTENSION_DIR;
}

}  // namespace

int main() {
  using namespace zeva;
  gtk::PortServices services;
  const Platform& platform = services.platform;
  IFileSystem& files = *services.files;
  IShell& shell = *services.shell;
  IDialogs& dialogs = services.dialogs;

  return RunClient(platform, [&] {
    PageRegistration page;
    // The transport outlives the engine; the window (and its page) goes first, so a
    // transfer still reporting while the engine stops finds the page gone at once.
    const std::unique_ptr<IHttpClient> http = CreateHttpClient();
    DownloadEngine engine(platform, page, *http);
    std::unique_ptr<gtk::GtkMainWindow> window;
    ScriptHostLinks links;
    links.downloadFile = [&](std::u16string_view url, std::u16string_view name, int32_t a,
                             int32_t b) { return engine.DownloadFile(url, name, a, b); };
    links.pauseDownload = [&](int32_t a, int32_t b) { return engine.PauseDownload(a, b); };
    links.hostWindow = [&] { return window->Handle(); };
    links.mainWindow = [&] { return window->Handle(); };
    links.browserWindow = [&] { return window->Handle(); };
    ExternalDispatcher dispatcher(platform, page, links);
    const std::string extensionFolder = WebExtensionFolder(files);

    window = std::make_unique<gtk::GtkMainWindow>(*res::FindDialogTemplate(res::kMainDialog), [&] {
      return std::make_unique<gtk::WebKitBrowser>(
          extensionFolder,
          [&](int32_t id, std::span<const ScriptValue> args, std::u16string_view url) {
            return dispatcher.Invoke(id, args, url);
          },
          dialogs, shell, [&] { return window->Handle(); });
    });
    CZEVA30Dlg dialog(platform, *window);
    window->SetHandlers({[&](int id) { dialog.OnCommand(id); },
                         [&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
                           return dialog.OnMessage(message, wParam, lParam);
                         },
                         [&](int hit, int x, int y) { return dialog.OnHitTest(hit, x, y); }});
    dialog.OnInitDialog();
    window->RunModal();
    dialog.OnDestroy();
    window.reset();
  });
}
