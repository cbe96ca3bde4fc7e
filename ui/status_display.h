// The status display: the status line, the detail line and the progress bar
// as the display commands UI_STATUS, UI_REFRESH and UI_PROGRESS show them.
// The texts are composed by pure functions; the handlers run on the UI
// thread and write through the MainView.
#pragma once

#include <cstdint>
#include <string>

class MainView;

// " Estimado: " and the time left: hours (" hora", plural "s" above 1) only
// when not 0, then minutes (" minuto", plural above 1), then, without hours,
// the seconds (" segundos", always plural). Counts print as unsigned.
std::wstring TimeLeftText(int32_t seconds);

// " <MiB> MB", then, when speed is above 1024 bytes per second,
// " [<kB/s> kB/seg]..." and the time left for the bytes still to come.
std::wstring ProgressStatusSuffix(int64_t planBytes, double speed, int64_t totalBytes,
                                  int64_t reportedBytes);

// "<value><unit words> <percent> %".
std::wstring ProgressDetailText(int64_t value, const std::wstring& unitWords, int32_t percent);

// Which milestone page (2, 3 or 4) is due at percent, given the pages shown
// so far (shown[0] for page 2); 0 when none. At most one; a band that was
// skipped is never due.
int DueMilestonePage(int32_t percent, const bool shown[3]);

// The address of the installer host's page n ("/tovi/parte<n>").
std::string InstallerPageAddress(int n);

// The display commands. UI thread only; each returns true.
bool DisplayStatus(MainView& view, int32_t parameter);
bool DisplayRefresh(MainView& view);
bool DisplayProgress(MainView& view, int32_t parameter);

// Forgets the milestone pages shown (tests; a run never resets them).
void ResetStatusDisplayForTesting();
