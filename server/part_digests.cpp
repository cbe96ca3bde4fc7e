#include "server/part_digests.h"

#include <openssl/evp.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

constexpr size_t kHashChunk = 1 << 20;

}  // namespace

bool HashPartFile(const PartFile& file, std::string& hex) {
  std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
  std::vector<char> buffer(kHashChunk);
  int64_t offset = 0;
  while (offset < file.Size()) {
    const int64_t got = file.ReadAt(offset, buffer.data(), buffer.size());
    if (got <= 0) return false;  // an error, or the file was cut short
    if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(got)) != 1) {
      return false;
    }
    offset += got;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return false;
  if (!file.Unchanged()) return false;
  static const char kHex[] = "0123456789abcdef";
  hex.clear();
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0x0F]);
  }
  return true;
}

bool PartDigests::Digest(const std::string& dir, const InstallerPart& part, std::string& hex) {
  auto fresh = [&part](const Entry& entry) {
    return entry.size == part.size && entry.modifiedNs == part.modifiedNs &&
           entry.changedNs == part.changedNs;
  };
  {
    std::lock_guard<std::mutex> guard(entriesLock_);
    const auto found = entries_.find(part.name);
    if (found != entries_.end() && fresh(found->second)) {
      hex = found->second.hex;
      return true;
    }
  }
  std::lock_guard<std::mutex> hashing(hashLock_);
  {
    // Another request may have hashed it while this one waited.
    std::lock_guard<std::mutex> guard(entriesLock_);
    const auto found = entries_.find(part.name);
    if (found != entries_.end() && fresh(found->second)) {
      hex = found->second.hex;
      return true;
    }
  }
  PartFile file;
  // The digest must belong to the size the listing announces.
  if (!file.Open(dir, part.name) || file.Size() != part.size ||
      file.ModifiedNs() != part.modifiedNs || file.ChangedNs() != part.changedNs) {
    return false;
  }
  const auto began = std::chrono::steady_clock::now();
  if (!HashPartFile(file, hex)) return false;
  if (log_ != nullptr) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    std::fprintf(log_, "tovi-server: hashed %s (%lld bytes) in %.2f s\n", part.name.c_str(),
                 static_cast<long long>(file.Size()), took.count());
    std::fflush(log_);
  }
  std::lock_guard<std::mutex> guard(entriesLock_);
  entries_[part.name] = Entry{file.Size(), file.ModifiedNs(), file.ChangedNs(), hex};
  return true;
}
