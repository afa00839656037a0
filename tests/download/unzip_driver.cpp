// UnzipFile in a process of its own, for the test that kills an extraction midway:
//   zeva_unzip_driver ARCHIVE FOLDER      exit status 0 when UnzipFile returned 1
#include <cstdio>

#include "download/archive_extractor.h"
#include "platform/unicode.h"
#include "support/test_platform.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ARCHIVE FOLDER\n", argv[0]);
    return 2;
  }
  zeva::test::TestPlatform port;
  return zeva::UnzipFile(port.platform, zeva::Utf8ToUtf16(argv[1]), zeva::Utf8ToUtf16(argv[2])) == 1
             ? 0
             : 1;
}
