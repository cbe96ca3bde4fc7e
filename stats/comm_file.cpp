#include "stats/comm_file.h"

#include "platform/files.h"
#include "platform/log.h"
#include "stats/download_records.h"
#include "stats/json_document.h"
#include "stats/stats_requests.h"
#include "transfer/download_file.h"
#include "transfer/file_size.h"

bool FetchCommFile(const std::string& url) {
  const std::string& path = TheStatsSettings.commFilePath;
  LogLine(url);
  if (FileExists(path) && !RemoveFile(path)) {
    LogLine("could not delete old communication file");
    return false;
  }
  if (!DownloadFileUpTo(path, url, kMaxCommFileBytes)) {
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
  return true;
}

bool LoadCommFileForStart(const std::string& downloadDir) {
  if (!FetchCommFile(BuildStatsUrlForStart())) return false;
  return ParseCommFile(downloadDir, std::string(), false);
}

bool LoadCommFileForResume(const std::string& downloadDir, const std::string& resumeFile) {
  if (!FetchCommFile(BuildStatsUrlForResume())) return false;
  if (!LoadJsonFile(TheStatsSettings.commFilePath)) {
    LogLine("could not load the communication file  [ID-001]");
    return false;
  }
  return ParseCommFile(downloadDir, resumeFile, true);
}
