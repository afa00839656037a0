// Stand-ins for programs the client only starts: the updater (KIVOUpdate.exe), the
// accelerator's installer (XlaccSetup….exe, saved by the client as jsq.exe) and the
// accelerator itself (XLacc.exe). The role follows from the program's own file name. Each
// appends one line to "standin.log" beside itself, so demos and tests can see it ran.
#include <unistd.h>

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

// "/S /D=<folder>": silent install into <folder>, which the client passes unquoted, so the
// folder may arrive split over several arguments.
int Install(const fs::path& self, const std::vector<std::string>& arguments) {
  bool silent = false;
  std::string folder;
  bool inFolder = false;
  for (const std::string& argument : arguments) {
    if (argument == "/S") {
      silent = true;
      inFolder = false;
    } else if (argument.rfind("/D=", 0) == 0) {
      folder = argument.substr(3);
      inFolder = true;
    } else if (inFolder) {
      folder += " " + argument;
    }
  }
  if (!silent || folder.empty()) {
    Note(self, "installer: needs /S /D=<folder>");
    std::fprintf(stderr, "stand-in installer: use /S /D=<folder>\n");
    return 2;
  }
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  fs::path bin = fs::path(folder) / "bin";
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
