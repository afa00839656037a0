#include "ports/posix/posix_shell.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/unicode.h"
#include "ports/posix/posix_path.h"

extern char** environ;

namespace zeva::posix {
namespace {

bool IsAddress(std::u16string_view text) {
  for (std::u16string_view scheme : {u"http://", u"https://", u"ftp://", u"mailto:"}) {
    if (text.size() < scheme.size()) continue;
    bool same = true;
    for (size_t i = 0; i < scheme.size() && same; ++i) {
      const char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? text[i] + 32 : text[i];
      same = c == scheme[i];
    }
    if (same) return true;
  }
  return false;
}

// A Linux program that carries a Windows name (a stand-in launcher, a wrapper script) runs
// as itself.
bool IsNativeProgram(const std::string& path) {
  char magic[4] = {};
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const size_t got = std::fread(magic, 1, sizeof magic, file);
  std::fclose(file);
  return (got == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') ||
         (got >= 2 && magic[0] == '#' && magic[1] == '!');
}

bool EndsWithIgnoreCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    const char a = text[text.size() - suffix.size() + i];
    if (std::tolower(static_cast<unsigned char>(a)) != suffix[i]) return false;
  }
  return true;
}

std::string FindProgram(const char* name) {
  const char* path = std::getenv("PATH");
  std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    const size_t end = folders.find(':', start);
    const std::string folder = folders.substr(start, end - start);
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
}

// Starts the program through an intermediate child that exits at once, so the started
// program is never our zombie and outlives us.
bool SpawnDetached(const std::vector<std::string>& argv, const std::string& folder) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return false;
  }
  if (child == 0) {
    ::setsid();
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) _exit(127);
    pid_t grandchild = 0;
    const int error = ::posix_spawn(&grandchild, args[0], nullptr, nullptr, args.data(), environ);
    const char status = error == 0 ? 0 : 1;
    (void)!::write(pipeFds[1], &status, 1);
    _exit(0);
  }
  ::close(pipeFds[1]);
  char status = 1;
  const bool reported = ::read(pipeFds[0], &status, 1) == 1;
  ::close(pipeFds[0]);
  int ignored = 0;
  ::waitpid(child, &ignored, 0);
  return reported && status == 0;
}

}  // namespace

bool PosixShell::Execute(const std::u16string& verb, const std::u16string& file,
                         const std::u16string& parameters, const std::u16string& folder,
                         int /*show*/) {
  if (file.empty() || (!verb.empty() && verb != u"open")) return false;
  const bool isAddress = IsAddress(file);
  const std::string target = isAddress ? Utf16ToUtf8(file) : ToNativePath(file);
  const std::string workFolder = folder.empty() ? std::string() : ToNativePath(folder);
  if (!isAddress) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return false;  // nothing to open
  }
  const bool windowsProgram =
      !isAddress && (EndsWithIgnoreCase(target, ".exe") || EndsWithIgnoreCase(target, ".bat") ||
                     EndsWithIgnoreCase(target, ".msi"));
  bool native = !isAddress && IsNativeProgram(target);
  if (native && ::access(target.c_str(), X_OK) != 0) {
    // Windows runs a program by its name alone. A native program that arrived by download
    // (the updater stand-in) has no execute permission yet: its owner gets it.
    struct stat st {};
    native = windowsProgram && ::stat(target.c_str(), &st) == 0 &&
             ::chmod(target.c_str(), st.st_mode | S_IXUSR) == 0 &&
             ::access(target.c_str(), X_OK) == 0;
  }
  std::vector<std::string> argv;
  if (native) {
    argv = {target};
    if (!parameters.empty()) argv.push_back(Utf16ToUtf8(parameters));
  } else if (windowsProgram) {
    std::string wine = FindProgram("wine");
    if (wine.empty()) return false;
    argv = {wine, target};
    if (!parameters.empty()) argv.push_back(Utf16ToUtf8(parameters));
  } else {
    const std::string opener = FindProgram("xdg-open");
    if (opener.empty()) return false;
    argv = {opener, target};
  }
  return SpawnDetached(argv, workFolder);
}

bool PosixShell::IsProgramRunning(std::u16string_view name) {
  const std::string wanted = Utf16ToUtf8(name);
  if (wanted.empty()) return false;
  DIR* processes = ::opendir("/proc");
  if (!processes) return false;
  const std::string self = std::to_string(::getpid());
  bool found = false;
  while (dirent* entry = ::readdir(processes)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0])) || pid == self) continue;
    // The first argument up to its NUL. A process that is still starting shows none for a
    // moment: then its name, which the kernel sets from the program file first (cut at 15
    // bytes). A kernel thread or a zombie shows neither in full and is no program.
    std::string program;
    if (FILE* file = std::fopen(("/proc/" + pid + "/cmdline").c_str(), "rb")) {
      for (int c; (c = std::fgetc(file)) != EOF && c != '\0';) program += static_cast<char>(c);
      std::fclose(file);
    }
    if (program.empty()) {
      if (FILE* file = std::fopen(("/proc/" + pid + "/comm").c_str(), "rb")) {
        for (int c; (c = std::fgetc(file)) != EOF && c != '\n';) program += static_cast<char>(c);
        std::fclose(file);
      }
    }
    const size_t separator = program.find_last_of("/\\");
    if (program.substr(separator == std::string::npos ? 0 : separator + 1) == wanted) {
      found = true;
      break;
    }
  }
  ::closedir(processes);
  return found;
}

}  // namespace zeva::posix
