// Small helpers for text replies every route uses.
#pragma once

#include <string>
#include <string_view>

#include <httplib.h>

namespace zeva::toolserver {

// A short UTF-8 text body with a status: error pages and plain answers.
void SetTextReply(httplib::Response& response, int status, std::string_view text);

// Content type for a file name, by its extension.
std::string ContentTypeFor(std::string_view fileName);

// Escapes &, <, >, " and ' for HTML text and attribute values.
std::string EscapeHtml(std::string_view text);

// The text without white space at either end.
std::string_view Trim(std::string_view text);

// A JSON string literal, quotes included; control characters and non-ASCII stay valid JSON.
std::string JsonString(std::string_view utf8);

}  // namespace zeva::toolserver
