// What the access log keeps of a request line: never a credential.
#pragma once

#include <string>
#include <string_view>

namespace zeva::toolserver {

// The request target without the query values that carry credentials: "rcode" (the login's
// name and password) and "UWD" (the portal's stored user word) are left out, key and all.
// Control characters and quotes become "?", so a line of the log stays one line.
std::string LoggedTarget(std::string_view target);

}  // namespace zeva::toolserver
