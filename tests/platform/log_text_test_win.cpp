// The log is ANSI code page text while the program's narrow texts are UTF-8:
// each line is converted on its way to the file.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/log.h"

namespace {

TEST(LogText, NarrowBodiesAreWrittenInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "the cases are those of code page 1252";
  const struct {
    const char* name;
    std::string body;
    std::string written;
  } cases[] = {
      {"plain text", "installer downloaded\n", "installer downloaded\n"},
      // A letter the code page lacks is "?", never its look-alike "L".
      {"profile folder",
       "received file: C:\\users\\Jos\xC3\xA9 \xC5\x81ukasz \xD0\xAE\xD1\x80\xD0\xB8\xD0\xB9\\x\n",
       "received file: C:\\users\\Jos\xE9 ?ukasz ????\\x\n"},
      // The program's own accent byte is not UTF-8 and stays as it is.
      {"own accent", "Can\xB4t delete file (2): C:\\Jos\xC3\xA9\n",
       "Can\xB4t delete file (2): C:\\Jos\xE9\n"},
      {"cut sequence at the end", "ab\xC3", "ab\xC3"},
      {"code page's own letters", "\xC3\xB1 \xE2\x82\xAC", "\xF1 \x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeNarrowLogText(c.body), c.written);
  }
}

}  // namespace
