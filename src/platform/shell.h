// Opening files and addresses the way the desktop does.
#pragma once

#include <string>
#include <string_view>

namespace zeva {

class IShell {
 public:
  virtual ~IShell() = default;
  // Opens `file` (a program, a document or an address) with the verb ("open", ...) and a
  // show command (window_system.h); true when the system accepted the request.
  virtual bool Execute(const std::u16string& verb, const std::u16string& file,
                       const std::u16string& parameters, const std::u16string& folder,
                       int show) = 0;
  // Whether a process other than this one runs a program file named exactly `name`
  // (compared case-sensitively, without its folder).
  virtual bool IsProgramRunning(std::u16string_view name) = 0;
};

}  // namespace zeva
