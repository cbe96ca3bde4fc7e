#include "transfer/download_file.h"

#include <memory>

#include "platform/log.h"
#include "platform/thread.h"
#include "platform/wait.h"
#include "transfer/download_job.h"
#include "transfer/transfer_state.h"

namespace {

constexpr uint32_t kPollMs = 25;

// The result must be visible before the caller sees the end of the
// transfer: succeeded is stored first, running is cleared with release.
uint32_t TransferThreadMain(void* /*argument*/) {
  const bool succeeded = PerformDownload();
  TheTransferState.succeeded.store(succeeded, std::memory_order_relaxed);
  TheTransferState.running.store(false, std::memory_order_release);
  return 0;
}

}  // namespace

bool DownloadFile(const std::string& path, const std::string& url, int64_t expectedSize,
                  int64_t resumeOffset, const std::string& expectedDigest) {
  // A text cut to fit would fetch the wrong address or write the wrong file;
  // a negative offset would ask for the end of the file instead.
  if (url.size() > kMaxUrlLength || path.size() > kMaxPathLength || resumeOffset < 0) {
    LogFormat("download refused (url or path too long, or negative offset): %s\n", url.c_str());
    SetLastTransferOutcome({TransferFault::kOther, "download refused", -1});
    return false;
  }
  TransferState& state = TheTransferState;
  auto job = std::make_unique<CDownloadJob>();
  state.job = job.get();
  job->url = url;
  job->path = path;
  job->expectedDigest = expectedDigest;
  for (char& c : job->expectedDigest) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  state.expectedSize = expectedSize;
  state.resumeFrom = resumeOffset;
  state.succeeded.store(false, std::memory_order_relaxed);
  state.running.store(true, std::memory_order_release);

  if (StartThread(TransferThreadMain, nullptr, nullptr)) {
    while (state.running.load(std::memory_order_acquire)) WaitWithMessagePump(kPollMs);
  } else {
    LogLine("could not start the transfer thread");
    state.running.store(false, std::memory_order_release);
  }

  const bool succeeded = state.succeeded.load(std::memory_order_relaxed);
  SetLastTransferOutcome({succeeded ? TransferFault::kNone : job->fault,
                          succeeded ? std::string() : job->failure, job->retryAfterSeconds});
  state.job = nullptr;
  job.reset();
  return succeeded;
}

bool DownloadFileUpTo(const std::string& path, const std::string& url, int64_t maxBytes,
                      std::string* signature) {
  TheTransferState.sizeCap = maxBytes;
  const bool succeeded = DownloadFile(path, url, -1, 0);
  TheTransferState.sizeCap = -1;
  if (signature != nullptr) *signature = TheTransferState.signatureHeader;
  return succeeded;
}
