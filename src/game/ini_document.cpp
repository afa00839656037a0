#include "game/ini_document.h"

#include <algorithm>
#include <cstdint>

#include "platform/unicode.h"

namespace zeva {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

}  // namespace

bool IsProfileBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' ||
         c == 0x1A;
}

std::u16string_view TrimProfileBlanks(std::u16string_view text) {
  while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
  return text;
}

IniDocument::IniDocument(std::string bytes, ITextCodec& codec)
    : m_bytes(std::move(bytes)), m_codec(codec) {
  if (m_bytes.starts_with(kUtf16LeBom)) {
    m_encoding = IniEncoding::kUtf16Le;
  } else if (m_bytes.starts_with(kUtf8Bom)) {
    m_encoding = IniEncoding::kUtf8;
  }
  Parse();
}

size_t IniDocument::BodyStart() const {
  switch (m_encoding) {
    case IniEncoding::kUtf16Le:
      return kUtf16LeBom.size();
    case IniEncoding::kUtf8:
      return kUtf8Bom.size();
    case IniEncoding::kAnsi:
      break;
  }
  return 0;
}

std::u16string IniDocument::Decode(size_t begin, size_t end) const {
  switch (m_encoding) {
    case IniEncoding::kUtf16Le: {
      std::u16string text;
      text.reserve((end - begin) / 2);
      for (size_t i = begin; i + 1 < end; i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(m_bytes[i]) |
                                      (static_cast<unsigned char>(m_bytes[i + 1]) << 8));
      }
      return text;
    }
    case IniEncoding::kUtf8:
      return Utf8ToUtf16(std::string_view(m_bytes).substr(begin, end - begin));
    case IniEncoding::kAnsi:
      break;
  }
  return m_codec.AnsiToUtf16(std::string_view(m_bytes).substr(begin, end - begin));
}

std::string IniDocument::Encode(std::u16string_view text) const {
  switch (m_encoding) {
    case IniEncoding::kUtf16Le: {
      std::string bytes;
      bytes.reserve(text.size() * 2);
      for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
      }
      return bytes;
    }
    case IniEncoding::kUtf8:
      return Utf16ToUtf8(text);
    case IniEncoding::kAnsi:
      break;
  }
  return m_codec.Utf16ToAnsi(text);
}

void IniDocument::Parse() {
  m_lines.clear();
  const size_t unit = UnitSize();
  auto unitAt = [&](size_t i) -> char16_t {
    if (unit == 1) return static_cast<unsigned char>(m_bytes[i]);
    return static_cast<char16_t>(static_cast<unsigned char>(m_bytes[i]) |
                                 (static_cast<unsigned char>(m_bytes[i + 1]) << 8));
  };
  // A trailing odd byte of a UTF-16 file is not a unit; it stays in the last line's bytes.
  const size_t limit = m_bytes.size() - (m_bytes.size() - BodyStart()) % unit;
  size_t pos = BodyStart();
  while (pos < m_bytes.size()) {
    Line line;
    line.begin = pos;
    size_t i = pos;
    while (i < limit && unitAt(i) != u'\r' && unitAt(i) != u'\n') i += unit;
    line.end = i;
    const bool hasBreak = i < limit;
    if (hasBreak) {
      const bool cr = unitAt(i) == u'\r';
      i += unit;
      if (cr && i < limit && unitAt(i) == u'\n') i += unit;
    } else {
      i = m_bytes.size();
    }
    line.next = i;
    line.hasBreak = hasBreak;
    pos = i;

    const std::u16string decoded = Decode(line.begin, line.end);
    std::u16string_view text = TrimProfileBlanks(decoded);
    if (text.empty()) {
      line.kind = Kind::kBlank;
    } else if (const size_t close = text.rfind(u']'); text.front() == u'[' && close != text.npos) {
      line.kind = Kind::kSection;
      line.name = TrimProfileBlanks(text.substr(1, close - 1));
    } else if (const size_t eq = text.find(u'='); eq != text.npos) {
      line.kind = Kind::kKey;
      line.name = TrimProfileBlanks(text.substr(0, eq));
      std::u16string_view value = TrimProfileBlanks(text.substr(eq + 1));
      // The system's functions hand values over as C strings: a NUL ends them.
      value = value.substr(0, value.find(u'\0'));
      line.value = value;
    } else {
      line.kind = Kind::kOther;
    }
    m_lines.push_back(std::move(line));
  }
}

IniDocument::SectionRange IniDocument::FindSection(std::u16string_view name) const {
  SectionRange range;
  size_t i = 0;
  // The lines before the first header form a nameless section.
  if (name.empty()) {
    range.found = true;
    range.isHead = true;
    range.first = 0;
    while (i < m_lines.size() && m_lines[i].kind != Kind::kSection) ++i;
    range.last = i;
    return range;
  }
  for (; i < m_lines.size(); ++i) {
    if (m_lines[i].kind == Kind::kSection && EqualsIgnoreCase(m_lines[i].name, name)) break;
  }
  if (i == m_lines.size()) return range;
  range.found = true;
  range.first = i;
  size_t j = i + 1;
  while (j < m_lines.size() && m_lines[j].kind != Kind::kSection) ++j;
  range.last = j;
  return range;
}

std::optional<std::u16string> IniDocument::Find(std::u16string_view section,
                                                std::u16string_view key) const {
  const SectionRange range = FindSection(TrimProfileBlanks(section));
  if (!range.found) return std::nullopt;
  const std::u16string_view wanted = TrimProfileBlanks(key);
  for (size_t i = range.isHead ? range.first : range.first + 1; i < range.last; ++i) {
    if (m_lines[i].kind == Kind::kKey && EqualsIgnoreCase(m_lines[i].name, wanted)) {
      return m_lines[i].value;
    }
  }
  return std::nullopt;
}

std::string IniDocument::LineBreak() const {
  // New lines follow the file's own line breaks; CR LF in a new file.
  for (const Line& line : m_lines) {
    if (!line.hasBreak) continue;
    return std::string(m_bytes, line.end, line.next - line.end);
  }
  return Encode(u"\r\n");
}

bool IniDocument::Set(std::u16string_view section, std::u16string_view key,
                      std::u16string_view value) {
  section = TrimProfileBlanks(section);
  key = TrimProfileBlanks(key);
  while (!value.empty() && IsProfileBlank(value.front())) value.remove_prefix(1);

  auto keyLine = [&](std::u16string_view name) {
    std::u16string text(name);
    text += u'=';
    text += value;
    return text;
  };

  if (m_bytes.empty()) {
    if (m_encoding == IniEncoding::kUtf16Le) m_bytes = kUtf16LeBom;
    if (m_encoding == IniEncoding::kUtf8) m_bytes = kUtf8Bom;
  }
  const std::string lineBreak = LineBreak();
  const SectionRange range = FindSection(section);
  // New text goes before a stray odd byte at the end of a UTF-16 file, keeping units aligned.
  const size_t end = m_bytes.size() - (m_bytes.size() - BodyStart()) % UnitSize();
  size_t insertAt = end;
  std::string bytes;

  if (range.found) {
    size_t lastContent = SIZE_MAX;
    if (!range.isHead) lastContent = range.first;
    for (size_t i = range.isHead ? range.first : range.first + 1; i < range.last; ++i) {
      const Line& line = m_lines[i];
      if (line.kind == Kind::kKey && EqualsIgnoreCase(line.name, key)) {
        if (line.value == value) return false;
        m_bytes.replace(line.begin, line.end - line.begin, Encode(keyLine(line.name)));
        Parse();
        return true;
      }
      if (line.kind != Kind::kBlank) lastContent = i;
    }
    if (lastContent == SIZE_MAX) {
      insertAt = BodyStart();
    } else {
      insertAt = std::min(m_lines[lastContent].next, end);
    }
    bytes = Encode(keyLine(key)) + lineBreak;
  } else {
    bytes = Encode(u"[" + std::u16string(section) + u"]") + lineBreak + Encode(keyLine(key)) +
            lineBreak;
  }
  // A last line without a line break gets one before anything is added after it.
  if (insertAt == end && !m_lines.empty() && !m_lines.back().hasBreak) {
    bytes.insert(0, lineBreak);
  }
  m_bytes.insert(insertAt, bytes);
  Parse();
  return true;
}

}  // namespace zeva
