// The command line as one text and back: the program's path first, then the
// arguments.
#pragma once

#include <string>
#include <vector>

// Arguments are separated by runs of blank, tab, carriage return or line
// feed. A double quote switches quoting on or off and is dropped; quoted
// separators are ordinary characters. There is no escape character: a
// backslash is kept, also before a quote. A quote where an argument would
// begin begins one, so "" there is an empty argument; inside an argument a
// quote only switches quoting, so a"b c"d is the one argument ab cd.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The inverse for the Linux entry point: every argument in double quotes,
// separated by one blank. The rules above have no way to carry a double
// quote, so one inside an argument is dropped; the entry point therefore
// keeps its arguments as a list too (ProcessArguments).
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// One argument quoted for a Windows command line, as CommandLineToArgvW and
// the C runtime read it back: in double quotes, a double quote inside as \",
// backslashes doubled where a double quote follows them.
std::string QuoteWindowsArgument(const std::string& argument);

// This process's arguments, the program first: the list the entry point
// kept, else SplitCommandLine of the command-line text.
std::vector<std::string> ProcessArguments();

// The command a shell link's target and argument fields (command-line text
// as this program writes them) stand for, the program first, for a Linux
// launcher. A field that is one text in double quotes is taken whole,
// double quotes inside included, as the program writes a path there and a
// Linux file name may hold one; any other field is read by SplitCommandLine.
std::vector<std::string> ShellLinkCommand(const std::string& target, const std::string& arguments);
