#include "app/client_identity.h"

#include "app/text_codecs.h"
#include "game/client_settings.h"
#include "zeva/endpoints.h"

namespace zeva {
void LoadClientIdentity(const Platform& platform, ClientIdentity& identity) {
  ClientSettings settings(platform);
  identity.version = kClientVersion;
  settings.SetVersion(identity.version);

  if (settings.IsFirstStart()) {
    identity.setup = u"true";
    settings.MarkStarted();
  }
  LoginRecord login = settings.Login();
  if (!login.userId.empty()) identity.userId = std::move(login.userId);
  if (!login.encodedWord.empty())
    identity.userWord = Base64Decode(login.encodedWord, platform.codec);
  if (!login.mac.empty()) identity.storedMac = std::move(login.mac);
}

std::u16string BuildPortalUrl(const Platform& platform, const ClientIdentity& identity,
                              std::u16string_view toolServer) {
  // The machine address is looked up only when there is a login to send; an empty one
  // (no adapter) never matches.
  const bool sendIdentity = !identity.userId.empty() && !identity.userWord.empty() &&
                            !identity.storedMac.empty() &&
                            identity.storedMac == GetMacAddressText(platform);
  std::u16string url(toolServer);
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
