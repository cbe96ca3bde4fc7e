#include "platform/navigation_sound.h"

#include <gtest/gtest.h>

#include "platform/navigation_key.h"

namespace {

TEST(NavigationSoundTest, WrittenValueReadsBack) {
  Sandbox sandbox;
  CreateNavigationKeyForTesting(sandbox);
  WriteNavigationSound(L"C:\\Windows\\Media\\Windows Navigation Start.wav");
  EXPECT_EQ(ReadNavigationSound(), L"C:\\Windows\\Media\\Windows Navigation Start.wav");
  WriteNavigationSound(L"");
  EXPECT_EQ(ReadNavigationSound(), L"");
  RemoveNavigationKeyForTesting(sandbox);
}

TEST(NavigationSoundTest, ReadsStopAtOneHundredUnitsWithTerminator) {
  Sandbox sandbox;
  CreateNavigationKeyForTesting(sandbox);
  const std::wstring fits(99, L'a');
  WriteNavigationSound(fits);
  EXPECT_EQ(ReadNavigationSound(), fits);
  WriteNavigationSound(std::wstring(100, L'b'));
  EXPECT_EQ(ReadNavigationSound(), L"");  // 202 bytes do not fit in 200
  RemoveNavigationKeyForTesting(sandbox);
}

TEST(NavigationSoundTest, MissingKeyReadsEmptyAndIsNotCreated) {
  Sandbox sandbox;
  RemoveNavigationKeyForTesting(sandbox);
  EXPECT_EQ(ReadNavigationSound(), L"");
  WriteNavigationSound(L"x.wav");
  EXPECT_EQ(ReadNavigationSound(), L"");
}

}  // namespace
