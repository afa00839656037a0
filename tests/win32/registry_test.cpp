// GetRegString's reader against the real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/port.h"
#include "ports/win32/wide.h"

namespace zeva {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &m_key, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    ::RegCloseKey(m_key);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
  }
  void SetString(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
    ::RegSetValueExW(m_key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

  static constexpr wchar_t kKey[] = L"Software\\ZevaRegistryTest";
  HKEY m_key = nullptr;
  std::unique_ptr<IRegistry> m_registry = CreateRegistry();
};

TEST_F(RegistryTest, ReadsStringValuesOfAnyLength) {
  SetString(nullptr, L"default");
  SetString(L"Folder", L"C:\\穿越火线");
  SetString(L"Expand", L"%WINDIR%\\x", REG_EXPAND_SZ);
  const std::wstring longValue(10000, L'x');
  SetString(L"Long", longValue);
  const DWORD number = 5;
  ::RegSetValueExW(m_key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);

  const std::u16string path = u"Software\\ZevaRegistryTest";
  EXPECT_EQ(m_registry->ReadString(RegistryRoot::kCurrentUser, path, u""), u"default");
  EXPECT_EQ(m_registry->ReadString(RegistryRoot::kCurrentUser, path, u"folder"), u"C:\\穿越火线");
  EXPECT_EQ(m_registry->ReadString(RegistryRoot::kCurrentUser, path, u"Expand"), u"%WINDIR%\\x");
  EXPECT_EQ(m_registry->ReadString(RegistryRoot::kCurrentUser, path, u"Long"),
            win32::FromWide(longValue));
  EXPECT_FALSE(m_registry->ReadString(RegistryRoot::kCurrentUser, path, u"Number"));
  EXPECT_FALSE(m_registry->ReadString(RegistryRoot::kCurrentUser, path, u"Missing"));
  EXPECT_FALSE(m_registry->ReadString(RegistryRoot::kCurrentUser, path + u"\\Nope", u""));
  EXPECT_FALSE(m_registry->ReadString(RegistryRoot::kLocalMachine, path, u"Folder"));
}

}  // namespace
}  // namespace zeva
