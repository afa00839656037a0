// The native login form's command on the test port: what it asks of the account server, its
// one retry, and the box for each outcome.
#include <gtest/gtest.h>

#include "app/login.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

LoginReply Reply(uint32_t status, std::string body) {
  LoginReply reply;
  reply.connected = true;
  reply.status = status;
  reply.body = std::move(body);
  return reply;
}

LoginReply Failure(LoginFailure failure, bool connected) {
  LoginReply reply;
  reply.failure = failure;
  reply.connected = connected;
  return reply;
}

class LoginTest : public ::testing::Test {
 protected:
  // The one box the command showed.
  test::MessageBoxCall Login(std::u16string_view user, std::u16string_view password,
                             uint16_t port = 4321) {
    m_test.dialogs.boxes.clear();
    RunLoginCommand(m_test.platform, 0x700, {u"127.0.0.1", port}, user, password);
    EXPECT_EQ(m_test.dialogs.boxes.size(), 1u);
    return m_test.dialogs.boxes.empty() ? test::MessageBoxCall{} : m_test.dialogs.boxes.back();
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
};

TEST_F(LoginTest, TheRequestCarriesNameAndPasswordPercentEncodedAsUtf8) {
  const struct {
    std::u16string_view user, password, rcode;
  } cases[] = {
      {u"a", u"b", u"%61%09%62"},
      {u"  ", u"x", u"%20%20%09%78"},  // spaces only are not empty
      {u"玩家", u"密", u"%e7%8e%a9%e5%ae%b6%09%e5%af%86"},
      {u"a&b=c", u"%\t", u"%61%26%62%3d%63%09%25%09"},
  };
  for (const auto& c : cases) {
    m_test.login.requests.clear();
    m_test.login.replies = {Reply(200, "ok")};
    Login(c.user, c.password);
    ASSERT_EQ(m_test.login.requests.size(), 1u);
    EXPECT_EQ(m_test.login.requests[0].object,
              u"/ajax.php?action=login&rcode=" + std::u16string(c.rcode) + u"&appid=17");
  }
  const LoginRequest& sent = m_test.login.requests[0];
  EXPECT_EQ(sent.host, u"127.0.0.1");
  EXPECT_EQ(sent.port, 4321);
  EXPECT_EQ(sent.userAgent, u"ZEVA");
  EXPECT_EQ(sent.header, "Content-Type:application/x-www-form-urlencoded;charset=UTF-8");
  EXPECT_EQ(sent.connectTimeoutMs, 20000);
}

TEST_F(LoginTest, EachOutcomeHasItsBox) {
  const std::string gbk = "\x31\x7c\xb5\xc7\xc2\xbc\xb3\xc9\xb9\xa6";  // "1|登录成功" in GBK
  const struct {
    LoginReply reply;
    std::u16string text;
  } cases[] = {
      {Reply(200, gbk), u"1|登录成功"},  // read in the ANSI code page, shown alone
      {Reply(200, std::string("ok\0junk", 7)), u"ok"},
      {Reply(200, ""), u"登录服务器没有返回内容。"},
      {Reply(404, "not found"), u"POST出错，错误码：404"},
      {Reply(500, ""), u"POST出错，错误码：500"},
      {Failure(LoginFailure::kTimedOut, true), u"操作超时。"},
      {Failure(LoginFailure::kConnectionLost, true), u"与服务器的连接意外终止。"},
  };
  for (const auto& c : cases) {
    m_test.login.requests.clear();
    m_test.login.replies = {c.reply};
    const test::MessageBoxCall box = Login(u"zeva", u"123456");
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, u"ZEVA");
    EXPECT_EQ(box.style, kMbOk | kMbIconExclamation);
    EXPECT_EQ(box.owner, 0x700u);
    EXPECT_EQ(m_test.login.requests.size(), 1u) << "a connection that stood is not tried again";
  }
  LoginReply named = Failure(LoginFailure::kOther, true);
  named.systemText = u"系统的说明";
  m_test.login.replies = {named};
  EXPECT_EQ(Login(u"zeva", u"123456").text, u"系统的说明");
}

TEST_F(LoginTest, AnEmptyFieldSendsNothing) {
  for (const auto& [user, password] : {std::pair{u"", u"pw"}, {u"zeva", u""}, {u"", u""}}) {
    const test::MessageBoxCall box = Login(user, password);
    EXPECT_EQ(box.text, u"用户名或密码不能为空!");
    EXPECT_EQ(box.caption, u"登录");
    EXPECT_EQ(box.style, kMbOk);
  }
  EXPECT_TRUE(m_test.login.requests.empty());
}

TEST_F(LoginTest, AConnectionThatCouldNotBeMadeIsTriedOnceMore) {
  m_test.login.replies = {Failure(LoginFailure::kCannotConnect, false), Reply(200, "ok")};
  EXPECT_EQ(Login(u"zeva", u"123456").text, u"ok");
  EXPECT_EQ(m_test.login.requests.size(), 2u);

  // The port's own request to a port nobody listens on: refused both times, then named.
  m_test.login.requests.clear();
  const test::MessageBoxCall box = Login(u"zeva", u"123456", 1);
  EXPECT_EQ(m_test.login.requests.size(), 2u);
  EXPECT_FALSE(box.text.empty());
#if !defined(_WIN32)
  EXPECT_EQ(box.text, u"无法与服务器建立连接。");
#endif
  EXPECT_EQ(box.style, kMbOk | kMbIconExclamation);
}

}  // namespace
}  // namespace zeva
