#include "browser/window_placement.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacementTest, CentresOnTheWorkAreaAndAddsTheEdgeToBothSizes) {
  const WindowBox box = PlaceInWorkArea(1366, 728, 2, 3);
  EXPECT_EQ(box.x, 303 - 2);
  EXPECT_EQ(box.y, 364 - 300 - 3);
  EXPECT_EQ(box.width, 762);
  EXPECT_EQ(box.height, 602);
}

TEST(WindowPlacementTest, HalvingTruncatesTowardZero) {
  EXPECT_EQ(PlaceInWorkArea(1367, 601, 0, 0).x, 303);
  EXPECT_EQ(PlaceInWorkArea(1367, 601, 0, 0).y, 0);
  // A work area smaller than the window puts it off the top left.
  const WindowBox small = PlaceInWorkArea(640, 480, 2, 3);
  EXPECT_EQ(small.x, -62);
  EXPECT_EQ(small.y, -63);
}

}  // namespace
