#include "workflow/desktop_entry.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(DesktopEntry, ExecArgumentsReadBackUnchanged) {
  const struct {
    std::string argument;
    std::string quoted;
  } cases[] = {
      {"/opt/tovi/tovi-downloader", "/opt/tovi/tovi-downloader"},
      {"/home/ana/Mis juegos/ToviSetup.exe.q9tovi",
       "\"/home/ana/Mis juegos/ToviSetup.exe.q9tovi\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\back\\slash", "\"C:\\\\back\\\\slash\""},
      {"$HOME/`x`", "\"\\$HOME/\\`x\\`\""},
      {"100%", "100%%"},
      {"50% done", "\"50%% done\""},
      {"/home/josé/Descargas/año/ñ", "/home/josé/Descargas/año/ñ"},
      {"", "\"\""},
      {"it's;a|b&c*d?e#f(g)h<i>j~k", "\"it's;a|b&c*d?e#f(g)h<i>j~k\""},
      {"tab\there", "\"tab\there\""},
      {"line\nbreak", "\"line\nbreak\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteExecArgument(c.argument), c.quoted) << c.argument;
    // Through the whole file, so the string escapes of the value apply on top.
    DesktopEntry entry;
    entry.name = "Continuar descargando Tovi";
    entry.exec = BuildExecLine({"/usr/bin/prog", c.argument});
    DesktopEntry back;
    ASSERT_TRUE(ParseDesktopEntry(FormatDesktopEntry(entry), &back)) << c.argument;
    Args args;
    ASSERT_TRUE(SplitExecLine(back.exec, back, "/d/x.desktop", &args)) << back.exec;
    EXPECT_EQ(args, (Args{"/usr/bin/prog", c.argument})) << back.exec;
  }
}

// Each reserved character alone puts the argument in quotes; the four that
// keep a meaning inside quotes get a backslash too.
TEST(DesktopEntry, EveryReservedCharacterIsQuoted) {
  for (const char c : std::string(" \t\n\"'\\><~|&;$*?#()`")) {
    const std::string argument = std::string("a") + c + "b";
    const bool escaped = c == '"' || c == '`' || c == '$' || c == '\\';
    EXPECT_EQ(QuoteExecArgument(argument), "\"a" + std::string(escaped ? "\\" : "") + c + "b\"")
        << static_cast<int>(c);
    Args args;
    ASSERT_TRUE(SplitExecLine(BuildExecLine({"prog", argument}), {}, "", &args));
    EXPECT_EQ(args, (Args{"prog", argument})) << static_cast<int>(c);
  }
}

// Exec lines as other programs write them: a backslash the value's own
// escapes do not know is left for the Exec quoting rules.
TEST(DesktopEntry, HandWrittenExecLinesKeepTheirBackslashes) {
  const struct {
    const char* line;
    Args expected;
  } cases[] = {
      {"Exec=prog \"say \\\"hi\\\"\"", {"prog", "say \"hi\""}},
      {"Exec=prog \"C:\\dir\"", {"prog", "C:\\dir"}},
      {"Exec=prog \"C:\\\\dir\"", {"prog", "C:\\dir"}},
      {"Exec=prog \"\\$HOME\"", {"prog", "$HOME"}},
      {"Exec=prog a\\sb", {"prog", "a", "b"}},
  };
  for (const auto& c : cases) {
    DesktopEntry entry;
    ASSERT_TRUE(ParseDesktopEntry(
        std::string("[Desktop Entry]\nType=Application\n") + c.line + "\n", &entry))
        << c.line;
    Args args;
    ASSERT_TRUE(SplitExecLine(entry.exec, entry, "/d/x.desktop", &args)) << entry.exec;
    EXPECT_EQ(args, c.expected) << c.line;
  }
}

TEST(DesktopEntry, LaunchersOfOthersAreReadAsAFileManagerWould) {
  DesktopEntry entry;
  entry.name = "Tovi";
  entry.icon = "tovi";
  const struct {
    const char* exec;
    bool ok;
    Args expected;
  } cases[] = {
      {"prog %U", true, {"prog"}},
      {"prog --file=%f -x", true, {"prog", "--file=", "-x"}},
      {"prog %i %c %k", true, {"prog", "--icon", "tovi", "Tovi", "/d/x.desktop"}},
      {"  prog   a\tb ", true, {"prog", "a", "b"}},
      {"\"/opt/my prog\" \"%%\"", true, {"/opt/my prog", "%"}},
      {"prog \"open", false, {}},
      {"prog %z", false, {}},
      {"prog \"%f\"", false, {}},
      {"prog \"a\"b", false, {}},
      {"%f", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    Args args;
    EXPECT_EQ(SplitExecLine(c.exec, entry, "/d/x.desktop", &args), c.ok) << c.exec;
    if (c.ok) {
      EXPECT_EQ(args, c.expected) << c.exec;
    }
  }
}

TEST(DesktopEntry, OnlyApplicationsWithACommandAreRead) {
  DesktopEntry entry;
  EXPECT_TRUE(ParseDesktopEntry(
      "# made by hand\n[Desktop Entry]\r\nName[es]=Otro\nName = Tovi\nType=Application\n"
      "Exec=prog\\sa\nPath=/home/ana/Mis\\sjuegos\n[Desktop Action x]\nExec=other\n",
      &entry));
  EXPECT_EQ(entry.name, "Tovi");
  EXPECT_EQ(entry.exec, "prog a");
  EXPECT_EQ(entry.path, "/home/ana/Mis juegos");
  EXPECT_FALSE(ParseDesktopEntry("[Desktop Entry]\nType=Link\nURL=http://x\nExec=prog\n", &entry));
  EXPECT_FALSE(ParseDesktopEntry("[Desktop Entry]\nType=Application\n", &entry));
  EXPECT_FALSE(ParseDesktopEntry("[Other]\nType=Application\nExec=prog\n", &entry));
  EXPECT_FALSE(ParseDesktopEntry("", &entry));
}

}  // namespace
