#include "app/client_identity.h"

#include "app/text_codecs.h"
#include "game/profile.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

constexpr size_t kIdentityCapacity = 260;

std::u16string ReadSystemValue(const Platform& platform, std::u16string_view key) {
  return ProfileGetString(platform, u"system", key, u"", kIdentityCapacity,
                          ConfigFilePath(platform));
}

}  // namespace

void LoadClientIdentity(const Platform& platform, ClientIdentity& identity) {
  identity.version = kClientVersion;
  ProfileSetString(platform, u"zevaver", u"version", identity.version, ConfigFilePath(platform));

  if (ReadSystemValue(platform, u"Setup").empty()) {
    identity.setup = u"true";
    ProfileSetString(platform, u"system", u"Setup", u"false", ConfigFilePath(platform));
  }
  if (std::u16string uid = ReadSystemValue(platform, u"UID"); !uid.empty()) {
    identity.userId = std::move(uid);
  }
  if (const std::u16string uwd = ReadSystemValue(platform, u"UWD"); !uwd.empty()) {
    identity.userWord = Base64Decode(uwd, platform.codec);
  }
  if (std::u16string mac = ReadSystemValue(platform, u"MAC"); !mac.empty()) {
    identity.storedMac = std::move(mac);
  }
}

std::u16string BuildPortalUrl(const Platform& platform, const ClientIdentity& identity) {
  // The machine address is looked up only when there is a login to send; an empty one
  // (no adapter) never matches.
  const bool sendIdentity = !identity.userId.empty() && !identity.userWord.empty() &&
                            !identity.storedMac.empty() &&
                            identity.storedMac == GetMacAddressText(platform);
  std::u16string url = endpoints::kToolServer;
  url += endpoints::kPortalPath;
  url += identity.setup;
  url += u"&ClientVersion=";
  url += identity.version;
  if (sendIdentity) {
    url += u"&UID=";
    url += UrlEncode(identity.userId);
    url += u"&UWD=";
    url += UrlEncode(identity.userWord);
  }
  return url;
}

}  // namespace zeva
