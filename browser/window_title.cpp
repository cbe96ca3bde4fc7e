#include "browser/window_title.h"

std::wstring TitleForCount(uint32_t first, uint32_t second) {
  // Unsigned addition wraps; read back as signed it is the 32-bit sum.
  const auto sum = static_cast<int32_t>(first + second);
  if (sum == 0) return std::wstring(kWindowTitle, kWindowTitle + sizeof kWindowTitle - 1);
  return std::to_wstring(sum);
}
