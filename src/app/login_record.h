// The login record the page hands over: what the next start puts into the portal address.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace zeva {

// Stores UID, the Base64 form of the user word, this machine's address text and ISLOGIN=1.
bool WebUserLogin(const Platform& platform, std::u16string_view userId,
                  std::u16string_view userWord);
// Empties UID, UWD and MAC and sets ISLOGIN=0.
bool WebUserLogout(const Platform& platform);

}  // namespace zeva
