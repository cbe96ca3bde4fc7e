#include "server/comm_file_signature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <vector>

struct CommFileSigner::Key {
  EVP_PKEY* pkey = nullptr;
  ~Key() { EVP_PKEY_free(pkey); }
};

std::unique_ptr<CommFileSigner> CommFileSigner::FromPemFile(const std::string& path,
                                                            std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    *error = "cannot read the signing key " + path;
    return nullptr;
  }
  auto key = std::make_unique<Key>();
  key->pkey = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
  std::fclose(file);
  // The program checks P-256 signatures only.
  if (key->pkey == nullptr || !EVP_PKEY_is_a(key->pkey, "EC") ||
      EVP_PKEY_get_bits(key->pkey) != 256) {
    *error = "the signing key " + path + " is no ECDSA P-256 private key in PEM";
    return nullptr;
  }
  return std::unique_ptr<CommFileSigner>(new CommFileSigner(std::move(key)));
}

CommFileSigner::CommFileSigner(std::unique_ptr<Key> key) : key_(std::move(key)) {}

CommFileSigner::~CommFileSigner() = default;

std::string CommFileSigner::Sign(const std::string& body) const {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) return {};
  std::vector<unsigned char> signature;
  size_t length = 0;
  const auto* data = reinterpret_cast<const unsigned char*>(body.data());
  bool ok = EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key_->pkey) == 1 &&
            EVP_DigestSign(context, nullptr, &length, data, body.size()) == 1;
  if (ok) {
    signature.resize(length);
    ok = EVP_DigestSign(context, signature.data(), &length, data, body.size()) == 1;
  }
  EVP_MD_CTX_free(context);
  if (!ok) return {};
  std::string text(4 * ((length + 2) / 3) + 1, '\0');
  const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                      signature.data(), static_cast<int>(length));
  text.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return text;
}
