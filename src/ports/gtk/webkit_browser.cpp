#include "ports/gtk/webkit_browser.h"

#include <glib-unix.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "host/browser_policy.h"
#include "host/origin.h"
#include "host/page_texts.h"
#include "platform/unicode.h"
#include "ports/gtk/browser_frames.h"
#include "ports/gtk/load_error.h"

namespace zeva::gtk {

// A report waiting for the page. Finished by the page's answer, by the browser going away,
// or by the waiting thread's time-out.
struct PageCall {
  std::string script;
  uint64_t generation = 0;
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool called = false;

  void Finish(bool wasCalled) {
    {
      const std::lock_guard lock(mutex);
      if (finished) return;
      finished = true;
      called = wasCalled;
    }
    done.notify_all();
  }
};

// What a page object needs of its browser, shared so that an object outliving the browser
// (the registration lives until the process ends) finds it gone instead of dangling.
struct BrowserLink {
  std::mutex mutex;
  WebKitWebView* view = nullptr;        // null once the browser is gone
  std::thread::id uiThread;             // the thread that runs the page
  std::atomic<uint64_t> generation{0};  // counts committed page loads
  std::vector<std::weak_ptr<PageCall>> pending;

  // Ends every report still waiting: the page they wait for will not answer any more.
  void Abandon() {
    std::vector<std::weak_ptr<PageCall>> calls;
    {
      const std::lock_guard lock(mutex);
      view = nullptr;
      calls.swap(pending);
    }
    for (const std::weak_ptr<PageCall>& weak : calls) {
      if (const std::shared_ptr<PageCall> call = weak.lock()) call->Finish(false);
    }
  }
};

namespace {

struct QueuedCall {
  std::shared_ptr<BrowserLink> link;
  std::shared_ptr<PageCall> call;
};

// Runs on the page's thread, from the main loop.
gboolean StartPageCall(gpointer data) {
  const auto* queued = static_cast<QueuedCall*>(data);
  WebKitWebView* view = nullptr;
  {
    const std::lock_guard lock(queued->link->mutex);
    view = queued->link->view;
  }
  if (!view || queued->link->generation.load() != queued->call->generation) {
    queued->call->Finish(false);
    return G_SOURCE_REMOVE;
  }
  webkit_web_view_evaluate_javascript(
      view, queued->call->script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer holder) {
        const auto* call = static_cast<std::shared_ptr<PageCall>*>(holder);
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        (*call)->Finish(value && jsc_value_to_boolean(value));
        if (value) g_object_unref(value);
        delete call;
      },
      new std::shared_ptr<PageCall>(queued->call));
  return G_SOURCE_REMOVE;
}

class PageObject final : public IScriptObject {
 public:
  PageObject(std::shared_ptr<BrowserLink> link, bool isDocument, bool isTop, std::u16string text)
      : m_link(std::move(link)),
        m_generation(m_link->generation.load()),
        m_isDocument(isDocument),
        m_isTop(isTop),
        m_text(std::move(text)) {}

  bool IsHtmlDocument() const override { return m_isDocument; }
  bool IsTopDocument() const override { return m_isDocument && m_isTop; }
  bool IsShown() const override { return m_link->generation.load() == m_generation; }
  std::optional<ScriptValue> DefaultValue() const override { return ScriptValue::String(m_text); }

  bool CallPageFunction(std::u16string_view name, std::span<const int32_t> args,
                        std::chrono::milliseconds wait) override {
    auto call = std::make_shared<PageCall>();
    call->generation = m_generation;
    call->script = "(function(){var f=window['" + Utf16ToUtf8(name) +
                   "'];if(typeof f!=='function')return false;f(";
    for (size_t i = 0; i < args.size(); ++i) {
      if (i) call->script += ',';
      call->script += std::to_string(args[i]);
    }
    call->script += ");return true;})()";

    bool onPageThread = false;
    {
      const std::lock_guard lock(m_link->mutex);
      if (!m_link->view) return false;
      onPageThread = std::this_thread::get_id() == m_link->uiThread;
      if (!onPageThread) {
        std::erase_if(m_link->pending, [](const auto& weak) { return weak.expired(); });
        m_link->pending.push_back(call);
      }
    }
    // Always through the main loop: never on this thread, and never waited for on the page's
    // own thread (the page may be inside a synchronous call that this report would wait on).
    g_idle_add_full(G_PRIORITY_DEFAULT, StartPageCall, new QueuedCall{m_link, call},
                    [](gpointer data) { delete static_cast<QueuedCall*>(data); });
    if (onPageThread) return true;  // queued: the page receives it right after this turn
    std::unique_lock lock(call->mutex);
    call->done.wait_for(lock, wait, [&] { return call->finished; });
    return call->finished && call->called;
  }

 private:
  std::shared_ptr<BrowserLink> m_link;
  uint64_t m_generation;
  bool m_isDocument;
  bool m_isTop;
  std::u16string m_text;
};

GVariant* Tag(const char* tag, GVariant* value) {
  return g_variant_new("(sv)", tag, value);
}

// Benchmark marks, for bench/client_bench.py only: with ZEVA_BENCH_MARKS in the environment
// the browser writes "zeva-mark NAME WALL_CLOCK_MICROSECONDS DETAIL" lines to stderr when it
// starts a navigation and when a page has loaded, and then times window.external calls inside
// the page (GetVersion, which changes nothing). Without the variable nothing of this runs.
bool BenchMarks() {
  static const bool marks = g_getenv("ZEVA_BENCH_MARKS") != nullptr;
  return marks;
}

void BenchMark(const char* name, const char* detail) {
  std::fprintf(stderr, "zeva-mark %s %" G_GINT64_FORMAT " %s\n", name, g_get_real_time(), detail);
  std::fflush(stderr);
}

// The page's navigation timing (ms after its time origin, itself on the wall clock) and the
// microseconds per call of ten batches of 500 calls (performance.now() may be coarse: batches
// keep its steps small).
constexpr char kBenchProbe[] =
    "(function(){var n=performance.getEntriesByType('navigation')[0]||{};"
    "var r={origin:performance.timeOrigin,response:n.responseEnd,"
    "ready:n.domContentLoadedEventEnd,load:n.loadEventStart,calls:[]};"
    "if(window.external&&typeof external.GetVersion==='function'){"
    "for(var w=0;w<50;w++)external.GetVersion();"
    "for(var b=0;b<10;b++){var t=performance.now();"
    "for(var i=0;i<500;i++)external.GetVersion();"
    "r.calls.push((performance.now()-t)*1000/500);}}"
    "return JSON.stringify(r);})()";

void BenchProbe(WebKitWebView* view) {
  BenchMark("loaded", webkit_web_view_get_uri(view));
  webkit_web_view_evaluate_javascript(
      view, kBenchProbe, -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer) {
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        gchar* text = value ? jsc_value_to_string(value) : nullptr;
        BenchMark("probe", text ? text : "{}");
        g_free(text);
        if (value) g_object_unref(value);
      },
      nullptr);
}

}  // namespace

WebKitBrowser::WebKitBrowser(std::string extensionFolder, Invoker invoker, IDialogs& dialogs,
                             IShell& shell, std::function<uint32_t()> owner)
    : m_extensionFolder(std::move(extensionFolder)),
      m_invoker(std::move(invoker)),
      m_dialogs(dialogs),
      m_shell(shell),
      m_owner(std::move(owner)),
      m_link(std::make_shared<BrowserLink>()) {
  // The channel: an abstract socket with an unguessable name, only this user's processes
  // let in. A name taken already (by anyone) is never used: another one is drawn.
  m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  for (int attempt = 0; m_listenFd >= 0 && attempt < 8 && !m_listenSource; ++attempt) {
    gchar* random = g_uuid_string_random();
    const std::string name = std::string("zeva-browser-") + random;
    g_free(random);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(m_listenFd, 8) == 0) {
      m_socketName = name;
      m_listenSource = g_unix_fd_add(m_listenFd, G_IO_IN, &WebKitBrowser::OnListen, this);
    }
  }

  m_context = webkit_web_context_new();
  g_signal_connect(m_context, "initialize-web-extensions",
                   G_CALLBACK(+[](WebKitWebContext* context, gpointer self) {
                     auto* browser = static_cast<WebKitBrowser*>(self);
                     webkit_web_context_set_web_extensions_directory(
                         context, browser->m_extensionFolder.c_str());
                     GVariantBuilder names;
                     g_variant_builder_init(&names, G_VARIANT_TYPE("as"));
                     for (const MethodInfo& method : MethodTable()) {
                       g_variant_builder_add(&names, "s", Utf16ToUtf8(method.name).c_str());
                     }
                     const std::string path = "@" + browser->m_socketName;
                     webkit_web_context_set_web_extensions_initialization_user_data(
                         context, g_variant_new("(sas)", path.c_str(), &names));
                   }),
                   this);
  m_content = webkit_user_content_manager_new();
  m_view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_context,
                                        "user-content-manager", m_content, nullptr));
  g_object_ref_sink(m_view);
  {
    const std::lock_guard lock(m_link->mutex);
    m_link->view = m_view;
    m_link->uiThread = std::this_thread::get_id();
  }
  WebKitSettings* settings = webkit_web_view_get_settings(m_view);
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  ApplyStyle();

  g_signal_connect(m_view, "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer link) {
                     if (event == WEBKIT_LOAD_COMMITTED) {
                       static_cast<BrowserLink*>(link)->generation.fetch_add(1);
                     }
                   }),
                   m_link.get());
  if (BenchMarks()) {
    g_signal_connect(m_view, "load-changed",
                     G_CALLBACK(+[](WebKitWebView* view, WebKitLoadEvent event, gpointer) {
                       if (event == WEBKIT_LOAD_FINISHED) BenchProbe(view);
                     }),
                     nullptr);
  }
  // A page that cannot be loaded: our own Chinese page for its address, with a retry link,
  // where the client's rules say so (else WebKit's handling: the page that is showing stays).
  g_signal_connect(m_view, "load-failed",
                   G_CALLBACK(+[](WebKitWebView* view, WebKitLoadEvent, gchar* uri, GError* error,
                                  gpointer) -> gboolean {
                     if (!ShowsErrorPage(ClassifyLoadError(error->domain, error->code)))
                       return FALSE;
                     webkit_web_view_load_alternate_html(
                         view, Utf16ToUtf8(LoadErrorPage(Utf8ToUtf16(uri ? uri : ""))).c_str(), uri,
                         uri);
                     return TRUE;
                   }),
                   nullptr);
  // Memory goes back to the system when a page has loaded and while it loads.
  g_signal_connect(m_view, "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer) {
                     if (event == WEBKIT_LOAD_FINISHED) ::malloc_trim(0);
                   }),
                   nullptr);
  g_signal_connect(m_view, "notify::estimated-load-progress",
                   G_CALLBACK(+[](GObject*, GParamSpec*, gpointer) { ::malloc_trim(0); }), nullptr);
  // No browser menus over the client.
  g_signal_connect(m_view, "context-menu", G_CALLBACK(+[]() -> gboolean { return TRUE; }), nullptr);
  // Alerts and confirmations appear as the client's own message boxes.
  g_signal_connect(
      m_view, "script-dialog",
      G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog, gpointer self) -> gboolean {
        auto* browser = static_cast<WebKitBrowser*>(self);
        const std::u16string text = Utf8ToUtf16(webkit_script_dialog_get_message(dialog));
        const uint32_t boxOwner = browser->m_owner ? browser->m_owner() : 0;
        switch (webkit_script_dialog_get_dialog_type(dialog)) {
          case WEBKIT_SCRIPT_DIALOG_ALERT: {
            const PageBox box = PageMessageBox(PageDialogKind::kAlert);
            browser->m_dialogs.ShowMessageBox(boxOwner, text, box.caption, box.style);
            return TRUE;
          }
          case WEBKIT_SCRIPT_DIALOG_CONFIRM:
          case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM: {
            const PageBox box = PageMessageBox(PageDialogKind::kConfirm);
            webkit_script_dialog_confirm_set_confirmed(
                dialog,
                browser->m_dialogs.ShowMessageBox(boxOwner, text, box.caption, box.style) == kIdOk);
            return TRUE;
          }
          default:
            return FALSE;
        }
      }),
      this);
  // A page that asks for a new window gets none inside the client.
  g_signal_connect(
      m_view, "create",
      G_CALLBACK(+[](WebKitWebView*, WebKitNavigationAction* action, gpointer self) -> GtkWidget* {
        auto* browser = static_cast<WebKitBrowser*>(self);
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
        if (uri) OpenNewWindow(browser->m_shell, Utf8ToUtf16(uri));
        return nullptr;
      }),
      this);
}

WebKitBrowser::~WebKitBrowser() {
  m_link->generation.fetch_add(1);
  m_link->Abandon();
  for (Connection& connection : m_connections) {
    g_source_remove(connection.source);
    ::close(connection.fd);
  }
  if (m_listenSource) g_source_remove(m_listenSource);
  if (m_listenFd >= 0) ::close(m_listenFd);
  if (m_view) {
    gtk_widget_destroy(GTK_WIDGET(m_view));
    g_object_unref(m_view);
  }
  if (m_content) g_object_unref(m_content);
  if (m_context) g_object_unref(m_context);
}

void WebKitBrowser::SetScrollBars(bool shown) {
  m_scrollBars = shown;
  ApplyStyle();
}

void WebKitBrowser::ApplyStyle() {
  webkit_user_content_manager_remove_all_style_sheets(m_content);
  // Pages are dialogs: their text cannot be selected (input fields still can).
  std::string css =
      "*{-webkit-user-select:none;user-select:none}"
      "input,textarea{-webkit-user-select:text;user-select:text}";
  if (!m_scrollBars) css += "::-webkit-scrollbar{display:none}";
  WebKitUserStyleSheet* sheet =
      webkit_user_style_sheet_new(css.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                  WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
  webkit_user_content_manager_add_style_sheet(m_content, sheet);
  webkit_user_style_sheet_unref(sheet);
}

void WebKitBrowser::Navigate(const std::u16string& url) {
  const std::string address = Utf16ToUtf8(url);
  if (BenchMarks()) BenchMark("navigate", address.c_str());
  webkit_web_view_load_uri(m_view, address.c_str());
}

void WebKitBrowser::LoadHtml(const std::string& html, const std::string& baseUrl) {
  webkit_web_view_load_html(m_view, html.c_str(), baseUrl.c_str());
}

gboolean WebKitBrowser::OnListen(gint fd, GIOCondition, gpointer self) {
  auto* browser = static_cast<WebKitBrowser*>(self);
  const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return G_SOURCE_CONTINUE;
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
      credentials.uid != ::getuid()) {
    ::close(client);
    return G_SOURCE_CONTINUE;
  }
  const guint source = g_unix_fd_add(client, G_IO_IN, &WebKitBrowser::OnReadable, self);
  browser->m_connections.push_back({client, source, {}});
  return G_SOURCE_CONTINUE;
}

gboolean WebKitBrowser::OnReadable(gint fd, GIOCondition, gpointer self) {
  auto* browser = static_cast<WebKitBrowser*>(self);
  auto it = std::find_if(browser->m_connections.begin(), browser->m_connections.end(),
                         [fd](const Connection& c) { return c.fd == fd; });
  if (it == browser->m_connections.end()) return G_SOURCE_REMOVE;
  char chunk[65536];
  const ssize_t n = ::read(fd, chunk, sizeof chunk);
  bool keep = n > 0;
  if (keep) it->buffer.insert(it->buffer.end(), chunk, chunk + n);
  std::vector<char> frame;
  while (keep) {
    const FrameState state = TakeFrame(it->buffer, frame);
    if (state == FrameState::kIncomplete) break;
    if (state == FrameState::kTooLarge) {
      keep = false;
      break;
    }
    // The handler may run nested loops (message boxes); find the connection again after it.
    keep = browser->HandleFrame(fd, frame);
    it = std::find_if(browser->m_connections.begin(), browser->m_connections.end(),
                      [fd](const Connection& c) { return c.fd == fd; });
    if (it == browser->m_connections.end()) return G_SOURCE_REMOVE;
  }
  if (keep) return G_SOURCE_CONTINUE;
  ::close(fd);
  browser->m_connections.erase(it);
  return G_SOURCE_REMOVE;
}

ScriptValue WebKitBrowser::Decode(GVariant* tagged) {
  const char* tag = nullptr;
  GVariant* value = nullptr;
  g_variant_get(tagged, "(&sv)", &tag, &value);
  ScriptValue result;
  const std::string_view kind = tag ? tag : "";
  if (kind == "n") {
    result = ScriptValue::Null();
  } else if (kind == "b" && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
    result = ScriptValue::Boolean(g_variant_get_boolean(value));
  } else if (kind == "d" && g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) {
    result = ScriptValue::Number(g_variant_get_double(value));
  } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    std::u16string text = Utf8ToUtf16(g_variant_get_string(value, nullptr));
    if (kind == "s") {
      result = ScriptValue::String(std::move(text));
    } else if (kind == "D" || kind == "F" || kind == "o") {
      result = ScriptValue::Object(
          std::make_shared<PageObject>(m_link, kind != "o", kind == "D", std::move(text)));
    }
  }
  g_variant_unref(value);
  return result;
}

bool WebKitBrowser::HandleFrame(int fd, const std::vector<char>& frame) {
  GVariant* request = g_variant_ref_sink(g_variant_new_from_data(
      G_VARIANT_TYPE(kRequestType), frame.data(), frame.size(), FALSE, nullptr, nullptr));
  GVariant* normal = g_variant_get_normal_form(request);
  g_variant_unref(request);
  gint32 id = 0;
  const char* url = nullptr;
  GVariantIter* iter = nullptr;
  g_variant_get(normal, "(i&sa(sv))", &id, &url, &iter);
  std::vector<ScriptValue> args;
  while (GVariant* tagged = g_variant_iter_next_value(iter)) {
    args.push_back(Decode(tagged));
    g_variant_unref(tagged);
  }
  g_variant_iter_free(iter);
  const InvokeResult result = m_invoker(id, args, Utf8ToUtf16(url ? url : ""));
  g_variant_unref(normal);

  GVariant* value = nullptr;
  switch (result.value.type) {
    case ScriptValue::Type::kInt32:
      value = Tag("d", g_variant_new_double(result.value.int32));
      break;
    case ScriptValue::Type::kDouble:
      value = Tag("d", g_variant_new_double(result.value.number));
      break;
    case ScriptValue::Type::kBool:
      value = Tag("b", g_variant_new_boolean(result.value.boolean));
      break;
    case ScriptValue::Type::kString:
      value = Tag("s", g_variant_new_string(Utf16ToUtf8(result.value.text).c_str()));
      break;
    default:
      value = Tag("e", g_variant_new_boolean(FALSE));
  }
  GVariant* reply =
      g_variant_ref_sink(g_variant_new("(iuv)", result.error, result.argumentIndex, value));
  const bool sent = SendFrame(fd, reply);
  g_variant_unref(reply);
  return sent;
}

}  // namespace zeva::gtk
