// Where a page's download goes: `<client folder>Downloads<separator><name>`.
#pragma once

#include <string>
#include <string_view>

namespace zeva {

inline constexpr std::u16string_view kDownloadsFolder = u"Downloads";

// A name the page may give: relative, with no ".." component, so the file stays under
// Downloads. Folders inside the name are allowed (they are not created).
bool IsAcceptableDownloadName(std::u16string_view name);

// The Downloads folder of a client folder (which ends in a separator), without a final
// separator.
std::u16string DownloadsFolderOf(std::u16string_view clientFolder);

std::u16string DownloadPath(std::u16string_view clientFolder, std::u16string_view name);

}  // namespace zeva
