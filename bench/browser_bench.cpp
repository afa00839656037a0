// The GTK browser's costs: process start to page loaded, the round trip of a synchronous
// window.external call, and the memory of the UI and web processes after the load.
// Run by hand: build/linux/bench/zeva_browser_bench (needs a display; xvfb-run works).
#include <dirent.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "host/external_dispatcher.h"
#include "platform/port.h"
#include "ports/gtk/port_services.h"
#include "ports/gtk/webkit_browser.h"

namespace {

const auto kStart = std::chrono::steady_clock::now();

double SecondsSinceStart() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - kStart).count();
}

// Proportional set size in kB, from the kernel's rollup.
long PssOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string key;
  long value = 0;
  while (in >> key) {
    if (key == "Pss:") {
      in >> value;
      return value;
    }
    in.ignore(1 << 20, '\n');
  }
  return -1;
}

// The web process WebKit started for us: a child whose name says so.
int FindWebProcess() {
  DIR* proc = opendir("/proc");
  int found = -1;
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos || line.find("WebKitWebProces") == std::string::npos) continue;
    int ppid = 0;
    char state = 0;
    std::sscanf(line.c_str() + close + 2, "%c %d", &state, &ppid);
    if (ppid == getpid()) found = pid;
  }
  if (proc) closedir(proc);
  return found;
}

}  // namespace

int main() {
  using namespace zeva;
  gtk_init(nullptr, nullptr);
  gtk::PortServices services;
  const Platform& platform = services.platform;
  PageRegistration page;
  ExternalDispatcher dispatcher(platform, page, ScriptHostLinks{});
  gtk::WebKitBrowser browser(
      ZEVA_BUILD_WEB_EXTENSION_DIR,
      [&](int32_t id, std::span<const ScriptValue> args, std::u16string_view url) {
        return dispatcher.Invoke(id, args, url);
      },
      services.dialogs, *services.shell, [] { return 0u; });
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 798, 567);
  gtk_container_add(GTK_CONTAINER(window), browser.Widget());
  gtk_widget_show_all(window);

  bool loaded = false;
  g_signal_connect(browser.Widget(), "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer flag) {
                     if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(flag) = true;
                   }),
                   &loaded);
  browser.LoadHtml(
      "<!DOCTYPE html><html><body><h1>泽瓦助手</h1><script>"
      "function bench(n){var t=performance.now();for(var i=0;i<n;i++)external.GetVersion();"
      "return (performance.now()-t)*1000/n;}</script></body></html>",
      "http://127.0.0.1:8088/CF30/CF_Index.aspx");
  while (!loaded) g_main_context_iteration(nullptr, TRUE);
  const double loadSeconds = SecondsSinceStart();

  struct Result {
    bool done = false;
    double value = 0;
  } result;
  webkit_web_view_evaluate_javascript(
      WEBKIT_WEB_VIEW(browser.Widget()), "bench(100); bench(1000)", -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* async, gpointer data) {
        auto* r = static_cast<Result*>(data);
        if (JSCValue* v = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), async,
                                                                     nullptr)) {
          r->value = jsc_value_to_double(v);
          g_object_unref(v);
        }
        r->done = true;
      },
      &result);
  while (!result.done) g_main_context_iteration(nullptr, TRUE);
  // Let the page settle before reading memory.
  const gint64 until = g_get_monotonic_time() + G_USEC_PER_SEC;
  while (g_get_monotonic_time() < until) g_main_context_iteration(nullptr, FALSE);

  std::printf("start to page loaded      %.3f s\n", loadSeconds);
  std::printf("external call round trip  %.1f us (mean of 1000)\n", result.value);
  std::printf("UI process PSS            %.1f MB\n", PssOf(getpid()) / 1024.0);
  const int web = FindWebProcess();
  std::printf("web process PSS           %.1f MB\n", web > 0 ? PssOf(web) / 1024.0 : -1.0);
  gtk_widget_destroy(window);
  return 0;
}
