// Validators of a part answer, so that a client resuming a download can make
// sure the bytes it adds belong to the part it has (If-Range): an entity tag
// built from the file's identity and times, and the modification time as an
// HTTP date.
#pragma once

#include <cstdint>
#include <string>

#include "server/installer_files.h"

// A strong entity tag, quoted: the inode, size, modification and change time.
// Any write to the file, and any copy or rename of another file over it,
// changes it.
std::string PartEntityTag(const PartFile& file);

// "Sun, 06 Nov 1994 08:49:37 GMT" for seconds since the epoch.
std::string HttpDate(int64_t seconds);

// Whether a Range header may be honoured given the request's If-Range value
// (RFC 9110 13.1.5): no If-Range; an entity tag equal to etag (strong
// comparison, so a weak tag never matches); or an HTTP date equal to
// lastModified. Otherwise the whole part is sent.
bool IfRangeAllowsRange(const std::string& ifRange, const std::string& etag,
                        const std::string& lastModified);
