// Origins (scheme, host, port) of page addresses, for deciding which pages may drive the
// client.
#pragma once

#include <string>
#include <string_view>

namespace zeva {

// "scheme://host:port" in lower case with the scheme's default port filled in; the scheme
// alone ("about:", "file:") for addresses without a host; empty when there is no scheme.
std::u16string OriginOf(std::u16string_view url);

// Whether the address is a web page (http or https): the only addresses a page's request
// for a new window may hand to the desktop's browser (the shell would run a file:// program).
bool IsWebAddress(std::u16string_view url);

}  // namespace zeva
