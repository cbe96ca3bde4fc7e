// One HTTP transfer into a local file, with byte-range resume and size checks.
// A job is built and released by DownloadFile on the program thread and run
// once by PerformDownload on the transfer thread.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "transfer/sha256.h"
#include "transfer/transfer_fault.h"

struct CurlEasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlEasyCleanup>;

struct FileClose {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using FileHandle = std::unique_ptr<std::FILE, FileClose>;

// The longest texts a job takes (they fit the fixed buffers of the original
// record layout: 2048 and 260 characters with the terminator).
inline constexpr size_t kMaxUrlLength = 2047;
inline constexpr size_t kMaxPathLength = 259;

class CDownloadJob {
 public:
  // Zeroes the byte counters of TheTransferState, creates a fresh libcurl
  // handle and publishes it in TheTransferState.curl. Logs the outcome.
  CDownloadJob();
  // Release: clears TheTransferState.curl, cleans the handle up, closes the
  // file if it is still open.
  ~CDownloadJob();
  CDownloadJob(const CDownloadJob&) = delete;
  CDownloadJob& operator=(const CDownloadJob&) = delete;

  bool HasHandle() const { return handle_ != nullptr; }
  CURL* Handle() const { return handle_.get(); }

  int result = 0;  // libcurl result of the transfer
  std::string url;
  FileHandle file;
  std::string path;
  // SHA-256 the file must have, lower-case hex; empty: no content check.
  std::string expectedDigest;

  // Transfer-thread bookkeeping.
  uint64_t serial = 0;
  bool ranged = false;         // a Range header was sent
  int64_t rangeStart = 0;      // its first byte
  bool answerChecked = false;  // the status was looked at before the first write
  bool paused = false;
  // When body bytes were last written (or the transfer began). Redirects and
  // their bodies do not count, so a chain of them cannot keep a transfer alive.
  uint32_t lastDataTick = 0;
  // The most bytes this transfer may write (negative: no bound) and the
  // bytes it wrote so far.
  int64_t writeLimit = -1;
  int64_t written = 0;
  bool overflowed = false;  // the answer went beyond writeLimit
  // libcurl's own account of a failure, for the failures it names best.
  char errorText[CURL_ERROR_SIZE] = {};
  std::string failure;  // why the transfer was stopped by this side
  // What a caller may do about a failure (see transfer_fault.h).
  TransferFault fault = TransferFault::kOther;
  bool stalled = false;          // ended by the stall bound
  bool diskWriteFailed = false;  // a write into the local file came up short
  long retryAfterSeconds = -1;   // the server's Retry-After, when it sent one
  // The digest so far: the bytes already on disk, then each write.
  std::unique_ptr<CSha256> hash;

 private:
  CurlHandle handle_;
};

// Runs TheTransferState.job. True when the file is complete and checked, or
// there was nothing to fetch. Transfer thread only.
[[nodiscard]] bool PerformDownload();

// libcurl write callback: writes into stream; refuses (ending the transfer)
// without a stream or when the answer is not the one asked for.
size_t WriteToFile(char* data, size_t size, size_t count, void* stream);

// libcurl progress callback (double variant). Updates the figures, feeds the
// listener, acts on pause and cancel requests and bounds a stall.
int OnTransferProgress(void* clientData, double downloadTotal, double downloadNow,
                       double uploadTotal, double uploadNow);

// The listener throttle: true on every call up to 100 kB/s, on every eighth
// above.
[[nodiscard]] bool ShouldReportProgress();

// Overall percentage for done of total bytes; 0 when total is not positive.
int ProgressPercent(int64_t done, int64_t total);
