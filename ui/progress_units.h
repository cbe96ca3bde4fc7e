// How ReportProgress shows a byte count: the unit words of the detail line
// and the value in that unit.
#pragma once

#include <cstdint>
#include <string>

struct ProgressFigure {
  std::wstring unitWords;
  int64_t value;
};

// 0: no words, 0. Below 1024 (negative included): bytes. Below 10 MiB: whole
// KiB, truncated. From 10 MiB on: whole MiB computed in single precision.
ProgressFigure ProgressFigureFor(int64_t bytes);
