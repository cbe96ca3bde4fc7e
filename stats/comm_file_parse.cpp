#include <cstddef>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/log.h"
#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "stats/json_document.h"
#include "stats/part_file_name.h"
#include "stats/stats_requests.h"
#include "transfer/file_size.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Low 32 bits of an integer member, as a signed count; 0 when the member is
// missing or not an integer (or the top level is no object).
int32_t ReadInt32(const json_t* root, const char* key) {
  const json_t* value = json_object_get(root, key);
  if (!json_is_integer(value)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(json_integer_value(value)));
}

// A string member's text; empty when it is missing or not a string.
const char* ReadText(const json_t* root, const char* key) {
  const json_t* value = json_object_get(root, key);
  return json_is_string(value) ? json_string_value(value) : "";
}

// Missing or not a string: no size at all, unlike "" which reads as 0.
int64_t ReadSize(const json_t* root, const char* key) {
  const json_t* value = json_object_get(root, key);
  if (!json_is_string(value)) return -1;
  return ParseSizeText(json_string_value(value));
}

constexpr size_t kDigestChars = 64;

// The optional "sha256_N" as 64 lower-case hexadecimal characters, or empty
// when the key is missing. False when the key holds anything else.
bool ReadDigest(const json_t* root, const char* key, std::string* digest) {
  const json_t* value = json_object_get(root, key);
  if (value == nullptr) {
    digest->clear();
    return true;
  }
  if (!json_is_string(value) || json_string_length(value) != kDigestChars) return false;
  std::string text(json_string_value(value), kDigestChars);
  for (char& c : text) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  *digest = std::move(text);
  return true;
}

}  // namespace

int64_t ParseSizeText(const char* text) {
  if (*text == '\0') return 0;
  while (IsSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  if (*text < '0' || *text > '9') return -1;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    const auto digit = static_cast<uint64_t>(*text - '0');
    if (magnitude > (limit - digit) / 10) return -1;
    magnitude = magnitude * 10 + digit;
  }
  if (*text != '\0') return -1;
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

namespace {
bool ParseCommFileRoot(const JsonDocument& root, const std::string& downloadDir,
                       const std::string& resumeFile, bool resume);
}  // namespace

bool ParseCommFile(const std::string& downloadDir, const std::string& resumeFile, bool resume) {
  return ParseCommFileRoot(LoadJsonFile(TheStatsSettings.commFilePath), downloadDir, resumeFile,
                           resume);
}

bool ParseCommFileText(const std::string& text, const std::string& downloadDir,
                       const std::string& resumeFile, bool resume) {
  return ParseCommFileRoot(LoadJsonText(text), downloadDir, resumeFile, resume);
}

namespace {
bool ParseCommFileRoot(const JsonDocument& root, const std::string& downloadDir,
                       const std::string& resumeFile, bool resume) {
  DownloadPlan& plan = TheDownloadPlan;
  if (!root) {
    LogLine("could not load the communication file");
    return false;
  }
  plan.partCount = ReadInt32(root.get(), "parts");
  plan.currentPart = ReadInt32(root.get(), "current_part");
  const int32_t partCount = plan.partCount;
  const int32_t currentPart = plan.currentPart;
  if (partCount > kMaxCommFileParts) {
    LogFormat("the communication file announces too many parts: %d\n", partCount);
    return false;
  }

  std::vector<std::string> urls;
  std::vector<int64_t> sizes;
  std::vector<std::string> digests;
  std::set<std::string> names;
  for (int32_t i = 0; i < partCount; ++i) {
    char urlKey[10];
    char sizeKey[10];
    char digestKey[16];
    std::snprintf(urlKey, sizeof urlKey, "url_%d", i);
    std::snprintf(sizeKey, sizeof sizeKey, "size_%d", i);
    std::snprintf(digestKey, sizeof digestKey, "sha256_%d", i);
    const char* url = ReadText(root.get(), urlKey);
    if (*url == '\0') {
      LogFormat("%s gave no url\n", urlKey);
      return false;
    }
    // The part is written under this name into the download folder, by a
    // process with administrator rights: it must not lead anywhere else.
    const std::string name = FileNameFromUrl(url, '/');
    if (!IsPlainPartFileName(name)) {
      LogFormat("%s gave no plain file name\n", urlKey);
      return false;
    }
    // Two parts in one partial file would overwrite each other.
    if (!names.insert(FileNameKey(name, PlatformFileNameRules())).second) {
      LogFormat("%s names the file of an earlier part\n", urlKey);
      return false;
    }
    const int64_t size = ReadSize(root.get(), sizeKey);
    if (size == -1) {
      LogFormat("%s gave no size\n", urlKey);
      return false;
    }
    std::string digest;
    if (!ReadDigest(root.get(), digestKey, &digest)) {
      LogFormat("%s is no SHA-256 digest\n", digestKey);
      return false;
    }
    urls.emplace_back(url);
    sizes.push_back(size);
    digests.push_back(std::move(digest));
  }
  // Progress adds the sizes up, part by part.
  int64_t total = 0;
  if (!AddUpSizes(sizes, &total)) {
    LogLine("the sizes of the communication file add up to more than 64 bits hold");
    return false;
  }

  int64_t offset = 0;
  if (resume) {
    // The part to continue with must name one of the parts just read (part 0
    // of a file without parts leaves the parts loop nothing to do).
    if (currentPart < 0 || (currentPart > 0 && currentPart >= partCount)) {
      LogFormat("the communication file names no part %d to continue with\n", currentPart);
      return false;
    }
    // Measured on the file the transfer will write, also for part 0: when
    // the server renamed a part since the last run, the command-line file is
    // another one, and its size would offset a fetch of the whole part.
    const std::string file =
        currentPart < partCount
            ? downloadDir + FileNameFromUrl(urls[static_cast<size_t>(currentPart)], '/') +
                  kPartialSuffix
            : resumeFile;
    offset = FileExists(file) ? QueryFileSize(file) : 0;
    if (offset < 0) offset = 0;
    LogLine("RESUME FILE: " + file);
    LogLine("RESUME FROM: " + FormatInt64(offset));
  }
  SetDownloadPlan(urls, sizes, offset, downloadDir, digests);
  return true;
}
}  // namespace
