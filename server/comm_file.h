// The answer to a start or resume request: the communication file that
// lists the installer's parts and the part to continue with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "server/installer_files.h"

// part limited to a valid index of count parts; 0 when there are none.
int32_t ClampPartIndex(int64_t part, size_t count);

// The JSON object: "parts" and "current_part" as integers, then "url_<i>"
// and "size_<i>" (the size as decimal text) for every part, and "sha256_<i>"
// for every part whose digest is known. currentPart is
// clamped first. A part's URL is urlBase followed by its name (part names
// are portable, so they need no escaping). Empty on failure.
std::string BuildCommFile(const std::vector<InstallerPart>& parts, int64_t currentPart,
                          const std::string& urlBase);
