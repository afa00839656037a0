#include "app/updater_signature.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeva {
namespace {

// minisign's layouts: a public key is "Ed", the key id and the Ed25519 key; a signature line
// is the algorithm, the key id and the Ed25519 signature.
constexpr size_t kAlgorithmBytes = 2;
constexpr size_t kKeyIdBytes = 8;
constexpr size_t kHeaderBytes = kAlgorithmBytes + kKeyIdBytes;
constexpr size_t kPublicKeyBytes = kHeaderBytes + crypto_sign_PUBLICKEYBYTES;
constexpr size_t kSignatureLineBytes = kHeaderBytes + crypto_sign_BYTES;
constexpr std::string_view kKeyAlgorithm = "Ed";
constexpr std::string_view kPrehashed = "ED";
constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
// Four short lines; a larger file is no signature and is not read into memory.
constexpr uint64_t kMaxSignatureFileSize = 64 * 1024;
constexpr size_t kReadSize = 64 * 1024;

template <size_t kSize>
using Bytes = std::array<unsigned char, kSize>;

// Exactly kSize bytes from standard base64 with its padding, or nothing.
template <size_t kSize>
std::optional<Bytes<kSize>> DecodeBase64(std::string_view text) {
  Bytes<kSize> bytes;
  size_t length = 0;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                        nullptr, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      length != kSize) {
    return std::nullopt;
  }
  return bytes;
}

template <size_t kSize>
bool HasPrefix(const Bytes<kSize>& bytes, std::string_view prefix) {
  return std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                    [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
}

// The four lines without their ends (LF, or CRLF from an editor on Windows); only empty lines
// may follow them.
std::optional<std::array<std::string_view, 4>> SplitLines(std::string_view text) {
  std::array<std::string_view, 4> lines;
  size_t count = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (count < lines.size()) {
      lines[count++] = line;
    } else if (!line.empty()) {
      return std::nullopt;
    }
  }
  if (count < lines.size()) return std::nullopt;
  return lines;
}

// BLAKE2b-512 of the file, read in pieces: an updater of any size costs one buffer.
std::optional<Bytes<crypto_generichash_BYTES_MAX>> HashFile(IFileSystem& files,
                                                            std::u16string_view path) {
  const std::optional<uint32_t> attributes = files.GetAttributes(path);
  if (!attributes || (*attributes & kAttrDirectory)) return std::nullopt;
  const std::unique_ptr<IFileReader> reader = files.OpenForReading(path);
  if (!reader) return std::nullopt;
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
  std::vector<unsigned char> buffer(kReadSize);
  for (uint64_t offset = 0;;) {
    const std::optional<size_t> got = reader->ReadAt(offset, buffer.data(), buffer.size());
    if (!got) return std::nullopt;
    if (*got == 0) break;
    crypto_generichash_update(&state, buffer.data(), *got);
    offset += *got;
  }
  Bytes<crypto_generichash_BYTES_MAX> digest;
  crypto_generichash_final(&state, digest.data(), digest.size());
  return digest;
}

}  // namespace

SignatureCheck CheckSignature(IFileSystem& files, std::u16string_view file,
                              std::string_view signatureText, std::string_view publicKey) {
  // Without its set-up the library checks nothing, so nothing passes.
  if (sodium_init() < 0) return SignatureCheck::kBadSignature;
  const std::optional<Bytes<kPublicKeyBytes>> key = DecodeBase64<kPublicKeyBytes>(publicKey);
  if (!key || !HasPrefix(*key, kKeyAlgorithm)) return SignatureCheck::kBadPublicKey;

  const std::optional<std::array<std::string_view, 4>> lines = SplitLines(signatureText);
  if (!lines || !(*lines)[0].starts_with(kUntrustedPrefix) ||
      !(*lines)[2].starts_with(kTrustedPrefix)) {
    return SignatureCheck::kMalformed;
  }
  const std::optional<Bytes<kSignatureLineBytes>> signature =
      DecodeBase64<kSignatureLineBytes>((*lines)[1]);
  const std::optional<Bytes<crypto_sign_BYTES>> global =
      DecodeBase64<crypto_sign_BYTES>((*lines)[3]);
  if (!signature || !global) return SignatureCheck::kMalformed;
  // Legacy "Ed" signs the file itself, which would have to be read whole into memory; what
  // we sign with is current minisign, whose signatures are all prehashed.
  if (!HasPrefix(*signature, kPrehashed)) return SignatureCheck::kUnsupportedAlgorithm;
  if (!std::equal(signature->begin() + kAlgorithmBytes, signature->begin() + kHeaderBytes,
                  key->begin() + kAlgorithmBytes)) {
    return SignatureCheck::kOtherKey;
  }

  const unsigned char* const keyBytes = key->data() + kHeaderBytes;
  const unsigned char* const signatureBytes = signature->data() + kHeaderBytes;
  const std::optional<Bytes<crypto_generichash_BYTES_MAX>> digest = HashFile(files, file);
  if (!digest) return SignatureCheck::kUnreadable;
  if (crypto_sign_verify_detached(signatureBytes, digest->data(), digest->size(), keyBytes) != 0) {
    return SignatureCheck::kBadSignature;
  }
  // The global signature covers the signature and the trusted comment's text after it.
  const std::string_view comment = (*lines)[2].substr(kTrustedPrefix.size());
  std::vector<unsigned char> covered(signatureBytes, signatureBytes + crypto_sign_BYTES);
  covered.insert(covered.end(), comment.begin(), comment.end());
  if (crypto_sign_verify_detached(global->data(), covered.data(), covered.size(), keyBytes) != 0) {
    return SignatureCheck::kBadGlobalSignature;
  }
  return SignatureCheck::kGood;
}

SignatureCheck CheckSignatureFile(IFileSystem& files, std::u16string_view file,
                                  std::u16string_view signatureFile, std::string_view publicKey) {
  const std::optional<uint32_t> attributes = files.GetAttributes(signatureFile);
  if (!attributes || (*attributes & kAttrDirectory)) return SignatureCheck::kUnreadable;
  const std::unique_ptr<IFileReader> reader = files.OpenForReading(signatureFile);
  const std::optional<uint64_t> size = reader ? reader->Size() : std::nullopt;
  if (!size) return SignatureCheck::kUnreadable;
  if (*size > kMaxSignatureFileSize) return SignatureCheck::kMalformed;
  std::string text(static_cast<size_t>(*size), '\0');
  for (size_t done = 0; done < text.size();) {
    const std::optional<size_t> got = reader->ReadAt(done, text.data() + done, text.size() - done);
    if (!got || *got == 0) return SignatureCheck::kUnreadable;
    done += *got;
  }
  return CheckSignature(files, file, text, publicKey);
}

}  // namespace zeva
