// The status channel: how threads other than the UI thread get something
// shown. They store it in TheUiState and post WM_UI_COMMAND to the main
// window; the UI controller runs the command on the UI thread.
#pragma once

#include <cstdint>
#include <string>

// Logs "UI = <text>", stores the text and the command as the last one, posts
// the command and then waits waitMs while pumping messages. Any thread.
void ShowStatus(uint32_t waitMs, const std::wstring& text, uint32_t command, int32_t parameter);

// The transfer engine's progress listener: percent of the whole installer
// and bytes of the whole installer so far. Sends an update report at each
// new multiple of ten below 100, stores the unit words and posts
// UI_PROGRESS with the value in that unit, then waits 25 ms. Transfer thread.
void ReportProgress(int percent, int64_t bytes);

// The failure display: the general failure line with detail under it.
void ShowFailureDisplay(const std::wstring& detail);

// The failure display; waits for StartSignal and ends the process.
[[noreturn]] void ShowFatalError(const std::wstring& detail);
