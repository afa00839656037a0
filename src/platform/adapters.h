// Network adapters: only the first one's hardware address is ever needed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace zeva {

using HardwareAddress = std::array<uint8_t, 6>;

class INetworkAdapters {
 public:
  virtual ~INetworkAdapters() = default;
  // The first six address bytes of the first adapter the system lists; nothing when the
  // system lists none.
  virtual std::optional<HardwareAddress> FirstAdapterAddress() = 0;
};

}  // namespace zeva
