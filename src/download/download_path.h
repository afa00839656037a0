// Where a download comes from (an address both transports are asked for only once it passed
// here) and where a page's download goes: `<client folder>Downloads<separator><name>`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zeva {

// Why an address is not fetched.
enum class AddressCheck {
  kOk,
  kNotWeb,        // a scheme other than http or https (in any case), or none
  kNoHost,        // no "//" after the scheme, or nothing between it and the port or path
  kHostTooLong,   // more than kMaxHostLength characters
  kBadHost,       // a character no host name or IPv6 literal holds, or a second '@'
  kBadPort,       // not a number from 1 to 65535
  kBadCharacter,  // a space or a control character anywhere in the address
};

// What a DNS name may run to; WinHTTP refuses longer ones, so both ports stop here.
inline constexpr size_t kMaxHostLength = 255;

// The rules for the first address of a transfer, the same for the engine and for whole-file
// downloads. Redirect targets only the transport sees; it keeps them to http and https.
AddressCheck CheckDownloadAddress(std::u16string_view url);

inline constexpr std::u16string_view kDownloadsFolder = u"Downloads";

// A name the page may give: relative, with no ".." component, so the file stays under
// Downloads, and portable (IsPortablePath: no device name, colon or trailing dot or space in
// any component), so both ports write the same file. Folders inside the name are allowed
// (they are not created).
bool IsAcceptableDownloadName(std::u16string_view name);

// The Downloads folder of a client folder (which ends in a separator), without a final
// separator.
std::u16string DownloadsFolderOf(std::u16string_view clientFolder);

std::u16string DownloadPath(std::u16string_view clientFolder, std::u16string_view name);

}  // namespace zeva
