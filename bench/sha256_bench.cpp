// Hashes one file as GetFileSha256 does, for bench/sha256_bench.py:
//   zeva_sha256_bench FILE              Sha256OfFile on the real port; prints the digest
//   zeva_sha256_bench FILE --portable   the same reads, hashed by the portable rounds only (what
//                                       a processor without SHA extensions runs)
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "download/sha256.h"
#include "platform/unicode.h"
#include "support/test_platform.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--portable") != 0)) {
    std::fprintf(stderr, "usage: %s FILE [--portable]\n", argv[0]);
    return 2;
  }
  zeva::test::TestPlatform test;
  const std::u16string path = zeva::Utf8ToUtf16(argv[1]);
  std::string digest;
  if (argc == 2) {
    digest = zeva::Sha256OfFile(test.files, path).value_or("");
  } else if (const std::unique_ptr<zeva::IFileReader> reader = test.files.OpenForReading(path)) {
    std::vector<uint8_t> buffer(256 * 1024);
    zeva::Sha256 hash(false);
    uint64_t offset = 0;
    while (const std::optional<size_t> got = reader->ReadAt(offset, buffer.data(), buffer.size())) {
      if (*got == 0) {
        digest = zeva::ToHex(hash.Finish());
        break;
      }
      hash.Update(buffer.data(), *got);
      offset += *got;
    }
  }
  std::printf("%s\n", digest.c_str());
  return digest.empty() ? 1 : 0;
}
