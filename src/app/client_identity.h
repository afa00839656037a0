// The client's version and stored identity, and the portal address made from them.
#pragma once

#include <string>

#include "platform/platform.h"
#include "zeva/endpoints.h"

namespace zeva {

inline constexpr char16_t kClientVersion[] = u"V3.0.6";

struct ClientIdentity {
  std::u16string version;
  std::u16string setup;      // "true" on a first start
  std::u16string userId;     // "UID" as stored
  std::u16string userWord;   // "UWD" decoded
  std::u16string storedMac;  // "MAC" as stored
};

// Reads the identity from config.ini; writes the version and, on a first start, "Setup".
void LoadClientIdentity(const Platform& platform, ClientIdentity& identity);

// The portal address on `toolServer`; carries the user only when the login was stored on
// this machine.
std::u16string BuildPortalUrl(const Platform& platform, const ClientIdentity& identity,
                              std::u16string_view toolServer = endpoints::kToolServer);

}  // namespace zeva
