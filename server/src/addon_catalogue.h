// The add-on catalogue: what the portal offers, described in the data folder's addons.ini and
// completed with each archive's size and the SHA-256 recorded when it was made.
#pragma once

#include <cstdint>
#include <filesystem>
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
  // file, unpack:{base, folder}, place:[...]}]}. The digest is the one written beside the
  // archive when it was made ("<archive>.sha256", as sha256sum writes it), never one taken
  // from the file served now: a copy damaged since does not vouch for itself. Entries whose
  // archive or digest is missing are left out.
  std::string Json() const;

 private:
  std::filesystem::path m_dataFolder;
};

// The digest a sha256sum line starts with, in lower case; empty when it has none.
std::string RecordedDigest(std::string_view sha256sumLine);

}  // namespace zeva::toolserver
