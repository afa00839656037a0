// Choosing the game folder: only a folder that holds the game's launcher is accepted.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zeva {

inline constexpr char16_t kGameLauncher[] = u"QQLogin.exe";

// The folder picker with its checks and messages, showing `startFolder` first; the chosen
// folder, or empty when the user cancelled or the folder holds no launcher.
std::u16string BrowseGameFolder(const Platform& platform, WindowHandle owner,
                                const std::u16string& startFolder = {});

// Whether `folder` holds the game's launcher (a file or a folder of that name).
bool IsGameFolder(const Platform& platform, std::u16string_view folder);

// Asks for the folder and stores it under the key of the server chosen in the settings.
// Always true: the page reads the key back to learn the outcome.
bool WebFindFolder(const Platform& platform, WindowHandle owner);

}  // namespace zeva
