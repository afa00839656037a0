// MoveFile from a page when the source is in use: the move fails and the old target stays.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/port.h"
#include "support/temp_folder.h"

namespace zeva {
namespace {

TEST(MoveFileTest, ALockedSourceLeavesTheTargetInPlace) {
  test::TempFolder folder;
  const std::u16string source = folder / u"hook.dll", target = folder / u"QQLogin.exe";
  test::WriteBytes(source, "new");
  test::WriteBytes(target, "old");
  // The game holds the file open without sharing deletion or renaming.
  const HANDLE held = ::CreateFileW(reinterpret_cast<const wchar_t*>(source.c_str()), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  auto files = CreateFileSystem();
  EXPECT_FALSE(files->Move(source, target));
  ::CloseHandle(held);
  EXPECT_EQ(test::ReadBytes(target), "old");
  EXPECT_TRUE(files->Move(source, target));
  EXPECT_EQ(test::ReadBytes(target), "new");
}

}  // namespace
}  // namespace zeva
