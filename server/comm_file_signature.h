// The publisher's signature of every communication file: with a signing key,
// each start and resume answer carries "X-Tovi-Signature", the base64 text
// of the DER-encoded ECDSA signature of the exact body bytes (SHA-256).
#pragma once

#include <memory>
#include <string>

class CommFileSigner {
 public:
  // Reads an ECDSA P-256 private key in PEM. Null, with *error set, when the
  // file cannot be read or holds no such key.
  static std::unique_ptr<CommFileSigner> FromPemFile(const std::string& path, std::string* error);
  ~CommFileSigner();
  CommFileSigner(const CommFileSigner&) = delete;
  CommFileSigner& operator=(const CommFileSigner&) = delete;

  // The header's value for body; empty when signing fails. Any thread.
  std::string Sign(const std::string& body) const;

 private:
  struct Key;
  explicit CommFileSigner(std::unique_ptr<Key> key);
  std::unique_ptr<Key> key_;
};

inline constexpr const char* kSignatureHeader = "X-Tovi-Signature";
