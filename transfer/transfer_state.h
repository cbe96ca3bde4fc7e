// The process-wide record of the running transfer. One transfer runs at a
// time: DownloadFile (program thread) fills the record, the transfer thread
// runs the job and writes the progress figures, and the UI thread reads the
// speed and the reported byte count. Values another thread reads are atomics.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <string>

class CDownloadJob;

// Receives the overall percentage and the bytes done over all parts. Called
// on the transfer thread, inside the progress callback.
using ProgressListener = void (*)(int percent, int64_t bytes);

struct TransferState {
  // Handle of the running job (owned by the job); null between transfers.
  // Only the transfer thread uses it while the transfer runs.
  std::atomic<CURL*> curl{nullptr};
  // Set by DownloadFile for the length of one call. The transfer thread reads
  // it after it was started, so it sees the settled value.
  CDownloadJob* job = nullptr;
  // Whole file size (v3); negative when unknown. Written before the thread
  // starts.
  int64_t expectedSize = -1;
  // Bytes already on disk, where the transfer resumes (v1).
  int64_t resumeFrom = 0;
  // The most bytes a file of unknown size may have; negative: no bound. Set
  // by DownloadFileUpTo around one call.
  int64_t sizeCap = -1;
  // The X-Tovi-Signature header of the last answer, empty without one.
  // Written by the transfer thread before it clears running.
  std::string signatureHeader;
  // Bytes received by the running transfer (v2).
  std::atomic<int64_t> receivedBytes{0};
  // libcurl's average download speed, bytes per second.
  std::atomic<double> downloadSpeed{0.0};
  // Installed by the workflow only around the parts loop.
  std::atomic<ProgressListener> progressListener{nullptr};
  // What the listener's overall figures count from: the download's bytes
  // before this file's first byte, and the whole download's size. The parts
  // loop sets both before each transfer.
  std::atomic<int64_t> progressBaseBytes{0};
  std::atomic<int64_t> progressTotalBytes{0};
  // 0..7; never reset. Touched only by the thread running the transfer.
  int throttleCount = 0;
  // Last overall byte count the listener recorded.
  std::atomic<int64_t> reportedBytes{0};
  // True from just before the transfer thread starts until it has stored
  // succeeded; cleared with release, read with acquire.
  std::atomic<bool> running{false};
  std::atomic<bool> succeeded{false};
  // Numbers the jobs so a pause request reaches only the transfer that was
  // running when it was made.
  std::atomic<uint64_t> jobSerial{0};
  std::atomic<uint64_t> pauseRequestedFor{0};
  // Set by the first pause of the run and kept: every part's transfer
  // after it pauses too, so a pause that falls between two parts is not
  // lost. partTransfer is set by the parts loop around each part's
  // transfer; other transfers (the communication file) are not held.
  std::atomic<bool> pauseHeld{false};
  std::atomic<bool> partTransfer{false};
  std::atomic<bool> cancelRequested{false};
};

extern TransferState TheTransferState;

// A transfer that receives nothing for this long (and is not paused) fails
// like a broken connection. One minute unless a test shortens it.
inline constexpr uint32_t kDefaultStallBoundMs = 60000;
void SetStallBoundForTesting(uint32_t ms);
uint32_t StallBoundMs();

// A transfer that averages less than kLowSpeedBytesPerSecond over this many
// seconds fails too: a server that trickles a byte now and then is never
// stalled, yet would hold the download for ever. A real slow link passes.
inline constexpr long kLowSpeedBytesPerSecond = 1024;
inline constexpr long kDefaultLowSpeedSeconds = 120;
void SetLowSpeedTimeForTesting(long seconds);
long LowSpeedSeconds();
