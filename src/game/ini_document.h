// An INI file held as its raw bytes. Reading parses the lines; a write changes only the
// bytes of the line it touches (or inserts one), so every other byte of the file, comments,
// blank lines, odd spacing and bytes of any code page included, stays exactly as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_codec.h"

namespace zeva {

enum class IniEncoding { kAnsi, kUtf8, kUtf16Le };

class IniDocument {
 public:
  // An empty document is a new file: it is written in the ANSI code page.
  IniDocument(std::string bytes, ITextCodec& codec);

  IniEncoding Encoding() const { return m_encoding; }
  const std::string& Bytes() const { return m_bytes; }

  // The value of the first matching key in the first matching section, blanks around it
  // removed; nothing when the section or the key is missing. Names match without regard
  // to letter case and to blanks around them.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;

  // Sets the key (creating the section and key as needed). Leading blanks of the value are
  // dropped, as the system's profile functions do. Returns false when nothing had to change.
  bool Set(std::u16string_view section, std::u16string_view key, std::u16string_view value);

 private:
  enum class Kind { kBlank, kSection, kKey, kOther };
  struct Line {
    size_t begin = 0;  // byte offsets of the text, without the line break
    size_t end = 0;
    size_t next = 0;  // byte offset of the next line
    bool hasBreak = false;
    Kind kind = Kind::kOther;
    std::u16string name;
    std::u16string value;
  };
  struct SectionRange {
    size_t first = 0;  // index of the header line (or 0 for the head of the file)
    size_t last = 0;   // one past the section's last line
    bool found = false;
    bool isHead = false;
  };

  void Parse();
  size_t UnitSize() const { return m_encoding == IniEncoding::kUtf16Le ? 2 : 1; }
  size_t BodyStart() const;
  std::u16string Decode(size_t begin, size_t end) const;
  std::string Encode(std::u16string_view text) const;
  std::string LineBreak() const;
  SectionRange FindSection(std::u16string_view name) const;

  std::string m_bytes;
  ITextCodec& m_codec;
  IniEncoding m_encoding = IniEncoding::kAnsi;
  std::vector<Line> m_lines;
};

// Blanks as the profile functions see them (ASCII white space and the DOS end-of-file mark).
bool IsProfileBlank(char16_t c);
std::u16string_view TrimProfileBlanks(std::u16string_view text);

}  // namespace zeva
