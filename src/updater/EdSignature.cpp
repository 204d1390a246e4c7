// Ed25519 with OpenSSL's one-shot EVP_DigestVerify: Ed25519 signs the message itself, not a
// digest, so the whole package is in memory when it is checked (packages are capped in size).
#include "updater/EdSignature.h"

#include <glib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace nubrel {
namespace {

constexpr std::size_t kPublicKeyBytes = 32;
constexpr std::size_t kSignatureBytes = 64;

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

bool isBase64Char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

}  // namespace

std::optional<std::string> decodeBase64(std::string_view text, std::size_t size) {
  // GLib's decoder skips what it does not know, so the text is checked here first.
  std::size_t padding = 0;
  while (padding < text.size() && text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  if (text.empty() || text.size() % 4 != 0 || padding > 2 ||
      !std::all_of(text.begin(), text.end() - static_cast<std::ptrdiff_t>(padding), isBase64Char)) {
    return std::nullopt;
  }
  const std::string terminated(text);
  gsize length = 0;
  const std::unique_ptr<guchar, decltype(&g_free)> bytes(
      g_base64_decode(terminated.c_str(), &length), g_free);
  if (length != size) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(bytes.get()), length);
}

SignatureVerdict verifyEdSignature(std::string_view data,
                                   const std::optional<std::string>& publicKeyBase64,
                                   const std::optional<std::string>& signatureBase64) {
  const auto rawKey =
      publicKeyBase64 ? decodeBase64(*publicKeyBase64, kPublicKeyBytes) : std::nullopt;
  if (!rawKey) {
    return SignatureVerdict::missingKey;
  }
  if (!signatureBase64) {
    return SignatureVerdict::missingSignature;
  }
  const auto signature = decodeBase64(*signatureBase64, kSignatureBytes);
  if (!signature) {
    return SignatureVerdict::invalid;
  }
  const std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_PKEY_new_raw_public_key(
      EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(rawKey->data()),
      rawKey->size()));
  const std::unique_ptr<EVP_MD_CTX, MdCtxFree> context(EVP_MD_CTX_new());
  if (!key || !context ||
      EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
    return SignatureVerdict::missingKey;
  }
  const int verified = EVP_DigestVerify(
      context.get(), reinterpret_cast<const unsigned char*>(signature->data()), signature->size(),
      reinterpret_cast<const unsigned char*>(data.data()), data.size());
  return verified == 1 ? SignatureVerdict::valid : SignatureVerdict::invalid;
}

}  // namespace nubrel
