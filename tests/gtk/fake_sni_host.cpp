// A StatusNotifierItem tray in name only, on the session bus: owns the watcher's name, says
// a host has registered (with --without-host, that none has) and prints each item that
// registers as "item <service> <path>". Draws nothing; runs until killed.
#include <gio/gio.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kWatcher[] = "org.kde.StatusNotifierWatcher";
constexpr char kInterface[] = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
</node>)";

bool hostRegistered = true;
std::vector<std::string> items;

void MethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                gpointer) {
  if (std::strcmp(method, "RegisterStatusNotifierItem") == 0) {
    const gchar* service = nullptr;
    g_variant_get(parameters, "(&s)", &service);
    // An item names its bus name or, as most do, only its object path on the caller's.
    const bool path = service[0] == '/';
    const std::string item =
        std::string(path ? sender : service) + " " + (path ? service : "/StatusNotifierItem");
    std::printf("item %s\n", item.c_str());
    std::fflush(stdout);
    items.push_back(item);
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                      GError**, gpointer) {
  if (std::strcmp(name, "IsStatusNotifierHostRegistered") == 0) {
    return g_variant_new_boolean(hostRegistered);
  }
  if (std::strcmp(name, "ProtocolVersion") == 0) return g_variant_new_int32(0);
  GVariantBuilder list;
  g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
  for (const std::string& item : items) g_variant_builder_add(&list, "s", item.c_str());
  return g_variant_builder_end(&list);
}

}  // namespace

int main(int argc, char** argv) {
  hostRegistered = !(argc > 1 && std::strcmp(argv[1], "--without-host") == 0);
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return 1;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
  static const GDBusInterfaceVTable vtable{MethodCall, GetProperty, nullptr, {}};
  if (!g_dbus_connection_register_object(bus, "/StatusNotifierWatcher", node->interfaces[0],
                                         &vtable, nullptr, nullptr, nullptr)) {
    return 1;
  }
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", kWatcher, 4u /* do not queue */), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  guint32 result = 0;
  if (reply) g_variant_get(reply, "(u)", &result);
  if (result != 1) return 1;  // not the primary owner
  std::puts("watcher");
  std::fflush(stdout);
  g_main_loop_run(g_main_loop_new(nullptr, FALSE));
}
