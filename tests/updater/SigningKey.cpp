// SigningKey on OpenSSL's EVP interface.
#include "updater/SigningKey.h"

#include <glib.h>

#include <stdexcept>

namespace nubrel::testing {
namespace {

std::string base64(const unsigned char* bytes, std::size_t size) {
  gchar* text = g_base64_encode(bytes, size);
  std::string result(text);
  g_free(text);
  return result;
}

}  // namespace

SigningKey::SigningKey() {
  EVP_PKEY* key = nullptr;
  EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
  const bool made =
      context && EVP_PKEY_keygen_init(context) == 1 && EVP_PKEY_keygen(context, &key) == 1;
  EVP_PKEY_CTX_free(context);
  if (!made) {
    throw std::runtime_error("cannot make an Ed25519 key");
  }
  key_.reset(key);
}

std::string SigningKey::publicKeyBase64() const {
  unsigned char raw[32];
  std::size_t size = sizeof raw;
  EVP_PKEY_get_raw_public_key(key_.get(), raw, &size);
  return base64(raw, size);
}

std::string SigningKey::sign(std::string_view data) const {
  unsigned char signature[64];
  std::size_t size = sizeof signature;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_.get());
  EVP_DigestSign(context, signature, &size, reinterpret_cast<const unsigned char*>(data.data()),
                 data.size());
  EVP_MD_CTX_free(context);
  return base64(signature, size);
}

}  // namespace nubrel::testing
