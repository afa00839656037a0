// Detached signatures in minisign's format, checked against the one public key the client
// carries, before a program fetched from the tool server is started.
#pragma once

#include <string_view>

#include "platform/files.h"

namespace zeva {

// The signature lies beside its file under the file's name and this suffix, on the server and
// on the disk.
inline constexpr char16_t kSignatureSuffix[] = u".minisig";

enum class SignatureCheck {
  kGood,
  kBadPublicKey,          // the key given is no minisign Ed25519 public key
  kUnreadable,            // the file or its signature cannot be read
  kMalformed,             // not minisign's four lines, or base64 that does not decode
  kUnsupportedAlgorithm,  // anything but "ED", the signed BLAKE2b-512 of the file
  kOtherKey,              // made with a key of another id
  kBadSignature,          // the file is not the one signed
  kBadGlobalSignature,    // the trusted comment or the signature was altered
};

// `publicKey` is the base64 line of a minisign public key file. Only the prehashed "ED"
// signatures pass: the file is hashed as it is read (constant memory), and every signature
// current minisign makes is one.
SignatureCheck CheckSignature(IFileSystem& files, std::u16string_view file,
                              std::string_view signatureText, std::string_view publicKey);
// The same with the signature read from `signatureFile`.
SignatureCheck CheckSignatureFile(IFileSystem& files, std::u16string_view file,
                                  std::u16string_view signatureFile, std::string_view publicKey);

}  // namespace zeva
