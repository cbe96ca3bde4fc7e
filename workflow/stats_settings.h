// Fills TheStatsSettings, everything every statistics request needs, once per
// run on the program thread before the first request.
#pragma once

#include <string>

// Base URL of the built-in statistics server, "http://<address>:8101".
std::string DefaultStatsBaseUrl();

// Makes DefaultStatsBaseUrl give url instead (empty: the built-in one again),
// so a whole run can be pointed at a test server on another port.
void SetStatsBaseUrlForTesting(const std::string& url);

// baseUrl := DefaultStatsBaseUrl(); game and distributor as given; mid :=
// the machine identifier, computed here and nowhere else; commFilePath :=
// the temporary directory with a trailing separator + "comm290.tmp" (just
// "comm290.tmp", in the current directory, when there is none).
void InitStatsSettings(const std::string& game, const std::string& distributor);
