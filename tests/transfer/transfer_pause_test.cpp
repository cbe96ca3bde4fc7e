#include "transfer/transfer_pause.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "transfer/download_file.h"
#include "transfer/transfer_state.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Predicate>
bool WaitFor(Predicate done, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The program thread runs DownloadFile, a third thread plays the UI and
// pauses mid-transfer. The transfer must then stand still, not count as
// stalled, and stay paused until the test cancels it.
TEST(TransferPauseTest, PauseFromAnotherThreadHoldsTransfer) {
  SetStallBoundForTesting(300);
  Sandbox sandbox;
  LogCapture log;
  HttpReply reply;
  reply.patternSize = 4'000'000;
  reply.bytesPerSecond = 400'000;
  HttpFixture server(reply);
  ASSERT_TRUE(server.Listening());

  // Shared with the program thread, which may outlive a failed test.
  auto result = std::make_shared<std::atomic<int>>(-1);
  std::thread program([result, path = sandbox.Path("part"), url = server.Url()] {
    result->store(DownloadFile(path, url, 4'000'000, 0) ? 1 : 0);
  });

  ASSERT_TRUE(WaitFor([] { return TheTransferState.receivedBytes.load() > 50'000; }, 5000));
  bool accepted = false;
  std::thread ui([&accepted] { accepted = RequestTransferPause(); });
  ui.join();
  EXPECT_TRUE(accepted);
  EXPECT_TRUE(WaitFor([&log] { return log.Contains("transfer paused"); }, 3000));

  const int64_t heldAt = TheTransferState.receivedBytes.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // four stall bounds
  EXPECT_EQ(TheTransferState.receivedBytes.load(), heldAt);
  EXPECT_LT(heldAt, 4'000'000);
  EXPECT_EQ(result->load(), -1);
  EXPECT_TRUE(TheTransferState.running.load());
  EXPECT_FALSE(log.Contains("no data received for 300 ms, transfer stalled"));

  CancelTransferForTesting();
  const bool ended = WaitFor([&result] { return result->load() != -1; }, 5000);
  SetStallBoundForTesting(kDefaultStallBoundMs);
  if (!ended) {
    program.detach();
    FAIL() << "the paused transfer did not end when cancelled";
  }
  program.join();
  EXPECT_EQ(result->load(), 0);
  EXPECT_TRUE(log.Contains("transfer cancelled"));
  EXPECT_EQ(TheTransferState.curl.load(), nullptr);
}

// Runs DownloadFile on a program thread of its own; a transfer still
// running after ms is cancelled. 1 or 0 for its result, -1 when it had to be
// cancelled.
int DownloadBounded(const std::string& path, const std::string& url, int64_t size, int ms) {
  auto result = std::make_shared<std::atomic<int>>(-1);
  std::thread program(
      [result, path, url, size] { result->store(DownloadFile(path, url, size, 0) ? 1 : 0); });
  const bool ended = WaitFor([&result] { return result->load() != -1; }, ms);
  if (!ended) CancelTransferForTesting();
  if (ended || WaitFor([&result] { return result->load() != -1; }, 5000)) {
    program.join();
  } else {
    program.detach();
  }
  return ended ? result->load() : -1;
}

// A pause with no transfer running is held for the run: a part's transfer
// that starts after it (one that raced the parts loop's check) pauses at its
// first progress callback. Other transfers, such as the communication
// file's, are not held.
TEST(TransferPauseTest, PauseBetweenTransfersHoldsTheNextPart) {
  Sandbox sandbox;
  HttpReply reply;
  reply.patternSize = 400'000;
  reply.bytesPerSecond = 400'000;
  HttpFixture server(reply);
  EXPECT_FALSE(RequestTransferPause());
  EXPECT_TRUE(TransferPauseHeld());
  {
    LogCapture log;
    EXPECT_EQ(DownloadBounded(sandbox.Path("other"), server.Url(), 400'000, 10000), 1);
    EXPECT_FALSE(log.Contains("transfer paused"));
  }
  LogCapture log;
  TheTransferState.partTransfer = true;
  EXPECT_EQ(DownloadBounded(sandbox.Path("part"), server.Url(), 400'000, 1500), -1);
  TheTransferState.partTransfer = false;
  EXPECT_TRUE(log.Contains("transfer paused"));
  EXPECT_LT(std::filesystem::file_size(sandbox.Path("part")), 400'000u);
  ReleaseTransferPauseForTesting();
}

// The serial alone names one transfer: a request that names a transfer
// which has ended (it raced that end) does not pause the next one by itself;
// the hold above is what carries a pause to the next transfer.
TEST(TransferPauseTest, RequestForAnEndedTransferLeavesTheNextAlone) {
  Sandbox sandbox;
  LogCapture log;
  HttpReply reply;
  reply.patternSize = 200'000;
  reply.bytesPerSecond = 500'000;
  HttpFixture server(reply);
  ASSERT_EQ(DownloadBounded(sandbox.Path("first"), server.Url(), 200'000, 10000), 1);
  TheTransferState.pauseRequestedFor.store(TheTransferState.jobSerial.load());
  EXPECT_EQ(DownloadBounded(sandbox.Path("second"), server.Url(), 200'000, 10000), 1);
  EXPECT_FALSE(log.Contains("transfer paused"));
}

}  // namespace
