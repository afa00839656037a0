#include "app/login_record.h"

#include "app/text_codecs.h"
#include "game/client_settings.h"

namespace zeva {

// A failed write goes unnoticed by the page: it has no way to react to it.
bool WebUserLogin(const Platform& platform, std::u16string_view userId,
                  std::u16string_view userWord) {
  ClientSettings(platform).SetLogin(
      {std::u16string(userId), Base64Encode(userWord), GetMacAddressText(platform)});
  return true;
}

bool WebUserLogout(const Platform& platform) {
  ClientSettings(platform).ClearLogin();
  return true;
}

}  // namespace zeva
