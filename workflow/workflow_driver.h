// The workflow driver: one run of the downloader, from the first status
// line to the hand-over to the setup program. Program thread; it never
// touches a window and waits for the user only on StartSignal.
#pragma once

#include <string>

// Chooses from the command line (ProcessCommandLine) and the desktop
// shortcut between a fresh start, a resume and reopening the shortcut, and
// runs that path to its end. Returns when the run is over; the caller then
// ends the process.
void RunWorkflow();

// The status text of a failed resumed download: ends with the support site.
std::wstring ResumeFailureText();
