// Stand-ins for programs the client only starts: the updater (KIVOUpdate.exe), the
// accelerator's installer (XlaccSetup….exe, saved by the client as jsq.exe) and the
// accelerator itself (XLacc.exe). The role follows from the program's own file name. Each
// appends one line to "standin.log" beside itself, so demos and tests can see it ran.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path OwnPath(const char* argv0) {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::absolute(argv0) : self;
}

void Note(const fs::path& self, const std::string& line) {
  std::ofstream log(self.parent_path() / "standin.log", std::ios::app);
  log << line << "\n";
}

// "/S /D=<folder>": silent install into <folder>. The folder comes last and unquoted, so it
// runs to the end; the client may pass the parameters as one argument or as several.
int Install(const fs::path& self, const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) line += (line.empty() ? "" : " ") + argument;
  const size_t folderAt = line.find("/D=");
  const std::string folder = folderAt == std::string::npos ? "" : line.substr(folderAt + 3);
  bool silent = false;
  std::string options = line.substr(0, folderAt == std::string::npos ? line.size() : folderAt);
  for (size_t at = 0; at < options.size();) {
    const size_t end = std::min(options.find(' ', at), options.size());
    silent = silent || options.compare(at, end - at, "/S") == 0;
    at = end + 1;
  }
  if (!silent || folder.empty()) {
    Note(self, "installer: needs /S /D=<folder>");
    std::fprintf(stderr, "stand-in installer: use /S /D=<folder>\n");
    return 2;
  }
  std::string nativeFolder = folder;
  for (char& c : nativeFolder) {
    if (c == '\\') c = '/';
  }
  fs::path bin = fs::path(nativeFolder) / "bin";
  std::error_code error;
  fs::create_directories(bin, error);
  fs::copy_file(self, bin / "XLacc.exe", fs::copy_options::overwrite_existing, error);
  Note(self, error ? "installer: failed into " + folder : "installer: installed into " + folder);
  return error ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path self = OwnPath(argv[0]);
  std::string name = fs::path(argv[0]).filename().string();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (name.rfind("XlaccSetup", 0) == 0 || name == "jsq.exe") return Install(self, arguments);
  if (name == "XLacc.exe") {
    Note(self, "accelerator: started");
    return 0;
  }
  Note(self, "updater: started");
  return 0;
}
