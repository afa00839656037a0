// Driving a WebKit view from a test: turning the main loop and evaluating page script.
#pragma once

#include <glib.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace zeva::test {

// Runs the main loop until `done` or the time is up; whether `done` came true.
inline bool RunUntil(const std::function<bool()>& done, int seconds = 30) {
  const gint64 deadline = g_get_monotonic_time() + seconds * G_USEC_PER_SEC;
  while (!done() && g_get_monotonic_time() < deadline) {
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return done();
}

// Runs `start` (a navigation) and the main loop until the view has finished loading.
inline bool LoadAndWait(WebKitWebView* view, const std::function<void()>& start, int seconds = 30) {
  bool finished = false;
  const gulong handler = g_signal_connect(
      view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer flag) {
        if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(flag) = true;
      }),
      &finished);
  start();
  const bool done = RunUntil([&] { return finished; }, seconds);
  g_signal_handler_disconnect(view, handler);
  return done;
}

// The script's result as text, or "<error: ...>" (also when no answer came within `seconds`).
inline std::string Evaluate(WebKitWebView* view, const std::string& script, int seconds = 30) {
  struct Result {
    bool done = false;
    bool abandoned = false;  // the caller gave up: the late answer frees it
    std::string text;
  };
  auto* result = new Result;
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* async, gpointer data) {
        auto* r = static_cast<Result*>(data);
        GError* error = nullptr;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), async, &error);
        if (value) {
          char* text = jsc_value_to_string(value);
          r->text = text ? text : "";
          g_free(text);
          g_object_unref(value);
        } else {
          r->text = std::string("<error: ") + (error ? error->message : "?") + ">";
          g_clear_error(&error);
        }
        r->done = true;
        if (r->abandoned) delete r;
      },
      result);
  RunUntil([&] { return result->done; }, seconds);
  if (!result->done) {
    result->abandoned = true;
    return "<error: no answer>";
  }
  std::string text = std::move(result->text);
  delete result;
  return text;
}

}  // namespace zeva::test
