// The answer to a start or resume request: the communication file that
// lists the installer's parts and the part to continue with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "server/installer_files.h"

// "http://" + host + "/parts/" + the name with every byte outside the
// unreserved set percent-encoded.
std::string PartUrl(const std::string& host, const std::string& name);

// part limited to a valid index of count parts; 0 when there are none.
int32_t ClampPartIndex(int64_t part, size_t count);

// The JSON object: "parts" and "current_part" as integers, then "url_<i>"
// and "size_<i>" (the size as decimal text) for every part, and "sha256_<i>"
// for every part whose digest is known. currentPart is
// clamped first. Empty on failure.
std::string BuildCommFile(const std::vector<InstallerPart>& parts, int64_t currentPart,
                          const std::string& host);
