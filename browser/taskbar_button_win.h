// The main window's taskbar button (Windows): the download's progress shown
// through the shell's taskbar interface. The button exists once the shell
// says so with its registered "TaskbarButtonCreated" message (again after
// the shell restarts); until then, and where the shell has no such
// interface, the progress is only remembered. UI thread only.
#pragma once

#include <windows.h>

#include "ui/main_view.h"

// True for the shell's registered message.
bool IsTaskbarButtonCreated(UINT message);
// Lets that message reach the window of an elevated process (on WM_CREATE).
void AcceptTaskbarButtonCreated(HWND window);
// The button exists: takes the interface and shows the last progress on it.
void ConnectTaskbarButton(HWND window);
void ShowTaskbarButtonProgress(TaskbarState state, int percent);
// The window goes: the interface is released.
void ReleaseTaskbarButton();
// Whether the interface was had (tests).
bool TaskbarButtonConnected();
