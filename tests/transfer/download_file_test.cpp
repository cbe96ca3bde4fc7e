#include "transfer/download_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "platform/thread.h"
#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/test_socket.h"
#include "transfer/sha256.h"
#include "transfer/transfer_state.h"

namespace {

constexpr int64_t kSize = 100000;

std::string Sha256Of(const std::string& bytes) {
  CSha256 hash;
  EXPECT_TRUE(hash.Update(bytes.data(), bytes.size()));
  return hash.FinishHex();
}

// A file URL for a local path, on either platform.
std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  if (path.empty() || path[0] != '/') url += '/';
  for (const char c : path) url += c == '\\' ? '/' : c;
  return url;
}

class DownloadFileTest : public testing::Test {
 protected:
  // A fault case that hangs fails in two seconds instead of a minute.
  void SetUp() override { SetStallBoundForTesting(2000); }
  void TearDown() override {
    SetStallBoundForTesting(kDefaultStallBoundMs);
    SetLowSpeedTimeForTesting(kDefaultLowSpeedSeconds);
    TheTransferState.progressListener = nullptr;
    TheTransferState.progressBaseBytes = 0;
    TheTransferState.progressTotalBytes = 0;
  }

  static HttpReply Pattern(int64_t size = kSize) {
    HttpReply reply;
    reply.patternSize = size;
    return reply;
  }

  Sandbox sandbox_;
  LogCapture log_;
  const std::string path_ = sandbox_.Path("part1.q9tovi");
};

TEST_F(DownloadFileTest, FreshDownloadFetchesWholeFileWithoutRange) {
  HttpFixture server(Pattern());
  ASSERT_TRUE(server.Listening());
  EXPECT_TRUE(DownloadFile(path_, server.Url(), kSize, 0));

  ASSERT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(server.RequestLine(0), "GET /file.bin HTTP/1.1");
  EXPECT_EQ(server.Header(0, "Range"), "<none>");
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, kSize));
  const std::string size = std::to_string(kSize);
  EXPECT_EQ(log_.Bodies(), (std::vector<std::string>{
                               "initializing internet downloader...",
                               "done.",
                               "downloading: " + server.Url(),
                               "received file: " + path_,
                               "last session resuming file from byte (v1): 0",
                               "last session received bytes (v2): " + size,
                               "expected file size (v3): " + size,
                               "total received file size (v4): " + size,
                               "---> fileSize " + path_,
                               "     Size " + size,
                               "wrote file size (v5): " + size,
                           }));
  EXPECT_EQ(TheTransferState.curl.load(), nullptr);
  EXPECT_EQ(TheTransferState.job, nullptr);
}

TEST_F(DownloadFileTest, UnknownSizeSkipsSizeChecks) {
  HttpFixture server(Pattern(5000));
  EXPECT_TRUE(DownloadFile(path_, server.Url(), -1, 0));
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, 5000));
  EXPECT_TRUE(log_.Contains("received file: " + path_));
  EXPECT_FALSE(log_.Contains("expected file size (v3): -1"));
}

// The file on disk, not the offset, decides whether a range is asked for.
TEST_F(DownloadFileTest, ResumeSendsExactRangeAndAppends) {
  struct Case {
    const char* name;
    int64_t onDisk;  // -1: no file
    int64_t resumeFrom;
    const char* range;
    bool result;
  };
  const Case cases[] = {
      {"resume mid-file", 40000, 40000, "bytes=40000-", true},
      {"present but empty", 0, 0, "bytes=0-100000", true},
      {"absent with offset", -1, 40000, "<none>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path_);
    if (c.onDisk >= 0) sandbox_.Write("part1.q9tovi", PatternBytes(0, c.onDisk));
    HttpFixture server(Pattern());
    EXPECT_EQ(DownloadFile(path_, server.Url(), kSize, c.resumeFrom), c.result);
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Header(0, "Range"), c.range);
    EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, kSize));
  }
  // The offset without a file fetches everything, so the byte count is off
  // but the file, all good bytes, stays for the next run.
  EXPECT_EQ(log_.Count("resuming file from byte: 40000"), 1u);
  EXPECT_EQ(log_.Count("wrong size bad download (v3 <> v1+v2)"), 1u);
}

TEST_F(DownloadFileTest, PartOverFourGiBResumesWithFullOffsets) {
  const int64_t offset = (int64_t{4} << 30) + 3;  // past both 2 and 4 GiB
  const int64_t size = offset + 1000;
  { std::ofstream touch(path_, std::ios::binary); }
  std::error_code error;
  std::filesystem::resize_file(path_, static_cast<uintmax_t>(offset), error);
  ASSERT_FALSE(error) << error.message();

  HttpFixture server(Pattern(size));
  EXPECT_TRUE(DownloadFile(path_, server.Url(), size, offset));
  EXPECT_EQ(server.Header(0, "Range"), "bytes=" + std::to_string(offset) + "-");
  EXPECT_EQ(std::filesystem::file_size(path_), static_cast<uintmax_t>(size));
  std::ifstream in(path_, std::ios::binary);
  in.seekg(offset);
  std::string tail(1000, '\0');
  in.read(tail.data(), 1000);
  EXPECT_EQ(tail, PatternBytes(offset, 1000));
  EXPECT_TRUE(log_.Contains("resuming file from byte: " + std::to_string(offset)));
  EXPECT_TRUE(log_.Contains("total received file size (v4): " + std::to_string(size)));
  EXPECT_TRUE(log_.Contains("wrote file size (v5): " + std::to_string(size)));
}

TEST_F(DownloadFileTest, CompletePartIsNotFetchedAgain) {
  sandbox_.Write("part1.q9tovi", PatternBytes(0, 5000));
  HttpFixture server(Pattern(5000));
  EXPECT_TRUE(DownloadFile(path_, server.Url(), 5000, 5000));
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, 5000));
  const auto bodies = log_.Bodies();
  const std::vector<std::string> tail(bodies.end() - 3, bodies.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"resuming file from byte: 5000",
                                            "--> No download performed!!!", ""}));
}

// More bytes than the part has are no good; the part is fetched again from
// its first byte in the same call.
TEST_F(DownloadFileTest, PartialFileLargerThanPartIsFetchedAgain) {
  sandbox_.Write("part1.q9tovi", PatternBytes(0, 5001));
  HttpFixture server(Pattern(5000));
  EXPECT_TRUE(DownloadFile(path_, server.Url(), 5000, 5001));
  ASSERT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(server.Header(0, "Range"), "<none>");
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, 5000));
  EXPECT_TRUE(
      log_.Contains("partial file larger than expected size (v1 > v3). deleting bad file, "
                    "fetching the part from its first byte: " +
                    path_));
  EXPECT_TRUE(log_.Contains("last session resuming file from byte (v1): 0"));
  EXPECT_FALSE(log_.Contains("--> No download performed!!!"));
}

// A part that starts at byte 0 starts from an empty file, whatever an
// earlier run left in it; a host that ignores the range then sends just the
// bytes wanted.
TEST_F(DownloadFileTest, PartFromByteZeroStartsFromEmptyFile) {
  struct Case {
    const char* name;
    std::string onDisk;
    bool honorRange;
  };
  const Case cases[] = {
      {"empty file, range honoured", "", true},
      {"empty file, range ignored", "", false},
      {"stale bytes, range honoured", std::string(700, 'x'), true},
      {"stale bytes past the part, range ignored", std::string(kSize + 500, 'x'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sandbox_.Write("part1.q9tovi", c.onDisk);
    HttpReply reply = Pattern();
    reply.honorRange = c.honorRange;
    HttpFixture server(reply);
    EXPECT_TRUE(DownloadFile(path_, server.Url(), kSize, 0));
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Header(0, "Range"), "bytes=0-100000");
    EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, kSize));
  }
}

// Every fault leaves false, its own log line and a file that holds only the
// part's first bytes, ready for the next resume.
TEST_F(DownloadFileTest, InjectedFaultsKeepOnlyGoodBytes) {
  struct Case {
    const char* name;
    HttpReply reply;
    int64_t onDisk;  // good bytes before the run; -1: no file
    int64_t expected;
    const char* logLine;
    int64_t goodAfter;  // pattern bytes in the file afterwards
  };
  auto reply = [](auto change) {
    HttpReply r;
    r.patternSize = kSize;
    change(r);
    return r;
  };
  const auto errorPage = [](int status) {
    return [status](HttpReply& r) {
      r.status = status;
      r.patternSize = -1;
      r.body = "<html>error page</html>";
    };
  };
  const Case cases[] = {
      {"404 fresh", reply(errorPage(404)), -1, kSize,
       "server answered HTTP 404, nothing written to file", 0},
      {"500 on resume", reply(errorPage(500)), 1000, kSize,
       "server answered HTTP 500, nothing written to file", 1000},
      {"404 without body, unknown size", reply([](HttpReply& r) {
         r.status = 404;
         r.patternSize = -1;
       }),
       -1, -1, "server answered HTTP 404, nothing written to file", 0},
      {"whole body for a range", reply([](HttpReply& r) { r.honorRange = false; }), 1000, kSize,
       "server ignored the byte range (HTTP 200), nothing written to file", 1000},
      {"closed mid-body", reply([](HttpReply& r) { r.closeAfter = 30000; }), -1, kSize,
       "Transferred a partial file", 30000},
      {"closed mid-resume", reply([](HttpReply& r) { r.closeAfter = 20000; }), 1000, kSize,
       "Transferred a partial file", 21000},
      {"length announced too long", reply([](HttpReply& r) { r.contentLength = kSize + 500; }), -1,
       kSize, "Maximum file size exceeded", 0},
      {"length announced too short", reply([](HttpReply& r) { r.contentLength = 60000; }), -1,
       kSize, "wrong size bad download (v3 <> v1+v2)", 60000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path_);
    if (c.onDisk >= 0) sandbox_.Write("part1.q9tovi", PatternBytes(0, c.onDisk));
    HttpFixture server(c.reply);
    LogCapture log;
    EXPECT_FALSE(DownloadFile(path_, server.Url(), c.expected, std::max<int64_t>(c.onDisk, 0)));
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_TRUE(log.Contains(c.logLine));
    EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, c.goodAfter));
  }
}

TEST_F(DownloadFileTest, StalledTransferFailsAndKeepsFile) {
  SetStallBoundForTesting(300);
  HttpReply reply = Pattern();
  reply.stallAfter = 25000;
  HttpFixture server(reply);
  EXPECT_FALSE(DownloadFile(path_, server.Url(), kSize, 0));
  EXPECT_TRUE(log_.Contains("no data received for 300 ms, transfer stalled"));
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, 25000));
}

// The bound counts from the last data, not from the start: a slow but
// steady transfer may take many times as long.
TEST_F(DownloadFileTest, SlowSteadyTransferIsNoStall) {
  SetStallBoundForTesting(500);
  SetLowSpeedTimeForTesting(1);
  HttpReply reply = Pattern(60000);
  reply.bytesPerSecond = 40000;  // a second and a half
  HttpFixture server(reply);
  EXPECT_TRUE(DownloadFile(path_, server.Url(), 60000, 0));
  EXPECT_FALSE(log_.Contains("no data received for 500 ms, transfer stalled"));
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, 60000));
}

// Nothing grows beyond its size: an announced length over it is refused
// before any byte is written, a body without one is stopped at the first byte
// too many and the file, holding bad data, is deleted.
TEST_F(DownloadFileTest, PartsAreBoundedByTheirSize) {
  struct Case {
    const char* name;
    int64_t serverSize;
    bool announceLength;
    int64_t onDisk;
    bool succeeds;
    const char* logLine;
    int64_t onDiskAfter;  // pattern bytes in the file afterwards; -1: no file
  };
  const Case cases[] = {
      {"announced too long", 200000, true, 0, false, "Maximum file size exceeded", 0},
      {"unannounced too long", 200000, false, 0, false,
       "server sent more than the expected 1000 bytes, transfer stopped", -1},
      {"unannounced too long on resume", 200000, false, 400, false,
       "server sent more than the expected 1000 bytes, transfer stopped", -1},
      {"unannounced exact size", 1000, false, 0, true, "wrote file size (v5): 1000", 1000},
      {"unannounced exact size on resume", 1000, false, 400, true, "wrote file size (v5): 1000",
       1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path_);
    if (c.onDisk > 0) sandbox_.Write("part1.q9tovi", PatternBytes(0, c.onDisk));
    HttpReply reply = Pattern(c.serverSize);
    reply.announceLength = c.announceLength;
    HttpFixture server(reply);
    LogCapture log;
    EXPECT_EQ(DownloadFile(path_, server.Url(), 1000, c.onDisk), c.succeeds);
    EXPECT_TRUE(log.Contains(c.logLine)) << testing::PrintToString(log.Bodies());
    if (c.onDiskAfter < 0) {
      EXPECT_FALSE(std::filesystem::exists(path_));
    } else {
      EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, c.onDiskAfter));
    }
  }
}

// A file of unknown size is held to its caller's cap, and only for that call.
TEST_F(DownloadFileTest, CapBoundsAFileOfUnknownSize) {
  HttpReply reply = Pattern(5000);
  reply.announceLength = false;
  HttpFixture server(reply);
  EXPECT_FALSE(DownloadFileUpTo(path_, server.Url(), 4999));
  EXPECT_TRUE(log_.Contains("server sent more than the expected 4999 bytes, transfer stopped"));
  EXPECT_FALSE(std::filesystem::exists(path_));

  EXPECT_TRUE(DownloadFileUpTo(path_, server.Url(), 5000));
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, 5000));

  reply.announceLength = true;
  server.SetReply(reply);
  EXPECT_FALSE(DownloadFileUpTo(path_, server.Url(), 4999));
  EXPECT_TRUE(log_.Contains("Maximum file size exceeded"));
  EXPECT_TRUE(DownloadFile(path_, server.Url(), -1, 0));
  EXPECT_EQ(ReadFileBytes(path_), PatternBytes(0, 5000));
}

// A loop of redirects ends after ten.
TEST_F(DownloadFileTest, RedirectsAreBounded) {
  HttpFixture server;
  HttpReply reply;
  reply.status = 302;
  reply.headers = "Location: " + server.Url() + "\r\n";
  server.SetReply(reply);
  EXPECT_FALSE(DownloadFile(path_, server.Url(), kSize, 0));
  EXPECT_EQ(server.RequestCount(), 11u);
  EXPECT_TRUE(log_.Contains("Number of redirects hit maximum amount"));
}

// The stall bound counts from the last byte written to the file: the bodies
// of redirects, however steady, do not keep a transfer alive.
TEST_F(DownloadFileTest, RedirectBodiesDoNotResetTheStallBound) {
  SetStallBoundForTesting(1000);
  HttpFixture server;
  HttpReply reply;
  reply.status = 302;
  reply.body = std::string(40, 'r');
  reply.bytesPerSecond = 50;  // 0.8 s a redirect
  reply.announceClose = false;
  reply.headers = "Location: " + server.Url() + "\r\n";
  server.SetReply(reply);
  EXPECT_FALSE(DownloadFile(path_, server.Url(), kSize, 0));
  EXPECT_TRUE(log_.Contains("no data received for 1000 ms, transfer stalled"));
  EXPECT_LE(server.RequestCount(), 3u);
}

// A server that trickles bytes is never stalled; the low-speed bound ends it.
TEST_F(DownloadFileTest, TricklingServerHitsTheLowSpeedBound) {
  SetLowSpeedTimeForTesting(1);
  HttpReply reply = Pattern(4000);
  reply.bytesPerSecond = 200;
  HttpFixture server(reply);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(DownloadFile(path_, server.Url(), 4000, 0));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(
      log_.Contains("Operation too slow. Less than 1024 bytes/sec transferred the last 1 seconds"));
}

// Only HTTP(S) is fetched, also after a redirect: a URL from the server must
// not read a local file or reach another kind of service.
TEST_F(DownloadFileTest, OtherProtocolsAreRefused) {
  sandbox_.Write("secret.txt", "local secret");
  EXPECT_FALSE(DownloadFile(path_, FileUrl(sandbox_.Path("secret.txt")), -1, 0));
  EXPECT_EQ(ReadFileBytes(path_), "");
  EXPECT_EQ(log_.Count("Unsupported protocol"), 1u);

  uint16_t closedPort = 0;
  CloseTestSocket(ListenOnLoopback(&closedPort));
  HttpReply reply;
  reply.status = 302;
  reply.headers = "Location: ftp://127.0.0.1:" + std::to_string(closedPort) + "/x\r\n";
  HttpFixture server(reply);
  std::filesystem::remove(path_);
  EXPECT_FALSE(DownloadFile(path_, server.Url(), -1, 0));
  EXPECT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(log_.Count("Unsupported protocol"), 2u);
}

// With a digest, the part is complete only when its content matches; a file
// with other content is deleted so that the next run fetches it again.
TEST_F(DownloadFileTest, DigestDecidesWhetherThePartIsComplete) {
  const std::string whole = PatternBytes(0, kSize);
  const std::string good = Sha256Of(whole);
  std::string upper = good;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const std::string wrong = Sha256Of("another file");
  const std::string stale(40000, 'x');
  struct Case {
    const char* name;
    bool present;
    std::string onDisk;
    std::string digest;
    size_t requests;
    std::string actual;  // digest of a mismatching file; empty when it matches
  };
  const Case cases[] = {
      {"fresh, matching", false, "", good, 1, ""},
      {"fresh, upper case", false, "", upper, 1, ""},
      {"resumed, matching", true, whole.substr(0, 40000), good, 1, ""},
      {"complete on disk, matching", true, whole, good, 0, ""},
      {"fresh, wrong", false, "", wrong, 1, good},
      {"resumed after stale bytes", true, stale, good, 1,
       Sha256Of(stale + PatternBytes(40000, kSize - 40000))},
      {"complete on disk, stale content", true, std::string(kSize, 'x'), good, 0,
       Sha256Of(std::string(kSize, 'x'))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path_);
    if (c.present) sandbox_.Write("part1.q9tovi", c.onDisk);
    HttpFixture server(Pattern());
    LogCapture log;
    const auto onDisk = static_cast<int64_t>(c.onDisk.size());
    EXPECT_EQ(DownloadFile(path_, server.Url(), kSize, onDisk, c.digest), c.actual.empty());
    EXPECT_EQ(server.RequestCount(), c.requests);
    if (c.actual.empty()) {
      EXPECT_EQ(ReadFileBytes(path_), whole);
    } else {
      EXPECT_FALSE(std::filesystem::exists(path_));
      EXPECT_TRUE(log.Contains("wrong content in " + path_ + ": sha256 expected " + c.digest +
                               ", got " + c.actual + ". deleting bad file."));
    }
  }
}

// Bytes on disk that do not match the offset the caller gave: the byte count
// adds up but the file does not, so it is deleted for a fresh start.
TEST_F(DownloadFileTest, WrongSizeOnDiskDeletesFile) {
  sandbox_.Write("part1.q9tovi", PatternBytes(0, 10));
  HttpFixture server(Pattern(1000));
  EXPECT_FALSE(DownloadFile(path_, server.Url(), 1000, 5));
  EXPECT_EQ(server.Header(0, "Range"), "bytes=5-");
  EXPECT_TRUE(log_.Contains("total received file size (v4): 1000"));
  EXPECT_TRUE(log_.Contains("wrote file size (v5): 1005"));
  EXPECT_TRUE(log_.Contains(
      "wrong size written to disk. deleting bad file. restarting process. (v3 <> v5)"));
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(DownloadFileTest, RefusedThreadStartMakesNoRequest) {
  HttpFixture server(Pattern());
  SetThreadStartRefusedForTesting(true);
  const bool result = DownloadFile(path_, server.Url(), kSize, 0);
  SetThreadStartRefusedForTesting(false);
  EXPECT_FALSE(result);
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_FALSE(std::filesystem::exists(path_));
  EXPECT_EQ(log_.Bodies(), (std::vector<std::string>{"initializing internet downloader...", "done.",
                                                     "could not start the transfer thread"}));
  EXPECT_EQ(TheTransferState.curl.load(), nullptr);
  EXPECT_FALSE(TheTransferState.running.load());
}

TEST_F(DownloadFileTest, TooLongTextsAreRefused) {
  HttpFixture server(Pattern());
  EXPECT_FALSE(DownloadFile(path_, server.Url() + "?" + std::string(2100, 'a'), kSize, 0));
  EXPECT_FALSE(DownloadFile(sandbox_.Path(std::string(300, 'p')), server.Url(), kSize, 0));
  EXPECT_EQ(server.RequestCount(), 0u);
}

struct ListenerCall {
  int percent;
  int64_t bytes;
};
std::vector<ListenerCall> listenerCalls;  // written on the transfer thread only
void RecordProgress(int percent, int64_t bytes) { listenerCalls.push_back({percent, bytes}); }

TEST_F(DownloadFileTest, ListenerGetsOverallProgress) {
  TheTransferState.progressBaseBytes = 100000;
  TheTransferState.progressTotalBytes = 400000;
  listenerCalls.clear();
  TheTransferState.progressListener = RecordProgress;
  HttpReply reply = Pattern(300000);
  reply.bytesPerSecond = 3000000;  // a few tenths of a second: many callbacks
  HttpFixture server(reply);
  EXPECT_TRUE(DownloadFile(path_, server.Url(), 300000, 0));
  ASSERT_FALSE(listenerCalls.empty());
  for (const ListenerCall& call : listenerCalls) {
    EXPECT_GT(call.bytes, 100000);  // never called before bytes arrived
    EXPECT_LE(call.bytes, 400000);
    EXPECT_NEAR(call.percent, call.bytes * 100 / 400000, 1);  // truncated from a double
  }

  // The communication file is fetched with no size: nothing is reported.
  listenerCalls.clear();
  HttpFixture other(Pattern(1000));
  EXPECT_TRUE(DownloadFile(sandbox_.Path("comm"), other.Url(), -1, 0));
  EXPECT_TRUE(listenerCalls.empty());
}

}  // namespace
