// Runs inside WebKit's web process: gives every frame a synchronous window.external whose
// calls travel to the client over a socket, the page's script waiting for the answer.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <webkit2/webkit-web-extension.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ports/gtk/browser_frames.h"

using namespace zeva::gtk;

namespace {

int g_socket = -1;
std::vector<std::string> g_methods;  // dispatch order: identifier = position + 1

// Sends the request and blocks until the client answers; nothing else of the page runs
// meanwhile.
GVariant* Exchange(GVariant* request) {
  if (g_socket < 0 || !SendFrame(g_socket, request)) return nullptr;
  return ReceiveFrame(g_socket, kReplyType);
}

GVariant* Tag(const char* tag, GVariant* value) {
  return g_variant_new("(sv)", tag, value);
}

GVariant* EncodeArgument(JSCValue* value, WebKitWebPage* page) {
  if (jsc_value_is_undefined(value)) return Tag("e", g_variant_new_boolean(FALSE));
  if (jsc_value_is_null(value)) return Tag("n", g_variant_new_boolean(FALSE));
  if (jsc_value_is_boolean(value))
    return Tag("b", g_variant_new_boolean(jsc_value_to_boolean(value)));
  if (jsc_value_is_number(value)) return Tag("d", g_variant_new_double(jsc_value_to_double(value)));
  if (jsc_value_is_string(value)) {
    char* text = jsc_value_to_string(value);
    GVariant* tagged = Tag("s", g_variant_new_string(text ? text : ""));
    g_free(text);
    return tagged;
  }
  // Only a real document counts as one (an object made to look like it does not); the
  // client tells the top page's document from a frame's.
  const char* tag = "o";
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  if (WebKitDOMNode* node = webkit_dom_node_for_js_value(value)) {
    if (WEBKIT_DOM_IS_HTML_DOCUMENT(node)) {
      tag = node == WEBKIT_DOM_NODE(webkit_web_page_get_dom_document(page)) ? "D" : "F";
    }
  }
  G_GNUC_END_IGNORE_DEPRECATIONS
  char* text = jsc_value_to_string(value);
  GVariant* tagged = Tag(tag, g_variant_new_string(text ? text : ""));
  g_free(text);
  return tagged;
}

JSCValue* DecodeResult(JSCContext* context, GVariant* tagged) {
  const char* tag = nullptr;
  GVariant* value = nullptr;
  g_variant_get(tagged, "(&sv)", &tag, &value);
  JSCValue* result = nullptr;
  if (!std::strcmp(tag, "b")) {
    result = jsc_value_new_boolean(context, g_variant_get_boolean(value));
  } else if (!std::strcmp(tag, "d")) {
    result = jsc_value_new_number(context, g_variant_get_double(value));
  } else if (!std::strcmp(tag, "s")) {
    result = jsc_value_new_string(context, g_variant_get_string(value, nullptr));
  } else {
    result = jsc_value_new_undefined(context);
  }
  g_variant_unref(value);
  return result;
}

// Script functions can outlive their frame (a removed iframe's function kept in a
// variable): each holds its own reference to the frame and the page.
struct MethodData {
  int id;
  WebKitFrame* frame;
  WebKitWebPage* page;
  MethodData(int methodId, WebKitFrame* f, WebKitWebPage* p)
      : id(methodId),
        frame(static_cast<WebKitFrame*>(g_object_ref(f))),
        page(static_cast<WebKitWebPage*>(g_object_ref(p))) {}
  ~MethodData() {
    g_object_unref(frame);
    g_object_unref(page);
  }
};

JSCValue* CallMethod(GPtrArray* args, gpointer userData) {
  const auto* method = static_cast<MethodData*>(userData);
  JSCContext* context = jsc_context_get_current();
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(sv)"));
  for (guint i = 0; args && i < args->len; ++i) {
    g_variant_builder_add_value(
        &builder, EncodeArgument(static_cast<JSCValue*>(args->pdata[i]), method->page));
  }
  const char* uri = webkit_frame_get_uri(method->frame);
  GVariant* request =
      g_variant_ref_sink(g_variant_new("(isa(sv))", method->id, uri ? uri : "", &builder));
  GVariant* reply = Exchange(request);
  g_variant_unref(request);
  if (!reply) {
    jsc_context_throw(context, "window.external: the client does not answer");
    return jsc_value_new_undefined(context);
  }
  gint32 error = 0;
  guint32 argument = 0;
  GVariant* value = nullptr;
  g_variant_get(reply, "(iu@v)", &error, &argument, &value);
  JSCValue* result = nullptr;
  if (error != 0) {
    // An Error whose `number` is the result code, as the IE control's scripts see it.
    char script[256];
    std::snprintf(script, sizeof script,
                  "(function(){var e=new Error('window.external: 0x%08X, argument %u');"
                  "e.number=%d;throw e;})()",
                  static_cast<unsigned>(error), argument + 1, error);
    g_object_unref(jsc_context_evaluate(context, script, -1));
    result = jsc_value_new_undefined(context);
  } else {
    GVariant* inner = g_variant_get_variant(value);
    result = DecodeResult(context, inner);
    g_variant_unref(inner);
  }
  g_variant_unref(value);
  g_variant_unref(reply);
  return result;
}

struct ExternalData {
  WebKitFrame* frame;  // referenced, like the page
  WebKitWebPage* page;
  std::vector<JSCValue*> functions;  // one cached function per method
};

void FreeExternal(gpointer data) {
  auto* external = static_cast<ExternalData*>(data);
  for (JSCValue* function : external->functions) {
    if (function) g_object_unref(function);
  }
  g_object_unref(external->frame);
  g_object_unref(external->page);
  delete external;
}

int FindMethod(const char* name) {
  for (size_t i = 0; i < g_methods.size(); ++i) {
    if (g_ascii_strcasecmp(g_methods[i].c_str(), name) == 0) return static_cast<int>(i + 1);
  }
  return 0;
}

JSCValue* GetProperty(JSCClass*, JSCContext* context, gpointer instance, const char* name) {
  auto* external = static_cast<ExternalData*>(instance);
  const int id = FindMethod(name);
  if (id == 0) return nullptr;  // unknown names are undefined: calling them is a TypeError
  JSCValue*& cached = external->functions[static_cast<size_t>(id - 1)];
  if (!cached) {
    auto* method = new MethodData(id, external->frame, external->page);
    cached = jsc_value_new_function_variadic(
        context, name, G_CALLBACK(CallMethod), method,
        [](gpointer p) { delete static_cast<MethodData*>(p); }, JSC_TYPE_VALUE);
  }
  return static_cast<JSCValue*>(g_object_ref(cached));
}

gboolean HasProperty(JSCClass*, JSCContext*, gpointer, const char* name) {
  return FindMethod(name) != 0;
}

gchar** EnumerateProperties(JSCClass*, JSCContext*, gpointer) {
  auto** names = g_new0(gchar*, g_methods.size() + 1);
  for (size_t i = 0; i < g_methods.size(); ++i) names[i] = g_strdup(g_methods[i].c_str());
  return names;
}

void WindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                         gpointer) {
  JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
  static JSCClassVTable vtable = {GetProperty, nullptr, HasProperty, nullptr, EnumerateProperties,
                                  nullptr,     nullptr, nullptr,     nullptr};
  JSCClass* cls =
      jsc_context_register_class(context, "ZevaExternal", nullptr, &vtable, FreeExternal);
  auto* data = new ExternalData{static_cast<WebKitFrame*>(g_object_ref(frame)),
                                static_cast<WebKitWebPage*>(g_object_ref(page)),
                                std::vector<JSCValue*>(g_methods.size(), nullptr)};
  JSCValue* external = jsc_value_new_object(context, data, cls);
  JSCValue* global = jsc_context_get_global_object(context);
  jsc_value_object_define_property_data(
      global, "external", static_cast<JSCValuePropertyFlags>(JSC_VALUE_PROPERTY_ENUMERABLE),
      external);
  g_object_unref(global);
  g_object_unref(external);
  g_object_unref(context);
}

}  // namespace

// Initialisation data: (sas) the client's socket path and the method names.
extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension*, const GVariant* data) {
  const char* path = nullptr;
  GVariantIter* names = nullptr;
  g_variant_get(const_cast<GVariant*>(data), "(&sas)", &path, &names);
  const char* name = nullptr;
  while (g_variant_iter_next(names, "&s", &name)) g_methods.emplace_back(name);
  g_variant_iter_free(names);

  g_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // "@name" is an abstract socket: nothing left in the file system, gone with the client.
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const bool abstract = path[0] == '@';
  const size_t length = std::min(std::strlen(path), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path, path, length);
  if (abstract) address.sun_path[0] = '\0';
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
  // Only the client itself may answer the page: the peer must be our own user.
  ucred peer{};
  socklen_t peerSize = sizeof peer;
  if (g_socket >= 0 && (!path[0] || path[0] != '@' || path[1] == '\0' ||
                        ::connect(g_socket, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
                        ::getsockopt(g_socket, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0 ||
                        peer.uid != ::getuid())) {
    ::close(g_socket);
    g_socket = -1;
  }
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(WindowObjectCleared), nullptr);
}
