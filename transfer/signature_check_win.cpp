// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>
// clang-format on

#include <cstring>
#include <vector>

#include "transfer/sha256.h"
#include "transfer/signature_check.h"

namespace {
constexpr ULONG kCoordinateBytes = 32;

// A P-256 public key in PEM is one SubjectPublicKeyInfo of fixed shape: this
// header (the EC public-key and P-256 identifiers, then the bit string's
// start), followed by the uncompressed point 04 || X || Y.
constexpr unsigned char kP256KeyHeader[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                            0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                            0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

bool DecodeBase64(const std::string& text, DWORD flags, std::vector<unsigned char>* bytes) {
  DWORD size = 0;
  if (text.empty() || text.size() > 8192 ||
      !CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), flags, nullptr, &size,
                            nullptr, nullptr)) {
    return false;
  }
  bytes->assign(size, 0);
  if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), flags, bytes->data(),
                            &size, nullptr, nullptr)) {
    return false;
  }
  bytes->resize(size);
  return true;
}

// The key blob CNG imports: its header, then X and Y.
bool KeyBlobFromPem(const std::string& pem, std::vector<unsigned char>* blob) {
  std::vector<unsigned char> der;
  if (!DecodeBase64(pem, CRYPT_STRING_BASE64HEADER, &der)) return false;
  constexpr size_t kHeader = sizeof kP256KeyHeader;
  if (der.size() != kHeader + 1 + 2 * kCoordinateBytes ||
      std::memcmp(der.data(), kP256KeyHeader, kHeader) != 0 || der[kHeader] != 0x04) {
    return false;
  }
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateBytes};
  blob->assign(reinterpret_cast<unsigned char*>(&header),
               reinterpret_cast<unsigned char*>(&header) + sizeof header);
  blob->insert(blob->end(), der.begin() + kHeader + 1, der.end());
  return true;
}

// One of r and s, little-endian as the decoder gives it, as 32 big-endian
// bytes; false when it does not fit.
bool AppendCoordinate(const CRYPT_UINT_BLOB& value, std::vector<unsigned char>* out) {
  DWORD length = value.cbData;
  while (length > 0 && value.pbData[length - 1] == 0) --length;
  if (length > kCoordinateBytes) return false;
  out->insert(out->end(), kCoordinateBytes - length, 0);
  for (DWORD i = length; i > 0; --i) out->push_back(value.pbData[i - 1]);
  return true;
}

// The DER signature as CNG wants it: r || s.
bool RawSignature(const std::string& base64, std::vector<unsigned char>* raw) {
  std::vector<unsigned char> der;
  if (!DecodeBase64(base64, CRYPT_STRING_BASE64, &der)) return false;
  CERT_ECC_SIGNATURE* decoded = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ECC_SIGNATURE, der.data(),
                           static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                           &decoded, &size)) {
    return false;
  }
  const bool ok = AppendCoordinate(decoded->r, raw) && AppendCoordinate(decoded->s, raw);
  LocalFree(decoded);
  return ok;
}

bool DigestOf(const std::string& data, std::vector<unsigned char>* digest) {
  CSha256 hash;
  if (!hash.Ok() || !hash.Update(data.data(), data.size())) return false;
  const std::string hex = hash.FinishHex();
  if (hex.size() != 2 * kCoordinateBytes) return false;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (size_t i = 0; i < hex.size(); i += 2) {
    digest->push_back(static_cast<unsigned char>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  }
  return true;
}
}  // namespace

bool VerifyEcdsaSignature(const std::string& publicKeyPem, const std::string& data,
                          const std::string& signatureBase64) {
  std::vector<unsigned char> blob;
  std::vector<unsigned char> signature;
  std::vector<unsigned char> digest;
  if (!KeyBlobFromPem(publicKeyPem, &blob) || !RawSignature(signatureBase64, &signature) ||
      !DigestOf(data, &digest)) {
    return false;
  }
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  BCRYPT_KEY_HANDLE key = nullptr;
  bool ok = BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
                                               blob.data(), static_cast<ULONG>(blob.size()), 0));
  if (ok) {
    ok = BCRYPT_SUCCESS(BCryptVerifySignature(key, nullptr, digest.data(),
                                              static_cast<ULONG>(digest.size()), signature.data(),
                                              static_cast<ULONG>(signature.size()), 0));
    BCryptDestroyKey(key);
  }
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return ok;
}
