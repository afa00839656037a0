// The add-on catalogue: what the portal offers, described in the data folder's addons.ini and
// completed with each archive's size and SHA-256.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zeva::toolserver {

struct AddonEntry {
  std::string id;    // section name: letters, digits, "-" and "_"
  std::string name;  // shown to players
  std::string version;
  std::string summary;
  std::string archive;  // file name below the data folder's "addons" folder
  std::string unpack;   // "game": below the game folder; "client": below the client folder
  std::string folder;   // relative folder below that base, "\" separated; may be empty
  std::vector<std::string> place;  // files copied from the unpacked folder into the game folder
};

// Reads addons.ini text. Sections whose values are unsafe (a name that climbs, an absolute
// folder, an unknown base) are dropped and described in `problems`.
std::vector<AddonEntry> ParseAddonList(std::string_view text, std::vector<std::string>& problems);

class AddonCatalogue {
 public:
  explicit AddonCatalogue(std::filesystem::path dataFolder);

  // The catalogue as JSON: {"addons":[{id, name, version, summary, size, sha256, url,
  // file, unpack:{base, folder}, place:[...]}]}. Entries whose archive is missing are left out.
  // Digests are kept while an archive's size and time stay the same.
  std::string Json();

 private:
  struct Digest {
    std::uint64_t size = 0;
    std::filesystem::file_time_type time;
    std::string sha256;
  };

  std::filesystem::path m_dataFolder;
  std::mutex m_mutex;
  std::map<std::string, Digest> m_digests;
};

}  // namespace zeva::toolserver
