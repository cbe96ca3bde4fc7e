#include "stats/part_file_name.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "support/log_capture.h"
#include "support/sandbox.h"

namespace {

struct NameCase {
  std::string name;
  bool posix;
  bool windows;
};

const std::vector<NameCase>& NameCases() {
  static const std::vector<NameCase> cases = {
      {"parte1", true, true},
      {"Tovi Setup [1] (final).exe", true, true},
      {"setup-2.0_x64.part.bin", true, true},
      {".hidden", true, true},
      {" leading blank", true, true},
      {"\xC3\xA1rbol-\xE2\x82\xAC.exe", true, true},  // non-ASCII bytes
      {"CONSOLE", true, true},
      {"com10", true, true},
      {"lpt", true, true},
      {"xnul.txt", true, true},
      {"", false, false},  // the URL ended in '/'
      {".", false, false},
      {"..", false, false},
      {"..\\..\\x.exe", false, false},
      {"dir\\setup.exe", false, false},
      {"a/b", false, false},
      {"a:b", false, false},  // a stream of the file "a" on Windows
      {"C:", false, false},
      {"tab\there", false, false},
      {"line\n", false, false},
      {"\x1F", false, false},
      {"del\x7F", false, false},
      {"trailing.", true, false},
      {"trailing ", true, false},
      {"CON", true, false},
      {"con.txt", true, false},
      {"Nul", true, false},
      {"aux .tar.gz", true, false},
      {"PRN.", true, false},
      {"COM1", true, false},
      {"lpt9.log", true, false},
      {"com\xC2\xB9", true, false},
      {"CONOUT$", true, false},
  };
  return cases;
}

TEST(PartFileNameTest, RulesOfBothSystems) {
  for (const NameCase& c : NameCases()) {
    EXPECT_EQ(IsPlainFileName(c.name, FileNameRules::kPosix), c.posix) << '"' << c.name << '"';
    EXPECT_EQ(IsPlainFileName(c.name, FileNameRules::kWindows), c.windows) << '"' << c.name << '"';
  }
  EXPECT_FALSE(IsPlainFileName("COM\xB3", FileNameRules::kWindows));  // superscript as ANSI byte
}

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

size_t EntriesIn(const std::string& dir) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    (void)entry;
    ++count;
  }
  return count;
}

// Names that are one file: the same bytes everywhere, and on Windows the
// same letters in another case too.
TEST(PartFileNameTest, NamesThatAreOneFile) {
  const struct {
    const char* a;
    const char* b;
    bool samePosix;
    bool sameWindows;
  } cases[] = {
      {"ToviSetup.exe", "ToviSetup.exe", true, true},
      {"ToviSetup.exe", "tovisetup.EXE", false, true},
      {"parte1", "parte2", false, false},
      {"a\xC3\xB1o", "a\xC3\xB1o", true, true},
      {"parte1", "parte1 ", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameKey(c.a, FileNameRules::kPosix) == FileNameKey(c.b, FileNameRules::kPosix),
              c.samePosix)
        << c.a << " " << c.b;
    EXPECT_EQ(
        FileNameKey(c.a, FileNameRules::kWindows) == FileNameKey(c.b, FileNameRules::kWindows),
        c.sameWindows)
        << c.a << " " << c.b;
  }
  // The communication file with two such names loads only where they are
  // two files.
  Sandbox sandbox;
  ResetDownloadRecordsForTesting();
  TheStatsSettings.commFilePath = sandbox.Path("comm290.tmp");
  sandbox.Write("comm290.tmp", R"({"parts": 2, "url_0": "http://127.0.0.1/x/ToviSetup.exe",
      "size_0": "1", "url_1": "http://127.0.0.1/y/tovisetup.EXE", "size_1": "1"})");
  EXPECT_EQ(ParseCommFile(sandbox.Dir(), "", false),
            PlatformFileNameRules() == FileNameRules::kPosix);
  ResetDownloadRecordsForTesting();
}

// The file of a part named by the server is created inside the download
// folder, or the communication file is refused, on the system this runs on.
TEST(PartFileNameTest, CommunicationFileWithEachName) {
  const bool windows = PlatformFileNameRules() == FileNameRules::kWindows;
  for (const NameCase& c : NameCases()) {
    if (c.name.find('/') != std::string::npos) continue;  // the name begins after it
    Sandbox sandbox;
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = sandbox.Path("comm290.tmp");
    sandbox.Write("comm290.tmp", R"({"parts": 2, "url_0": "http://127.0.0.1/x/parte0",
        "size_0": "1", "url_1": )" + JsonString("http://127.0.0.1/x/" + c.name) +
                                     R"(, "size_1": "1"})");
    const bool plain = windows ? c.windows : c.posix;
    LogCapture log;
    EXPECT_EQ(ParseCommFile(sandbox.Dir(), "", false), plain) << '"' << c.name << '"';
    if (!plain) {
      EXPECT_EQ(log.Bodies(), std::vector<std::string>{"url_1 gave no plain file name"});
      EXPECT_TRUE(TheDownloadPlan.partialPaths.empty());
      continue;
    }
    ASSERT_EQ(TheDownloadPlan.partialPaths.size(), 2u);
    const std::string& partial = TheDownloadPlan.partialPaths[1];
    EXPECT_EQ(partial, sandbox.Path(c.name + ".q9tovi"));
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    ASSERT_NE(file, nullptr) << '"' << c.name << '"';
    std::fclose(file);
    EXPECT_EQ(EntriesIn(sandbox.Dir()), 2u) << '"' << c.name << '"';
  }
  ResetDownloadRecordsForTesting();
}

}  // namespace
