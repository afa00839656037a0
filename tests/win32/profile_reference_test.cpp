// Our profile layer against the system's own private-profile functions: the same
// operations on twin files must give the same answers and, for files the system keeps in
// its own layout, the same bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "game/profile.h"
#include "platform/unicode.h"
#include "ports/win32/wide.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::TestPlatform;
using test::WriteBytes;
using win32::Wide;

struct Get {
  std::u16string section, key, def;
  size_t capacity = 256;
};
struct Set {
  std::u16string section, key, value;
};
using Operation = std::variant<Get, Set>;

struct Scenario {
  const char* name;
  std::optional<std::string> initial;  // file bytes before the operations; none: no file
  std::vector<Operation> operations;
  // The system rewrites the whole file in its own layout; our layer edits lines in place.
  // Bytes are compared where the two layouts coincide.
  bool compareBytes = true;
};
// Read-only files are not compared: Wine running as root writes them anyway, where Windows
// refuses; the unit tests hold our layer to the refusal.

std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return bytes;
}

std::vector<Scenario> Scenarios() {
  return {
      {"new file with the client's keys",
       std::nullopt,
       {Set{u"zevaver", u"version", u"V3.0.6"}, Set{u"system", u"Setup", u"false"},
        Set{u"system", u"UID", u"玩家一号"}, Set{u"CF Info", u"FOLDER", u"D:\\游戏\\穿越火线"},
        Set{u"CF Info", u"FOLDER_TYF", u"E:\\体验服"}, Get{u"system", u"UID"},
        Get{u"CF Info", u"FOLDER", u"", 255}, Set{u"system", u"UID", u""},
        Get{u"system", u"UID", u"x"}, Get{u"system", u"ISLOGIN", u"none"}}},
      {"names without regard to case",
       std::nullopt,
       {Set{u"System", u"Exit", u"1"}, Set{u"SYSTEM", u"exit", u"2"}, Get{u"system", u"EXIT"},
        Set{u"system", u"run", u"0"}, Get{u" system ", u" RUN "}}},
      {"trimming and quotes",
       "[s]\r\na=  1  \r\nb=\"q\"\r\nc='s'\r\nd=\"m'\r\ne=\"\r\nf=\"\"\r\ng=\" x \"\r\n"
       "h=\t01\t\r\n",
       {Get{u"s", u"a"}, Get{u"s", u"b"}, Get{u"s", u"c"}, Get{u"s", u"d"}, Get{u"s", u"e"},
        Get{u"s", u"f"}, Get{u"s", u"g"}, Get{u"s", u"h"}}},
      {"capacity",
       "[s]\r\nk=abcdef\r\nq=\"abcdef\"\r\n",
       // Not compared: a quoted value whose length is exactly capacity - 1 with its closing
       // quote (Wine then drops one character too many).
       {Get{u"s", u"k", u"", 1}, Get{u"s", u"k", u"", 2}, Get{u"s", u"k", u"", 6},
        Get{u"s", u"k", u"", 7}, Get{u"s", u"k", u"", 8}, Get{u"s", u"q", u"", 4},
        Get{u"s", u"q", u"", 9}, Get{u"s", u"none", u"default", 4},
        Get{u"s", u"none", u"default  ", 20}}},
      {"missing file, section or key",
       "[s]\r\nk=1\r\n",
       {Get{u"t", u"k", u"d"}, Get{u"s", u"x", u"d"}, Get{u"s", u"k", u"d"}}},
      {"replace and append in the system's layout",
       "[a]\r\nx=1\r\n[b]\r\ny=2\r\n",
       {Set{u"a", u"x", u"changed"}, Set{u"a", u"new", u"v"}, Set{u"b", u"z", u"3"},
        Set{u"c", u"k", u"  leading"}, Get{u"c", u"k"}, Get{u"a", u"new"}}},
      {"messy file",
       "; comment\n[CF Info]\n  FOLDER = old  \nodd line\n\n[system]\r\nexit=0\rrun=1\n"
       "[ spaced ]\nk=v\n[a]b]\nk=w\n[unterminated\nk2=z\n",
       {Get{u"CF Info", u"FOLDER"}, Get{u"system", u"run"}, Get{u"system", u"exit"},
        Get{u"spaced", u"k"}, Get{u"a]b", u"k"}, Get{u"a", u"k"}, Get{u"unterminated", u"k2"},
        Get{u"a]b", u"k2"}, Set{u"CF Info", u"folder", u"new"}, Get{u"CF Info", u"FOLDER"},
        Set{u"system", u"wnd", u"2"}, Get{u"system", u"wnd"}, Get{u"system", u"run"}},
       false},
      {"duplicates",
       "[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nonly=4\r\n",
       {Get{u"s", u"k"}, Get{u"s", u"only"}, Set{u"s", u"k", u"9"}, Get{u"s", u"k"}}},
      {"UTF-16 file",
       Utf16File(u"[CF Info]\r\nFOLDER=C:\\穿越火线\r\n"),
       {Get{u"cf info", u"folder"}, Set{u"CF Info", u"FOLDER_TYF", u"D:\\体验服"},
        Set{u"新", u"键", u"值"}, Get{u"新", u"键"}}},
      {"unchanged value", "[s]\r\nk=v\r\n", {Set{u"s", u"k", u"v"}, Get{u"s", u"k"}}},
  };
}

std::u16string SystemGet(const Get& get, const std::u16string& file) {
  std::vector<wchar_t> buffer(get.capacity + 1, L'#');
  const DWORD length = ::GetPrivateProfileStringW(
      Wide(get.section).c_str(), Wide(get.key).c_str(), Wide(get.def).c_str(), buffer.data(),
      static_cast<DWORD>(get.capacity), Wide(file).c_str());
  return win32::FromWide(std::wstring_view(buffer.data(), length));
}

bool SystemSet(const Set& set, const std::u16string& file) {
  return ::WritePrivateProfileStringW(Wide(set.section).c_str(), Wide(set.key).c_str(),
                                      Wide(set.value).c_str(), Wide(file).c_str()) != FALSE;
}

TEST(ProfileReferenceTest, AgreesWithTheSystemsPrivateProfileFunctions) {
  TempFolder folder;
  TestPlatform test(folder.Path());
  int index = 0;
  for (const Scenario& scenario : Scenarios()) {
    SCOPED_TRACE(scenario.name);
    // Fresh names each time: the system caches recently used files.
    const std::u16string ours = folder / (u"ours" + std::u16string(1, u'a' + index) + u".ini");
    const std::u16string theirs = folder / (u"sys" + std::u16string(1, u'a' + index) + u".ini");
    ++index;
    if (scenario.initial) {
      WriteBytes(ours, *scenario.initial);
      WriteBytes(theirs, *scenario.initial);
    }
    int step = 0;
    for (const Operation& operation : scenario.operations) {
      SCOPED_TRACE(step++);
      if (const Get* get = std::get_if<Get>(&operation)) {
        EXPECT_EQ(
            ProfileGetString(test.platform, get->section, get->key, get->def, get->capacity, ours),
            SystemGet(*get, theirs))
            << "[" << Utf16ToUtf8(get->section) << "] " << Utf16ToUtf8(get->key) << " capacity "
            << get->capacity;
      } else {
        const Set& set = std::get<Set>(operation);
        EXPECT_EQ(ProfileSetString(test.platform, set.section, set.key, set.value, ours),
                  SystemSet(set, theirs));
      }
    }
    if (scenario.compareBytes) {
      EXPECT_EQ(ReadBytes(ours), ReadBytes(theirs));
    }
  }
}

}  // namespace
}  // namespace zeva
