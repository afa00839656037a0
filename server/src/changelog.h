// The client's release history, read from the data folder's changelog file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeva::toolserver {

struct Release {
  std::string version;  // "V3.0.6"
  std::string date;     // free text, may be empty
  std::vector<std::string> changes;
};

// Parses the changelog text (UTF-8). A line starting with "V" and a digit opens a release
// ("V3.0.6 2026-10-15"); a line starting with "-" or "*" below it is one change; "#" lines,
// blank lines and anything else are skipped, so a damaged file loses lines, not the page.
std::vector<Release> ParseChangelog(std::string_view text);

std::vector<Release> ReadChangelog(const std::filesystem::path& file);

// Compares "V3.0.6"-style versions number by number (a leading V or v is ignored; missing
// numbers count as 0): negative, zero or positive like strcmp.
int CompareVersions(std::string_view left, std::string_view right);

// The highest version of the list, or nullptr when it is empty.
const Release* LatestRelease(const std::vector<Release>& releases);

// The update list page: `pageTemplate` with its "<!--ZEVA:RELEASES-->" marker replaced by the
// releases, newest first, escaped for HTML.
std::string RenderUpdateList(std::string_view pageTemplate, const std::vector<Release>& releases);

}  // namespace zeva::toolserver
