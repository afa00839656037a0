#include "game/hook_files.h"

#include <string>

#include "game/game_folder.h"
#include "platform/path_style.h"

namespace zeva {

void RemoveHookFiles(const Platform& platform, std::u16string_view folder) {
  if (!IsGameFolder(platform, folder)) return;
  std::u16string prefix(folder);
  if (!IsPathSeparator(prefix.back())) prefix += kPathSeparator;
  for (const char16_t* name : {u"Msimg32.dll", u"dbghelp.dll", u"hook.dll"}) {
    const std::u16string path = prefix + name;
    // Only a file: a folder of that name is not the game's and stays.
    const std::optional<uint32_t> attributes = platform.files.GetAttributes(path);
    if (attributes && !(*attributes & kAttrDirectory)) platform.files.Remove(path);
  }
}

}  // namespace zeva
