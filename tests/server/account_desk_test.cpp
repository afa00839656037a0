#include "account_desk.h"

#include <gtest/gtest.h>

namespace zeva::toolserver {
namespace {

const std::vector<DemoAccount> kAccounts = ParseAccounts(
    "# name\tpassword\tuid\n"
    "zeva\t123456\t10001\r\n"
    "玩家一号\tcf2026\t10002\n"
    "broken line\n"
    "\tempty\t1\n");

TEST(AccountDeskTest, ReadsAccountLinesAndSkipsBrokenOnes) {
  ASSERT_EQ(kAccounts.size(), 2u);
  EXPECT_EQ(kAccounts[1].name, "玩家一号");
  EXPECT_EQ(kAccounts[0].uid, "10001");
}

TEST(AccountDeskTest, KnownAccountGetsItsUidAndAToken) {
  LoginAnswer answer = AnswerLogin(kAccounts, "login", "17", "玩家一号\tcf2026", true);
  EXPECT_EQ(answer.status, 200);
  ASSERT_EQ(answer.text.rfind("1|10002|", 0), 0u) << answer.text;
  std::string token = answer.text.substr(8, answer.text.find('|', 8) - 8);
  EXPECT_EQ(token.size(), 16u);
  EXPECT_EQ(token.find("cf2026"), std::string::npos);
  // The same account gets the same token; another account another one.
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "玩家一号\tcf2026", true).text, answer.text);
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "zeva\t123456", true).text.find(token),
            std::string::npos);
}

TEST(AccountDeskTest, WrongOrEmptyCredentialsAreAnsweredNotRefused) {
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "zeva\twrong", true).text, "0|用户名或密码错误");
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "ZEVA\t123456", true).text, "0|用户名或密码错误");
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "\t123456", true).text, "0|用户名或密码不能为空");
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "zeva\t", true).status, 200);
}

TEST(AccountDeskTest, RequestsThatAreNoLoginGet400) {
  EXPECT_EQ(AnswerLogin(kAccounts, "logout", "17", "zeva\t123456", true).status, 400);
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "18", "zeva\t123456", true).status, 400);
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "", false).status, 400);
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "zeva 123456", true).status, 400);
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", "zeva\t\xff\xfe", true).status, 400);
  EXPECT_EQ(AnswerLogin(kAccounts, "login", "17", std::string(600, 'a') + "\tb", true).status, 400);
}

TEST(AccountDeskTest, ChecksUtf8Strictly) {
  EXPECT_TRUE(IsUtf8("abc 登录 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(IsUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsUtf8("\xE7\x99"));          // cut short
  EXPECT_FALSE(IsUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}

TEST(AccountDeskTest, RepliesInCodePage936) {
  EXPECT_EQ(Utf8ToGbk("1|登录"), "1|\xB5\xC7\xC2\xBC");
  // A character GBK lacks does not cut the reply short.
  std::string mixed = Utf8ToGbk(
      "a\xF0\x9F\x98\x80"
      "b");
  EXPECT_EQ(mixed.front(), 'a');
  EXPECT_EQ(mixed.back(), 'b');
}

}  // namespace
}  // namespace zeva::toolserver
