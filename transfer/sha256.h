// SHA-256 through the platform's cryptography library (CNG on Windows,
// OpenSSL's libcrypto elsewhere). Used to check a downloaded part's content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CSha256 {
 public:
  // Starts a computation; Ok() tells whether the library gave one.
  CSha256();
  ~CSha256();
  CSha256(const CSha256&) = delete;
  CSha256& operator=(const CSha256&) = delete;

  [[nodiscard]] bool Ok() const;
  // Adds bytes; false (and the computation is spoiled) when the library
  // fails.
  [[nodiscard]] bool Update(const void* data, size_t size);
  // The digest as 64 lower-case hexadecimal characters, or empty when the
  // computation failed. Ends the computation.
  [[nodiscard]] std::string FinishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Adds the first `bytes` bytes of the file at path, or all of it when bytes
// is negative. False when the file cannot be read that far or the library
// fails.
[[nodiscard]] bool Sha256AddFile(CSha256& hash, const std::string& path, int64_t bytes = -1);

// Lower-case hex text of raw digest bytes.
std::string HexDigest(const unsigned char* digest, size_t size);
