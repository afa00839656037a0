// Opening files and addresses the way the desktop does.
#pragma once

#include <string>

namespace zeva {

enum ShowCommand : int { kSwHide = 0, kSwShowNormal = 1, kSwShow = 5 };

class IShell {
 public:
  virtual ~IShell() = default;
  // Opens `file` (a program, a document or an address) with the verb ("open", ...);
  // true when the system accepted the request.
  virtual bool Execute(const std::u16string& verb, const std::u16string& file,
                       const std::u16string& parameters, const std::u16string& folder,
                       int show) = 0;
};

}  // namespace zeva
