// A blocking download that only ever leaves a whole file under its final name.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zeva {

// Downloads `url` into `target` by way of "<target>.part" beside it, moved into place (an
// atomic replace) once complete. An address CheckDownloadAddress refuses never reaches the
// port; a reply from 400 on, or a body other than its announced length, is a failure
// whatever the port made of it. A failed or cancelled download removes the partial file and
// leaves an existing `target` as it was. Runs on the calling thread, e.g. a worker's.
DownloadResult DownloadWholeFile(const Platform& platform, std::u16string_view url,
                                 const std::u16string& target,
                                 const DownloadProgress& progress = {},
                                 const DownloadCancel* cancel = nullptr);

}  // namespace zeva
