// The two process-wide records of one download.
//
// StatsSettings is filled once per run on the program thread before any
// statistics request. DownloadPlan is filled by the communication-file parse
// on the program thread; the parts loop then advances currentPart and writes
// baseBytes/totalBytes before each transfer. currentPart is also read by
// reports sent from other threads, and downloading is written by the program
// and UI threads: both are atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The game and distributor values this program sends with every statistics
// request (StatsSettings.game and .distributor).
inline constexpr const char* GameId = "29";
inline constexpr const char* DistributorId = "0";

struct StatsSettings {
  std::string baseUrl;  // "http://<IPv4>:8101", no path, no trailing slash
  std::string mid;
  std::string game;
  std::string distributor;
  std::string commFilePath;
};

struct DownloadPlan {
  int32_t partCount = 0;
  std::atomic<int32_t> currentPart{0};
  std::vector<std::string> partUrls;
  std::vector<int64_t> partSizes;
  // SHA-256 of each part as 64 lower-case hexadecimal characters, or empty
  // when the communication file names none for that part.
  std::vector<std::string> partDigests;
  std::string downloadDir;  // ends in the path separator
  std::vector<std::string> targetPaths;
  std::vector<std::string> partialPaths;
  int64_t resumeOffset = 0;
  // Rewritten by the parts loop between parts while the UI thread reads them.
  std::atomic<int64_t> totalBytes{0};
  std::atomic<int64_t> baseBytes{0};
  std::atomic<bool> downloading{false};
};

extern StatsSettings TheStatsSettings;
extern DownloadPlan TheDownloadPlan;

// Suffix of a part's file while it is being downloaded.
inline constexpr const char* kPartialSuffix = ".q9tovi";

// Stores the parsed lists and derives targetPaths (dir + file name of the URL)
// and partialPaths (target + ".q9tovi"). The path lists are appended to.
// digests is empty or holds one entry per part (empty: no digest).
void SetDownloadPlan(const std::vector<std::string>& urls, const std::vector<int64_t>& sizes,
                     int64_t resumeOffset, const std::string& downloadDir,
                     const std::vector<std::string>& digests = {});

// The text after the last occurrence of separator, or the whole text when it
// does not occur. Nothing is decoded; query text stays.
std::string FileNameFromUrl(const std::string& text, char separator);

// Adds sizes up in order into *total. False, with *total unchanged, when the
// sum or any sum of the first few leaves the signed 64-bit range.
[[nodiscard]] bool AddUpSizes(const std::vector<int64_t>& sizes, int64_t* total);

// Sum of partSizes; 0 for no parts. -1 when AddUpSizes refuses them, which a
// parsed plan never does: the parse refuses such a file.
int64_t PlanTotalBytes();

// Puts both records back to their start values (tests; one plan per run in
// the program).
void ResetDownloadRecordsForTesting();
