// Reproducible file contents for download tests: the test server and the test that checks
// the download make the same bytes from a size and a seed, even in different processes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zeva::test {

std::string MakeBlob(size_t size, uint32_t seed);

// The name under which the test server serves MakeBlob(size, seed): "blob-<size>-<seed>".
std::string BlobName(size_t size, uint32_t seed);
// A ZIP archive that stores (uncompressed) one entry, BlobName(size, seed), holding
// MakeBlob(size, seed); served as "zip-<size>-<seed>".
std::string MakeZipBlob(size_t size, uint32_t seed);
std::string ZipBlobName(size_t size, uint32_t seed);

// The bytes a blob or ZIP blob name stands for; nothing for other names.
std::optional<std::string> BlobForName(std::string_view name);

}  // namespace zeva::test
