#include "transfer/download_job.h"

#include <cinttypes>
#include <cmath>
#include <string_view>

#include "platform/file_open.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/ticks.h"
#include "transfer/file_size.h"
#include "transfer/log_texts.h"
#include "transfer/transfer_state.h"
#include "transfer/web_schemes.h"

namespace {

constexpr long kConnectTimeoutSeconds = 60;
// Enough for any real hosting set-up; a loop of redirects ends here.
constexpr long kMaxRedirects = 10;
// libcurl's largest receive buffer. On a fast link the default 16 KiB costs
// a receive, a write and a progress callback per 16 KiB; this keeps the CPU
// per byte at the level of curl's own tool. A fixed half megabyte, whatever
// the file's size.
constexpr long kReceiveBufferBytes = 512 * 1024;

// The double-argument progress callback and the double speed query are the
// ones this engine is built on; libcurl marks both deprecated in favour of
// curl_off_t variants, which would change nothing here.
#if defined(__GNUC__)
#define TOVI_ALLOW_DEPRECATED_BEGIN \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wdeprecated-declarations\"")
#define TOVI_ALLOW_DEPRECATED_END _Pragma("GCC diagnostic pop")
#else
#define TOVI_ALLOW_DEPRECATED_BEGIN
#define TOVI_ALLOW_DEPRECATED_END
#endif

// A part file must only ever hold the part's own bytes: an error page, or a
// whole file sent in answer to a range, would be appended after the bytes
// already there and then resumed after on the next run. Returns why the
// answer cannot go into the file, or nothing when it can (or when no answer
// came at all).
std::string AnswerProblem(CDownloadJob& job) {
  long status = 0;
  if (curl_easy_getinfo(job.Handle(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0) {
    return {};
  }
  if (status >= 400) {
    return "server answered HTTP " + std::to_string(status) + ", nothing written to file";
  }
  // A whole body is the right answer to a range from the first byte: the
  // file was emptied for it.
  if (job.ranged && status != 206 && !(status == 200 && job.rangeStart == 0)) {
    return "server ignored the byte range (HTTP " + std::to_string(status) +
           "), nothing written to file";
  }
  return {};
}

// Keeps the publisher's signature of the answer. Every answer (a redirect's
// too) starts with its status line, so only the last one's header stays.
size_t ReadHeaderLine(char* data, size_t size, size_t count, void* /*userData*/) {
  const size_t bytes = size * count;
  std::string& signature = TheTransferState.signatureHeader;
  const std::string_view line(data, bytes);
  constexpr std::string_view kName = "x-tovi-signature:";
  if (line.rfind("HTTP/", 0) == 0) {
    signature.clear();
  } else if (line.size() > kName.size()) {
    bool named = true;
    for (size_t i = 0; i < kName.size() && named; ++i) {
      const char c = line[i];
      named = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == kName[i];
    }
    if (named) {
      std::string_view value = line.substr(kName.size());
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
      }
      while (!value.empty() && (value.back() == '\r' || value.back() == '\n' ||
                                value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
      }
      signature.assign(value);
    }
  }
  return bytes;
}

void DeleteBadFile(const std::string& path) {
  if (!RemoveFile(path)) LogFormat("%s%s\n", kCantDeleteFilePrefix, path.c_str());
}

// The content check once the file is complete: true when the job has no
// digest to check or the file's digest is the expected one. A file with
// other content is deleted, so the next run fetches the part again.
bool ContentMatches(CDownloadJob& job) {
  if (!job.hash) return true;
  const std::string got = job.hash->FinishHex();
  job.hash.reset();
  if (got.empty()) {
    LogFormat("could not compute the sha256 of %s\n", job.path.c_str());
    return false;
  }
  if (got == job.expectedDigest) return true;
  job.fault = TransferFault::kWrongContent;
  LogFormat("wrong content in %s: sha256 expected %s, got %s. deleting bad file.\n",
            job.path.c_str(), job.expectedDigest.c_str(), got.c_str());
  DeleteBadFile(job.path);
  return false;
}

}  // namespace

CDownloadJob::CDownloadJob() {
  TransferState& state = TheTransferState;
  state.receivedBytes.store(0);
  state.reportedBytes.store(0);
  state.cancelRequested.store(false);
  state.signatureHeader.clear();
  serial = state.jobSerial.fetch_add(1, std::memory_order_acq_rel) + 1;
  LogLine("initializing internet downloader...");
  handle_.reset(curl_easy_init());
  LogLine(handle_ ? "done." : "failed.");
  state.curl.store(handle_.get());
}

CDownloadJob::~CDownloadJob() {
  // Unpublish before cleaning up, so nobody can see a released handle.
  TheTransferState.curl.store(nullptr);
  handle_.reset();
  file.reset();
}

bool PerformDownload() {
  TransferState& state = TheTransferState;
  CDownloadJob* job = state.job;
  if (job == nullptr || !job->HasHandle()) return false;
  CURL* curl = job->Handle();
  const int64_t expected = state.expectedSize;
  // 0 is no more a size than -1: an empty "complete" part would pass every
  // check.
  const bool sizeKnown = expected > 0;
  int64_t resumeFrom = state.resumeFrom;

  LogFormat("downloading: %s\n", job->url.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, job->url.c_str());
  if (!LimitToWebWithVerification(curl)) {
    LogLine("could not limit the transfer to http");
    return false;
  }
  if (!job->expectedDigest.empty()) {
    job->hash = std::make_unique<CSha256>();
    if (!job->hash->Ok()) {
      LogLine("could not start a sha256 computation");
      return false;
    }
  }

  bool present = FileExists(job->path);
  if (present && sizeKnown && resumeFrom > expected) {
    // More bytes than the part has is bad data, not a finished part.
    LogFormat(
        "partial file larger than expected size (v1 > v3). deleting bad file, fetching the "
        "part from its first byte: %s\n",
        job->path.c_str());
    DeleteBadFile(job->path);
    present = false;
    resumeFrom = 0;
  }

  // The file on disk decides the mode, not the offset: a missing file is
  // fetched whole. A part that starts at byte 0 starts from an empty file,
  // whatever an earlier run left in it.
  // A file this run creates is created new: nothing planted under its name
  // in between is written through.
  if (!present || resumeFrom == 0) {
    job->file.reset(OpenFileForWriting(job->path, present ? FileOpen::Truncate : FileOpen::New));
  } else {
    // The bytes already there are read once, before the new ones arrive
    // and are hashed as they are written.
    if (job->hash && !Sha256AddFile(*job->hash, job->path)) {
      LogFormat("could not read the bytes already in %s\n", job->path.c_str());
      return false;
    }
    job->file.reset(OpenFileForWriting(job->path, FileOpen::Append));
  }
  if (present) {
    std::string range = std::to_string(resumeFrom) + "-";
    if (sizeKnown) range += std::to_string(expected);
    curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
    LogFormat("resuming file from byte: %" PRId64 "\n", resumeFrom);
    curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(resumeFrom));
    job->ranged = true;
    job->rangeStart = resumeFrom;
    if (sizeKnown && resumeFrom == expected) {
      LogLine("--> No download performed!!!\n");
      job->file.reset();
      return ContentMatches(*job);
    }
  }

  // Nothing grows beyond what it should hold: a part beyond its size, a file
  // of unknown size beyond its caller's cap. libcurl refuses an announced
  // length over the bound; WriteToFile stops a body that has none.
  const int64_t sizeLimit = sizeKnown ? expected : state.sizeCap;
  if (sizeLimit >= 0) {
    job->writeLimit = sizeLimit - (job->ranged ? job->rangeStart : 0);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(sizeLimit));
  }

  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, ReadHeaderLine);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, job->file.get());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
  TOVI_ALLOW_DEPRECATED_BEGIN
  curl_easy_setopt(curl, CURLOPT_PROGRESSFUNCTION, OnTransferProgress);
  TOVI_ALLOW_DEPRECATED_END
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, LowSpeedSeconds());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, job->errorText);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);

  if (!job->file) {
    job->fault = TransferFault::kDiskWrite;
    LogFormat("could not open file: %s\n", job->path.c_str());
    return false;
  }
  job->lastDataTick = TickCount();
  job->result = curl_easy_perform(curl);
  const bool flushed = std::fflush(job->file.get()) == 0;
  const bool closed = std::fclose(job->file.release()) == 0;

  if (job->result != CURLE_OK) {
    // libcurl refuses some wrong answers itself (a 200 to a resume); name
    // the answer rather than the library's symptom.
    if (job->failure.empty()) job->failure = AnswerProblem(*job);
    job->fault = ClassifyTransferFailure(*job, job->result);
    // A time-out is the connection or the low-speed bound; libcurl's own
    // text says which.
    if (job->failure.empty() && job->result == CURLE_OPERATION_TIMEDOUT && job->errorText[0]) {
      job->failure = job->errorText;
    }
    if (job->failure.empty()) job->failure = curl_easy_strerror(static_cast<CURLcode>(job->result));
    LogLine(job->failure);
    // A file longer than it should be is bad data, like a partial file
    // larger than its part.
    if (job->overflowed) DeleteBadFile(job->path);
    return false;
  }
  // An answer without a body never reached WriteToFile; look at it here.
  if (!job->answerChecked) job->failure = AnswerProblem(*job);
  if (!job->failure.empty()) {
    job->fault = ClassifyTransferFailure(*job, CURLE_OK);
    LogLine(job->failure);
    return false;
  }
  if (!flushed || !closed) {
    job->fault = TransferFault::kDiskWrite;
    LogFormat("could not write file: %s\n", job->path.c_str());
    return false;
  }

  LogFormat("received file: %s\n", job->path.c_str());
  if (sizeKnown) {
    const int64_t received = state.receivedBytes.load();
    LogFormat("last session resuming file from byte (v1): %" PRId64 "\n", resumeFrom);
    LogFormat("last session received bytes (v2): %" PRId64 "\n", received);
    LogFormat("expected file size (v3): %" PRId64 "\n", expected);
    LogFormat("total received file size (v4): %" PRId64 "\n", resumeFrom + received);
    const int64_t written = QueryFileSize(job->path);
    LogFormat("wrote file size (v5): %" PRId64 "\n", written);
    if (expected != resumeFrom + received) {
      LogLine("wrong size bad download (v3 <> v1+v2)\n");
      return false;
    }
    if (expected != written) {
      LogLine("wrong size written to disk. deleting bad file. restarting process. (v3 <> v5)\n");
      DeleteBadFile(job->path);
      return false;
    }
  }
  return ContentMatches(*job);
}

size_t WriteToFile(char* data, size_t size, size_t count, void* stream) {
  if (stream == nullptr) return ~size_t{0};
  CDownloadJob* job = TheTransferState.job;
  if (job != nullptr && !job->answerChecked) {
    job->answerChecked = true;
    job->failure = AnswerProblem(*job);
    if (!job->failure.empty()) return 0;
  }
  const auto bytes = static_cast<int64_t>(size * count);
  if (job != nullptr && job->writeLimit >= 0 && job->written + bytes > job->writeLimit) {
    job->overflowed = true;
    job->failure = "server sent more than the expected " +
                   std::to_string(job->writeLimit + (job->ranged ? job->rangeStart : 0)) +
                   " bytes, transfer stopped";
    return 0;
  }
  const size_t written = std::fwrite(data, size, count, static_cast<std::FILE*>(stream));
  if (job != nullptr) {
    if (written < count) job->diskWriteFailed = true;
    job->written += static_cast<int64_t>(written * size);
    if (written > 0) job->lastDataTick = TickCount();
    // A failed update spoils the digest, which fails the check at the end.
    if (job->hash) (void)job->hash->Update(data, written * size);
  }
  return written;
}

int OnTransferProgress(void* /*clientData*/, double /*downloadTotal*/, double downloadNow,
                       double /*uploadTotal*/, double /*uploadNow*/) {
  TransferState& state = TheTransferState;
  CDownloadJob* job = state.job;
  const auto received = static_cast<int64_t>(downloadNow);
  state.receivedBytes.store(received);
  double speed = 0.0;
  TOVI_ALLOW_DEPRECATED_BEGIN
  if (curl_easy_getinfo(state.curl.load(), CURLINFO_SPEED_DOWNLOAD, &speed) == CURLE_OK) {
    state.downloadSpeed.store(speed);
  }
  TOVI_ALLOW_DEPRECATED_END

  if (job != nullptr) {
    if (state.cancelRequested.load()) {
      job->failure = "transfer cancelled";
      return 1;
    }
    // Only this thread touches the handle, so pausing it here cannot race
    // the transfer's own use of it.
    if (!job->paused && (state.pauseRequestedFor.load(std::memory_order_acquire) == job->serial ||
                         (state.pauseHeld.load() && state.partTransfer.load()))) {
      job->paused = true;
      curl_easy_pause(job->Handle(), CURLPAUSE_ALL);
      LogLine("transfer paused");
    }
    const uint32_t now = TickCount();
    if (job->paused) {
      job->lastDataTick = now;
    } else if (now - job->lastDataTick >= StallBoundMs()) {
      job->failure =
          "no data received for " + std::to_string(StallBoundMs()) + " ms, transfer stalled";
      job->stalled = true;
      return 1;
    }
  }

  const ProgressListener listener = state.progressListener.load();
  if (listener != nullptr && received > 0 && ShouldReportProgress() && state.expectedSize > 0) {
    const int64_t done = state.progressBaseBytes.load() + received;
    listener(ProgressPercent(done, state.progressTotalBytes.load()), done);
  }
  return 0;
}

bool ShouldReportProgress() {
  TransferState& state = TheTransferState;
  const double speed = state.downloadSpeed.load();
  if (speed < 1024.0) return true;
  const auto kiloBytes =
      static_cast<int64_t>(std::floor(static_cast<float>(speed) * (1.0f / 1024.0f)));
  if (kiloBytes <= 100) return true;
  state.throttleCount = (state.throttleCount + 1) % 8;
  return state.throttleCount == 0;
}

int ProgressPercent(int64_t done, int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  // More bytes than announced must not leave the int range.
  if (done >= total) return 100;
  return static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
}
