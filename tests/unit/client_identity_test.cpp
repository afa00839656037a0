#include <gtest/gtest.h>

#include "app/client_identity.h"
#include "app/text_codecs.h"
#include "game/profile.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using test::TempFolder;
using test::TestPlatform;

class ClientIdentityTest : public ::testing::Test {
 protected:
  void Store(std::u16string_view key, std::u16string_view value) {
    ASSERT_TRUE(ProfileSetString(m_test.platform, u"system", key, value, m_config));
  }
  std::u16string Read(std::u16string_view section, std::u16string_view key) {
    return ProfileGetString(m_test.platform, section, key, u"", 260, m_config);
  }
  std::u16string StartAndBuild() {
    ClientIdentity identity;
    LoadClientIdentity(m_test.platform, identity);
    return BuildPortalUrl(m_test.platform, identity);
  }
  void StoreLogin(std::u16string_view uid, std::u16string_view word, std::u16string_view mac) {
    Store(u"UID", uid);
    Store(u"UWD", Base64Encode(word));
    Store(u"MAC", mac);
    Store(u"ISLOGIN", u"1");
  }

  const std::u16string m_portal = std::u16string(endpoints::kToolServer) + u"/CF30/CF_Index.aspx";
  TempFolder m_folder;
  TestPlatform m_test{m_folder.Path()};
  std::u16string m_config = m_folder / u"config.ini";
};

TEST_F(ClientIdentityTest, FirstStartWithoutConfigFile) {
  EXPECT_EQ(StartAndBuild(), m_portal + u"?ToolId=1&SetUp=true&ClientVersion=V3.0.6");
  EXPECT_EQ(Read(u"zevaver", u"version"), u"V3.0.6");
  EXPECT_EQ(Read(u"system", u"Setup"), u"false");
  // The next start is no longer the first.
  EXPECT_EQ(StartAndBuild(), m_portal + u"?ToolId=1&SetUp=&ClientVersion=V3.0.6");
}

TEST_F(ClientIdentityTest, AnyNonEmptySetupValueMeansNotTheFirstStart) {
  Store(u"Setup", u"true");
  EXPECT_EQ(StartAndBuild(), m_portal + u"?ToolId=1&SetUp=&ClientVersion=V3.0.6");
  EXPECT_EQ(Read(u"system", u"Setup"), u"true");
}

TEST_F(ClientIdentityTest, TheVersionIsRewrittenAtEveryStart) {
  ASSERT_TRUE(ProfileSetString(m_test.platform, u"zevaver", u"version", u"V2.0", m_config));
  StartAndBuild();
  EXPECT_EQ(Read(u"zevaver", u"version"), u"V3.0.6");
}

TEST_F(ClientIdentityTest, ALoginStoredOnThisMachineIsSentEncoded) {
  Store(u"Setup", u"false");
  StoreLogin(u"玩家 one", u"secret", u"0-1b-fc-a-5-e3");
  EXPECT_EQ(StartAndBuild(), m_portal +
                                 u"?ToolId=1&SetUp=&ClientVersion=V3.0.6"
                                 u"&UID=%e7%8e%a9%e5%ae%b6%20%6f%6e%65"
                                 u"&UWD=%73%65%63%72%65%74");
}

TEST_F(ClientIdentityTest, IncompleteOrForeignLoginsAreNotSent) {
  Store(u"Setup", u"false");
  const std::u16string plain = m_portal + u"?ToolId=1&SetUp=&ClientVersion=V3.0.6";

  Store(u"UID", u"player");
  EXPECT_EQ(StartAndBuild(), plain);    // no word
  EXPECT_EQ(m_test.adapters.calls, 0);  // the address is only looked up when needed

  StoreLogin(u"player", u"secret", u"0-1B-FC-A-5-E3");
  EXPECT_EQ(StartAndBuild(), plain);  // letter case differs: another machine

  StoreLogin(u"player", u"secret", u"0-1b-fc-a-5-e4");
  EXPECT_EQ(StartAndBuild(), plain);

  Store(u"UWD", u"AA==");  // decodes to nothing
  Store(u"MAC", u"0-1b-fc-a-5-e3");
  EXPECT_EQ(StartAndBuild(), plain);
}

TEST_F(ClientIdentityTest, NoAdapterNeverMatches) {
  Store(u"Setup", u"false");
  StoreLogin(u"player", u"secret", u"0-1b-fc-a-5-e3");
  m_test.adapters.address.reset();
  EXPECT_EQ(StartAndBuild(), m_portal + u"?ToolId=1&SetUp=&ClientVersion=V3.0.6");
}

TEST_F(ClientIdentityTest, LoggedOutRecordSendsNothing) {
  Store(u"Setup", u"false");
  StoreLogin(u"", u"", u"");
  Store(u"ISLOGIN", u"0");
  ClientIdentity identity;
  LoadClientIdentity(m_test.platform, identity);
  EXPECT_TRUE(identity.userId.empty());
  EXPECT_TRUE(identity.userWord.empty());
  EXPECT_TRUE(identity.storedMac.empty());
  EXPECT_EQ(BuildPortalUrl(m_test.platform, identity),
            m_portal + u"?ToolId=1&SetUp=&ClientVersion=V3.0.6");
}

}  // namespace
}  // namespace zeva
