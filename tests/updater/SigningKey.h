// SigningKey: an Ed25519 key pair made for one test, signing as scripts/sign-update.sh does.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>

namespace nubrel::testing {

class SigningKey {
 public:
  SigningKey();  // a new random key pair

  // The raw 32-byte public key in base64, as Info.json's SUPublicEDKey holds it.
  std::string publicKeyBase64() const;
  // The 64-byte signature of data in base64, as an enclosure's sparkle:edSignature holds it.
  std::string sign(std::string_view data) const;

 private:
  struct Free {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  };
  std::unique_ptr<EVP_PKEY, Free> key_;
};

}  // namespace nubrel::testing
