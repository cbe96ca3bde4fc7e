#include "browser/window_title.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowTitleTest, TitleIsTheSignedSumOrTheUsualTitleAtZero) {
  struct {
    uint32_t first, second;
    const wchar_t* title;
  } const cases[] = {
      {3, 4, L"7"},
      {5, static_cast<uint32_t>(-5), L"Tovi Downloader 2.1"},
      {0, 0, L"Tovi Downloader 2.1"},
      {0, static_cast<uint32_t>(-12), L"-12"},
      {0x7FFFFFFF, 1, L"-2147483648"},  // wraps as a 32-bit sum
      {0xFFFFFFFF, 0xFFFFFFFF, L"-2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TitleForCount(c.first, c.second), c.title) << c.first << " + " << c.second;
  }
}

}  // namespace
