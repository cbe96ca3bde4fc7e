// The raw events of a period as CSV (RFC 4180 lines, CRLF), for
// GET /api/events.csv: made page by page while it is sent, so a large
// period never sits in memory whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "server/summary_source.h"

inline constexpr const char* kCsvHeader =
    "id,time,mid,game,distributor,event,bytes,current_part\r\n";

// One event's line. The identifier may hold any byte: it is written
// percent-encoded (as the requests carry it) wherever a byte is not visible
// ASCII or is one of % , " ; and so is a first = + - @, which spreadsheets
// would take for a formula. No field ever needs quotes.
std::string CsvLine(const EventLine& line);

// The body of the export: the header, then the period's events in time
// order, at most limit of them (0: all). Each call appends the next piece to
// piece and returns true; an empty piece ends the body. False on a database
// error, which cuts the answer short.
std::function<bool(std::string& piece)> EventsCsvStream(SummarySource& source,
                                                        const SummaryPeriod& period, int64_t limit);
