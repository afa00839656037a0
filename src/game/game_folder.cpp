#include "game/game_folder.h"

#include "game/client_settings.h"
#include "game/paths.h"
#include "platform/path_style.h"

namespace zeva {

bool IsGameFolder(const Platform& platform, std::u16string_view folder) {
  if (folder.empty()) return false;
  // An existence test by name: a file or a folder called QQLogin.exe both pass.
  std::u16string launcher(folder);
  if (!IsPathSeparator(launcher.back())) launcher += kPathSeparator;
  launcher += kGameLauncher;
  return platform.files.GetAttributes(launcher).has_value();
}

std::u16string BrowseGameFolder(const Platform& platform, WindowHandle owner,
                                const std::u16string& startFolder) {
  auto warn = [&](const std::u16string& text) {
    platform.dialogs.ShowMessageBox(platform.windows.ActiveWindow(), text,
                                    GetApplicationName(platform), kMbOk | kMbIconExclamation);
  };
  const std::optional<std::u16string> folder =
      platform.dialogs.PickFolder(owner, u"请选择穿越火线游戏目录：", startFolder);
  if (!folder) {
    warn(u"未指定游戏目录。");
    return {};
  }
  if (!IsGameFolder(platform, *folder)) {
    warn(u"没有找到QQLogin.exe，非穿越火线游戏目录。");
    return {};
  }
  return *folder;
}

bool WebFindFolder(const Platform& platform, WindowHandle owner) {
  ClientSettings settings(platform);
  // The server is read before the picker opens: a change made meanwhile does not count.
  const GameServer server = settings.Server();
  const std::u16string folder = BrowseGameFolder(platform, owner, settings.GameFolder(server));
  if (!folder.empty()) settings.SetGameFolder(server, folder);
  return true;
}

}  // namespace zeva
