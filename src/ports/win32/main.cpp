// The Win32 port's program: its services, handed to the core client.
#include <windows.h>

#include "app/client.h"
#include "platform/http.h"
#include "ports/win32/html_ctrl.h"
#include "ports/win32/port_services.h"
#include "ports/win32/win32_dialog_factory.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace zeva;
  win32::PortServices services;
  win32::Win32DialogFactory dialogs(win32::MakeHtmlCtrlFactory(services.dialogs, *services.shell));
  const std::unique_ptr<IHttpClient> http = CreateHttpClient();
  return RunZevaClient({services.platform, dialogs, *http});
}
