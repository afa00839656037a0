// The browser control of the GTK port: a WebKit view whose pages get a synchronous
// window.external (through the web-process extension) and whose OnDownloadProgress the
// client can call from any thread.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/external_dispatcher.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

namespace zeva::gtk {

struct BrowserLink;

class WebKitBrowser {
 public:
  using Invoker = std::function<InvokeResult(int32_t id, std::span<const ScriptValue> args,
                                             std::u16string_view pageUrl)>;

  // `extensionFolder` holds the web-process extension alone. `owner` answers which window
  // owns the page's message boxes.
  WebKitBrowser(std::string extensionFolder, Invoker invoker, IDialogs& dialogs, IShell& shell,
                std::function<uint32_t()> owner);
  ~WebKitBrowser();
  WebKitBrowser(const WebKitBrowser&) = delete;
  WebKitBrowser& operator=(const WebKitBrowser&) = delete;

  GtkWidget* Widget() const { return GTK_WIDGET(m_view); }
  // Before the first navigation: false hides the page's scroll bars.
  void SetScrollBars(bool shown);
  void Navigate(const std::u16string& url);
  void LoadHtml(const std::string& html, const std::string& baseUrl);

 private:
  static gboolean OnListen(gint fd, GIOCondition condition, gpointer self);
  static gboolean OnReadable(gint fd, GIOCondition condition, gpointer self);
  void ApplyStyle();
  bool HandleFrame(int fd, const std::vector<char>& frame);
  ScriptValue Decode(GVariant* tagged);

  std::string m_extensionFolder;
  Invoker m_invoker;
  IDialogs& m_dialogs;
  IShell& m_shell;
  std::function<uint32_t()> m_owner;
  std::shared_ptr<BrowserLink> m_link;
  WebKitWebContext* m_context = nullptr;
  WebKitWebView* m_view = nullptr;
  WebKitUserContentManager* m_content = nullptr;
  bool m_scrollBars = false;
  int m_listenFd = -1;
  guint m_listenSource = 0;
  struct Connection {
    int fd;
    guint source;
    std::vector<char> buffer;
  };
  std::vector<Connection> m_connections;
  std::string m_socketName;
};

}  // namespace zeva::gtk
