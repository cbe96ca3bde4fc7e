#pragma once

// Prepares the thread for the embedded browser control (OleInitialize).
// True only on plain success.
[[nodiscard]] bool InitializeOle();
void UninitializeOle();
