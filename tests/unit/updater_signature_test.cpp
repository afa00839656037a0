// The updater's signature check against keys and signatures minisign itself made: the good
// signature passes, and every forgery fails, each for its own reason.
#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/updater_signature.h"
#include "platform/path_style.h"
#include "platform/unicode.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

std::u16string Made(std::u16string_view name) {
  return Utf8ToUtf16(ZEVA_TEST_SIGNATURES) + kPathSeparator + std::u16string(name);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The base64 line of a public key file.
std::string PublicKey(std::u16string_view name) {
  return Lines(test::ReadBytes(Made(name)))[1];
}

// A base64 line with one bit of its decoded `index`th byte flipped.
std::string FlipBit(const std::string& line, size_t index) {
  std::vector<unsigned char> bytes(line.size());
  size_t length = 0;
  EXPECT_EQ(sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr,
                              &length, nullptr, sodium_base64_VARIANT_ORIGINAL),
            0);
  bytes[index] ^= 0x01;
  std::string flipped(sodium_base64_encoded_len(length, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(flipped.data(), flipped.size(), bytes.data(), length,
                    sodium_base64_VARIANT_ORIGINAL);
  flipped.pop_back();  // its terminating NUL
  return flipped;
}

class UpdaterSignatureTest : public ::testing::Test {
 protected:
  // The good signature with line `index` replaced.
  std::string With(size_t index, std::string line) const {
    std::vector<std::string> lines = Lines(m_good);
    lines[index] = std::move(line);
    return Joined(lines);
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  const std::string m_key = PublicKey(u"trusted.pub");
  const std::u16string m_updater = Made(u"updater.exe");
  const std::string m_good = test::ReadBytes(Made(u"updater.exe.minisig"));
  const std::vector<std::string> m_lines = Lines(m_good);
};

TEST_F(UpdaterSignatureTest, OnlyTheGoodSignatureOfTheTrustedKeyPasses) {
  ASSERT_EQ(m_lines.size(), 4u);
  std::string altered = test::ReadBytes(m_updater);
  altered[100000] ^= 0x01;  // in the second read piece
  const std::u16string alteredFile = m_folder / u"altered.exe";
  test::WriteBytes(alteredFile, altered);
  const std::u16string shortFile = m_folder / u"short.exe";
  test::WriteBytes(shortFile, altered.substr(0, altered.size() - 1));
  std::string crlf;
  for (const char c : m_good) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);

  const struct {
    const char* what;
    std::string signature;
    std::u16string file;
    SignatureCheck expected;
  } cases[] = {
      {"good", m_good, m_updater, SignatureCheck::kGood},
      {"CRLF line ends", crlf, m_updater, SignatureCheck::kGood},
      {"no final line end", m_good.substr(0, m_good.size() - 1), m_updater, SignatureCheck::kGood},
      {"bit flipped in the file", m_good, alteredFile, SignatureCheck::kBadSignature},
      {"file one byte short", m_good, shortFile, SignatureCheck::kBadSignature},
      {"bit flipped in the signature", With(1, FlipBit(m_lines[1], 40)), m_updater,
       SignatureCheck::kBadSignature},
      {"bit flipped in the global signature", With(3, FlipBit(m_lines[3], 10)), m_updater,
       SignatureCheck::kBadGlobalSignature},
      {"trusted comment altered", With(2, "trusted comment: file:other.exe"), m_updater,
       SignatureCheck::kBadGlobalSignature},
      {"trusted comment emptied", With(2, "trusted comment: "), m_updater,
       SignatureCheck::kBadGlobalSignature},
      {"wrong key id", With(1, FlipBit(m_lines[1], 2)), m_updater, SignatureCheck::kOtherKey},
      {"signed with another key", test::ReadBytes(Made(u"other.minisig")), m_updater,
       SignatureCheck::kOtherKey},
      {"legacy algorithm Ed", test::ReadBytes(Made(u"legacy.minisig")), m_updater,
       SignatureCheck::kUnsupportedAlgorithm},
      {"unknown algorithm", With(1, FlipBit(m_lines[1], 1)), m_updater,
       SignatureCheck::kUnsupportedAlgorithm},
      {"empty", "", m_updater, SignatureCheck::kMalformed},
      {"truncated to three lines", Joined({m_lines[0], m_lines[1], m_lines[2]}), m_updater,
       SignatureCheck::kMalformed},
      {"truncated in the signature line", m_good.substr(0, m_lines[0].size() + 40), m_updater,
       SignatureCheck::kMalformed},
      {"garbage base64", With(1, std::string(m_lines[1].size(), '!')), m_updater,
       SignatureCheck::kMalformed},
      {"global signature not base64", With(3, "not base64 at all"), m_updater,
       SignatureCheck::kMalformed},
      {"signature line one byte short", With(1, m_lines[1].substr(0, 96)), m_updater,
       SignatureCheck::kMalformed},
      {"without its untrusted comment", With(0, "untrusted: x"), m_updater,
       SignatureCheck::kMalformed},
      {"trusted comment unmarked", With(2, m_lines[2].substr(17)), m_updater,
       SignatureCheck::kMalformed},
      {"a fifth line", m_good + "untrusted comment: more\n", m_updater, SignatureCheck::kMalformed},
      {"missing file", m_good, m_folder / u"none.exe", SignatureCheck::kUnreadable},
      {"folder for a file", m_good, m_folder.Path(), SignatureCheck::kUnreadable},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckSignature(m_test.files, c.file, c.signature, m_key), c.expected) << c.what;
  }
}

TEST_F(UpdaterSignatureTest, OnlyAMinisignPublicKeyIsTrusted) {
  const std::string other = PublicKey(u"other.pub");
  EXPECT_EQ(CheckSignature(m_test.files, m_updater, m_good, other), SignatureCheck::kOtherKey);
  for (const std::string& key : {std::string(), m_key.substr(0, 55), m_key + "A",
                                 std::string(m_key.size(), '*'), FlipBit(m_key, 0)}) {
    EXPECT_EQ(CheckSignature(m_test.files, m_updater, m_good, key), SignatureCheck::kBadPublicKey)
        << key;
  }
}

TEST_F(UpdaterSignatureTest, TheSignatureFileIsReadWhole) {
  const std::u16string signature = m_folder / u"updater.exe.minisig";
  EXPECT_EQ(CheckSignatureFile(m_test.files, m_updater, signature, m_key),
            SignatureCheck::kUnreadable);
  test::WriteBytes(signature, m_good);
  EXPECT_EQ(CheckSignatureFile(m_test.files, m_updater, signature, m_key), SignatureCheck::kGood);
  // No signature is that large; it is not read into memory.
  test::WriteBytes(signature, m_good + std::string(64 * 1024, '\n'));
  EXPECT_EQ(CheckSignatureFile(m_test.files, m_updater, signature, m_key),
            SignatureCheck::kMalformed);
  // A medium that fails while the file is hashed.
  test::WriteBytes(signature, m_good);
  m_test.files.readableBytes = 100000;
  EXPECT_EQ(CheckSignatureFile(m_test.files, m_updater, signature, m_key),
            SignatureCheck::kUnreadable);
}

}  // namespace
}  // namespace zeva
