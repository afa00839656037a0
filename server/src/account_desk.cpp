#include "account_desk.h"

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>

namespace zeva::toolserver {
namespace {

constexpr std::size_t kMaxRcode = 512;

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

// A stable stand-in for a session token: it never carries the password itself, and stays
// ASCII so the client's low-byte Base64 keeps it intact.
std::string TokenFor(const DemoAccount& account) {
  unsigned long long hash = 1469598103934665603ULL;
  for (char c : account.uid + "\n" + account.password + "\nzeva-demo") {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 16; ++i) token += kHex[(hash >> (60 - 4 * i)) & 15];
  return token;
}

}  // namespace

std::vector<DemoAccount> ParseAccounts(std::string_view text) {
  std::vector<DemoAccount> accounts;
  std::size_t start = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() != 3 || fields[0].empty() || fields[1].empty() || fields[2].empty()) continue;
    accounts.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2])});
  }
  return accounts;
}

std::vector<DemoAccount> ReadAccounts(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseAccounts(text);
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t extra;
    unsigned long point;
    if (byte < 0x80) {
      ++i;
      continue;
    } else if ((byte & 0xE0) == 0xC0) {
      extra = 1;
      point = byte & 0x1F;
    } else if ((byte & 0xF0) == 0xE0) {
      extra = 2;
      point = byte & 0x0F;
    } else if ((byte & 0xF8) == 0xF0) {
      extra = 3;
      point = byte & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    static constexpr unsigned long kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

std::string Utf8ToGbk(std::string_view utf8) {
  iconv_t converter = iconv_open("GBK//TRANSLIT", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(utf8);
  std::unique_ptr<void, int (*)(iconv_t)> guard(converter, &iconv_close);
  std::string out;
  std::string in(utf8);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // Skip one character that has no GBK form and go on.
      out += '?';
      do {
        ++inPtr;
        --inLeft;
      } while (inLeft > 0 && (static_cast<unsigned char>(*inPtr) & 0xC0) == 0x80);
    }
  }
  return out;
}

LoginAnswer AnswerLogin(const std::vector<DemoAccount>& accounts, std::string_view action,
                        std::string_view appId, std::string_view rcode, bool hasRcode) {
  if (action != "login" || appId != "17" || !hasRcode || rcode.size() > kMaxRcode ||
      !IsUtf8(rcode)) {
    return {400, "0|请求无效"};
  }
  std::size_t tab = rcode.find('\t');
  if (tab == std::string_view::npos) return {400, "0|请求无效"};
  std::string_view name = rcode.substr(0, tab);
  std::string_view password = rcode.substr(tab + 1);
  if (name.empty() || password.empty()) return {200, "0|用户名或密码不能为空"};
  for (const DemoAccount& account : accounts) {
    if (account.name == name && account.password == password) {
      return {200,
              "1|" + account.uid + "|" + TokenFor(account) + "|登录成功，欢迎您，" + account.name};
    }
  }
  return {200, "0|用户名或密码错误"};
}

}  // namespace zeva::toolserver
