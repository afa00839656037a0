// The channel between the web process's extension and the client: length-prefixed GVariant
// messages over a Unix stream socket. A call is answered before the page's script goes on,
// which is what makes window.external synchronous.
//
//   request  (isa(sv))  method id, page address, arguments
//   reply    (iuv)      result code, failing argument's position, result value
//
// A value is tagged: "e" undefined, "n" null, "b" boolean, "d" number, "s" string,
// "D" the page's HTML document (its text), "o" any other object (its text).
#pragma once

#include <cstdint>

namespace zeva::gtk {

inline constexpr char kRequestType[] = "(isa(sv))";
inline constexpr char kReplyType[] = "(iuv)";
// Frames larger than this are refused: a broken or hostile peer cannot make us allocate.
inline constexpr uint32_t kMaxFrame = 64u * 1024 * 1024;

}  // namespace zeva::gtk
