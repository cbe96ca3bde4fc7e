// The dashboard as one HTML page: no script, no file from elsewhere (styles
// and charts inline), readable on a laptop and on a phone. The labels are
// English: the page is for the publisher's staff, not for players.
#pragma once

#include <string>

#include "server/summary.h"

std::string DashboardPage(const DashboardSummary& summary);

// A duration as people read it: "45 s", "12 min 05 s", "3 h 20 min", "2 d 4 h".
std::string DurationText(double seconds);
