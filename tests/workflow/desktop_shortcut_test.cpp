#include "workflow/desktop_shortcut.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/desktop_path.h"
#include "platform/module_path.h"
#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "stats/download_records.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"
#include "workflow/shortcut_reader.h"

namespace fs = std::filesystem;

namespace {

TEST(DesktopShortcut, StartsTheProgramInItsDirectoryWithTheFirstPartialFile) {
  Sandbox sandbox;
  fs::create_directories(sandbox.Path("home") + "/Desktop");
  ScopedEnv env(
      {{"HOME", sandbox.Path("home")}, {"XDG_CONFIG_HOME", sandbox.Path("home") + "/.config"}});
  const std::string shortcut = GetShortcutPath();
  EXPECT_EQ(shortcut, EnsureTrailingSeparator(GetDesktopPath()) + "Continuar descargando Tovi" +
                          kShortcutExtension);
  // Characters outside ASCII, Latin-1 letters and ones no Western ANSI code
  // page holds (a profile folder "José Łukasz Юрий"), blanks, and one more
  // shortcut before it.
  const std::string folder = sandbox.Path(NarrowText(
      L"A\u00f1o de Tovi \u00f1and\u00fa Jos\u00e9 \u0141ukasz \u042e\u0440\u0438\u0439"));
  for (const char* name : {"first.q9tovi", "ToviSetup.exe.q9tovi"}) {
    ResetDownloadRecordsForTesting();
    TheDownloadPlan.partialPaths = {folder + kPathSeparator + name};
    ASSERT_EQ(CreateDesktopShortcut(), 0);
  }

  ShortcutCommand command;
  ASSERT_TRUE(ReadShortcut(shortcut, &command));
  const std::string program = ModuleFileName();
  EXPECT_EQ(command.arguments,
            (std::vector<std::string>{program, folder + kPathSeparator + "ToviSetup.exe.q9tovi"}));
  EXPECT_EQ(command.workingDirectory, DirectoryOf(program));
  EXPECT_EQ(command.description, "Continuar descargando");
  ResetDownloadRecordsForTesting();
  EXPECT_LT(CreateDesktopShortcut(), 0);  // no part, no shortcut
  std::error_code ignored;
  fs::remove(shortcut, ignored);
}

}  // namespace
