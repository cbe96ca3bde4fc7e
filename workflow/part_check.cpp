#include "workflow/part_check.h"

#include <cctype>
#include <cstddef>

#include "platform/files.h"
#include "platform/log.h"
#include "stats/download_records.h"
#include "transfer/sha256.h"

namespace {

// The file's SHA-256 as lower-case hex, or empty when it cannot be read.
std::string FileSha256(const std::string& path) {
  CSha256 hash;
  if (!hash.Ok() || !Sha256AddFile(hash, path)) return {};
  return hash.FinishHex();
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Refuse(size_t part, const std::string& path, const std::string& reason) {
  LogFormat("part %llu not ready: %s: %s\n", static_cast<unsigned long long>(part), path.c_str(),
            reason.c_str());
  return false;
}

}  // namespace

bool VerifyPartialFiles() {
  const DownloadPlan& plan = TheDownloadPlan;
  if (plan.partialPaths.empty()) return false;
  for (size_t i = 0; i < plan.partialPaths.size(); ++i) {
    const std::string& path = plan.partialPaths[i];
    const int64_t size = FileSizeOnce(path);
    if (size < 0) return Refuse(i, path, "missing");
    // A size of 0 in the communication file says nothing about the part.
    const int64_t expected = i < plan.partSizes.size() ? plan.partSizes[i] : 0;
    if (expected > 0 && size != expected) {
      return Refuse(i, path, std::to_string(size) + " bytes, expected " + std::to_string(expected));
    }
    const std::string digest = i < plan.partDigests.size() ? LowerCase(plan.partDigests[i]) : "";
    if (digest.empty()) continue;
    const std::string got = FileSha256(path);
    if (got.empty()) return Refuse(i, path, "cannot be read");
    if (got != digest) return Refuse(i, path, "sha256 " + got + ", expected " + digest);
  }
  return true;
}

bool SameFileContent(const std::string& a, const std::string& b) {
  const int64_t size = FileSizeOnce(a);
  if (size < 0 || FileSizeOnce(b) != size) return false;
  const std::string digest = FileSha256(a);
  return !digest.empty() && digest == FileSha256(b);
}
