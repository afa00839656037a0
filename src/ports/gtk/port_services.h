// Every service of the GTK port, put together as the core's Platform.
#pragma once

#include "platform/port.h"
#include "ports/gtk/gtk_system.h"

namespace zeva::gtk {

using PortServices = zeva::PortServices<GtkWindowSystem, GtkDialogs, GtkToolkit>;

}  // namespace zeva::gtk
