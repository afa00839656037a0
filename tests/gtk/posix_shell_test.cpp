// Whether a program runs, as the POSIX shell sees other processes: by the file name of the
// program they were started as, exactly.
#include "ports/posix/posix_shell.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

extern char** environ;

namespace zeva::posix {
namespace {

namespace fs = std::filesystem;

TEST(PosixShellTest, ARunningProgramIsFoundByItsExactFileName) {
  test::TempFolder folder;
  const fs::path program = folder.Native() / "jsq.exe";
  fs::copy_file("/bin/sleep", program);
  // Started as a Windows program under Wine shows itself: by a backslashed path.
  const std::string windowsPath = "C:\\users\\player\\Downloads\\jsq.exe";
  pid_t native = 0, wineStyle = 0;
  char* nativeArgs[] = {const_cast<char*>(program.c_str()), const_cast<char*>("30"), nullptr};
  char* wineArgs[] = {const_cast<char*>(windowsPath.c_str()), const_cast<char*>("30"), nullptr};
  PosixShell shell;
  EXPECT_FALSE(shell.IsProgramRunning(u"jsq.exe"));
  ASSERT_EQ(::posix_spawn(&native, program.c_str(), nullptr, nullptr, nativeArgs, environ), 0);
  EXPECT_TRUE(shell.IsProgramRunning(u"jsq.exe"));
  EXPECT_FALSE(shell.IsProgramRunning(u"JSQ.exe"));  // case counts
  EXPECT_FALSE(shell.IsProgramRunning(u"sq.exe"));
  EXPECT_FALSE(shell.IsProgramRunning(u""));
  ::kill(native, SIGKILL);
  ::waitpid(native, nullptr, 0);
  EXPECT_FALSE(shell.IsProgramRunning(u"jsq.exe"));
  ASSERT_EQ(::posix_spawn(&wineStyle, program.c_str(), nullptr, nullptr, wineArgs, environ), 0);
  EXPECT_TRUE(shell.IsProgramRunning(u"jsq.exe"));
  ::kill(wineStyle, SIGKILL);
  ::waitpid(wineStyle, nullptr, 0);
}

}  // namespace
}  // namespace zeva::posix
