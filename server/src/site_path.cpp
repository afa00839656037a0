#include "site_path.h"

#include <system_error>

namespace zeva::toolserver {
namespace fs = std::filesystem;

namespace {

bool IsInside(const fs::path& root, const fs::path& candidate) {
  auto rootIt = root.begin();
  auto it = candidate.begin();
  for (; rootIt != root.end(); ++rootIt, ++it) {
    if (rootIt->empty()) continue;  // the trailing empty element of "dir/"
    if (it == candidate.end() || *it != *rootIt) return false;
  }
  return true;
}

}  // namespace

SitePath ResolveSitePath(const fs::path& root, std::string_view urlPath) {
  using Verdict = SitePath::Verdict;
  if (urlPath.empty() || urlPath.front() != '/') return {Verdict::kBad, {}};
  if (urlPath.find('\0') != std::string_view::npos) return {Verdict::kBad, {}};
  if (urlPath.find('\\') != std::string_view::npos) return {Verdict::kRefused, {}};

  fs::path relative;
  bool hidden = false;
  std::size_t start = 1;
  while (start <= urlPath.size()) {
    std::size_t end = urlPath.find('/', start);
    if (end == std::string_view::npos) end = urlPath.size();
    std::string_view segment = urlPath.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") return {Verdict::kRefused, {}};
    if (segment.front() == '.') hidden = true;
    relative /= fs::path(std::string(segment));
  }
  if (hidden || relative.empty()) return {Verdict::kNotFound, {}};

  std::error_code error;
  fs::path canonicalRoot = fs::canonical(root, error);
  if (error) return {Verdict::kNotFound, {}};
  fs::path target = fs::weakly_canonical(canonicalRoot / relative, error);
  if (error) return {Verdict::kNotFound, {}};
  if (!IsInside(canonicalRoot, target)) return {Verdict::kRefused, {}};
  if (!fs::is_regular_file(target, error)) return {Verdict::kNotFound, {}};
  return {Verdict::kFile, target};
}

}  // namespace zeva::toolserver
