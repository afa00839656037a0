// Every config.ini key the client itself reads or writes, one typed accessor each. Pages
// reach any key through GetConfigString/SetConfigString; these are the client's own. Reads
// take the capacities the client has always used, so long values are cut the same way.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zeva {

// [system] run: "1" the test server (体验服), anything else the official one.
enum class GameServer { kOfficial, kTest };
// [system] wnd: "1" on, "0" off, anything else ask at start.
enum class WindowModeSetting { kOn, kOff, kAsk };
// [system] autoupdate: "1" update without asking, anything else ask first.
enum class UpdateSetting { kAutomatic, kAsk };
// [system] exit: "1" hide to the tray, "2" quit, anything else ask.
enum class ExitSetting { kAsk, kHide, kQuit };

// What [system] UID, UWD and MAC hold while a user is logged in (UWD Base64-encoded).
struct LoginRecord {
  std::u16string userId;
  std::u16string encodedWord;
  std::u16string mac;
};

// What the settings window edits: both game folders and the five options.
struct SettingsRecord {
  std::u16string officialFolder;
  std::u16string testFolder;
  GameServer server = GameServer::kOfficial;
  WindowModeSetting windowMode = WindowModeSetting::kAsk;
  UpdateSetting update = UpdateSetting::kAsk;
  ExitSetting exit = ExitSetting::kAsk;
  bool autostart = false;
};

class ClientSettings {
 public:
  explicit ClientSettings(const Platform& platform);

  ExitSetting Exit() const;
  bool SetExit(ExitSetting value);
  GameServer Server() const;
  bool SetServer(GameServer value);
  WindowModeSetting WindowMode() const;
  bool SetWindowMode(WindowModeSetting value);
  UpdateSetting Update() const;
  bool SetUpdate(UpdateSetting value);
  // [system] autostart: "1" starts the client with the desktop session.
  bool Autostart() const;
  bool SetAutostart(bool on);

  // [CF Info] FOLDER and FOLDER_TYF: the game folders of the two servers.
  std::u16string GameFolder(GameServer server) const;
  bool SetGameFolder(GameServer server, std::u16string_view folder);

  // Every value of the settings window, read as the window shows them.
  SettingsRecord Record() const;
  // Writes FOLDER, FOLDER_TYF, run, wnd, autoupdate, exit and autostart in this order, in
  // one replacement of the file: false, and the file as it was, when it cannot be written.
  bool SetRecord(const SettingsRecord& record);

  // [zevaver] version: the running client's version, written at every start.
  bool SetVersion(std::u16string_view version);
  // [system] Setup: empty before the first start, "false" after it.
  bool IsFirstStart() const;
  bool MarkStarted();

  // [system] UID, UWD, MAC; ISLOGIN ("1"/"0") is written with them and read by pages only.
  LoginRecord Login() const;
  bool SetLogin(const LoginRecord& record);
  bool ClearLogin();

 private:
  std::u16string Read(std::u16string_view section, std::u16string_view key, size_t capacity) const;
  bool Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) const;

  const Platform& m_platform;
};

}  // namespace zeva
