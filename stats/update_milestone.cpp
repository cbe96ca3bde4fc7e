#include "stats/update_milestone.h"

#include <algorithm>

bool TakeUpdateMilestone(int percent, int* lastReported) {
  if (percent < 0) return false;
  const int band = std::min(percent, 100) / 10 * 10;
  if (band == *lastReported) return false;
  *lastReported = band;
  return band > 0 && band < 100;
}
