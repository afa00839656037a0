// Reproducible file contents for download tests: the test server and the test that checks
// the download make the same bytes from a size and a seed, even in different processes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zeva::test {

std::string MakeBlob(size_t size, uint32_t seed);

// The name under which the test server serves MakeBlob(size, seed): "blob-<size>-<seed>".
std::string BlobName(size_t size, uint32_t seed);
// A ZIP archive that stores (uncompressed) one entry, BlobName(size, seed), holding
// MakeBlob(size, seed); served as "zip-<size>-<seed>".
std::string MakeZipBlob(size_t size, uint32_t seed);
std::string ZipBlobName(size_t size, uint32_t seed);
// A ZIP archive that stores its entries (name, bytes) uncompressed, in this order.
std::string MakeStoredZip(std::vector<std::pair<std::string, std::string>> entries);

// The bytes a blob or ZIP blob name stands for; nothing for other names.
std::optional<std::string> BlobForName(std::string_view name);

// The same file after it changed on the server (version 0: unchanged): as long, every byte
// different.
std::string ChangedVersion(std::string bytes, uint32_t version);

}  // namespace zeva::test
