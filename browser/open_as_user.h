// Opening an address in the user's browser from the elevated program.
#pragma once

#include <string>

// Asks the user's own shell (the desktop window's, which runs with the
// user's rights) to open address, so the browser does not inherit the
// program's administrator rights. Where there is no such shell to ask, the
// address is opened directly. Main thread, with COM initialised.
void OpenAsUser(const std::wstring& address);
