// Texts the browser host shows in place of the page: the caption of a page's alerts and
// confirmations, and the page shown when the portal cannot be fetched.
#pragma once

#include <string>
#include <string_view>

namespace zeva {

inline constexpr char16_t kPageMessageCaption[] = u"来自网页的消息";

// A self-contained Chinese page saying that the server of `address` could not be reached,
// with a link that tries the address again. It names the server only (the portal's address
// carries the player's identity); what it shows is escaped, as it comes from the network's side.
std::u16string LoadErrorPage(std::u16string_view address);

}  // namespace zeva
