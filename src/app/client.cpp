#include "app/client.h"

#include "app/about_dialog.h"
#include "app/update_log_dialog.h"
#include "app/zeva_app.h"
#include "game/settings_dialog.h"

namespace zeva {

namespace {

// The port's own pages and the tool server the portal comes from.
std::vector<std::u16string> TrustedOrigins(const ClientServices& services) {
  std::vector<std::u16string> origins = services.trustedOrigins;
  origins.push_back(services.servers.toolServer);
  return origins;
}

}  // namespace

ZevaClient::ZevaClient(ClientServices services)
    : m_services(std::move(services)),
      m_engine(m_services.platform, m_page, m_services.http),
      m_dispatcher(m_services.platform, m_page, Links(), TrustedOrigins(m_services)),
      m_mainWindow(m_services.platform, m_services.dialogs, Hooks(), m_services.servers.toolServer),
      m_windowModeWatcher(m_services.platform.windows, m_mainWindow.WindowModeBusy()),
      m_selfUpdate(
          m_services.platform, m_services.servers.toolServer,
          [this] { return m_mainWindow.Handle(); }, [this] { m_mainWindow.PostQuit(); }),
      m_accelerator(m_services.platform, m_services.dialogs,
                    m_services.servers.acceleratorServer + endpoints::kAcceleratorInstallerPath,
                    [this] { return m_mainWindow.Handle(); }) {
  m_mainWindow.SetScriptHost(&m_dispatcher);
}

ZevaClient::~ZevaClient() = default;

int ZevaClient::RunMainWindow() {
  return m_mainWindow.DoModal(0);
}

ScriptHostLinks ZevaClient::Links() {
  ScriptHostLinks links;
  links.downloadFile = [this](std::u16string_view url, std::u16string_view name, int32_t a,
                              int32_t b) { return m_engine.DownloadFile(url, name, a, b); };
  links.pauseDownload = [this](int32_t a, int32_t b) { return m_engine.PauseDownload(a, b); };
  links.transferFigures = [this](int32_t a, int32_t b) {
    return m_engine.Tools().Figures(MakeToolKey(a, b));
  };
  // The browser control's parent, the application's main window and the picker's owner are
  // all the main window.
  links.hostWindow = [this] { return m_mainWindow.Handle(); };
  links.mainWindow = [this] { return m_mainWindow.Handle(); };
  links.browserWindow = [this] { return m_mainWindow.Handle(); };
  return links;
}

MainWindowHooks ZevaClient::Hooks() {
  MainWindowHooks hooks;
  hooks.openSettings = [this] { OpenSettings(); };
  hooks.startWindowModeWatcher = [this] { m_windowModeWatcher.Start(); };
  hooks.showAbout = [this] { ShowAbout(); };
  hooks.showUpdateLog = [this] { ShowUpdateLog(); };
  hooks.startUpdate = [this] { m_selfUpdate.Start(); };
  hooks.updateCheck = [this] { m_selfUpdate.Check(); };
  hooks.accelerator = [this] { m_accelerator.Run(); };
  hooks.login = [this](const std::u16string& user, const std::u16string& password) {
    RunLoginCommand(m_services.platform, m_mainWindow.Handle(), m_services.servers.account, user,
                    password);
  };
  return hooks;
}

void ZevaClient::OpenSettings() {
  // One at a time: a page asking again while it is open changes nothing.
  if (m_settingsOpen) return;
  m_settingsOpen = true;
  CDialogSet settings(m_services.platform, m_services.dialogs);
  const bool saved = settings.DoModal(m_mainWindow.Handle()) == kIdOk;
  m_settingsOpen = false;
  // The portal shows the game folder: it reads the settings again.
  if (saved) m_page.ReportToPage(kPageEventSettingsSaved, 0, 0, 0);
}

void ZevaClient::ShowAbout() {
  CDialogAbout about(m_services.dialogs);
  about.DoModal(m_mainWindow.Handle());
}

void ZevaClient::ShowUpdateLog() {
  // The list's page calls window.external as the portal does. Its window is the one its
  // window methods and posted messages reach; a registration of its own keeps the portal's
  // download reports with the portal.
  PageRegistration listPage;
  CDialogVer* window = nullptr;
  ScriptHostLinks links = Links();
  links.hostWindow = [&window] { return window ? window->Handle() : WindowHandle{0}; };
  links.browserWindow = links.hostWindow;
  ExternalDispatcher external(m_services.platform, listPage, std::move(links),
                              TrustedOrigins(m_services));
  CDialogVer updateLog(m_services.dialogs, m_services.servers.toolServer, &external);
  window = &updateLog;
  updateLog.DoModal(m_mainWindow.Handle());
}

int RunZevaClient(ClientServices services) {
  return RunClient(services.platform, [&] {
    ZevaClient client(std::move(services));
    client.RunMainWindow();
  });
}

}  // namespace zeva
