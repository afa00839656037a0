// UnzipFile over real archives made by Info-ZIP, 7-Zip and Python, on real files: names,
// folders, replacing, attributes, times, and every way an archive or the disk can fail.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "download/archive_extractor.h"
#include "platform/path_style.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"
#include "support/test_platform.h"

#if !defined(_WIN32)
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#endif

namespace zeva {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::TestArchive;
using test::WriteBytes;

constexpr int64_t kTreeTime = 1600000000;  // the files' time when the tools archived them

std::u16string Port(std::u16string name) {
  for (char16_t& c : name) {
    if (c == u'/') c = kPathSeparator;
  }
  return name;
}

int64_t UnixWriteTime(std::u16string_view path) {
  const auto time = fs::last_write_time(test::NativePath(path));
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::file_clock::to_sys(time).time_since_epoch())
      .count();
}

int64_t ToUnix(int64_t fileTime) {
  return fileTime / 10000000 - 11644473600LL;
}

std::set<std::u16string> Names(std::u16string_view folder) {
  std::set<std::u16string> names;
  for (const auto& entry : fs::directory_iterator(test::NativePath(folder))) {
    names.insert(entry.path().filename().u16string());
  }
  return names;
}

class ArchiveExtractorTest : public ::testing::Test {
 protected:
  int32_t Unzip(std::u16string_view archive) { return Unzip(archive, m_target); }
  int32_t Unzip(std::u16string_view archive, std::u16string_view folder) {
    return UnzipFile(m_test.platform, TestArchive(archive), folder);
  }
  std::u16string Out(std::u16string_view name) const {
    return m_target + Port(std::u16string(name));
  }
  bool Exists(std::u16string_view name) const { return fs::exists(test::NativePath(Out(name))); }
  bool IsFolder(std::u16string_view name) const {
    return fs::is_directory(test::NativePath(Out(name)));
  }
  bool IsReadOnly(std::u16string_view name) {
    const auto attributes = m_test.files.GetAttributes(Out(name));
    return attributes && (*attributes & kAttrReadOnly);
  }

  TempFolder m_folder;
  test::TestPlatform m_test;
  std::u16string m_target = m_folder / u"out" + kPathSeparator;
};

TEST_F(ArchiveExtractorTest, InfoZipArchiveWithItsFoldersContentsAndUtTimes) {
  ASSERT_EQ(Unzip(u"infozip_ut.zip"), 1);
  EXPECT_EQ(ReadBytes(Out(u"readme.txt")), [] {
    std::string text;
    for (int i = 0; i < 10; ++i) text += "hello ZEVA\n";
    return text;
  }());
  EXPECT_EQ(ReadBytes(Out(u"sub/dir/file.txt")), "nested file\n");
  EXPECT_EQ(ReadBytes(Out(u"big.txt")).size(), 336000u);
  EXPECT_EQ(ReadBytes(Out(u"big.txt")).substr(0, 41), "line 000000 of a compressible add-on file");
  EXPECT_EQ(ReadBytes(Out(u"random.bin")).size(), 100000u);
  EXPECT_TRUE(IsFolder(u"empty"));
  EXPECT_TRUE(fs::is_empty(test::NativePath(Out(u"empty"))));
  EXPECT_EQ(UnixWriteTime(Out(u"readme.txt")), kTreeTime);
  EXPECT_EQ(UnixWriteTime(Out(u"random.bin")), kTreeTime);
  EXPECT_FALSE(IsReadOnly(u"readme.txt"));
}

TEST_F(ArchiveExtractorTest, EveryToolsArchiveOfTheSameFilesGivesTheSameFiles) {
  ASSERT_EQ(Unzip(u"infozip_ut.zip"), 1);
  for (const char16_t* archive : {u"infozip_nox.zip", u"sevenzip.zip"}) {
    const std::u16string other = m_folder / archive + kPathSeparator;
    ASSERT_EQ(Unzip(archive, other), 1) << fs::path(archive);
    for (const char16_t* name : {u"readme.txt", u"sub/dir/file.txt", u"big.txt", u"random.bin"}) {
      EXPECT_EQ(ReadBytes(other + Port(name)), ReadBytes(Out(name))) << fs::path(name);
    }
    EXPECT_TRUE(fs::is_directory(test::NativePath(other + u"empty")));
  }
}

TEST_F(ArchiveExtractorTest, WithoutUtFieldsTheDosTimeIsLocalTime) {
  ASSERT_EQ(Unzip(u"infozip_nox.zip"), 1);
  // The tool wrote the DOS fields in UTC: 2020-09-13 12:26:40.
  const std::optional<int64_t> expected =
      m_test.files.LocalTimeToFileTime(LocalTime{2020, 9, 13, 12, 26, 40});
  ASSERT_TRUE(expected);
  EXPECT_EQ(UnixWriteTime(Out(u"readme.txt")), ToUnix(*expected));
}

#if !defined(_WIN32)
TEST_F(ArchiveExtractorTest, DosTimesAreConvertedWithTheTimeZone) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  ::setenv("TZ", "CST-8", 1);  // China Standard Time, no daylight saving
  ::tzset();
  const int32_t result = Unzip(u"infozip_nox.zip");
  old ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
  ASSERT_EQ(result, 1);
  EXPECT_EQ(UnixWriteTime(Out(u"readme.txt")), kTreeTime - 8 * 3600);
}
#endif

TEST_F(ArchiveExtractorTest, AUtBlockWithOnlyAModificationTimeKeepsTheDosTimeForTheRest) {
  ASSERT_EQ(Unzip(u"ut_mtime.zip"), 1);
  EXPECT_EQ(UnixWriteTime(Out(u"t.txt")), 1500000000);
#if !defined(_WIN32)
  struct stat st {};
  ASSERT_EQ(::stat(test::NativePath(Out(u"t.txt")).c_str(), &st), 0);
  const std::optional<int64_t> dos =
      m_test.files.LocalTimeToFileTime(LocalTime{2019, 7, 21, 10, 20, 30});
  ASSERT_TRUE(dos);
  EXPECT_EQ(st.st_atime, ToUnix(*dos));
#endif
}

TEST_F(ArchiveExtractorTest, NamesLoseDrivesRootsAndInnerParents) {
  ASSERT_EQ(Unzip(u"names.zip"), 1);
  EXPECT_EQ(ReadBytes(Out(u"Windows/x.dll")), "dll");
  EXPECT_EQ(ReadBytes(Out(u"abc/x")), "abc");
  EXPECT_EQ(ReadBytes(Out(u"b/x")), "b");
  EXPECT_EQ(Names(m_target), (std::set<std::u16string>{u"Windows", u"abc", u"b"}));
}

TEST_F(ArchiveExtractorTest, ZipSlipEntriesStayInsideTheTarget) {
  for (const char16_t* archive : {u"zipslip_slash.zip", u"zipslip_backslash.zip"}) {
    TempFolder folder;
    const std::u16string target = folder / u"game" + kPathSeparator + u"out" + kPathSeparator;
    ASSERT_EQ(Unzip(archive, target), 1) << fs::path(archive);
    EXPECT_EQ(Names(folder.Path()), std::set<std::u16string>{u"game"});
    EXPECT_EQ(Names(folder / u"game"), std::set<std::u16string>{u"out"});
    EXPECT_EQ(ReadBytes(target + u"slip1.txt"), "1");
    EXPECT_EQ(ReadBytes(target + u"slip2.txt"), "2");
    EXPECT_EQ(ReadBytes(target + Port(u"b/slip3.txt")), "3");
    EXPECT_EQ(ReadBytes(target + Port(u"f/slip6.txt")), "6");
  }
}

TEST_F(ArchiveExtractorTest, ChineseNamesInTheCodePageAndInUtf8) {
  ASSERT_EQ(Unzip(u"gbk.zip"), 1);
  EXPECT_EQ(ReadBytes(Out(u"中文.txt")), "gbk name\n");
  ASSERT_EQ(Unzip(u"utf8.zip"), 1);
  EXPECT_EQ(ReadBytes(Out(u"中文/文件.txt")), "UTF-8 名字");
}

TEST_F(ArchiveExtractorTest, NamesAndPathsLongerThanTheOldBuffers) {
  ASSERT_EQ(Unzip(u"long_names.zip"), 1);
  const std::u16string name = std::u16string(100, u'd') + u"/" + std::u16string(100, u'e') + u"/" +
                              std::u16string(100, u'f') + u"/" + std::u16string(100, u'g') +
                              u".txt";
  EXPECT_EQ(m_test.files.ReadAll(Out(name)), "deep");
}

TEST_F(ArchiveExtractorTest, MissingTargetWithATrailingSeparatorIsCreatedWhole) {
  const std::u16string target = m_folder / Port(u"a/b/c/");
  ASSERT_EQ(Unzip(u"empty.zip", target), 1);
  EXPECT_TRUE(fs::is_directory(test::NativePath(target)));
}

TEST_F(ArchiveExtractorTest, MissingTargetWithoutOneIsMadeByItsFirstEntry) {
  const std::u16string target = m_folder / Port(u"a/b/c");
  ASSERT_EQ(Unzip(u"empty.zip", target), 1);
  EXPECT_TRUE(fs::is_directory(test::NativePath(m_folder / Port(u"a/b"))));
  EXPECT_FALSE(fs::exists(test::NativePath(target)));  // no entry, no folder
  ASSERT_EQ(Unzip(u"names.zip", target), 1);
  EXPECT_EQ(ReadBytes(target + kPathSeparator + Port(u"b/x")), "b");
}

TEST_F(ArchiveExtractorTest, EmptyArgumentsMissingArchivesAndBareFolderNamesFail) {
  EXPECT_EQ(UnzipFile(m_test.platform, u"", m_target), 0);
  EXPECT_EQ(Unzip(u"names.zip", u""), 0);
  EXPECT_EQ(Unzip(u"missing.zip"), 0);
  EXPECT_EQ(Unzip(u"names.zip", u"no-separator-at-all"), 0);
  EXPECT_FALSE(fs::exists(test::NativePath(m_target)));
}

TEST_F(ArchiveExtractorTest, AnExistingFileIsReplacedAndTakesTheArchiveTime) {
  ASSERT_TRUE(m_test.files.CreateFolder(m_target));
  WriteBytes(Out(u"readme.txt"), std::string(5000, 'o'));
  ASSERT_EQ(Unzip(u"infozip_ut.zip"), 1);
  EXPECT_EQ(ReadBytes(Out(u"readme.txt")).size(), 110u);
  EXPECT_EQ(UnixWriteTime(Out(u"readme.txt")), kTreeTime);
}

TEST_F(ArchiveExtractorTest, AnExistingReadOnlyFileStopsTheExtraction) {
  ASSERT_EQ(Unzip(u"readonly.zip"), 1);
  EXPECT_TRUE(IsReadOnly(u"locked.txt"));
  EXPECT_EQ(Unzip(u"readonly.zip"), 0);
  EXPECT_EQ(ReadBytes(Out(u"locked.txt")), "read-only add-on file\n");
}

TEST_F(ArchiveExtractorTest, AttributesFromDosAndUnixHosts) {
  ASSERT_EQ(Unzip(u"dos_attrs.zip"), 1);
  EXPECT_TRUE(IsReadOnly(u"ro.txt"));
  EXPECT_TRUE(IsReadOnly(u"unixro.txt"));
  EXPECT_FALSE(IsReadOnly(u"hidden.txt"));
  EXPECT_EQ(ReadBytes(Out(u"system.txt")), "s");
  EXPECT_TRUE(IsFolder(u"dosdir"));  // a folder by its attribute, without a trailing '/'
}

TEST_F(ArchiveExtractorTest, EmptyArchiveAndOddButHarmlessEntries) {
  EXPECT_EQ(Unzip(u"empty.zip"), 1);
  EXPECT_EQ(Unzip(u"slash_only.zip"), 1);
  EXPECT_EQ(ReadBytes(Out(u"ok.txt")), "ok");
  EXPECT_EQ(Unzip(u"dir_no_slash.zip"), 1);
  EXPECT_TRUE(IsFolder(u"plaindir"));
  EXPECT_EQ(ReadBytes(Out(u"plaindir/inside.txt")), "in");
  EXPECT_EQ(Unzip(u"duplicates.zip"), 1);
  EXPECT_EQ(ReadBytes(Out(u"dup.txt")), "second");  // central-directory order
}

TEST_F(ArchiveExtractorTest, AnEntryNamedOnlyADriveFailsAfterTheEntriesBeforeIt) {
  EXPECT_EQ(Unzip(u"drive_only.zip"), 0);
  EXPECT_EQ(ReadBytes(Out(u"ok.txt")), "ok");
  EXPECT_FALSE(Exists(u"after.txt"));
}

TEST_F(ArchiveExtractorTest, AnEncryptedEntryFailsWithoutTouchingTheFileItWouldReplace) {
  ASSERT_TRUE(m_test.files.CreateFolder(m_target));
  WriteBytes(Out(u"plain.txt"), "keep");
  EXPECT_EQ(Unzip(u"encrypted.zip"), 0);
  EXPECT_EQ(ReadBytes(Out(u"plain.txt")), "keep");
}

struct BrokenCase {
  const char16_t* archive;
  bool firstWritten;
};

TEST_F(ArchiveExtractorTest, BrokenArchivesStopAtTheDamagedEntry) {
  const BrokenCase cases[] = {
      {u"broken_truncated.zip", false},  // no end record: not a ZIP archive
      {u"broken_cd.zip", true},          // second central record damaged
      {u"broken_local.zip", true},       // second local header damaged
      {u"broken_method.zip", true},      // a method that cannot be read
      {u"broken_nul.zip", true},         // a NUL inside the name
      {u"broken_crc.zip", true},         // data does not match its CRC
      {u"broken_csize.zip", false},      // data said to run past the end: refused whole
      {u"broken_deflate.zip", true},     // a corrupt deflate stream
      {u"broken_size.zip", true},        // the stream ends before the recorded size
  };
  for (const BrokenCase& c : cases) {
    TempFolder folder;
    const std::u16string target = folder / u"out" + kPathSeparator;
    ASSERT_TRUE(m_test.files.CreateFolder(target));
    WriteBytes(target + u"second.txt", "before");
    EXPECT_EQ(Unzip(c.archive, target), 0) << fs::path(c.archive);
    EXPECT_EQ(ReadBytes(target + u"first.txt"), c.firstWritten ? "first entry\n" : "")
        << fs::path(c.archive);
    // The damaged entry's file is as it was, and no part of the entry is left anywhere.
    EXPECT_EQ(ReadBytes(target + u"second.txt"), "before") << fs::path(c.archive);
    std::set<std::u16string> expected{u"second.txt"};
    if (c.firstWritten) expected.insert(u"first.txt");
    EXPECT_EQ(Names(target), expected) << fs::path(c.archive);
  }
}

TEST_F(ArchiveExtractorTest, AFullDiskStopsTheExtractionWithoutAPartialFile) {
  ASSERT_TRUE(m_test.files.CreateFolder(m_target));
  WriteBytes(Out(u"big.txt"), "before");
  m_test.files.createdFileCapacity = 1000;
  EXPECT_EQ(Unzip(u"infozip_ut.zip"), 0);
  EXPECT_EQ(ReadBytes(Out(u"readme.txt")).size(), 110u);
  EXPECT_EQ(ReadBytes(Out(u"big.txt")), "before");
  EXPECT_EQ(Names(m_target),
            (std::set<std::u16string>{u"readme.txt", u"sub", u"empty", u"big.txt"}));
}

// The extractor's steps, each failing where it should.
class ExtractorStepsTest : public ArchiveExtractorTest {
 protected:
  ArchiveExtractor m_extractor{m_test.files, *m_test.codec};
};

TEST_F(ExtractorStepsTest, EachFailureIsReportedByItsStep) {
  ASSERT_TRUE(m_extractor.OpenArchive(TestArchive(u"broken_local.zip")));
  m_extractor.SetTargetFolder(m_target);
  EXPECT_EQ(m_extractor.EntryCount(), 3u);
  EXPECT_TRUE(m_extractor.GetEntry(0));
  EXPECT_FALSE(m_extractor.GetEntry(1));
  EXPECT_TRUE(m_extractor.GetEntry(2));  // the reader moves on past a damaged local header

  ASSERT_TRUE(m_extractor.OpenArchive(TestArchive(u"broken_crc.zip")));
  EXPECT_EQ(m_extractor.ExtractEntry(0), ExtractResult::kOk);
  EXPECT_EQ(m_extractor.ExtractEntry(1), ExtractResult::kDataError);

  ASSERT_TRUE(m_extractor.OpenArchive(TestArchive(u"encrypted.zip")));
  ASSERT_TRUE(m_extractor.GetEntry(0));
  EXPECT_TRUE(m_extractor.GetEntry(0)->encrypted);
  EXPECT_EQ(m_extractor.ExtractEntry(0), ExtractResult::kEncrypted);

  ASSERT_TRUE(m_extractor.OpenArchive(TestArchive(u"readonly.zip")));
  EXPECT_EQ(m_extractor.ExtractEntry(0), ExtractResult::kOk);
  EXPECT_EQ(m_extractor.ExtractEntry(0), ExtractResult::kCreateFailed);

  m_test.files.createdFileCapacity = 10;
  ASSERT_TRUE(m_extractor.OpenArchive(TestArchive(u"names.zip")));
  EXPECT_EQ(m_extractor.ExtractEntry(1), ExtractResult::kOk);  // "abc": 3 bytes
  m_test.files.createdFileCapacity = 1;
  EXPECT_EQ(m_extractor.ExtractEntry(0), ExtractResult::kWriteFailed);

  EXPECT_FALSE(m_extractor.OpenArchive(TestArchive(u"broken_truncated.zip")));
  EXPECT_FALSE(m_extractor.OpenArchive(TestArchive(u"missing.zip")));
  EXPECT_FALSE(m_extractor.GetEntry(0));
}

TEST_F(ExtractorStepsTest, AFolderRemovedDuringTheExtractionIsMadeAgain) {
  // Folders are made once per extraction; one removed meanwhile must not fail its entries.
  ASSERT_TRUE(m_extractor.OpenArchive(TestArchive(u"infozip_ut.zip")));
  m_extractor.SetTargetFolder(m_target);
  uint64_t nested = 0;
  while (m_extractor.GetEntry(nested) &&
         m_extractor.GetEntry(nested)->name != Port(u"sub/dir/file.txt")) {
    ++nested;
  }
  ASSERT_EQ(m_extractor.ExtractEntry(nested), ExtractResult::kOk);
  fs::remove_all(test::NativePath(Out(u"sub")));
  EXPECT_EQ(m_extractor.ExtractEntry(nested), ExtractResult::kOk);
  EXPECT_EQ(ReadBytes(Out(u"sub/dir/file.txt")), "nested file\n");
}

// Counts what minizip asks of the file.
class CountingReader final : public IFileReader {
 public:
  CountingReader(std::unique_ptr<IFileReader> real, int& reads)
      : m_real(std::move(real)), m_reads(reads) {}
  std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) override {
    ++m_reads;
    return m_real->ReadAt(offset, data, size);
  }
  std::optional<uint64_t> Size() override { return m_real->Size(); }

 private:
  std::unique_ptr<IFileReader> m_real;
  int& m_reads;
};

TEST_F(ExtractorStepsTest, TheLastEntryReadIsKept) {
  int reads = 0;
  ASSERT_TRUE(m_extractor.OpenArchive(std::make_unique<CountingReader>(
      m_test.files.OpenForReading(TestArchive(u"names.zip")), reads)));
  const EntryInfo* entry = m_extractor.GetEntry(2);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->index, 2u);
  EXPECT_EQ(entry->name, Port(u"b/x"));
  EXPECT_EQ(entry->uncompressedSize, 1u);
  const int afterFirst = reads;
  EXPECT_EQ(m_extractor.GetEntry(2), entry);
  EXPECT_EQ(reads, afterFirst);
  // Going back starts again from the first entry.
  ASSERT_TRUE(m_extractor.GetEntry(0));
  EXPECT_EQ(m_extractor.GetEntry(0)->name, Port(u"Windows/x.dll"));
}

}  // namespace
}  // namespace zeva
