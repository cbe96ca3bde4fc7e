#include "workflow/command_line.h"

#include <gtest/gtest.h>

#include "platform/process_command_line.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsAsTheProgramReadsIt) {
  const struct {
    const char* line;
    Args expected;
  } cases[] = {
      {"prog", {"prog"}},
      {"  prog \t a\r\nb  ", {"prog", "a", "b"}},
      {"prog \"C:\\Juegos Tovi\\ToviSetup.exe.q9tovi\"",
       {"prog", "C:\\Juegos Tovi\\ToviSetup.exe.q9tovi"}},
      {"prog \"\"", {"prog", ""}},
      {"prog \"\" x", {"prog", "", "x"}},
      {"prog a\"\"", {"prog", "a"}},
      // No escape character: the backslash stays and the quote still closes.
      {"prog \"C:\\dir\\\" next", {"prog", "C:\\dir\\", "next"}},
      {"prog a\\\"b c\"", {"prog", "a\\b c"}},
      // Quoted stretches join the text around them.
      {"prog a\"b c\"d", {"prog", "ab cd"}},
      {"prog \"a\"\"b\"", {"prog", "ab"}},
      {"prog \"open to the end", {"prog", "open to the end"}},
      {"", {}},
      {"   ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(CommandLine, JoinedArgumentsSplitBackUnchanged) {
  const Args args = {"/opt/tovi/tovi-downloader",
                     "/home/ana/Descargas/Año 2026/ToviSetup.exe.q9tovi", "", "tab\there",
                     "back\\slash\\"};
  EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
  // A double quote cannot be carried; it is dropped rather than splitting.
  EXPECT_EQ(SplitCommandLine(JoinCommandLine({"p", "say \"hi\" now"})), (Args{"p", "say hi now"}));
}

TEST(CommandLine, ShellLinkFieldsAsALauncherCommand) {
  const struct {
    const char* target;
    const char* arguments;
    Args command;
  } cases[] = {
      {"\"/opt/tovi/tovi-downloader\"",
       "\"/home/ana/Año 2026/ToviSetup.exe.q9tovi\"",
       {"/opt/tovi/tovi-downloader", "/home/ana/Año 2026/ToviSetup.exe.q9tovi"}},
      // A quoted path keeps the double quotes inside it.
      {"\"/opt/tovi\"",
       "\"/home/ana/Tovi \"beta\".q9tovi\"",
       {"/opt/tovi", "/home/ana/Tovi \"beta\".q9tovi"}},
      {"\"/opt/tovi\"", "\"\"\"", {"/opt/tovi", "\""}},
      // Anything else is command-line text.
      {"/opt/tovi", "a \"b c\"", {"/opt/tovi", "a", "b c"}},
      {"/opt/tovi", "", {"/opt/tovi"}},
      {"\"/opt/tovi\"", "\"\"", {"/opt/tovi", ""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShellLinkCommand(c.target, c.arguments), c.command) << c.arguments;
  }
}

// The Windows form (read back by the system's parser in the Windows tests).
TEST(CommandLine, QuotedForWindows) {
  const struct {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"Tovi setup (1).exe", "\"Tovi setup (1).exe\""},
      {"C:\\a b\\", "\"C:\\a b\\\\\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
      {"a\\b", "\"a\\b\""},
      {"", "\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteWindowsArgument(c.argument), c.quoted) << c.argument;
}

// The list the Linux entry point keeps carries what the text cannot; a test
// that sets only a text is read by the splitting rules.
TEST(CommandLine, ProcessArgumentsAsGiven) {
  const Args given = {"/opt/tovi/tovi-downloader", "/home/ana/Tovi \"beta\".q9tovi"};
  SetProcessCommandLine(JoinCommandLine(given));
  SetProcessArguments(given);
  EXPECT_EQ(ProcessArguments(), given);
  SetProcessCommandLine("prog \"a b\"");
  EXPECT_EQ(ProcessArguments(), (Args{"prog", "a b"}));
  SetProcessCommandLine("");
}

}  // namespace
