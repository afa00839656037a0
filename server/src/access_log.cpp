#include "access_log.h"

namespace zeva::toolserver {
namespace {

bool IsSecretKey(std::string_view pair) {
  const std::string_view key = pair.substr(0, pair.find('='));
  for (std::string_view secret : {"rcode", "UWD"}) {
    if (key.size() != secret.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < key.size() && same; ++i) {
      const char a = key[i] >= 'A' && key[i] <= 'Z' ? static_cast<char>(key[i] + 32) : key[i];
      const char b =
          secret[i] >= 'A' && secret[i] <= 'Z' ? static_cast<char>(secret[i] + 32) : secret[i];
      same = a == b;
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

std::string LoggedTarget(std::string_view target) {
  const std::size_t question = target.find('?');
  std::string logged(target.substr(0, question));
  if (question != std::string_view::npos) {
    std::string query;
    std::string_view rest = target.substr(question + 1);
    while (true) {
      const std::size_t amp = rest.find('&');
      const std::string_view pair = rest.substr(0, amp);
      if (!IsSecretKey(pair)) {
        if (!query.empty()) query += '&';
        query += pair;
      }
      if (amp == std::string_view::npos) break;
      rest.remove_prefix(amp + 1);
    }
    if (!query.empty()) logged += "?" + query;
  }
  for (char& c : logged) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '"') c = '?';
  }
  return logged;
}

}  // namespace zeva::toolserver
