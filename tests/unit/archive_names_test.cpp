// Entry names and header fields of ZIP entries, field by field.
#include <gtest/gtest.h>

#include <string>

#include "download/download_path.h"
#include "download/entry_metadata.h"
#include "download/entry_name.h"
#include "platform/path_style.h"
#include "platform/unicode.h"

namespace zeva {
namespace {

// The expected cleaned name, written with '/' and given the port's separator.
std::u16string Port(std::u16string name) {
  for (char16_t& c : name) {
    if (c == u'/') c = kPathSeparator;
  }
  return name;
}

TEST(ArchiveNamesTest, CleaningRulesDropDrivesRootsAndEverythingUpToAnInnerParent) {
  EXPECT_EQ(ApplyCleaningRules(u"C:/Windows/x.dll"), u"Windows/x.dll");
  EXPECT_EQ(ApplyCleaningRules(u"/abc/x"), u"abc/x");
  EXPECT_EQ(ApplyCleaningRules(u"a/../b/x"), u"b/x");
  EXPECT_EQ(ApplyCleaningRules(u"\\\\server\\share\\x"), u"server\\share\\x");
  // Repeated until none applies: drive, root, drive, root.
  EXPECT_EQ(ApplyCleaningRules(u"C:\\D:\\x"), u"x");
  // "\..\" is looked for first, wherever the other patterns are.
  EXPECT_EQ(ApplyCleaningRules(u"x/../y\\..\\z"), u"z");
  EXPECT_EQ(ApplyCleaningRules(u"a\\../b/../c"), u"c");
  EXPECT_EQ(ApplyCleaningRules(u"a/..\\b"), u"b");
  // What the rules leave alone.
  EXPECT_EQ(ApplyCleaningRules(u"../x"), u"../x");
  EXPECT_EQ(ApplyCleaningRules(u"x/.."), u"x/..");
  EXPECT_EQ(ApplyCleaningRules(u"a:b"), u"b");
  EXPECT_EQ(ApplyCleaningRules(u"ab:c"), u"ab:c");
  EXPECT_EQ(ApplyCleaningRules(u""), u"");
  EXPECT_EQ(ApplyCleaningRules(u"C:"), u"");
  EXPECT_EQ(ApplyCleaningRules(u"/"), u"");
}

TEST(ArchiveNamesTest, CleanNamesCannotLeaveTheTargetFolder) {
  EXPECT_EQ(CleanEntryName(u"../x"), u"x");
  EXPECT_EQ(CleanEntryName(u"..\\..\\x"), u"x");
  EXPECT_EQ(CleanEntryName(u"x/.."), u"x");
  EXPECT_EQ(CleanEntryName(u"a/./../b"), u"b");
  EXPECT_EQ(CleanEntryName(u"a/b/./c"), Port(u"a/b/c"));
  EXPECT_EQ(CleanEntryName(u"a//b"), Port(u"a/b"));
  // Windows trims trailing dots and spaces: such components could become "..".
  EXPECT_EQ(CleanEntryName(u".../x"), u"x");
  EXPECT_EQ(CleanEntryName(u".. /x"), u"x");
  EXPECT_EQ(CleanEntryName(u"..a/x."), Port(u"..a/x."));
  EXPECT_EQ(CleanEntryName(u"../.."), u"");
  EXPECT_EQ(CleanEntryName(u"C:"), u"");
  // A drive uncovered by dropping components goes as well.
  EXPECT_EQ(CleanEntryName(u"./C:/x"), u"x");
  EXPECT_EQ(CleanEntryName(u"../k::y/x"), Port(u":y/x"));
  EXPECT_EQ(CleanEntryName(u"../C:../x"), u"x");
}

TEST(ArchiveNamesTest, CleanNamesUseThePortSeparatorAndKeepAFolderMark) {
  EXPECT_EQ(CleanEntryName(u"sub\\dir/file.txt"), Port(u"sub/dir/file.txt"));
  EXPECT_EQ(CleanEntryName(u"empty/"), Port(u"empty/"));
  EXPECT_EQ(CleanEntryName(u"a\\b\\"), Port(u"a/b/"));
  EXPECT_EQ(CleanEntryName(u"/"), u"");
  EXPECT_EQ(CleanEntryName(u"中文/文件.txt"), Port(u"中文/文件.txt"));
}

TEST(ArchiveNamesTest, LongHostileNamesAreCleanedWhole) {
  std::u16string name;
  for (int i = 0; i < 20000; ++i) name += u"/../C:";
  name += u"x";
  EXPECT_EQ(CleanEntryName(name), u"x");
  const std::u16string deep(5000, u'a');
  EXPECT_EQ(CleanEntryName(deep + u"/" + deep), deep + kPathSeparator + deep);
}

// Windows reads these as a device, a stream of another file or a shorter name: there they
// would be other files than on other systems, or none.
constexpr std::u16string_view kNotPortable[] = {
    u"CON",           u"con",           u"Con.txt",  u"aux.tar.gz", u"NUL",
    u"nul .txt",      u"AUX  .log",     u"CON.",     u"prn.zip",    u"COM1",
    u"com9.log",      u"LPT1",          u"Lpt9.txt", u"COM\u00B9",  u"com\u00B2.txt",
    u"LPT\u00B3.zip", u"sub/con/x.zip", u"sub\\aux", u"a/nul.txt",  u"x.zip:stream",
    u"x.zip::$DATA",  u"a/C:/x.zip",    u":x",       u"x.zip.",     u"x.zip ",
    u"dir./x.zip",    u"dir /x.zip",    u"a/./b",    u"...",        u" "};
// Near misses; a superscript four names no port, and full-width letters are not the ASCII
// ones to Windows.
constexpr std::u16string_view kPortable[] = {
    u"console.txt",   u"con1.txt",        u"com10.zip",  u"lpt.txt",       u"nul_.txt",
    u"auxiliary.zip", u"x.con",           u"my con.txt", u"COM\u2074.zip", u"\uFF23\uFF2F\uFF2E",
    u"a.b.c",         u".hidden",         u"..a",        u"a/..b",         u"a b.zip",
    u"sub/a.zip",     u"\u8865\u4E01.zip"};

TEST(ArchiveNamesTest, NamesWindowsReadAsSomethingElseAreNeitherEntriesNorDownloads) {
  for (const std::u16string_view name : kNotPortable) {
    EXPECT_FALSE(IsPortablePath(name)) << Utf16ToUtf8(name);
    EXPECT_FALSE(IsAcceptableDownloadName(name)) << Utf16ToUtf8(name);
  }
  for (const std::u16string_view name : kPortable) {
    EXPECT_TRUE(IsPortablePath(name)) << Utf16ToUtf8(name);
    EXPECT_TRUE(IsAcceptableDownloadName(name)) << Utf16ToUtf8(name);
  }
}

TEST(ArchiveNamesTest, AttributesFromWindowsHostsAreTakenAsTheyAre) {
  for (uint16_t host : {0, 7, 11, 14}) {
    const auto madeBy = static_cast<uint16_t>(host << 8 | 20);
    EXPECT_EQ(MapEntryAttributes(madeBy, 0x21), 0x21u) << host;
    EXPECT_EQ(MapEntryAttributes(madeBy, 0x16), 0x16u) << host;
    EXPECT_EQ(MapEntryAttributes(madeBy, 0xFFFFFFC8), 0u) << host;  // other bits dropped
  }
}

TEST(ArchiveNamesTest, AttributesFromOtherHostsComeFromTheUnixMode) {
  const uint16_t unix = 3 << 8 | 30;
  EXPECT_EQ(MapEntryAttributes(unix, 0100644u << 16), uint32_t{kAttrArchive});
  EXPECT_EQ(MapEntryAttributes(unix, 0100444u << 16), uint32_t{kAttrArchive | kAttrReadOnly});
  EXPECT_EQ(MapEntryAttributes(unix, 040755u << 16), uint32_t{kAttrArchive | kAttrDirectory});
  // DOS bits mean nothing here, and hidden or system never come from a mode.
  EXPECT_EQ(MapEntryAttributes(unix, 0x16), uint32_t{kAttrArchive | kAttrReadOnly});
  EXPECT_EQ(MapEntryAttributes(19 << 8, 0100600u << 16), uint32_t{kAttrArchive});
}

TEST(ArchiveNamesTest, DosDateAndTimeFields) {
  // 2019-07-21 10:20:30
  const uint32_t date = (39u << 9) | (7u << 5) | 21u;
  const uint32_t time = (10u << 11) | (20u << 5) | 15u;
  const LocalTime local = DosDateTimeToLocal(date << 16 | time);
  EXPECT_EQ(local.year, 2019);
  EXPECT_EQ(local.month, 7);
  EXPECT_EQ(local.day, 21);
  EXPECT_EQ(local.hour, 10);
  EXPECT_EQ(local.minute, 20);
  EXPECT_EQ(local.second, 30);
  EXPECT_EQ(UnixTimeToFileTime(0), 116444736000000000LL);
}

std::string Block(uint16_t tag, std::string data) {
  std::string block{static_cast<char>(tag & 0xFF), static_cast<char>(tag >> 8),
                    static_cast<char>(data.size() & 0xFF), static_cast<char>(data.size() >> 8)};
  return block + data;
}

std::string Le32(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

TEST(ArchiveNamesTest, TheFirstUtBlockOverridesTheTimesItsFlagsName) {
  const int64_t dos = 1;
  FileTimes times{dos, dos, dos};
  ApplyExtendedTimestamp(Block(0x000A, std::string(32, '\0')) +
                             Block(0x5455, "\x07" + Le32(100) + Le32(200) + Le32(-300)) +
                             Block(0x5455, "\x07" + Le32(9) + Le32(9) + Le32(9)),
                         times);
  EXPECT_EQ(times.lastWrite, UnixTimeToFileTime(100));
  EXPECT_EQ(times.lastAccess, UnixTimeToFileTime(200));
  EXPECT_EQ(times.creation, UnixTimeToFileTime(-300));

  times = {dos, dos, dos};
  ApplyExtendedTimestamp(Block(0x5455, "\x01" + Le32(100)), times);
  EXPECT_EQ(times.lastWrite, UnixTimeToFileTime(100));
  EXPECT_EQ(times.lastAccess, dos);
  EXPECT_EQ(times.creation, dos);

  times = {dos, dos, dos};  // access only: the first time field is the access time
  ApplyExtendedTimestamp(Block(0x5455, "\x02" + Le32(200)), times);
  EXPECT_EQ(times.lastWrite, dos);
  EXPECT_EQ(times.lastAccess, UnixTimeToFileTime(200));
}

TEST(ArchiveNamesTest, BrokenExtraFieldsChangeNothingTheyDoNotHold) {
  const int64_t dos = 1;
  FileTimes times{dos, dos, dos};
  // The flags promise three times; the block holds one.
  ApplyExtendedTimestamp(Block(0x5455, "\x07" + Le32(100)) + Le32(5) + Le32(6), times);
  EXPECT_EQ(times.lastWrite, UnixTimeToFileTime(100));
  EXPECT_EQ(times.lastAccess, dos);

  times = {dos, dos, dos};
  ApplyExtendedTimestamp(Block(0x5455, "") + Block(0x5455, "\x01" + Le32(100)), times);
  EXPECT_EQ(times.lastWrite, dos);  // the first UT block is the only one looked at

  times = {dos, dos, dos};
  ApplyExtendedTimestamp(std::string("UT\x05\x00", 4), times);  // no data byte left
  ApplyExtendedTimestamp(Block(0x1234, std::string(3, 'x')).substr(0, 6), times);
  std::string overrun = Block(0x0001, "abc");
  overrun[2] = '\x7F';  // says it is longer than the field
  ApplyExtendedTimestamp(overrun + Block(0x5455, "\x01" + Le32(100)), times);
  EXPECT_EQ(times.lastWrite, dos);
  EXPECT_EQ(times.creation, dos);
}

}  // namespace
}  // namespace zeva
