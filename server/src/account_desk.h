// The stand-in account server: demo accounts from the data folder and the login answer.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeva::toolserver {

struct DemoAccount {
  std::string name;      // UTF-8
  std::string password;  // UTF-8
  std::string uid;       // ASCII digits
};

// Lines "name<TAB>password<TAB>uid"; "#" lines and lines without three fields are skipped.
std::vector<DemoAccount> ParseAccounts(std::string_view text);
std::vector<DemoAccount> ReadAccounts(const std::filesystem::path& file);

struct LoginAnswer {
  int status = 200;  // 400 for a request that is not a login request at all
  std::string text;  // UTF-8; "1|uid|token|message" or "0|message"
};

// Answers "/ajax.php?action=login&rcode=…&appid=17". `rcode` is already percent-decoded:
// the user name and the password, UTF-8, separated by the first tab.
LoginAnswer AnswerLogin(const std::vector<DemoAccount>& accounts, std::string_view action,
                        std::string_view appId, std::string_view rcode, bool hasRcode);

// True when `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// UTF-8 to GBK, the code page the client reads replies in; unmappable characters become "?".
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace zeva::toolserver
