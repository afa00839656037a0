// UnzipFile over archives laid out byte by byte: entries that share bytes with each other or
// with the central directory, prefixes and data descriptors, and names Windows reads as
// something other than a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "download/archive_extractor.h"
#include "platform/path_style.h"
#include "platform/unicode.h"
#include "support/temp_folder.h"
#include "support/test_blob.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr uint16_t kDescriptorFlag = 0x0008;
constexpr uint16_t kUtf8Flag = 0x0800;

// Little-endian fields of the given widths, in order.
std::string Fields(std::initializer_list<std::pair<uint64_t, int>> fields) {
  std::string out;
  for (const auto& [value, bytes] : fields) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
  return out;
}

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A local header of a stored entry and its data; with bit 3 set its CRC and sizes are zero.
std::string LocalEntry(std::string_view name, std::string_view data, uint16_t flags = 0,
                       std::string_view extra = {}) {
  const bool deferred = flags & kDescriptorFlag;
  const uint64_t size = deferred ? 0 : data.size();
  return Fields({{0x04034B50, 4},
                 {20, 2},
                 {flags, 2},
                 {0, 2},
                 {0x50210000, 4},
                 {deferred ? 0 : Crc32(data), 4},
                 {size, 4},
                 {size, 4},
                 {name.size(), 2},
                 {extra.size(), 2}}) +
         std::string(name) + std::string(extra) + std::string(data);
}

// An archive whose central records may point anywhere: each names an offset and a size. The
// local header found there is made to agree with its record, as it would in an archive made
// to do harm (minizip fails an entry whose headers disagree): the size, and the CRC of the
// bytes that size covers, unless bit 3 leaves them to a data descriptor.
class ZipLayout {
 public:
  uint32_t Add(std::string_view name, std::string_view data, uint16_t flags = 0,
               std::string_view extra = {}) {
    const auto offset = Size();
    m_bytes += LocalEntry(name, data, flags, extra);
    return offset;
  }
  void Append(std::string_view bytes) { m_bytes += bytes; }
  void Record(std::string name, uint32_t offset, uint32_t size, uint16_t flags = 0) {
    m_records.push_back({std::move(name), offset, size, flags});
  }
  uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }

  std::string Finish() const {
    std::string zip = m_bytes;
    const auto field = [&](size_t at) {
      return static_cast<uint8_t>(zip[at]) | static_cast<uint8_t>(zip[at + 1]) << 8;
    };
    std::vector<uint32_t> crcs;
    for (const CentralRecord& r : m_records) {
      const size_t data = r.offset + 30u + field(r.offset + 26u) + field(r.offset + 28u);
      crcs.push_back(Crc32(std::string_view(zip).substr(data, r.size)));
      if (field(r.offset + 6u) & kDescriptorFlag) continue;
      zip.replace(r.offset + 14u, 12, Fields({{crcs.back(), 4}, {r.size, 4}, {r.size, 4}}));
    }
    const auto directoryStart = Size();
    for (size_t i = 0; i < m_records.size(); ++i) {
      const CentralRecord& r = m_records[i];
      // Made by and for version 2.0, stored, no extra field, comment or attributes.
      zip += Fields({{0x02014B50, 4},
                     {20, 2},
                     {20, 2},
                     {r.flags, 2},
                     {0, 2},
                     {0x50210000, 4},
                     {crcs[i], 4},
                     {r.size, 4},
                     {r.size, 4},
                     {r.name.size(), 2},
                     {0, 8},
                     {0, 4},
                     {r.offset, 4}}) +
             r.name;
    }
    zip += Fields({{0x06054B50, 4},
                   {0, 4},
                   {m_records.size(), 2},
                   {m_records.size(), 2},
                   {zip.size() - directoryStart, 4},
                   {directoryStart, 4},
                   {0, 2}});
    return zip;
  }

 private:
  struct CentralRecord {
    std::string name;
    uint32_t offset, size;
    uint16_t flags;
  };
  std::string m_bytes;
  std::vector<CentralRecord> m_records;
};

std::set<std::u16string> Names(std::u16string_view folder) {
  std::set<std::u16string> names;
  for (const auto& entry : fs::directory_iterator(test::NativePath(folder))) {
    names.insert(entry.path().filename().u16string());
  }
  return names;
}

class ArchiveCraftedTest : public ::testing::Test {
 protected:
  int32_t Unzip(const std::string& zip, std::u16string_view target) {
    const std::u16string archive = m_folder / u"crafted.zip";
    WriteBytes(archive, zip);
    return UnzipFile(m_test.platform, archive, target);
  }

  TempFolder m_folder;
  test::TestPlatform m_test;
};

// Two entries of 1000 bytes side by side, listed with these sizes (and flags for the first).
std::string SideBySide(uint32_t firstSize, uint32_t secondSize, uint16_t firstFlags = 0) {
  const std::string data(1000, 'a');
  ZipLayout z;
  const uint32_t a = z.Add("a.txt", data, firstFlags);
  const uint32_t b = z.Add("b.txt", data);
  z.Record("a.txt", a, firstSize, firstFlags);
  z.Record("b.txt", b, secondSize);
  return z.Finish();
}

struct SharedBytesCase {
  const char* what;
  std::string zip;
};

std::vector<SharedBytesCase> SharedBytesCases() {
  std::vector<SharedBytesCase> cases = {
      {"data running into the next local header", SideBySide(1010, 1000)},
      {"data running into the central directory", SideBySide(1000, 1020)},
      {"a header where a data descriptor belongs", SideBySide(1000, 1000, kDescriptorFlag)},
  };
  {
    ZipLayout z;
    const uint32_t a = z.Add("a.txt", std::string(1000, 'a'));
    // Names as long as the local one, which minizip compares.
    for (int i = 0; i < 200; ++i) z.Record(std::to_string(10000 + i), a, 1000);
    cases.push_back({"the same data listed 200 times", z.Finish()});
  }
  {
    ZipLayout z;
    const uint32_t a = z.Add("a.txt", "head" + LocalEntry("b.txt", "inner") + "tail");
    z.Record("a.txt", a, 4 + 30 + 5 + 5 + 4);
    z.Record("b.txt", a + 30 + 5 + 4, 5);
    cases.push_back({"an entry inside another's data", z.Finish()});
  }
  {
    // The local extra field is longer than the central one: only the local header tells
    // that the second entry lies inside the first one's data.
    ZipLayout z;
    const std::string extra = Fields({{0xCAFE, 2}, {196, 2}}) + std::string(196, 'x');
    const uint32_t a = z.Add("a.txt", std::string(64, 'f') + LocalEntry("b.txt", "x"), 0, extra);
    z.Record("a.txt", a, 64 + 30 + 5 + 1);
    z.Record("b.txt", a + 30 + 5 + 200 + 64, 1);
    cases.push_back({"an entry inside data after a long local extra field", z.Finish()});
  }
  return cases;
}

TEST_F(ArchiveCraftedTest, ArchivesWhoseEntriesShareBytesAreRefusedBeforeAnythingIsWritten) {
  for (const SharedBytesCase& c : SharedBytesCases()) {
    TempFolder folder;
    const std::u16string target = folder / u"out" + kPathSeparator;
    ASSERT_TRUE(m_test.files.CreateFolder(target));
    WriteBytes(target + u"a.txt", "keep");
    EXPECT_EQ(Unzip(c.zip, target), 0) << c.what;
    EXPECT_EQ(Names(target), std::set<std::u16string>{u"a.txt"}) << c.what;
    EXPECT_EQ(ReadBytes(target + u"a.txt"), "keep") << c.what;
    // Not even the missing target's parent is made.
    const std::u16string missing = folder / u"new" + kPathSeparator + u"out" + kPathSeparator;
    EXPECT_EQ(Unzip(c.zip, missing), 0) << c.what;
    EXPECT_EQ(Names(folder.Path()), std::set<std::u16string>{u"out"}) << c.what;

    ArchiveExtractor extractor(m_test.files, *m_test.codec);
    EXPECT_FALSE(extractor.OpenArchive(m_folder / u"crafted.zip")) << c.what;
  }
}

TEST_F(ArchiveCraftedTest, DescriptorsPrefixesAndLongLocalExtraFieldsStillExtract) {
  ZipLayout z;
  const std::string one(300, '1');
  const std::string two(200, '2');
  const uint32_t a = z.Add("one.txt", one, kDescriptorFlag);
  // A data descriptor with its signature (16 bytes), then one without (12 bytes).
  z.Append(Fields({{0x08074B50, 4}, {Crc32(one), 4}, {one.size(), 4}, {one.size(), 4}}));
  const uint32_t b = z.Add("two.txt", two, kDescriptorFlag);
  z.Append(Fields({{Crc32(two), 4}, {two.size(), 4}, {two.size(), 4}}));
  const uint32_t c = z.Add("three.txt", "3", 0, std::string(40, '\0'));
  const uint32_t d = z.Add("four.txt", "4");
  z.Record("one.txt", a, 300, kDescriptorFlag);
  z.Record("two.txt", b, 200, kDescriptorFlag);
  z.Record("three.txt", c, 1);
  z.Record("four.txt", d, 1);
  // A program in front of the archive (a self-extractor): every offset is off by its length.
  const std::string zip = std::string(1000, 'M') + z.Finish();

  const std::u16string target = m_folder / u"out" + kPathSeparator;
  ASSERT_EQ(Unzip(zip, target), 1);
  EXPECT_EQ(ReadBytes(target + u"one.txt"), one);
  EXPECT_EQ(ReadBytes(target + u"two.txt"), two);
  EXPECT_EQ(ReadBytes(target + u"three.txt"), "3");
  EXPECT_EQ(ReadBytes(target + u"four.txt"), "4");
}

TEST_F(ArchiveCraftedTest, AnArchiveOfManyEntriesExtractsWhole) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < 1000; ++i) {
    entries.emplace_back("d" + std::to_string(i % 10) + "/f" + std::to_string(i) + ".txt",
                         std::to_string(i));
  }
  const std::u16string target = m_folder / u"out" + kPathSeparator;
  ASSERT_EQ(Unzip(test::MakeStoredZip(std::move(entries)), target), 1);
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(test::NativePath(target))) {
    files += entry.is_regular_file();
  }
  EXPECT_EQ(files, 1000u);
  EXPECT_EQ(ReadBytes(target + u"d7" + kPathSeparator + u"f997.txt"), "997");
}

TEST_F(ArchiveCraftedTest, NamesWindowsReadAsSomethingElseFailTheirEntry) {
  // Stored as UTF-8 (bit 11), so that the superscript digit survives.
  const char* const names[] = {
      "CON",  "sub/nul.txt", "aux.tar.gz", "Lpt1 .log", "COM\xC2\xB9.txt",
      "aux/", "x.txt:data",  "a/C:/x.txt", "x.txt ",    "dir./x.txt",
  };
  for (const char* name : names) {
    TempFolder folder;
    const std::u16string target = folder / u"out" + kPathSeparator;
    ZipLayout z;
    const uint32_t ok = z.Add("ok.txt", "ok");
    const uint32_t bad = z.Add(name, "bad", kUtf8Flag);
    const uint32_t after = z.Add("after.txt", "after");
    z.Record("ok.txt", ok, 2);
    z.Record(name, bad, 3, kUtf8Flag);
    z.Record("after.txt", after, 5);
    EXPECT_EQ(Unzip(z.Finish(), target), 0) << name;
    EXPECT_EQ(Names(target), std::set<std::u16string>{u"ok.txt"}) << name;
  }
}

}  // namespace
}  // namespace zeva
