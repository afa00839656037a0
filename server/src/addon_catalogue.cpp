#include "addon_catalogue.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "reply_text.h"

namespace zeva::toolserver {
namespace fs = std::filesystem;

namespace {

bool IsIdentifier(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  for (char c : text) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// A single file name: no separators, no drive, not "." or "..", no control characters.
bool IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

// A relative folder of plain names separated by "\".
bool IsRelativeFolder(std::string_view folder) {
  if (folder.empty()) return true;
  std::size_t start = 0;
  while (start <= folder.size()) {
    std::size_t end = folder.find('\\', start);
    if (end == std::string_view::npos) end = folder.size();
    if (!IsPlainName(folder.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = Trim(text.substr(start, end - start));
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

std::string CheckEntry(const AddonEntry& entry) {
  if (!IsIdentifier(entry.id)) return "bad id";
  if (entry.name.empty()) return "no name";
  if (!IsPlainName(entry.archive)) return "bad archive name";
  if (!entry.version.empty() && !IsPlainName(entry.version)) return "bad version";
  if (entry.unpack != "game" && entry.unpack != "client") return "unpack must be game or client";
  if (!IsRelativeFolder(entry.folder)) return "folder must be relative";
  for (const std::string& name : entry.place) {
    if (!IsPlainName(name)) return "bad name in place";
  }
  return {};
}

}  // namespace

std::vector<AddonEntry> ParseAddonList(std::string_view text, std::vector<std::string>& problems) {
  std::vector<AddonEntry> entries;
  bool inSection = false;
  std::size_t start = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      entries.push_back({});
      entries.back().id = std::string(Trim(line.substr(1, line.size() - 2)));
      inSection = true;
      continue;
    }
    std::size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    std::string_view key = Trim(line.substr(0, equals));
    std::string value(Trim(line.substr(equals + 1)));
    AddonEntry& entry = entries.back();
    if (key == "name")
      entry.name = value;
    else if (key == "version")
      entry.version = value;
    else if (key == "summary")
      entry.summary = value;
    else if (key == "archive")
      entry.archive = value;
    else if (key == "unpack")
      entry.unpack = value;
    else if (key == "folder")
      entry.folder = value;
    else if (key == "place")
      entry.place = SplitList(value);
  }

  std::vector<AddonEntry> kept;
  for (AddonEntry& entry : entries) {
    std::string problem = CheckEntry(entry);
    if (problem.empty()) {
      kept.push_back(std::move(entry));
    } else {
      problems.push_back("add-on [" + entry.id + "] left out: " + problem);
    }
  }
  return kept;
}

std::string RecordedDigest(std::string_view line) {
  if (line.size() < 64 || (line.size() > 64 && line[64] != ' ' && line[64] != '\t' &&
                           line[64] != '\r' && line[64] != '\n')) {
    return {};
  }
  std::string digest;
  for (char c : line.substr(0, 64)) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
    digest += c;
  }
  return digest;
}

AddonCatalogue::AddonCatalogue(fs::path dataFolder) : m_dataFolder(std::move(dataFolder)) {}

std::string AddonCatalogue::Json() const {
  std::ifstream in(m_dataFolder / "addons.ini", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> problems;
  std::vector<AddonEntry> entries = ParseAddonList(text, problems);
  for (const std::string& problem : problems) std::cerr << "catalogue: " << problem << "\n";

  std::ostringstream json;
  json << "{\"addons\":[";
  bool first = true;
  for (const AddonEntry& entry : entries) {
    fs::path archive = m_dataFolder / "addons" / entry.archive;
    std::error_code error;
    if (!fs::is_regular_file(archive, error)) continue;
    std::uint64_t size = fs::file_size(archive, error);
    if (error) continue;

    std::ifstream record(m_dataFolder / "addons" / (entry.archive + ".sha256"), std::ios::binary);
    std::string line;
    std::getline(record, line);
    const std::string sha256 = RecordedDigest(line);
    if (sha256.empty()) {
      std::cerr << "catalogue: add-on [" << entry.id << "] left out: " << entry.archive
                << ".sha256 holds no digest\n";
      continue;
    }

    json << (first ? "" : ",") << "\n{\"id\":" << JsonString(entry.id)
         << ",\"name\":" << JsonString(entry.name) << ",\"version\":" << JsonString(entry.version)
         << ",\"summary\":" << JsonString(entry.summary) << ",\"size\":" << size
         << ",\"sha256\":" << JsonString(sha256)
         << ",\"url\":" << JsonString("/addons/" + entry.archive) << ",\"file\":"
         << JsonString(entry.id + (entry.version.empty() ? "" : "-" + entry.version) + ".zip")
         << ",\"unpack\":{\"base\":" << JsonString(entry.unpack)
         << ",\"folder\":" << JsonString(entry.folder) << "},\"place\":[";
    for (std::size_t i = 0; i < entry.place.size(); ++i)
      json << (i ? "," : "") << JsonString(entry.place[i]);
    json << "]}";
    first = false;
  }
  json << "\n]}\n";
  return json.str();
}

}  // namespace zeva::toolserver
