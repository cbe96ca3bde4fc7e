// Pausing the running transfer from another thread (the UI controller).
//
// The caller never touches the libcurl handle: it leaves a request that the
// transfer thread picks up in its own progress callback, where it pauses the
// handle it is using. A paused transfer stays paused; nothing resumes it, and
// the process normally ends in that state.
#pragma once

// Asks the transfer that is running now to pause. False when no transfer is
// running; the request then has no effect on any later transfer.
bool RequestTransferPause();

// Makes the running transfer (paused or not) fail at its next progress
// callback, so a test can end a paused transfer cleanly.
void CancelTransferForTesting();
