// Room for the installer: checked once the communication file says how much
// is left to fetch, and named when a write into a part file failed.
#pragma once

#include <cstdint>
#include <string>

struct DownloadPlan;

// Bytes the plan still has to fetch from currentPart on: each part's size
// less what its file already holds and will be kept (the resume offset of
// the part to continue with; for a later part with a digest, the bytes on
// disk, which its digest will vouch for).
int64_t BytesStillToFetch(const DownloadPlan& plan);

// Free bytes the user may write on the volume that holds path (an existing
// directory); -1 when the system cannot say.
int64_t FreeBytesOn(const std::string& path);

// "error: se requiere un mínimo de N MB libres en disco (hay M MB libres)",
// N rounded up and M down, in decimal megabytes as the prerequisite check.
std::wstring SpaceShortText(int64_t neededBytes, int64_t freeBytes);

// The same after a write into a part file failed: "error: no se pudo
// escribir en el disco, se requiere un mínimo de ...".
std::wstring DiskWriteFailedText(int64_t neededBytes, int64_t freeBytes);

// True when the download folder's volume has room for what is left (or its
// free space cannot be measured). Otherwise logs both figures and returns
// false; the caller shows the failure. Program thread.
using FreeBytesFn = int64_t (*)(const std::string& path);
[[nodiscard]] bool HasRoomForDownload(FreeBytesFn freeBytes = FreeBytesOn);
