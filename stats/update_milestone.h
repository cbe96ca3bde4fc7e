// When the progress listener sends an update report.
#pragma once

// True when percent has entered a band of ten (10-19, 20-29, ... 90-99)
// other than the one *lastReported holds: at most one update per band, none
// in 0-9 and none at 100. A listener call often covers several per cent, so
// the band is what counts, not landing on its exact multiple of ten.
// *lastReported (0 at the start of a run) keeps the band as its multiple of
// ten; 100 is kept too, so a later 100 is not new.
[[nodiscard]] bool TakeUpdateMilestone(int percent, int* lastReported);
