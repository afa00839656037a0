// The port's file layer, single-instance lock and code page: the same expectations on both
// ports, so Windows semantics and the POSIX port cannot drift apart.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/path_style.h"
#include "platform/port.h"
#include "support/temp_folder.h"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace zeva {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

class FilesTest : public ::testing::Test {
 protected:
  TempFolder m_folder;
  std::unique_ptr<IFileSystem> m_files = CreateFileSystem();
};

TEST_F(FilesTest, FindFirstMatchesWildcardsWithoutRegardToCase) {
  WriteBytes(m_folder / u"QQLogin.exe", "x");
  WriteBytes(m_folder / u"readme.txt", "x");
  ASSERT_TRUE(m_files->CreateFolder(m_folder / u"sub"));

  auto found = m_files->FindFirst(m_folder / u"QQLogin.exe");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, u"QQLogin.exe");
  EXPECT_FALSE(found->attributes & kAttrDirectory);

  found = m_files->FindFirst(m_folder / u"qqlogin.EXE");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, u"QQLogin.exe");  // the name as it is on disk

  found = m_files->FindFirst(m_folder / u"*.t?t");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, u"readme.txt");

  found = m_files->FindFirst(m_folder / u"s*");
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->attributes & kAttrDirectory);

  EXPECT_TRUE(m_files->FindFirst(m_folder / u"*.*"));
  EXPECT_FALSE(m_files->FindFirst(m_folder / u"*.dll"));
  EXPECT_FALSE(m_files->FindFirst(m_folder / u"missing"));
  EXPECT_FALSE(m_files->FindFirst(m_folder.Path()));  // ends in a separator
}

TEST_F(FilesTest, CopyAndMoveReplaceTheTarget) {
  const std::u16string a = m_folder / u"a.bin", b = m_folder / u"b.bin", c = m_folder / u"c.bin";
  WriteBytes(a, "first");
  WriteBytes(b, "second, longer");
  EXPECT_TRUE(m_files->Copy(a, b));
  EXPECT_EQ(ReadBytes(b), "first");
  EXPECT_EQ(ReadBytes(a), "first");

  WriteBytes(c, "old target");
  EXPECT_TRUE(m_files->Move(b, c));
  EXPECT_EQ(ReadBytes(c), "first");
  EXPECT_FALSE(m_files->GetAttributes(b));

  // A failed move keeps the target.
  EXPECT_FALSE(m_files->Move(m_folder / u"missing", c));
  EXPECT_EQ(ReadBytes(c), "first");
  EXPECT_FALSE(m_files->Copy(m_folder / u"missing", c));
  EXPECT_EQ(ReadBytes(c), "first");
}

TEST_F(FilesTest, ReadOnlyFilesAreNeitherReplacedNorDeleted) {
  const std::u16string file = m_folder / u"locked.ini";
  WriteBytes(file, "keep");
  test::SetReadOnly(file, true);
  EXPECT_TRUE(*m_files->GetAttributes(file) & kAttrReadOnly);
  EXPECT_FALSE(m_files->ReplaceContents(file, "new"));
  EXPECT_FALSE(m_files->Remove(file));
  EXPECT_FALSE(m_files->Copy(m_folder / u"locked.ini", file));
  EXPECT_EQ(ReadBytes(file), "keep");
  test::SetReadOnly(file, false);
  EXPECT_TRUE(m_files->Remove(file));
  EXPECT_FALSE(m_files->GetAttributes(file));
}

TEST_F(FilesTest, ReplaceContentsLeavesNoTemporaryFileBehind) {
  const std::u16string file = m_folder / u"config.ini";
  EXPECT_TRUE(m_files->ReplaceContents(file, "one"));
  EXPECT_TRUE(m_files->ReplaceContents(file, "two"));
  EXPECT_EQ(ReadBytes(file), "two");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder.Native()))
    ++entries;
  EXPECT_EQ(entries, 1u);
  EXPECT_FALSE(m_files->ReplaceContents(m_folder / u"no-such-folder/x.ini", "x"));
}

#if !defined(_WIN32)
// A disk that fills up in the middle of a write (the file size limit stands in for it).
TEST_F(FilesTest, AWriteThatRunsOutOfSpaceKeepsTheOldFile) {
  const std::u16string file = m_folder / u"config.ini";
  ASSERT_TRUE(m_files->ReplaceContents(file, "old contents"));
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool written = m_files->ReplaceContents(file, std::string(100000, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(file), "old contents");
}
#endif

#if !defined(_WIN32)
// Special files must not hang the client, and links must survive a rewrite.
TEST_F(FilesTest, FifosAreRefusedAndLinksKept) {
  const std::u16string fifo = m_folder / u"pipe.ini";
  ASSERT_EQ(mkfifo(test::NativePath(fifo).c_str(), 0600), 0);
  EXPECT_FALSE(m_files->ReadAll(fifo));  // returns at once: no writer is waited for
  EXPECT_FALSE(m_files->Copy(fifo, m_folder / u"copy.ini"));

  const std::u16string real = m_folder / u"real.ini", link = m_folder / u"link.ini";
  WriteBytes(real, "old");
  std::filesystem::create_symlink(test::NativePath(real), test::NativePath(link));
  ASSERT_TRUE(m_files->ReplaceContents(link, "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(test::NativePath(link)));
  EXPECT_EQ(ReadBytes(real), "new");
  WriteBytes(m_folder / u"source.ini", "copied");
  ASSERT_TRUE(m_files->Copy(m_folder / u"source.ini", link));
  EXPECT_TRUE(std::filesystem::is_symlink(test::NativePath(link)));
  EXPECT_EQ(ReadBytes(real), "copied");
}
#endif

TEST_F(FilesTest, AnAppendingWriterSharesReadingButNotWriting) {
  const std::u16string file = m_folder / u"download.part";
  WriteBytes(file, "12345");
  auto writer = m_files->OpenForAppend(file);
  ASSERT_TRUE(writer);
  EXPECT_EQ(writer->Size(), 5u);
  EXPECT_TRUE(writer->Write("678", 3));
  EXPECT_EQ(writer->Size(), 8u);
  EXPECT_EQ(ReadBytes(file), "12345678");
  EXPECT_FALSE(m_files->OpenForAppend(file));  // a second writer is refused
  EXPECT_TRUE(writer->Truncate());
  EXPECT_TRUE(writer->Write("ab", 2));
  EXPECT_TRUE(writer->Close());
  EXPECT_EQ(ReadBytes(file), "ab");
  EXPECT_TRUE(m_files->OpenForAppend(file));  // free again once closed
}

TEST_F(FilesTest, CreateWithAttributesAndSetTimes) {
  const std::u16string file = m_folder / u"entry.dll";
  WriteBytes(file, "previous");
  auto writer = m_files->CreateWithAttributes(file, kAttrReadOnly | kAttrArchive);
  ASSERT_TRUE(writer);
  EXPECT_TRUE(writer->Write("new", 3));  // still writable through its own handle
  EXPECT_TRUE(writer->Close());
  EXPECT_EQ(ReadBytes(file), "new");
  EXPECT_TRUE(*m_files->GetAttributes(file) & kAttrReadOnly);
  ASSERT_TRUE(m_files->SetAttributes(file, kAttrArchive));
  EXPECT_FALSE(*m_files->GetAttributes(file) & kAttrReadOnly);
  ASSERT_TRUE(m_files->SetAttributes(file, kAttrReadOnly | kAttrArchive));
  EXPECT_TRUE(*m_files->GetAttributes(file) & kAttrReadOnly);
  EXPECT_FALSE(m_files->SetAttributes(m_folder / u"missing.dll", kAttrArchive));

  // 2020-01-02 03:04:05 UTC in Windows file time units.
  const int64_t when = (1577934245LL + 11644473600LL) * 10000000LL;
  ASSERT_TRUE(m_files->SetTimes(file, FileTimes{std::nullopt, when, when}));
  const auto written = std::filesystem::last_write_time(test::NativePath(file));
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::file_clock::to_sys(written).time_since_epoch());
  EXPECT_EQ(seconds.count(), 1577934245LL);
}

TEST_F(FilesTest, CreateWithAttributesRefusesAReadOnlyFileOrAFolder) {
  const std::u16string file = m_folder / u"locked.dll";
  WriteBytes(file, "keep");
  test::SetReadOnly(file, true);
  EXPECT_FALSE(m_files->CreateWithAttributes(file, kAttrArchive));
  EXPECT_EQ(ReadBytes(file), "keep");
  ASSERT_TRUE(m_files->CreateFolder(m_folder / u"dir"));
  EXPECT_FALSE(m_files->CreateWithAttributes(m_folder / u"dir", kAttrArchive));
}

TEST_F(FilesTest, AReaderReadsAtAnyOffsetAndSharesWithReaders) {
  const std::u16string file = m_folder / u"archive.zip";
  WriteBytes(file, "0123456789");
  auto reader = m_files->OpenForReading(file);
  ASSERT_TRUE(reader);
  auto second = m_files->OpenForReading(file);
  EXPECT_TRUE(second);
  EXPECT_EQ(reader->Size(), 10u);
  char buffer[8] = {};
  EXPECT_EQ(reader->ReadAt(6, buffer, sizeof buffer), 4u);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(reader->ReadAt(2, buffer, 3), 3u);
  EXPECT_EQ(std::string(buffer, 3), "234");
  EXPECT_EQ(reader->ReadAt(10, buffer, 1), 0u);
  EXPECT_EQ(reader->ReadAt(1000, buffer, 1), 0u);
  EXPECT_FALSE(m_files->OpenForReading(m_folder / u"missing.zip"));
  EXPECT_FALSE(m_files->OpenForReading(m_folder.Path()));
}

TEST_F(FilesTest, LocalTimesBecomeFileTimesAndImpossibleOnesNothing) {
  const auto local = m_files->LocalTimeToFileTime(LocalTime{2020, 1, 2, 3, 4, 6});
  ASSERT_TRUE(local);
  // Whatever the zone, it is within a day of the same fields read as UTC.
  const int64_t asUtc = (1577934246LL + 11644473600LL) * 10000000LL;
  EXPECT_LE(std::abs(*local - asUtc), 24LL * 3600 * 10000000);
  EXPECT_EQ(*local % 10000000, 0);
  EXPECT_FALSE(m_files->LocalTimeToFileTime(LocalTime{2020, 0, 2, 3, 4, 6}));
  EXPECT_FALSE(m_files->LocalTimeToFileTime(LocalTime{2020, 13, 2, 3, 4, 6}));
  EXPECT_FALSE(m_files->LocalTimeToFileTime(LocalTime{2020, 1, 0, 3, 4, 6}));
  EXPECT_FALSE(m_files->LocalTimeToFileTime(LocalTime{2021, 2, 29, 3, 4, 6}));
  EXPECT_FALSE(m_files->LocalTimeToFileTime(LocalTime{2020, 1, 2, 24, 4, 6}));
  EXPECT_FALSE(m_files->LocalTimeToFileTime(LocalTime{2020, 1, 2, 3, 60, 6}));
  EXPECT_FALSE(m_files->LocalTimeToFileTime(LocalTime{2020, 1, 2, 3, 4, 62}));
}

TEST_F(FilesTest, ExecutablePathNamesThisProgram) {
  const std::u16string path = m_files->ExecutablePath();
  ASSERT_FALSE(path.empty());
  const std::optional<uint32_t> attributes = m_files->GetAttributes(path);
  ASSERT_TRUE(attributes);
  EXPECT_FALSE(*attributes & kAttrDirectory);
}

TEST(SingleInstanceTest, TheSecondLockInTheSessionFindsTheFirst) {
  const std::u16string name = u"ZEVAMutex-test-" + std::u16string(1, u'0' + (std::rand() % 10));
  auto first = CreateSingleInstance();
  auto second = CreateSingleInstance();
  EXPECT_EQ(first->Acquire(name), InstanceLock::kAcquired);
  EXPECT_EQ(second->Acquire(name), InstanceLock::kAlreadyExists);
  // A different name is a different lock.
  EXPECT_EQ(second->Acquire(name + u"-other"), InstanceLock::kAcquired);
}

TEST(TextCodecTest, TheAnsiCodePageIs936) {
  auto codec = CreateTextCodec();
  EXPECT_EQ(codec->Utf16ToAnsi(u"穿越火线"), "\xB4\xA9\xD4\xBD\xBB\xF0\xCF\xDF");
  EXPECT_EQ(codec->AnsiToUtf16("\xB4\xA9\xD4\xBD\xBB\xF0\xCF\xDF"), u"穿越火线");
  EXPECT_EQ(codec->AnsiToUtf16("plain"), u"plain");
  EXPECT_EQ(codec->Utf16ToAnsi(u"a\U0001F600b").front(), 'a');
  EXPECT_EQ(codec->Utf16ToAnsi(u"a\U0001F600b").back(), 'b');
  EXPECT_EQ(codec->AnsiToUtf16(""), u"");
  // A lead byte without its trail byte still gives text, not nothing.
  EXPECT_FALSE(codec->AnsiToUtf16("ab\xB4").empty());
}

TEST(AdaptersTest, TheFirstAdapterHasSixBytesOrThereIsNone) {
  auto adapters = CreateNetworkAdapters();
  // Whatever this machine has: the answer is stable between calls.
  EXPECT_EQ(adapters->FirstAdapterAddress(), adapters->FirstAdapterAddress());
}

}  // namespace
}  // namespace zeva
