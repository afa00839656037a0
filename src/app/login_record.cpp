#include "app/login_record.h"

#include "app/text_codecs.h"
#include "game/profile.h"

namespace zeva {

bool WebUserLogin(const Platform& platform, std::u16string_view userId,
                  std::u16string_view userWord) {
  const std::u16string encodedWord = Base64Encode(userWord);
  const std::u16string config = ConfigFilePath(platform);
  // A failed write goes unnoticed by the page: it has no way to react to it.
  ProfileSetString(platform, u"system", u"UID", userId, config);
  ProfileSetString(platform, u"system", u"UWD", encodedWord, config);
  ProfileSetString(platform, u"system", u"MAC", GetMacAddressText(platform), config);
  ProfileSetString(platform, u"system", u"ISLOGIN", u"1", config);
  return true;
}

bool WebUserLogout(const Platform& platform) {
  const std::u16string config = ConfigFilePath(platform);
  ProfileSetString(platform, u"system", u"UID", u"", config);
  ProfileSetString(platform, u"system", u"UWD", u"", config);
  ProfileSetString(platform, u"system", u"MAC", u"", config);
  ProfileSetString(platform, u"system", u"ISLOGIN", u"0", config);
  return true;
}

}  // namespace zeva
