// Why the last transfer failed, so that a caller can tell a fault that
// passes (a refused or broken connection, a busy server) from one that
// another try would only repeat (a missing file, wrong content, a full disk).
#pragma once

#include <string>

class CDownloadJob;

enum class TransferFault {
  kNone,          // the transfer succeeded
  kTransient,     // the network or the server: worth another try
  kRefused,       // the server refused for good (a 4xx other than 408 and 429)
  kWrongContent,  // the bytes did not have the expected digest; the file was deleted
  kDiskWrite,     // the local file could not be opened or written
  kOther,         // anything else (a size mismatch, a cancelled transfer)
};

struct TransferOutcome {
  TransferFault fault = TransferFault::kOther;
  // The log's text for the failure; empty on success.
  std::string reason;
  // The server's Retry-After in seconds, -1 when it sent none.
  long retryAfterSeconds = -1;
};

// The outcome of the most recent DownloadFile call. Program thread.
const TransferOutcome& LastTransferOutcome();
void SetLastTransferOutcome(const TransferOutcome& outcome);

// The fault of a transfer that libcurl ended with result (not CURLE_OK), or
// whose answer had an HTTP error status. Reads the job's handle. Transfer
// thread.
TransferFault ClassifyTransferFailure(CDownloadJob& job, int result);

// True for the HTTP statuses a server uses to say "later": 5xx, 408, 429.
bool IsTransientHttpStatus(long status);
