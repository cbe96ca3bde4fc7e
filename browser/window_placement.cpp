#include "browser/window_placement.h"

namespace {
constexpr int kWidth = 760;
constexpr int kHeight = 600;
}  // namespace

WindowBox PlaceInWorkArea(int right, int bottom, int edge, int frame) {
  // Halving truncates toward zero.
  return {right / 2 - kWidth / 2 - edge, bottom / 2 - kHeight / 2 - frame, kWidth + edge,
          kHeight + edge};
}
