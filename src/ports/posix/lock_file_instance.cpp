#include "ports/posix/lock_file_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/unicode.h"

namespace zeva::posix {
namespace {

std::string RuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
  // No session runtime folder: a private folder per user in /tmp.
  std::string folder = "/tmp/zeva-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

}  // namespace

LockFileInstance::~LockFileInstance() {
  if (m_fd >= 0) ::close(m_fd);
}

InstanceLock LockFileInstance::Acquire(std::u16string_view name) {
  const std::string path = RuntimeFolder() + "/" + Utf16ToUtf8(name) + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return InstanceLock::kFailed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? InstanceLock::kAlreadyExists : InstanceLock::kFailed;
  }
  if (m_fd >= 0) ::close(m_fd);
  m_fd = fd;
  return InstanceLock::kAcquired;
}

}  // namespace zeva::posix
