// The client, composed once for every port: the page registration, the download engine, the
// script interface, the main window with every hook, and the windows behind them. A port
// hands over its services and calls RunZevaClient; it decides nothing itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/login.h"
#include "app/main_window.h"
#include "app/self_update.h"
#include "download/accelerator.h"
#include "download/download_engine.h"
#include "game/window_mode_watcher.h"
#include "host/external_dispatcher.h"
#include "host/page_registration.h"
#include "platform/http.h"
#include "platform/platform.h"
#include "ui/native_dialog.h"
#include "zeva/endpoints.h"

namespace zeva {

// The servers the client talks to; the build's endpoints unless a test points elsewhere.
struct ServerAddresses {
  std::u16string toolServer = endpoints::kToolServer;
  AccountServer account{endpoints::kAccountHost, endpoints::kAccountPort};
  std::u16string acceleratorServer = endpoints::kAcceleratorServer;
};

// What a port provides. Its dialog factory renders any template of res/ and gives each
// window the browser control it asks for (scroll bars on or off, with or without
// window.external).
struct ClientServices {
  const Platform& platform;
  IDialogFactory& dialogs;
  IHttpClient& http;
  // Origins besides the tool server's whose pages may call window.external (the port's own
  // built-in pages).
  std::vector<std::u16string> trustedOrigins = {};
  ServerAddresses servers = {};
};

class ZevaClient {
 public:
  explicit ZevaClient(ClientServices services);
  ~ZevaClient();
  ZevaClient(const ZevaClient&) = delete;
  ZevaClient& operator=(const ZevaClient&) = delete;

  // The main window's modal run for the whole life of the process.
  int RunMainWindow();

  CZEVA30Dlg& MainWindow() { return m_mainWindow; }
  ExternalDispatcher& Dispatcher() { return m_dispatcher; }
  PageRegistration& Page() { return m_page; }
  DownloadEngine& Downloads() { return m_engine; }

  // The secondary windows, each run modally over the main window.
  void OpenSettings();
  void ShowAbout();
  void ShowUpdateLog();

 private:
  MainWindowHooks Hooks();
  ScriptHostLinks Links();

  ClientServices m_services;
  PageRegistration m_page;
  // Declared after the registration it reports to; destroyed before it, so a transfer that
  // still reports while the engine stops finds the page already gone.
  DownloadEngine m_engine;
  ExternalDispatcher m_dispatcher;
  CZEVA30Dlg m_mainWindow;
  // Declared after the main window whose flag it clears: stopped and joined before it goes.
  WindowModeWatcher m_windowModeWatcher;
  SelfUpdate m_selfUpdate;
  Accelerator m_accelerator;
  bool m_settingsOpen = false;
};

// The process: start-up, the client's main window, shutdown; the exit code.
int RunZevaClient(ClientServices services);

}  // namespace zeva
