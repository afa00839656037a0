#include "game/client_settings.h"

#include "game/profile.h"

namespace zeva {
namespace {

constexpr char16_t kSystem[] = u"system";
constexpr char16_t kGameFolders[] = u"CF Info";
constexpr char16_t kVersionSection[] = u"zevaver";

// The capacities of the readers: the close command's 10, the options' 20, the identity's
// 260 and the game folder's 8192.
constexpr size_t kExitCapacity = 10;
constexpr size_t kOptionCapacity = 20;
constexpr size_t kIdentityCapacity = 260;
constexpr size_t kFolderCapacity = 8192;

std::u16string_view FolderKey(GameServer server) {
  return server == GameServer::kTest ? u"FOLDER_TYF" : u"FOLDER";
}

std::u16string_view ExitText(ExitSetting value) {
  return value == ExitSetting::kHide ? u"1" : value == ExitSetting::kQuit ? u"2" : u"0";
}
std::u16string_view ServerText(GameServer value) {
  return value == GameServer::kTest ? u"1" : u"0";
}
std::u16string_view WindowModeText(WindowModeSetting value) {
  return value == WindowModeSetting::kOn ? u"1" : value == WindowModeSetting::kOff ? u"0" : u"2";
}
std::u16string_view UpdateText(UpdateSetting value) {
  return value == UpdateSetting::kAutomatic ? u"1" : u"0";
}
std::u16string_view FlagText(bool on) {
  return on ? u"1" : u"0";
}

}  // namespace

ClientSettings::ClientSettings(const Platform& platform) : m_platform(platform) {}

std::u16string ClientSettings::Read(std::u16string_view section, std::u16string_view key,
                                    size_t capacity) const {
  return ProfileGetString(m_platform, section, key, u"", capacity, ConfigFilePath(m_platform));
}

bool ClientSettings::Write(std::u16string_view section, std::u16string_view key,
                           std::u16string_view value) const {
  return ProfileSetString(m_platform, section, key, value, ConfigFilePath(m_platform));
}

ExitSetting ClientSettings::Exit() const {
  const std::u16string value = Read(kSystem, u"exit", kExitCapacity);
  if (value == u"1") return ExitSetting::kHide;
  if (value == u"2") return ExitSetting::kQuit;
  return ExitSetting::kAsk;
}

bool ClientSettings::SetExit(ExitSetting value) {
  return Write(kSystem, u"exit", ExitText(value));
}

GameServer ClientSettings::Server() const {
  return Read(kSystem, u"run", kFolderCapacity) == u"1" ? GameServer::kTest : GameServer::kOfficial;
}

bool ClientSettings::SetServer(GameServer value) {
  return Write(kSystem, u"run", ServerText(value));
}

WindowModeSetting ClientSettings::WindowMode() const {
  const std::u16string value = Read(kSystem, u"wnd", kOptionCapacity);
  if (value == u"1") return WindowModeSetting::kOn;
  if (value == u"0") return WindowModeSetting::kOff;
  return WindowModeSetting::kAsk;
}

bool ClientSettings::SetWindowMode(WindowModeSetting value) {
  return Write(kSystem, u"wnd", WindowModeText(value));
}

UpdateSetting ClientSettings::Update() const {
  return Read(kSystem, u"autoupdate", kOptionCapacity) == u"1" ? UpdateSetting::kAutomatic
                                                               : UpdateSetting::kAsk;
}

bool ClientSettings::SetUpdate(UpdateSetting value) {
  return Write(kSystem, u"autoupdate", UpdateText(value));
}

bool ClientSettings::Autostart() const {
  return Read(kSystem, u"autostart", kOptionCapacity) == u"1";
}

bool ClientSettings::SetAutostart(bool on) {
  return Write(kSystem, u"autostart", FlagText(on));
}

std::u16string ClientSettings::GameFolder(GameServer server) const {
  return Read(kGameFolders, FolderKey(server), kFolderCapacity);
}

bool ClientSettings::SetGameFolder(GameServer server, std::u16string_view folder) {
  return Write(kGameFolders, FolderKey(server), folder);
}

SettingsRecord ClientSettings::Record() const {
  SettingsRecord record;
  // Folders are read whole: a window that cut them would store them cut on OK.
  record.officialFolder = GameFolder(GameServer::kOfficial);
  record.testFolder = GameFolder(GameServer::kTest);
  record.server =
      Read(kSystem, u"run", kOptionCapacity) == u"1" ? GameServer::kTest : GameServer::kOfficial;
  record.windowMode = WindowMode();
  record.update = Update();
  const std::u16string exit = Read(kSystem, u"exit", kOptionCapacity);
  record.exit = exit == u"1"   ? ExitSetting::kHide
                : exit == u"2" ? ExitSetting::kQuit
                               : ExitSetting::kAsk;
  record.autostart = Autostart();
  return record;
}

bool ClientSettings::SetRecord(const SettingsRecord& record) {
  return ProfileSetStrings(m_platform,
                           {{kGameFolders, FolderKey(GameServer::kOfficial), record.officialFolder},
                            {kGameFolders, FolderKey(GameServer::kTest), record.testFolder},
                            {kSystem, u"run", ServerText(record.server)},
                            {kSystem, u"wnd", WindowModeText(record.windowMode)},
                            {kSystem, u"autoupdate", UpdateText(record.update)},
                            {kSystem, u"exit", ExitText(record.exit)},
                            {kSystem, u"autostart", FlagText(record.autostart)}},
                           ConfigFilePath(m_platform));
}

bool ClientSettings::SetVersion(std::u16string_view version) {
  return Write(kVersionSection, u"version", version);
}

bool ClientSettings::IsFirstStart() const {
  return Read(kSystem, u"Setup", kIdentityCapacity).empty();
}

bool ClientSettings::MarkStarted() {
  return Write(kSystem, u"Setup", u"false");
}

LoginRecord ClientSettings::Login() const {
  return {Read(kSystem, u"UID", kIdentityCapacity), Read(kSystem, u"UWD", kIdentityCapacity),
          Read(kSystem, u"MAC", kIdentityCapacity)};
}

bool ClientSettings::SetLogin(const LoginRecord& record) {
  // In this order, each written even when one before failed: the page cannot react anyway.
  bool ok = Write(kSystem, u"UID", record.userId);
  ok = Write(kSystem, u"UWD", record.encodedWord) && ok;
  ok = Write(kSystem, u"MAC", record.mac) && ok;
  return Write(kSystem, u"ISLOGIN", u"1") && ok;
}

bool ClientSettings::ClearLogin() {
  bool ok = Write(kSystem, u"UID", u"");
  ok = Write(kSystem, u"UWD", u"") && ok;
  ok = Write(kSystem, u"MAC", u"") && ok;
  return Write(kSystem, u"ISLOGIN", u"0") && ok;
}

}  // namespace zeva
