// Maps a decoded request path onto a file below a root folder, never outside it.
#pragma once

#include <filesystem>
#include <string_view>

namespace zeva::toolserver {

struct SitePath {
  enum class Verdict {
    kFile,      // `file` names an existing regular file inside the root
    kNotFound,  // nothing to serve (missing, a folder, a hidden name)
    kRefused,   // the path climbs out of the root or reaches outside it through a link
    kBad,       // not a path at all (no leading slash, a NUL byte)
  };
  Verdict verdict = Verdict::kNotFound;
  std::filesystem::path file;
};

// `urlPath` is the percent-decoded path, starting with "/". A ".." segment or a backslash is
// refused outright (a backslash climbs on Windows peers); links are followed and the result
// must still lie inside `root`.
SitePath ResolveSitePath(const std::filesystem::path& root, std::string_view urlPath);

}  // namespace zeva::toolserver
