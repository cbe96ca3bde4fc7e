// When the progress listener sends an update report.
#pragma once

// True when percent is a multiple of 10 below 100 that differs from
// *lastReported: one update at each of 10, 20, ... 90 per cent, none at 0 or
// 100. *lastReported (0 at the start of a run) takes every multiple of 10
// seen, 100 included, so a run resumed at 43 % reports first at 50 %.
[[nodiscard]] bool TakeUpdateMilestone(int percent, int* lastReported);
