#include "ui/app_address.h"

#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "ui/page_commands.h"
#include "ui/ui_commands.h"

namespace {

TEST(AppAddressTest, NumberRule) {
  const struct {
    const wchar_t* address;
    bool isApp;
    uint32_t command;
  } cases[] = {
      {L"APP:12", true, 12},
      {L"app:", true, 0},
      {L"app:abc", true, 0},
      {L"app:  7x", true, 7},
      {L"app:\t 100", true, 100},
      {L"aPp:5 6", true, 5},
      // The value wraps at 32 bits.
      {L"app:4294967297", true, 1},
      {L"app", false, 0},
      {L"ap:", false, 0},
      {L"appx:1", false, 0},
      {L"http://app:1/", false, 0},
      {L"", false, 0},
  };
  for (const auto& c : cases) {
    uint32_t command = 99999;
    EXPECT_EQ(ParseAppAddress(std::wstring_view(c.address), &command), c.isApp) << c.address;
    if (c.isApp) {
      EXPECT_EQ(command, c.command) << c.address;
    }
    uint32_t narrow = 99999;
    std::string text;
    for (const wchar_t* p = c.address; *p; ++p) text += static_cast<char>(*p);
    EXPECT_EQ(ParseAppAddress(std::string_view(text), &narrow), c.isApp) << text;
    if (c.isApp) {
      EXPECT_EQ(narrow, c.command) << text;
    }
  }
}

// A page reaches the commands a user clicks, nothing the program's threads
// send each other.
TEST(AppAddressTest, PagesMayPostOnlyClickableCommands) {
  const struct {
    uint32_t command;
    bool allowed;
  } cases[] = {
      {UI_START, true},     {UI_CONTINUE, true},     {UI_HELP, true},    {UI_CHOOSE_FOLDER, true},
      {UI_PAUSE, true},     {UI_CLOSE, true},        {UI_STATUS, false}, {UI_REFRESH, false},
      {UI_PROGRESS, false}, {UI_AWAIT_START, false}, {UI_BUILD, false},  {0, false},
      {4294967295u, false},
  };
  for (const auto& c : cases) {
    LogCapture log;
    EXPECT_EQ(PageMayPost(c.command), c.allowed) << c.command;
    EXPECT_EQ(log.Contains("page link to command " + std::to_string(c.command) + " ignored"),
              !c.allowed)
        << c.command;
  }
}

}  // namespace
