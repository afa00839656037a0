// The channel between the web process's extension and the client, defined once for both ends:
// length-prefixed GVariant messages over a Unix stream socket. A call is answered before the page's
// script goes on, which is what makes window.external synchronous.
//
//   request  (isa(sv))  method id, page address, arguments
//   reply    (iuv)      result code, failing argument's position, result value
//
// A value is tagged: "e" undefined, "n" null, "b" boolean, "d" number, "s" string,
// "D" the top page's HTML document, "F" a frame's HTML document, "o" any other object (each
// with its text).
#pragma once

#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zeva::gtk {

inline constexpr char kRequestType[] = "(isa(sv))";
inline constexpr char kReplyType[] = "(iuv)";
// Frames larger than this are refused: a broken or hostile peer cannot make us allocate.
inline constexpr uint32_t kMaxFrame = 64u * 1024 * 1024;

inline bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

inline bool ReadAll(int fd, char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Writes `value` as one frame: its size in 4 bytes (host order: both ends are on this
// machine), then its serialised data.
inline bool SendFrame(int fd, GVariant* value) {
  const auto size = static_cast<uint32_t>(g_variant_get_size(value));
  std::vector<char> frame(4 + size);
  std::memcpy(frame.data(), &size, 4);
  // g_variant_store needs an aligned target; the data of the value itself is aligned.
  std::memcpy(frame.data() + 4, g_variant_get_data(value), size);
  return WriteAll(fd, frame.data(), frame.size());
}

// Blocks for one frame of `type`; its normal form, or null when the channel broke or the
// frame is too large.
inline GVariant* ReceiveFrame(int fd, const char* type) {
  uint32_t size = 0;
  if (!ReadAll(fd, reinterpret_cast<char*>(&size), 4) || size > kMaxFrame) return nullptr;
  auto* data = static_cast<char*>(g_malloc(size ? size : 1));
  if (!ReadAll(fd, data, size)) {
    g_free(data);
    return nullptr;
  }
  GVariant* value = g_variant_new_from_data(G_VARIANT_TYPE(type), data, size, FALSE, g_free, data);
  GVariant* normal = g_variant_get_normal_form(value);
  g_variant_unref(value);
  return normal;
}

enum class FrameState { kIncomplete, kReady, kTooLarge };

// Takes the first whole frame's data out of bytes read so far without blocking.
inline FrameState TakeFrame(std::vector<char>& buffer, std::vector<char>& frame) {
  if (buffer.size() < 4) return FrameState::kIncomplete;
  uint32_t size = 0;
  std::memcpy(&size, buffer.data(), 4);
  if (size > kMaxFrame) return FrameState::kTooLarge;
  if (buffer.size() < 4 + static_cast<size_t>(size)) return FrameState::kIncomplete;
  frame.assign(buffer.begin() + 4, buffer.begin() + 4 + size);
  buffer.erase(buffer.begin(), buffer.begin() + 4 + size);
  return FrameState::kReady;
}

}  // namespace zeva::gtk
