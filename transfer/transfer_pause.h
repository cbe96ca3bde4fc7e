// Pausing the download from another thread (the UI controller).
//
// The caller never touches the libcurl handle: it leaves a request that the
// transfer thread picks up in its own progress callback, where it pauses the
// handle it is using. A pause holds for the rest of the run: a paused
// transfer stays paused, and no later transfer starts (the parts loop waits
// before each part). The process normally ends in that state; the next run
// continues from the files on disk.
#pragma once

// Holds the download paused from now on and asks the transfer that is
// running now, if any, to pause. True when a transfer was running; false
// when the request found none (between two parts), which still holds the
// next one back.
bool RequestTransferPause();

// True once a pause was requested in this run.
bool TransferPauseHeld();

// Called before each transfer of the parts loop, on the program thread:
// returns true at once when no pause is held; otherwise waits there,
// pumping messages like a paused transfer, until the process ends. Returns
// false only when a test cancels the wait.
[[nodiscard]] bool WaitWhileTransferPaused();

// Makes the running transfer (paused or not), or the wait before the next
// one, fail, so a test can end a paused download cleanly.
void CancelTransferForTesting();

// Lets a test start transfers again after a pause.
void ReleaseTransferPauseForTesting();
