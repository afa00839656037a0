// libFuzzer target: any bytes as a configuration file, then one write. Whatever the file
// held, the written key reads back as written, from the document and from its bytes read
// anew, and parsing never reads past the bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "game/ini_document.h"
#include "platform/port.h"

namespace zeva {
namespace {

ITextCodec& Codec() {
  static std::unique_ptr<ITextCodec> codec = CreateTextCodec();
  return *codec;
}

// Names and values from an alphabet every encoding of the file can hold and that cannot
// change a line's kind: no brackets, no '=', no line breaks, no NUL.
std::u16string Take(const uint8_t*& data, size_t& size, size_t length) {
  static constexpr char16_t kAlphabet[] = u"abcXYZ019 \t._-中文设置\u00e9";
  constexpr size_t kLetters = sizeof(kAlphabet) / sizeof(kAlphabet[0]) - 1;
  std::u16string text;
  while (length-- > 0 && size > 0) {
    text += kAlphabet[*data % kLetters];
    ++data;
    --size;
  }
  return text;
}

}  // namespace
}  // namespace zeva

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zeva;
  if (size < 3) return 0;
  const size_t sectionLength = data[0] % 8, keyLength = data[1] % 8, valueLength = data[2] % 16;
  data += 3;
  size -= 3;
  std::u16string section = Take(data, size, sectionLength);
  std::u16string key = Take(data, size, keyLength);
  const std::u16string value = Take(data, size, valueLength);
  // Names of blanks only would name the file's head or nothing: give them a letter.
  if (TrimProfileBlanks(section).empty()) section += u's';
  if (TrimProfileBlanks(key).empty()) key += u'k';

  IniDocument document(std::string(reinterpret_cast<const char*>(data), size), Codec());
  (void)document.Find(section, key);
  document.Set(section, key, value);
  const std::u16string expected(TrimProfileBlanks(value));
  const std::optional<std::u16string> found = document.Find(section, key);
  Check(found && *found == expected, "the written value reads back");
  IniDocument reread(document.Bytes(), Codec());
  Check(reread.Encoding() == document.Encoding(), "the encoding survives the write");
  const std::optional<std::u16string> again = reread.Find(section, key);
  Check(again && *again == expected, "the written bytes read back");
  return 0;
}
