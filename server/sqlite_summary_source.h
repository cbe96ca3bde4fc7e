// The summary source on the event store's SQLite file: a connection of its
// own, reading beside the server's writes thanks to the write-ahead log.
#pragma once

#include <memory>
#include <string>

#include "server/summary_source.h"

std::unique_ptr<SummarySource> OpenSqliteSummarySource(const std::string& path, std::string& error);
