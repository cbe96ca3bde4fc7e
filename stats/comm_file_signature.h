// The publisher's signature of the communication file. The file names every
// part and its digest, so whoever could change it on the way would choose
// what the program runs; with the publisher's key built in, only a file the
// publisher signed is taken.
#pragma once

#include <string>

// True when no publisher key is built in (nothing to check), or when
// signature (the answer's X-Tovi-Signature) is the publisher's signature of
// exactly body. Logs why a file is refused.
[[nodiscard]] bool CommFileSignatureHolds(const std::string& body, const std::string& signature);

// Replaces the built-in key (PEM; empty: none) for the rest of the process.
void SetPublisherKeyForTesting(const std::string& pem);
