#include "stats/update_milestone.h"

bool TakeUpdateMilestone(int percent, int* lastReported) {
  if (percent % 10 != 0 || percent == *lastReported) return false;
  *lastReported = percent;
  return percent < 100;
}
