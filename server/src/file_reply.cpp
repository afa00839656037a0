#include "file_reply.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "byte_range.h"
#include "reply_text.h"

namespace zeva::toolserver {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

// Closes the descriptor when the last sender lets go of it.
struct OpenFile {
  explicit OpenFile(int descriptor) : fd(descriptor) {}
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd;
};

std::string MakeEntityTag(const struct stat& facts) {
  char text[96];
  std::snprintf(text, sizeof text, "\"%llx-%llx-%lx\"",
                static_cast<unsigned long long>(facts.st_ino),
                static_cast<unsigned long long>(facts.st_size),
                static_cast<long>(facts.st_mtim.tv_sec ^ facts.st_mtim.tv_nsec));
  return text;
}

bool ListHoldsTag(const std::string& list, const std::string& tag) {
  if (list.find('*') != std::string::npos) return true;
  return list.find(tag) != std::string::npos;
}

}  // namespace

std::string FormatHttpDate(long long seconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&time, &parts);
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[parts.tm_wday % 7],
                parts.tm_mday, kMonths[parts.tm_mon % 12], parts.tm_year + 1900, parts.tm_hour,
                parts.tm_min, parts.tm_sec);
  return text;
}

void ReplyWithFile(const httplib::Request& request, httplib::Response& response,
                   const std::filesystem::path& file, const std::string& contentType,
                   std::uint64_t bytesPerSecond) {
  auto opened = std::make_shared<OpenFile>(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat facts {};
  if (opened->fd < 0 || ::fstat(opened->fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
    SetTextReply(response, 404, "未找到");
    return;
  }
  const auto size = static_cast<std::uint64_t>(facts.st_size);
  const std::string tag = MakeEntityTag(facts);
  const std::string modified = FormatHttpDate(facts.st_mtim.tv_sec);
  response.set_header("ETag", tag);
  response.set_header("Last-Modified", modified);
  response.set_header("Accept-Ranges", "bytes");

  if (request.has_header("If-None-Match") &&
      ListHoldsTag(request.get_header_value("If-None-Match"), tag)) {
    response.status = 304;
    return;
  }

  ByteRange range = ResolveByteRange(request.get_header_value("Range"), size);
  if (range.kind != ByteRange::Kind::kWhole && request.has_header("If-Range")) {
    // A range only applies to the representation the peer already holds part of.
    const std::string condition = request.get_header_value("If-Range");
    if (condition != tag && condition != modified) range = ByteRange{};
  }

  if (range.kind == ByteRange::Kind::kUnsatisfiable) {
    response.status = 416;
    response.set_header("Content-Range", "bytes */" + std::to_string(size));
    return;
  }

  std::uint64_t first = 0;
  std::uint64_t length = size;
  response.status = 200;
  if (range.kind == ByteRange::Kind::kPart) {
    first = range.first;
    length = range.length;
    response.status = 206;
    response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                             std::to_string(first + length - 1) + "/" +
                                             std::to_string(size));
  }
  if (length == 0) {
    // An empty file: the library sends nothing for a zero-length provider.
    response.set_content("", contentType);
    return;
  }

  const auto started = std::chrono::steady_clock::now();
  response.set_content_provider(
      static_cast<std::size_t>(length), contentType,
      [opened, first, bytesPerSecond, started](std::size_t offset, std::size_t wanted,
                                               httplib::DataSink& sink) {
        std::size_t piece = wanted < kChunkSize ? wanted : kChunkSize;
        if (bytesPerSecond > 0) {
          // Small pieces, each sent when the rate allows it since the reply began.
          piece = std::min<std::size_t>(piece, std::max<std::uint64_t>(bytesPerSecond / 10, 1));
          std::this_thread::sleep_until(
              started + std::chrono::microseconds(offset * 1'000'000ull / bytesPerSecond));
        }
        std::vector<char> buffer(piece);
        ssize_t got;
        do {
          got =
              ::pread(opened->fd, buffer.data(), buffer.size(), static_cast<off_t>(first + offset));
        } while (got < 0 && errno == EINTR);
        // A file cut short while it is sent ends the reply rather than looping.
        if (got <= 0) return false;
        return sink.write(buffer.data(), static_cast<std::size_t>(got));
      });
}

}  // namespace zeva::toolserver
