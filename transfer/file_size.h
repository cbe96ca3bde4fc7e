#pragma once

#include <cstdint>
#include <string>

// Size of the file in bytes, exact to 64 bits, or -1 when it cannot be had.
// A failing query is asked again after 100 ms, up to 10 more times (about one
// second in all). Writes its own log lines. Blocks the calling thread without
// pumping messages.
int64_t QueryFileSize(const char* path);
inline int64_t QueryFileSize(const std::string& path) { return QueryFileSize(path.c_str()); }
