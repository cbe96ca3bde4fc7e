// Checking a publisher's signature over downloaded bytes with the platform's
// own cryptography library (OpenSSL outside Windows, CNG on Windows).
#pragma once

#include <string>

// True when signatureBase64 is the base64 text of a DER-encoded ECDSA
// signature, made with the private half of publicKeyPem (an ECDSA P-256
// public key, PEM "PUBLIC KEY"), over the SHA-256 of data. False for any
// malformed key or signature.
[[nodiscard]] bool VerifyEcdsaSignature(const std::string& publicKeyPem, const std::string& data,
                                        const std::string& signatureBase64);
