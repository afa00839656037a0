// Runs the real zeva-toolserver on a free port and talks raw HTTP to it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zeva::test {

// A folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

void WriteFile(const std::filesystem::path& file, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& file);

struct HttpReply {
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string Header(const std::string& name) const;
};

class ServerProcess {
 public:
  // Starts the server with `--port 0 --account-port off` plus `extra`, and waits for its
  // start line. The log goes to a file of the scratch folder.
  ServerProcess(const std::filesystem::path& site, const std::filesystem::path& data,
                std::vector<std::string> extra = {});
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool Started() const { return m_port > 0; }
  int Port() const { return m_port; }
  pid_t Pid() const { return m_pid; }
  // Everything the server wrote to standard output so far.
  std::string Output() const;

  // Sends `signal` and waits; the exit status as waitpid reports it.
  int StopWith(int signal);

 private:
  ScratchFolder m_scratch;
  pid_t m_pid = -1;
  int m_port = 0;
};

// Sends `request` (a whole request, "Connection: close" included) and reads to the end.
// HEAD replies carry no body, so `headOnly` stops after the headers.
HttpReply Exchange(int port, const std::string& request, bool headOnly = false);

// A GET of `target` with optional extra header lines ("Name: value\r\n").
HttpReply Get(int port, const std::string& target, const std::string& headers = "");

// The resident set of a process in KiB, from /proc.
long ResidentKiB(pid_t pid);

}  // namespace zeva::test
