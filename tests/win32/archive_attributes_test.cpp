// Extracted files as the Win32 file API sees them: the attribute bits and the three times
// the archive gave them.
#include <windows.h>

#include <gtest/gtest.h>

#include "download/archive_extractor.h"
#include "ports/win32/wide.h"
#include "support/temp_folder.h"
#include "support/test_archives.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

using test::TempFolder;
using test::TestArchive;
using win32::Wide;

struct Times {
  int64_t creation, access, write;
};

int64_t FromFileTime(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

Times TimesOf(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data));
  return {FromFileTime(data.ftCreationTime), FromFileTime(data.ftLastAccessTime),
          FromFileTime(data.ftLastWriteTime)};
}

int64_t Unix(int64_t seconds) {
  return (seconds + 11644473600LL) * 10000000LL;
}

class ArchiveAttributesTest : public ::testing::Test {
 protected:
  DWORD Attributes(const char16_t* name) {
    return ::GetFileAttributesW(Wide(m_target + name).c_str());
  }

  TempFolder m_folder;
  test::TestPlatform m_test;
  std::u16string m_target = m_folder / u"out\\";
};

TEST_F(ArchiveAttributesTest, DosAttributesArriveAsWindowsAttributes) {
  ASSERT_EQ(UnzipFile(m_test.platform, TestArchive(u"dos_attrs.zip"), m_target), 1);
  EXPECT_EQ(Attributes(u"ro.txt") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_TRUE(Attributes(u"hidden.txt") & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(Attributes(u"hidden.txt") & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(Attributes(u"system.txt") & FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(Attributes(u"dosdir") & FILE_ATTRIBUTE_DIRECTORY);
  // A Unix mode without the owner's write bit: read-only, and always archive.
  EXPECT_EQ(Attributes(u"unixro.txt") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_FALSE(Attributes(u"unixro.txt") & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(ArchiveAttributesTest, UtTimesSetModificationAndAccess) {
  ASSERT_EQ(UnzipFile(m_test.platform, TestArchive(u"infozip_ut.zip"), m_target), 1);
  const Times times = TimesOf(m_target + u"readme.txt");
  EXPECT_EQ(times.write, Unix(1600000000));
  EXPECT_EQ(times.access, Unix(1600000100));
}

TEST_F(ArchiveAttributesTest, AModificationOnlyUtKeepsTheDosTimeForAccessAndCreation) {
  ASSERT_EQ(UnzipFile(m_test.platform, TestArchive(u"ut_mtime.zip"), m_target), 1);
  const Times times = TimesOf(m_target + u"t.txt");
  EXPECT_EQ(times.write, Unix(1500000000));
  // 2019-07-21 10:20:30 local time, converted by the system's zone rules for that date.
  SYSTEMTIME local{2019, 7, 0, 21, 10, 20, 30, 0}, utc{};
  ASSERT_TRUE(::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
  FILETIME dos{};
  ASSERT_TRUE(::SystemTimeToFileTime(&utc, &dos));
  EXPECT_EQ(times.access, FromFileTime(dos));
}

}  // namespace
}  // namespace zeva
