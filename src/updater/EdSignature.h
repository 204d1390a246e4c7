// Ed25519 signatures of update packages, as the feed's sparkle:edSignature carries them and
// Info.json's SUPublicEDKey names the key: both base64, a 64-byte signature of the whole package
// and a 32-byte raw public key. Checked with OpenSSL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nubrel {

enum class SignatureVerdict {
  valid,
  missingKey,        // no key, or one that is not 32 bytes of base64
  missingSignature,  // no signature at all
  invalid,           // a signature that is malformed or does not match the data and the key
};

SignatureVerdict verifyEdSignature(std::string_view data,
                                   const std::optional<std::string>& publicKeyBase64,
                                   const std::optional<std::string>& signatureBase64);

// Strict base64 (RFC 4648 with padding, no line breaks or spaces) decoded to exactly `size`
// bytes; nullopt for anything else.
std::optional<std::string> decodeBase64(std::string_view text, std::size_t size);

}  // namespace nubrel
