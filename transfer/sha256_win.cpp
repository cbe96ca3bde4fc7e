// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include "transfer/sha256.h"

namespace {
constexpr ULONG kDigestBytes = 32;
}  // namespace

struct CSha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = false;

  ~State() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

CSha256::CSha256() : state_(std::make_unique<State>()) {
  State& s = *state_;
  // Without a buffer of our own, CNG keeps the hash object itself.
  s.ok = BCRYPT_SUCCESS(
             BCryptOpenAlgorithmProvider(&s.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
         BCRYPT_SUCCESS(BCryptCreateHash(s.algorithm, &s.hash, nullptr, 0, nullptr, 0, 0));
}

CSha256::~CSha256() = default;

bool CSha256::Ok() const { return state_->ok; }

bool CSha256::Update(const void* data, size_t size) {
  State& s = *state_;
  auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
  // BCryptHashData takes a 32-bit length.
  while (s.ok && size > 0) {
    const ULONG chunk = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    s.ok = BCRYPT_SUCCESS(BCryptHashData(s.hash, bytes, chunk, 0));
    bytes += chunk;
    size -= chunk;
  }
  return s.ok;
}

std::string CSha256::FinishHex() {
  State& s = *state_;
  UCHAR digest[kDigestBytes];
  const bool finished = s.ok && BCRYPT_SUCCESS(BCryptFinishHash(s.hash, digest, kDigestBytes, 0));
  s.ok = false;
  return finished ? HexDigest(digest, kDigestBytes) : std::string();
}
