// What a ZIP entry's header fields say about the file it holds: attributes and times.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/files.h"

namespace zeva {

// Windows attribute bits for an entry. Archives made on DOS, OS/2-style, NTFS and VFAT hosts
// (host byte 0, 7, 11, 14) carry them in the low byte of the external attributes; for every
// other host the high word is a Unix mode: a folder, read-only when the owner cannot write.
uint32_t MapEntryAttributes(uint16_t versionMadeBy, uint32_t externalAttributes);

// The DOS date (high 16 bits) and time (low 16 bits) of an entry, as local time.
LocalTime DosDateTimeToLocal(uint32_t dosDateTime);

int64_t UnixTimeToFileTime(int64_t seconds);

// The times of an extended-timestamp ("UT") block, small enough to keep for every entry of an
// archive between reading its local header and extracting it.
struct ExtendedTimestamp {
  uint8_t present = 0;      // bit 0 modification, bit 1 access, bit 2 creation
  int32_t seconds[3] = {};  // Unix times, in that order
};

// The first UT block of a local extra field. Blocks are walked while a whole block head and
// one byte remain; times cut short by the block or the field are not present.
ExtendedTimestamp ReadExtendedTimestamp(std::string_view extraField);

// Each time `timestamp` holds replaces the one in `times`.
void ApplyExtendedTimestamp(const ExtendedTimestamp& timestamp, FileTimes& times);
void ApplyExtendedTimestamp(std::string_view extraField, FileTimes& times);

}  // namespace zeva
