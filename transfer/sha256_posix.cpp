#include <openssl/evp.h>

#include "transfer/sha256.h"

struct CSha256::State {
  struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, ContextFree> context;
  bool ok = false;
};

CSha256::CSha256() : state_(std::make_unique<State>()) {
  state_->context.reset(EVP_MD_CTX_new());
  state_->ok =
      state_->context && EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) == 1;
}

CSha256::~CSha256() = default;

bool CSha256::Ok() const { return state_->ok; }

bool CSha256::Update(const void* data, size_t size) {
  if (state_->ok && size > 0) {
    state_->ok = EVP_DigestUpdate(state_->context.get(), data, size) == 1;
  }
  return state_->ok;
}

std::string CSha256::FinishHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const bool finished =
      state_->ok && EVP_DigestFinal_ex(state_->context.get(), digest, &length) == 1;
  state_->ok = false;
  return finished ? HexDigest(digest, length) : std::string();
}
