// SHA-256 of a file, read in pieces.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zeva::toolserver {

// Lower-case hexadecimal digest, or nothing when the file cannot be read.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& file);

}  // namespace zeva::toolserver
