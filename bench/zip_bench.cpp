// Extracts one archive with the client's UnzipFile on the real port, for bench/zip_bench.py:
//   zeva_zip_bench ARCHIVE FOLDER      exit status 0 when UnzipFile returned 1
#include <cstdio>

#include "download/archive_extractor.h"
#include "platform/unicode.h"
#include "support/test_platform.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ARCHIVE FOLDER\n", argv[0]);
    return 2;
  }
  zeva::test::TestPlatform test;
  const int32_t result =
      zeva::UnzipFile(test.platform, zeva::Utf8ToUtf16(argv[1]), zeva::Utf8ToUtf16(argv[2]));
  return result == 1 ? 0 : 1;
}
