// The summary as the JSON of GET /api/summary (its shape: docs/dashboard.md).
#pragma once

#include <string>

#include "server/summary.h"

std::string SummaryJson(const DashboardSummary& summary);
