// The GTK port's program: its services, handed to the core client.
#include "app/client.h"
#include "platform/http.h"
#include "ports/gtk/gtk_dialog_factory.h"
#include "ports/gtk/port_services.h"

int main() {
  using namespace zeva;
  gtk::PortServices services;
  gtk::GtkDialogFactory dialogs(gtk::WebExtensionFolder(services.files->ExecutablePath()),
                                services.dialogs, *services.shell);
  const std::unique_ptr<IHttpClient> http = CreateHttpClient();
  return RunZevaClient({services.platform, dialogs, *http});
}
