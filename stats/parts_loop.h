// The parts loop: downloads the parts of TheDownloadPlan from currentPart on.
#pragma once

#include <string>

// Downloads parts currentPart to partCount-1 in order, each into its partial
// file and checked against its digest when the plan has one; only the first
// one continues from resumeOffset, or a later one whose digest can vouch for
// its bytes on disk. A part that fails for a passing cause is tried again
// (part_download.h). Sets baseBytes and
// totalBytes before each transfer, advances currentPart after each completed
// part. True when every remaining part was downloaded; false when one failed
// (the loop stops there), when no part was left, or when currentPart names no
// part. downloading is set while it runs. Program thread.
[[nodiscard]] bool DownloadAllParts();

// text without any blank, tab, line feed, vertical tab, form feed or carriage
// return.
std::string RemoveWhiteSpace(const std::string& text);
