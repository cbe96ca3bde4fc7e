#include "server/dashboard_access.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <fstream>
#include <vector>

namespace {

// The addresses remembered at once; beyond, the oldest window is dropped, so
// a flood of addresses cannot grow the table.
constexpr size_t kMaxAddresses = 10000;

std::string Sha256(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    return std::string();
  }
  return std::string(reinterpret_cast<char*>(digest), length);
}

bool StartsWithScheme(const std::string& header, const std::string& scheme) {
  if (header.size() <= scheme.size() || header[scheme.size()] != ' ') return false;
  for (size_t i = 0; i < scheme.size(); ++i) {
    const char c = header[i];
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != scheme[i]) return false;
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Standard base64 with padding; false for anything else.
bool DecodeBase64(const std::string& text, std::string& out) {
  if (text.empty() || text.size() % 4 != 0 || text.size() > 4 * kMaxTokenBytes) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '+' || c == '/';
    const bool padding =
        c == '=' && i >= text.size() - 2 && (i == text.size() - 1 || text[text.size() - 1] == '=');
    if (!alphabet && !padding) return false;
  }
  std::vector<unsigned char> bytes(text.size() / 4 * 3 + 1);
  const int length =
      EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                      static_cast<int>(text.size()));
  if (length < 0) return false;
  // EVP_DecodeBlock counts the padding as zero bytes.
  size_t size = static_cast<size_t>(length);
  for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) --size;
  out.assign(reinterpret_cast<char*>(bytes.data()), size);
  return true;
}

}  // namespace

bool ReadTokenFile(const std::string& path, std::string& token, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the token file " + path;
    return false;
  }
  std::getline(in, token);
  if (!token.empty() && token.back() == '\r') token.pop_back();
  for (char c : token) {
    if (c <= ' ' || c > '~') {
      error = "the token in " + path + " must be visible ASCII characters without blanks";
      return false;
    }
  }
  if (token.size() < kMinTokenBytes || token.size() > kMaxTokenBytes) {
    error = "the token in " + path + " must be " + std::to_string(kMinTokenBytes) + " to " +
            std::to_string(kMaxTokenBytes) + " characters long on its first line";
    return false;
  }
  return true;
}

std::string PresentedSecret(const std::string& authorization) {
  if (authorization.size() > 8 * kMaxTokenBytes) return std::string();
  if (StartsWithScheme(authorization, "bearer")) return Trimmed(authorization.substr(7));
  if (!StartsWithScheme(authorization, "basic")) return std::string();
  std::string pair;
  if (!DecodeBase64(Trimmed(authorization.substr(6)), pair)) return std::string();
  const size_t colon = pair.find(':');
  return colon == std::string::npos ? std::string() : pair.substr(colon + 1);
}

DashboardAccess::DashboardAccess(std::string token, int failures, std::chrono::seconds window)
    : digest_(Sha256(token)), maxFailures_(failures), window_(window) {}

bool DashboardAccess::Matches(const std::string& presented) const {
  // Digests of equal length, compared in constant time: neither the length
  // nor a common prefix of the token shows in the answer's timing.
  const std::string digest = Sha256(presented);
  return !presented.empty() && digest.size() == digest_.size() && !digest_.empty() &&
         CRYPTO_memcmp(digest.data(), digest_.data(), digest_.size()) == 0;
}

void DashboardAccess::Forget(Clock::time_point now) {
  for (auto it = failures_.begin(); it != failures_.end();) {
    it = now - it->second.windowStart >= window_ ? failures_.erase(it) : std::next(it);
  }
  if (failures_.size() < kMaxAddresses) return;
  auto oldest = failures_.begin();
  for (auto it = failures_.begin(); it != failures_.end(); ++it) {
    if (it->second.windowStart < oldest->second.windowStart) oldest = it;
  }
  failures_.erase(oldest);
}

AccessVerdict DashboardAccess::Check(const std::string& authorization, const std::string& client,
                                     Clock::time_point now) {
  const bool matches = Matches(PresentedSecret(authorization));
  std::lock_guard<std::mutex> guard(lock_);
  auto found = failures_.find(client);
  if (found != failures_.end() && now - found->second.windowStart >= window_) {
    failures_.erase(found);
    found = failures_.end();
  }
  if (found != failures_.end() && found->second.count >= maxFailures_) {
    return AccessVerdict::kLimited;
  }
  if (matches) return AccessVerdict::kAllowed;
  if (found == failures_.end()) {
    if (failures_.size() >= kMaxAddresses) Forget(now);
    found = failures_.emplace(client, Failures{0, now}).first;
  }
  ++found->second.count;
  return AccessVerdict::kDenied;
}

int64_t DashboardAccess::RetryAfterSeconds(const std::string& client, Clock::time_point now) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = failures_.find(client);
  if (found == failures_.end()) return 1;
  const auto left =
      std::chrono::ceil<std::chrono::seconds>(found->second.windowStart + window_ - now).count();
  return left < 1 ? 1 : left;
}
