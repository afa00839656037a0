#pragma once

#include <string>

#include "platform/registry.h"

namespace zeva::posix {

// Reads string values from a Wine prefix's registry files: players on Linux run the game
// and its tools under Wine, so the values pages ask for live there. HKEY_CURRENT_USER is
// user.reg, HKEY_LOCAL_MACHINE system.reg; every other root reads nothing. Read only.
class WineRegistry final : public IRegistry {
 public:
  // `prefix`: the Wine prefix folder; empty means $WINEPREFIX, else ~/.wine.
  explicit WineRegistry(std::string prefix = {});
  std::optional<std::u16string> ReadString(RegistryRoot root, std::u16string_view keyPath,
                                           std::u16string_view valueName) override;

 private:
  std::string m_prefix;
};

// Looks the value up in the text of one registry file (exposed for tests).
std::optional<std::u16string> FindRegistryString(std::string_view fileText,
                                                 std::u16string_view keyPath,
                                                 std::u16string_view valueName);

}  // namespace zeva::posix
