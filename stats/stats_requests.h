// Event reports to the statistics server: the five request URLs and the
// three fire-and-forget reports (update, pause, finish). The start and resume
// requests are fetched into the communication file instead (comm_file.h).
#pragma once

#include <cstdint>
#include <string>

// Decimal text of a signed 64-bit value: a minus sign when negative, no
// grouping, no leading zeros or blanks.
std::string FormatInt64(int64_t value);

// A query value as it may stand in a URL: characters that would end the
// value, split the query or be read as something else ('&', '=', '+', '#',
// '%', ';', blanks, controls, bytes above 0x7E and those URL syntax forbids)
// become %XX; every other character, ':' and '-' included, stays as it is.
std::string EncodeQueryValue(const std::string& value);

// Base URL of TheStatsSettings + "/<event>?mid=..&game=..&distributor=.."
// and, where the event carries them, "&bytes=.." and "&current_part=..".
// current_part is TheDownloadPlan.currentPart at the time of the call.
std::string BuildStatsUrlForStart();
std::string BuildStatsUrlForResume();
std::string BuildStatsUrlForPause(int64_t bytes);
std::string BuildStatsUrlForUpdate(int64_t bytes);
std::string BuildStatsUrlForFinish(int64_t bytes);

// Overall limit of one report request, connection included: a server that
// accepts and never answers must not hold the caller (for an update, the
// running transfer) for longer.
inline constexpr long kStatsRequestTimeLimitMs = 5000;

// One GET of url on a worker thread of its own while the calling thread
// waits, dispatching its messages in 25 ms slices. The response body is
// discarded. True when the transfer completed (an HTTP error status counts
// as completed); false when no handle or thread could be had, the server
// could not be reached or the time limit ran out. Any thread may call it;
// concurrent requests share nothing.
[[nodiscard]] bool SendStatsRequest(const std::string& url);

// Sends the update event with bytes and the current part. Called from the
// progress listener on the transfer thread.
bool ReportUpdate(int64_t bytes);

// Deletes the communication file, clears TheDownloadPlan.downloading and
// sends the pause event with bytes and the current part. UI thread.
bool ReportPause(int64_t bytes);

// Deletes the communication file and sends the finish event with the sum of
// the sizes of the partial files on disk. Program thread.
bool ReportFinish();
