#include "stats/comm_file.h"

#include <cstdio>

#include "platform/file_open.h"
#include "platform/files.h"
#include "platform/log.h"
#include "stats/comm_file_signature.h"
#include "stats/download_records.h"
#include "stats/json_document.h"
#include "stats/retry_budget.h"
#include "stats/stats_requests.h"
#include "transfer/download_file.h"
#include "transfer/file_size.h"

namespace {
std::string ReadBytesUpTo(const std::string& path, int64_t maxBytes) {
  std::string bytes;
  std::FILE* file = OpenFileForReading(path);
  if (file == nullptr) return bytes;
  char buffer[16384];
  size_t got = 0;
  while (static_cast<int64_t>(bytes.size()) <= maxBytes &&
         (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.append(buffer, got);
  }
  std::fclose(file);
  return bytes;
}
}  // namespace

bool FetchCommFile(const std::string& url) {
  std::string bytes;
  return FetchCommFile(url, &bytes);
}

bool FetchCommFile(const std::string& url, std::string* bytes) {
  const std::string& path = TheStatsSettings.commFilePath;
  LogLine(url);
  if (FileExists(path) && !RemoveFile(path)) {
    LogLine("could not delete old communication file");
    return false;
  }
  // A try that failed may have left part of an answer behind; each one
  // starts from an empty file.
  std::string signature;
  const auto attempt = [&](bool /*fromScratch*/) {
    if (FileExists(path)) (void)RemoveFile(path);
    signature.clear();
    return DownloadFileUpTo(path, url, kMaxCommFileBytes, &signature);
  };
  if (!RunWithRetries("communication file", std::string(), false, attempt)) {
    LogLine("could not communicate with the stats server");
    return false;
  }
  if (!FileExists(path)) {
    LogLine("communication file does not exist");
    return false;
  }
  if (QueryFileSize(path) < 3) {
    LogLine("the communication file is too small");
    return false;
  }
  // Read once: what is checked is what is parsed, whatever happens to the
  // file afterwards.
  *bytes = ReadBytesUpTo(path, kMaxCommFileBytes);
  if (bytes->size() < 3) {
    LogLine("could not read the communication file");
    return false;
  }
  return CommFileSignatureHolds(*bytes, signature);
}

bool LoadCommFileForStart(const std::string& downloadDir) {
  std::string bytes;
  if (!FetchCommFile(BuildStatsUrlForStart(), &bytes)) return false;
  return ParseCommFileText(bytes, downloadDir, std::string(), false);
}

bool LoadCommFileForResume(const std::string& downloadDir, const std::string& resumeFile) {
  std::string bytes;
  if (!FetchCommFile(BuildStatsUrlForResume(), &bytes)) return false;
  if (!LoadJsonText(bytes)) {
    LogLine("could not load the communication file  [ID-001]");
    return false;
  }
  return ParseCommFileText(bytes, downloadDir, resumeFile, true);
}
