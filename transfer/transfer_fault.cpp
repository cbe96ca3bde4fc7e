#include "transfer/transfer_fault.h"

#include <curl/curl.h>

#include "transfer/download_job.h"

namespace {
TransferOutcome lastOutcome;

bool IsTransientCurlResult(int result) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
      return true;
    default:
      return false;
  }
}
}  // namespace

const TransferOutcome& LastTransferOutcome() { return lastOutcome; }

void SetLastTransferOutcome(const TransferOutcome& outcome) { lastOutcome = outcome; }

bool IsTransientHttpStatus(long status) { return status >= 500 || status == 408 || status == 429; }

TransferFault ClassifyTransferFailure(CDownloadJob& job, int result) {
  if (job.diskWriteFailed) return TransferFault::kDiskWrite;
  if (job.stalled) return TransferFault::kTransient;
  long status = 0;
  if (job.HasHandle() &&
      curl_easy_getinfo(job.Handle(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
      status >= 400) {
    curl_off_t retryAfter = 0;
    if (curl_easy_getinfo(job.Handle(), CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK &&
        retryAfter > 0) {
      job.retryAfterSeconds = static_cast<long>(retryAfter);
    }
    return IsTransientHttpStatus(status) ? TransferFault::kTransient : TransferFault::kRefused;
  }
  // A status that went wrong for other reasons (a range ignored) is no
  // network fault; the rest is the connection's.
  if (!job.failure.empty()) return TransferFault::kOther;
  return IsTransientCurlResult(result) ? TransferFault::kTransient : TransferFault::kOther;
}
