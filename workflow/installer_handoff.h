// The hand-off: the partial files get their final names and the first part,
// the game's setup program, is started. Program thread, after the finish
// report.
#pragma once

#include <string>

// Renames every partial file of the plan, then starts targetPaths[0] with no
// arguments, waiting at most one second. False (and "failed to rename setup"
// logged) when a rename failed; false when the program could not be started.
bool LaunchInstaller();

// Renames partialPaths[i] to targetPaths[i], never over an existing file:
// when the name is taken, "name (1).ext" to "name (9).ext" are tried in
// turn. False at once when all ten names of a part fail (later parts stay as
// they are; earlier ones stay renamed), and false when there is no part.
bool RenamePartialFiles();

// Candidate attempt (0 to 9) for a part's final name: the target itself, then
// the text before the last "." + " (n)" + the text from that "." on (the
// whole path + " (n)" when it has no ".").
std::string RenameCandidate(const std::string& target, int attempt);

// Starts program with the command line "<file name of program>[ <argument>]"
// in this process's directory and environment, then waits up to waitSeconds
// for it to end (either way is fine). 0 when it was started, else the
// system's error code. Elsewhere than Windows the file gets its execute bit
// first, since a downloaded file carries none.
int RunProgram(const std::string& program, const std::string& argument, int waitSeconds);
