// The summary source on the event store's PostgreSQL database, shared by
// every server that writes to it: the downloads table is kept up by a
// trigger, so each server's events count whichever server runs the page.
#pragma once

#include <memory>
#include <string>

#include "server/summary_source.h"

std::unique_ptr<SummarySource> OpenPostgresSummarySource(const std::string& conninfo,
                                                         std::string& error);
