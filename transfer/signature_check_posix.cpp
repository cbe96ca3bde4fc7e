#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>
#include <vector>

#include "transfer/signature_check.h"

namespace {
struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// Strict base64 without line breaks; false for anything else.
bool DecodeBase64(const std::string& text, std::vector<unsigned char>* bytes) {
  if (text.empty() || text.size() % 4 != 0 || text.size() > 4096) return false;
  bytes->assign(text.size() / 4 * 3, 0);
  const int length =
      EVP_DecodeBlock(bytes->data(), reinterpret_cast<const unsigned char*>(text.data()),
                      static_cast<int>(text.size()));
  if (length < 0) return false;
  // EVP_DecodeBlock counts the padding as zero bytes.
  size_t padding = 0;
  if (text[text.size() - 1] == '=') ++padding;
  if (text[text.size() - 2] == '=') ++padding;
  bytes->resize(static_cast<size_t>(length) - padding);
  return true;
}
}  // namespace

bool VerifyEcdsaSignature(const std::string& publicKeyPem, const std::string& data,
                          const std::string& signatureBase64) {
  std::vector<unsigned char> signature;
  if (!DecodeBase64(signatureBase64, &signature)) return false;
  std::unique_ptr<BIO, BioFree> bio(
      BIO_new_mem_buf(publicKeyPem.data(), static_cast<int>(publicKeyPem.size())));
  if (!bio) return false;
  std::unique_ptr<EVP_PKEY, KeyFree> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
  // Only the curve the publisher's key is made on.
  if (!key || !EVP_PKEY_is_a(key.get(), "EC") || EVP_PKEY_get_bits(key.get()) != 256) return false;
  std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  return context &&
         EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
         EVP_DigestVerify(context.get(), signature.data(), signature.size(),
                          reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
}
