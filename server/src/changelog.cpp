#include "changelog.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "reply_text.h"

namespace zeva::toolserver {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::vector<unsigned long> VersionNumbers(std::string_view version) {
  version = Trim(version);
  if (!version.empty() && (version.front() == 'V' || version.front() == 'v'))
    version.remove_prefix(1);
  std::vector<unsigned long> numbers;
  unsigned long current = 0;
  bool any = false;
  for (char c : version) {
    if (IsDigit(c)) {
      if (current < 100000000UL) current = current * 10 + static_cast<unsigned long>(c - '0');
      any = true;
    } else if (c == '.') {
      numbers.push_back(current);
      current = 0;
      any = false;
    } else {
      break;
    }
  }
  if (any || !numbers.empty()) numbers.push_back(current);
  return numbers;
}

constexpr std::string_view kMarker = "<!--ZEVA:RELEASES-->";

}  // namespace

std::vector<Release> ParseChangelog(std::string_view text) {
  std::vector<Release> releases;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.size() >= 2 && (line[0] == 'V' || line[0] == 'v') && IsDigit(line[1])) {
      std::size_t space = line.find_first_of(" \t");
      Release release;
      release.version = std::string(line.substr(0, space));
      if (space != std::string_view::npos) release.date = std::string(Trim(line.substr(space)));
      releases.push_back(std::move(release));
    } else if (!line.empty() && (line[0] == '-' || line[0] == '*') && !releases.empty()) {
      std::string_view change = Trim(line.substr(1));
      if (!change.empty()) releases.back().changes.emplace_back(change);
    }
  }
  return releases;
}

std::vector<Release> ReadChangelog(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  return ParseChangelog(text);
}

int CompareVersions(std::string_view left, std::string_view right) {
  std::vector<unsigned long> a = VersionNumbers(left);
  std::vector<unsigned long> b = VersionNumbers(right);
  std::size_t count = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < count; ++i) {
    unsigned long x = i < a.size() ? a[i] : 0;
    unsigned long y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

const Release* LatestRelease(const std::vector<Release>& releases) {
  const Release* latest = nullptr;
  for (const Release& release : releases) {
    if (!latest || CompareVersions(release.version, latest->version) > 0) latest = &release;
  }
  return latest;
}

std::string RenderUpdateList(std::string_view pageTemplate, const std::vector<Release>& releases) {
  std::vector<const Release*> ordered;
  for (const Release& release : releases) ordered.push_back(&release);
  std::stable_sort(ordered.begin(), ordered.end(), [](const Release* a, const Release* b) {
    return CompareVersions(a->version, b->version) > 0;
  });

  std::ostringstream list;
  if (ordered.empty()) list << "<p class=\"empty\">暂无更新记录。</p>\n";
  for (const Release* release : ordered) {
    list << "<div class=\"release\">\n<h2><span class=\"version\">" << EscapeHtml(release->version)
         << "</span>";
    if (!release->date.empty())
      list << " <span class=\"date\">" << EscapeHtml(release->date) << "</span>";
    list << "</h2>\n<ul>\n";
    for (const std::string& change : release->changes)
      list << "<li>" << EscapeHtml(change) << "</li>\n";
    list << "</ul>\n</div>\n";
  }

  std::string page(pageTemplate);
  std::size_t at = page.find(kMarker);
  if (at == std::string::npos) return page + list.str();
  page.replace(at, kMarker.size(), list.str());
  return page;
}

}  // namespace zeva::toolserver
