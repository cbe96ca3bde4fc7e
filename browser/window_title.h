// The main window's title.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char kWindowTitle[] = "Tovi Downloader 2.1";

// The title a count message asks for: the signed 32-bit sum of its two
// numbers in decimal, or the usual title when the sum is 0.
[[nodiscard]] std::wstring TitleForCount(uint32_t first, uint32_t second);
