#include "game/profile.h"

#include <algorithm>

#include "game/ini_document.h"
#include "game/paths.h"
#include "platform/path_style.h"

namespace zeva {
namespace {

bool HoldsLineBreak(std::u16string_view text) {
  return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

std::u16string CutToCapacity(std::u16string_view text, size_t capacity) {
  if (capacity == 0) return {};
  return std::u16string(text.substr(0, std::min(text.size(), capacity - 1)));
}

}  // namespace

std::u16string ResolveProfilePath(const Platform& platform, std::u16string_view file) {
  if (std::any_of(file.begin(), file.end(), IsPathSeparator)) return std::u16string(file);
  return GetClientFolder(platform) + std::u16string(file);
}

std::u16string ConfigFilePath(const Platform& platform) {
  return GetClientFolder(platform) + u"config.ini";
}

std::u16string ProfileGetString(const Platform& platform, std::u16string_view section,
                                std::u16string_view key, std::u16string_view defaultValue,
                                size_t capacity, std::u16string_view file) {
  while (!defaultValue.empty() && defaultValue.back() == u' ') defaultValue.remove_suffix(1);
  std::optional<std::string> bytes = platform.files.ReadAll(ResolveProfilePath(platform, file));
  if (!bytes) return CutToCapacity(defaultValue, capacity);
  const IniDocument document(std::move(*bytes), platform.codec);
  const std::optional<std::u16string> found = document.Find(section, key);
  if (!found) return CutToCapacity(defaultValue, capacity);
  std::u16string_view value = *found;
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return CutToCapacity(value, capacity);
}

bool ProfileSetString(const Platform& platform, std::u16string_view section,
                      std::u16string_view key, std::u16string_view value,
                      std::u16string_view file) {
  return ProfileSetStrings(platform, {{section, key, value}}, file);
}

bool ProfileSetStrings(const Platform& platform, const std::vector<ProfileEntry>& entries,
                       std::u16string_view file) {
  for (const ProfileEntry& entry : entries) {
    if (HoldsLineBreak(entry.section) || HoldsLineBreak(entry.key) || HoldsLineBreak(entry.value)) {
      return false;
    }
  }
  const std::u16string path = ResolveProfilePath(platform, file);
  std::string bytes;
  if (platform.files.GetAttributes(path)) {
    std::optional<std::string> existing = platform.files.ReadAll(path);
    // A file that exists but cannot be read must not be replaced by a fresh one.
    if (!existing) return false;
    bytes = std::move(*existing);
  }
  IniDocument document(std::move(bytes), platform.codec);
  bool changed = false;
  for (const ProfileEntry& entry : entries) {
    changed = document.Set(entry.section, entry.key, entry.value) || changed;
  }
  if (!changed) {
    // Nothing to change; succeeds as long as the file could be written.
    const std::optional<uint32_t> attributes = platform.files.GetAttributes(path);
    return attributes && !(*attributes & kAttrReadOnly);
  }
  return platform.files.ReplaceContents(path, document.Bytes());
}

}  // namespace zeva
