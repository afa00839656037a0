#pragma once

#include "platform/single_instance.h"

namespace zeva::posix {

// A lock file in the user's runtime folder, locked with flock: the kernel drops the lock
// with the process, so a crashed client never blocks the next start.
class LockFileInstance final : public ISingleInstance {
 public:
  ~LockFileInstance() override;
  InstanceLock Acquire(std::u16string_view name) override;

 private:
  int m_fd = -1;
};

}  // namespace zeva::posix
