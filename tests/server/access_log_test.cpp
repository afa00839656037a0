#include "access_log.h"

#include <gtest/gtest.h>

namespace zeva::toolserver {
namespace {

TEST(AccessLogTest, CredentialsNeverReachTheLog) {
  const struct {
    const char* target;
    const char* logged;
  } cases[] = {
      {"/ajax.php?action=login&rcode=zeva%09123456&appid=17", "/ajax.php?action=login&appid=17"},
      {"/ajax.php?rcode=a%09b", "/ajax.php"},
      {"/ajax.php?RCODE=a&rcode=b&rcodes=c", "/ajax.php?rcodes=c"},
      {"/CF30/CF_Index.aspx?ToolId=1&UID=10001&UWD=tok", "/CF30/CF_Index.aspx?ToolId=1&UID=10001"},
      {"/a\"b\x01?x=1", "/a?b??x=1"},
      {"/plain", "/plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(LoggedTarget(c.target), c.logged) << c.target;
}

}  // namespace
}  // namespace zeva::toolserver
