// Free space on the volume that holds a folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zeva {

class IDiskSpace {
 public:
  virtual ~IDiskSpace() = default;
  // The bytes the current user may still write on the volume holding `folder` (blocks the
  // system keeps back and quotas already taken off); nothing when the system cannot tell.
  virtual std::optional<uint64_t> FreeBytes(std::u16string_view folder) = 0;
};

}  // namespace zeva
