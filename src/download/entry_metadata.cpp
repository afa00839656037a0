#include "download/entry_metadata.h"

#include <algorithm>
#include <optional>

namespace zeva {
namespace {

constexpr uint16_t kExtendedTimestampTag = 0x5455;   // "UT"
constexpr int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970

uint32_t ReadLittleEndian(std::string_view bytes, size_t at, size_t size) {
  uint32_t value = 0;
  for (size_t i = size; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

uint32_t MapEntryAttributes(uint16_t versionMadeBy, uint32_t externalAttributes) {
  switch (versionMadeBy >> 8) {
    case 0:
    case 7:
    case 11:
    case 14:
      return externalAttributes &
             (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory | kAttrArchive);
    default: {
      uint32_t attributes = kAttrArchive;
      if (externalAttributes & 0x40000000) attributes |= kAttrDirectory;    // S_IFDIR
      if (!(externalAttributes & 0x00800000)) attributes |= kAttrReadOnly;  // S_IWUSR
      return attributes;
    }
  }
}

LocalTime DosDateTimeToLocal(uint32_t dosDateTime) {
  const uint32_t date = dosDateTime >> 16;
  const uint32_t time = dosDateTime & 0xFFFF;
  LocalTime local;
  local.year = 1980 + static_cast<int>(date >> 9);
  local.month = static_cast<int>((date >> 5) & 0x0F);
  local.day = static_cast<int>(date & 0x1F);
  local.hour = static_cast<int>(time >> 11);
  local.minute = static_cast<int>((time >> 5) & 0x3F);
  local.second = static_cast<int>((time & 0x1F) * 2);
  return local;
}

int64_t UnixTimeToFileTime(int64_t seconds) {
  return (seconds + kEpochDifference) * 10000000;
}

ExtendedTimestamp ReadExtendedTimestamp(std::string_view extraField) {
  ExtendedTimestamp timestamp;
  size_t at = 0;
  while (extraField.size() - at >= 5) {
    const uint32_t tag = ReadLittleEndian(extraField, at, 2);
    const size_t size = ReadLittleEndian(extraField, at + 2, 2);
    const size_t data = at + 4;
    if (tag != kExtendedTimestampTag) {
      at = data + size;
      if (at > extraField.size()) break;
      continue;
    }
    const size_t end = std::min(extraField.size(), data + size);
    if (size == 0) break;
    const uint32_t flags = static_cast<unsigned char>(extraField[data]);
    size_t next = data + 1;
    for (int bit = 0; bit < 3; ++bit) {
      if (!(flags & (1u << bit))) continue;
      if (end - next < 4) break;
      timestamp.seconds[bit] = static_cast<int32_t>(ReadLittleEndian(extraField, next, 4));
      timestamp.present |= static_cast<uint8_t>(1u << bit);
      next += 4;
    }
    break;
  }
  return timestamp;
}

void ApplyExtendedTimestamp(const ExtendedTimestamp& timestamp, FileTimes& times) {
  std::optional<int64_t>* fields[] = {&times.lastWrite, &times.lastAccess, &times.creation};
  for (int bit = 0; bit < 3; ++bit) {
    if (timestamp.present & (1u << bit)) *fields[bit] = UnixTimeToFileTime(timestamp.seconds[bit]);
  }
}

void ApplyExtendedTimestamp(std::string_view extraField, FileTimes& times) {
  ApplyExtendedTimestamp(ReadExtendedTimestamp(extraField), times);
}

}  // namespace zeva
