// One part of the plan, fetched with the retries of retry_budget.h.
#pragma once

#include <cstddef>
#include <cstdint>

// Sets baseBytes, totalBytes and the transfer's progress figures for part
// index resuming from resumeOffset. False, with a log line, when the bytes
// before it add up to more than 64 bits hold. Program thread, between
// transfers.
[[nodiscard]] bool SetPartProgressBase(size_t index, int64_t resumeOffset);

// Downloads part index (a valid index of every list of the plan) into its
// partial file from resumeOffset, retrying passing faults from the bytes on
// disk. A part with a digest resumes from whatever its file holds even when
// the plan says 0: the digest at its end tells whether those bytes were
// good (a complete, good file costs no request at all; bad bytes are
// deleted and the part fetched once more from its first byte). The plan's
// resumeOffset follows the offset of each try. Program thread.
[[nodiscard]] bool DownloadPart(size_t index);
