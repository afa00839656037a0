#pragma once

#include "platform/adapters.h"

namespace zeva::posix {

// Interfaces with a six-byte hardware address, in interface-index order, loopback skipped.
class PosixAdapters final : public INetworkAdapters {
 public:
  std::optional<HardwareAddress> FirstAdapterAddress() override;
};

}  // namespace zeva::posix
