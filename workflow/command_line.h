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
// quote, so one inside an argument is dropped.
std::string JoinCommandLine(const std::vector<std::string>& arguments);
