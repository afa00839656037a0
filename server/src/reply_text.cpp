#include "reply_text.h"

#include <cctype>

#include <algorithm>
#include <array>
#include <cstdio>

namespace zeva::toolserver {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

void SetTextReply(httplib::Response& response, int status, std::string_view text) {
  response.status = status;
  response.set_content(std::string(text) + "\n", "text/plain; charset=utf-8");
}

std::string ContentTypeFor(std::string_view fileName) {
  struct Entry {
    std::string_view extension;
    std::string_view type;
  };
  static constexpr std::array<Entry, 16> kTypes{{
      {".html", "text/html; charset=utf-8"},
      {".htm", "text/html; charset=utf-8"},
      {".aspx", "text/html; charset=utf-8"},
      {".js", "application/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".json", "application/json; charset=utf-8"},
      {".txt", "text/plain; charset=utf-8"},
      {".png", "image/png"},
      {".jpg", "image/jpeg"},
      {".gif", "image/gif"},
      {".ico", "image/x-icon"},
      {".svg", "image/svg+xml"},
      {".zip", "application/zip"},
      {".exe", "application/octet-stream"},
      {".dll", "application/octet-stream"},
      {".bin", "application/octet-stream"},
  }};
  std::size_t dot = fileName.rfind('.');
  if (dot != std::string_view::npos) {
    std::string extension(fileName.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Entry& entry : kTypes) {
      if (entry.extension == extension) return std::string(entry.type);
    }
  }
  return "application/octet-stream";
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || c == '<') {
          // "<" escaped as well, so the text can never close a script element.
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace zeva::toolserver
