// Sends a file: whole or one byte range, HEAD, validators, streamed from disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include <httplib.h>

namespace zeva::toolserver {

// Fills `response` for `file`: 200, 206 with Content-Range, or 416 with "bytes */size";
// ETag and Last-Modified always, 304 for a matching If-None-Match, and If-Range honoured.
// The body is read from disk in small pieces while it is sent, never held in memory.
// A non-zero `bytesPerSecond` paces the body to at most that rate.
void ReplyWithFile(const httplib::Request& request, httplib::Response& response,
                   const std::filesystem::path& file, const std::string& contentType,
                   std::uint64_t bytesPerSecond = 0);

// "Sun, 06 Nov 1994 08:49:37 GMT" for seconds since 1970.
std::string FormatHttpDate(long long seconds);

}  // namespace zeva::toolserver
