#include "platform/paths.h"

#include <gtest/gtest.h>

namespace {
const std::string S(1, kPathSeparator);

TEST(PathsTest, EnsureTrailingSeparatorAddsOnlyWhenMissing) {
  EXPECT_EQ(EnsureTrailingSeparator(""), "");
  EXPECT_EQ(EnsureTrailingSeparator("a"), "a" + S);
  EXPECT_EQ(EnsureTrailingSeparator("a" + S), "a" + S);
  EXPECT_EQ(EnsureTrailingSeparator(S), S);
}

TEST(PathsTest, DirectoryOfCutsAtLastSeparator) {
  EXPECT_EQ(DirectoryOf("file"), "");
  EXPECT_EQ(DirectoryOf(""), "");
  EXPECT_EQ(DirectoryOf(S + "file"), "");
  EXPECT_EQ(DirectoryOf("a" + S + "b" + S + "file.q9tovi"), "a" + S + "b");
  EXPECT_EQ(DirectoryOf("a" + S), "a");
}
}  // namespace
