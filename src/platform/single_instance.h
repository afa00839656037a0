// A named lock local to the user's logon session, held until the process ends.
#pragma once

#include <string_view>

namespace zeva {

enum class InstanceLock { kAcquired, kAlreadyExists, kFailed };

class ISingleInstance {
 public:
  virtual ~ISingleInstance() = default;
  virtual InstanceLock Acquire(std::u16string_view name) = 0;
};

}  // namespace zeva
