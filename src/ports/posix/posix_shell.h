#pragma once

#include "platform/shell.h"

namespace zeva::posix {

// Programs for Windows (".exe", ".bat", ".msi") go through Wine when it is installed;
// everything else, addresses included, through the desktop's handler (xdg-open). The
// process is started detached; a failure to start it is a failure.
class PosixShell final : public IShell {
 public:
  bool Execute(const std::u16string& verb, const std::u16string& file,
               const std::u16string& parameters, const std::u16string& folder, int show) override;
  // Looks through /proc. A Windows program under Wine shows its Windows path as its first
  // argument, a native one its own path: the name after the last separator counts.
  bool IsProgramRunning(std::u16string_view name) override;
};

}  // namespace zeva::posix
