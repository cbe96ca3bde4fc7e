#include "ui/app_address.h"

#include <gtest/gtest.h>

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

}  // namespace
