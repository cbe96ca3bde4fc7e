// The server's new pieces on their own: the store queue's deadlines, the
// report limiter's buckets, the throttled log and the framing gate's reads.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/report_limiter.h"
#include "server/request_gate.h"
#include "server/store_queue.h"
#include "server/throttled_log.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

struct Answers {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<int> statuses;
  void Add(const HttpReply& reply) {
    std::lock_guard<std::mutex> guard(lock);
    statuses.push_back(reply.status);
    changed.notify_all();
  }
  bool WaitFor(size_t count, milliseconds limit) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, limit, [&] { return statuses.size() >= count; });
  }
};

TEST(StoreQueue, AJobThatHangsIsAnswered503AtItsDeadlineAndOnlyOnce) {
  StoreQueue queue(1, 16, milliseconds(200));
  Answers answers;
  std::atomic<bool> release{false};
  const auto began = Clock::now();
  ASSERT_TRUE(queue.Submit(
      [&] {
        while (!release.load()) std::this_thread::sleep_for(milliseconds(5));
        return HttpReply();  // 200, too late
      },
      [&](HttpReply reply) { answers.Add(reply); }));
  // Waits behind the hung one: answered at its own deadline too.
  ASSERT_TRUE(queue.Submit([] { return HttpReply(); }, [&](HttpReply reply) { answers.Add(reply); }));
  ASSERT_TRUE(answers.WaitFor(2, milliseconds(2000)));
  const auto took = Clock::now() - began;
  EXPECT_GE(took, milliseconds(190));
  EXPECT_LT(took, milliseconds(1500));
  EXPECT_EQ(answers.statuses, (std::vector<int>{503, 503}));
  release.store(true);
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(answers.statuses.size(), 2u);  // never a second answer
  EXPECT_EQ(queue.Pending(), 0u);
}

TEST(StoreQueue, FullOrStoppingRefusesAndStopAnswersTheRest) {
  StoreQueue queue(1, 2, milliseconds(5000));
  Answers answers;
  std::atomic<bool> release{false};
  auto hang = [&] {
    while (!release.load()) std::this_thread::sleep_for(milliseconds(5));
    return HttpReply();
  };
  auto done = [&](HttpReply reply) { answers.Add(reply); };
  ASSERT_TRUE(queue.Submit(hang, done));
  ASSERT_TRUE(queue.Submit(hang, done));
  EXPECT_FALSE(queue.Submit(hang, done));  // full
  queue.FailAll();
  ASSERT_TRUE(answers.WaitFor(2, milliseconds(1000)));
  EXPECT_EQ(answers.statuses, (std::vector<int>{503, 503}));
  EXPECT_FALSE(queue.Submit(hang, done));  // stopping
  release.store(true);
  queue.Stop();
}

TEST(ReportLimiter, ATokenBucketPerClient) {
  ReportLimiter limiter(2, 3);
  const auto t0 = Clock::now();
  int retry = 0;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.TakeAt("a", t0, retry));
  EXPECT_FALSE(limiter.TakeAt("a", t0, retry));
  EXPECT_EQ(retry, 1);
  EXPECT_TRUE(limiter.TakeAt("b", t0, retry));
  EXPECT_TRUE(limiter.TakeAt("a", t0 + milliseconds(500), retry));
  EXPECT_FALSE(limiter.TakeAt("a", t0 + milliseconds(600), retry));
  ReportLimiter slow(0.25, 1);
  EXPECT_TRUE(slow.TakeAt("c", t0, retry));
  EXPECT_FALSE(slow.TakeAt("c", t0, retry));
  EXPECT_EQ(retry, 4);
  ReportLimiter none(0, 1);
  for (int i = 0; i < 1000; ++i) EXPECT_TRUE(none.TakeAt("d", t0, retry));
}

TEST(ThrottledLog, FirstLineAtOnceThenASummaryAtMostEachInterval) {
  FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    ThrottledLog log(out, std::chrono::seconds(1));
    const auto t0 = Clock::now();
    for (int i = 0; i < 1000; ++i) log.ReportAt("down " + std::to_string(i), t0 + milliseconds(i));
    log.ReportAt("down again", t0 + milliseconds(2500));
  }
  std::rewind(out);
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0) text.append(buffer, got);
  std::fclose(out);
  EXPECT_EQ(text,
            "tovi-server: down 0\n"
            "tovi-server: 999 more like this since the last line, the latest: down 999\n"
            "tovi-server: down again\n");
}

// A socket stand-in for the gate's reads.
struct FakeSocket {
  std::vector<std::string> chunks;  // what each read returns; "" ends with EAGAIN
  size_t next = 0;
};
FakeSocket* fake = nullptr;

ssize_t FakeRead(int, void* buffer, size_t length, int) {
  if (fake->next >= fake->chunks.size() || fake->chunks[fake->next].empty()) {
    if (fake->next < fake->chunks.size()) ++fake->next;
    errno = EAGAIN;
    return -1;
  }
  std::string& chunk = fake->chunks[fake->next];
  const size_t take = std::min(length, chunk.size());
  std::memcpy(buffer, chunk.data(), take);
  chunk.erase(0, take);
  if (chunk.empty()) ++fake->next;
  return static_cast<ssize_t>(take);
}

TEST(RequestGate, ReceiveReturnsShortOnlyWhenTheSocketHadNoMore) {
  FakeSocket socket;
  fake = &socket;
  socket.chunks = {"GET / HTTP/1.1\r\nHo", "", "", "st: x\r\n\r\n", ""};
  RequestGate gate;
  char buffer[64];
  // The whole request line, then nothing more to read: a short count.
  ssize_t got = gate.Receive(3, buffer, sizeof buffer, FakeRead);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), "GET / HTTP/1.1\r\n");
  // Only a partial line is there: EAGAIN, nothing handed on.
  got = gate.Receive(3, buffer, sizeof buffer, FakeRead);
  EXPECT_EQ(got, -1);
  EXPECT_EQ(errno, EAGAIN);
  // A buffer smaller than what is checked: full counts until it is given.
  got = gate.Receive(3, buffer, 4, FakeRead);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), "Host");
  got = gate.Receive(3, buffer, sizeof buffer, FakeRead);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), ": x\r\n\r\n");
  // After a refusal the rest is read and dropped.
  socket.chunks = {"GET / HTTP/1.1\r\nHost: x\r\n: bad\r\nGET /smuggled HTTP/1.1\r\n\r\n", "more", ""};
  socket.next = 0;
  RequestGate refusing;
  std::string seen;
  for (int i = 0; i < 4; ++i) {
    got = refusing.Receive(3, buffer, sizeof buffer, FakeRead);
    if (got > 0) seen.append(buffer, static_cast<size_t>(got));
  }
  EXPECT_EQ(seen, "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(refusing.RefusedRequest(), 1);
  EXPECT_EQ(refusing.Reason(), "a header line with an empty name");
  fake = nullptr;
}

}  // namespace
