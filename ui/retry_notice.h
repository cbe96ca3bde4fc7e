// The detail line while the program waits to try a transfer again.
#pragma once

#include <cstdint>
#include <string>

// "Reintentando la conexión en N segundos…" (1: "segundo").
std::wstring RetryNoticeText(uint32_t secondsLeft);

// The workflow's RetryNotice: stores the text as the detail line and posts
// UI_REFRESH; 0 empties the line again. Program thread.
void ShowRetryNotice(uint32_t secondsLeft);
