#include "stats/comm_file_signature.h"

#include "platform/log.h"
#include "publisher_key.h"
#include "transfer/signature_check.h"

namespace {
std::string& PublisherKey() {
  static std::string key = kPublisherKeyPem;
  return key;
}
}  // namespace

bool CommFileSignatureHolds(const std::string& body, const std::string& signature) {
  const std::string& key = PublisherKey();
  if (key.empty()) return true;
  if (signature.empty()) {
    LogLine("communication file refused: it carries no signature");
    return false;
  }
  if (!VerifyEcdsaSignature(key, body, signature)) {
    LogLine("communication file refused: its signature is not the publisher's");
    return false;
  }
  return true;
}

void SetPublisherKeyForTesting(const std::string& pem) { PublisherKey() = pem; }
