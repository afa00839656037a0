// The server's validator of an unfinished download (a strong ETag, else its Last-Modified
// date), kept beside the partial file as "<file>.zeva-etag" until the download completes, so
// that resuming asks for the rest of the same file only (If-Range) and a file that changed
// on the server comes again from its start instead of being spliced onto the old part.
//
// Beside the file rather than in a folder of its own: it lives and goes with the partial
// file it describes (a page that empties Downloads takes both), the file system matches its
// name as it matches the file's (letter case on Windows), and a name holding folders needs
// no mapping. Nothing a page is told depends on it: progress and the "already complete"
// answer (a range past the end) measure the file alone, UnzipFile reads only the archive it
// is named, and once the download completes the validator is gone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace zeva {

inline constexpr std::u16string_view kResumeValidatorSuffix = u".zeva-etag";

// What was kept for the file at `path`; nothing when nothing was, or what is there could
// not be sent back in a request header.
std::optional<std::string> LoadResumeValidator(IFileSystem& files, std::u16string_view path);

// Keeps `validator` for the file at `path`, or removes what was kept when it is nothing.
// False when that failed (an old validator may still be there).
bool StoreResumeValidator(IFileSystem& files, std::u16string_view path,
                          const std::optional<std::string>& validator);

}  // namespace zeva
