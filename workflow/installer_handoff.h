// The hand-off: the partial files get their final names and the first part,
// the game's setup program, is started. Program thread, after the finish
// report.
#pragma once

#include <string>

// How the hand-off ended.
enum class HandOff {
  Started,       // every part renamed, the setup program started
  RenameFailed,  // a part kept its partial name; nothing was started
  StartFailed,   // every part renamed, but the setup program did not start
};

// Renames every partial file of the plan, removes the desktop shortcut (its
// argument no longer exists), then starts the file part 0 was renamed to
// with no arguments, waiting at most one second. A failed rename logs
// "failed to rename setup" and leaves the shortcut, so the user can come
// back to the parts still on disk.
HandOff LaunchInstaller();

// Renames partialPaths[i] to targetPaths[i], never over an existing file:
// when the name is taken, "name (1).ext" to "name (9).ext" are tried in
// turn. A taken name whose file holds exactly the part's bytes (the same
// installer downloaded again) is kept, and the partial file deleted. False
// at once when all ten names of a part fail (later parts stay as they are;
// earlier ones stay renamed), and false when there is no part. *setupPath,
// when given, receives the name part 0 ended under.
bool RenamePartialFiles(std::string* setupPath = nullptr);

// Candidate attempt (0 to 9) for a part's final name: the target itself, then
// the text before the last "." + " (n)" + the text from that "." on (the
// whole path + " (n)" when it has no ".").
std::string RenameCandidate(const std::string& target, int attempt);

// Starts program with its file name, quoted, as the first word of its
// command line and the argument text after it, in this process's directory
// and environment, then waits up to waitSeconds for it to end (either way is
// fine). 0 when it was started, else the system's error code. Elsewhere than
// Windows the file gets its execute bit first, since a downloaded file
// carries none, and the program runs in a session of its own, so that it
// outlives this process and the terminal this process may lead.
int RunProgram(const std::string& program, const std::string& argument, int waitSeconds);
