// Reading the registry (on the GTK port: the Wine prefix's registry files).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zeva {

// Predefined keys by their code: 0x80000000 + code.
enum class RegistryRoot : uint32_t {
  kClassesRoot = 0,
  kCurrentUser = 1,
  kLocalMachine = 2,
  kUsers = 3,
  kPerformanceData = 4,
  kCurrentConfig = 5,
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // A string value (plain or expandable, not expanded) up to its first NUL; nothing when
  // the key cannot be opened, the value is missing or is not a string. An empty name reads
  // the key's default value.
  virtual std::optional<std::u16string> ReadString(RegistryRoot root, std::u16string_view keyPath,
                                                   std::u16string_view valueName) = 0;
};

}  // namespace zeva
