// What a Range header asks of a file of known size.
#pragma once

#include <cstdint>
#include <string>

enum class RangeKind {
  kWhole,          // no usable Range header: 200 with the whole file
  kPart,           // 206 with bytes first .. first+length-1
  kUnsatisfiable,  // 416
};

struct ByteRange {
  RangeKind kind = RangeKind::kWhole;
  int64_t first = 0;
  int64_t length = 0;
};

// Interprets one "bytes=" range of the header for a file of size bytes, with
// 64-bit offsets. A last position at or past the end is cut to the last byte
// (clients ask for "offset-size" when they mean the rest of the file). A
// header that is absent, malformed, in another unit or lists several ranges
// is ignored, which the protocol allows: the whole file is sent.
ByteRange ResolveRange(const std::string& header, int64_t size);
