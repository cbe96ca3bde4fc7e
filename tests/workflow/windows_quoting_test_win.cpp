// Quoting for Windows command lines, read back by the system's own parser,
// and a shortcut path too long for the shell link's buffer.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/narrow_text.h"
#include "support/sandbox.h"
#include "workflow/command_line.h"
#include "workflow/desktop_shortcut.h"

namespace {

std::vector<std::wstring> ReadBack(const std::wstring& line) {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> result;
  for (int i = 0; i < count; ++i) result.emplace_back(words[i]);
  LocalFree(words);
  return result;
}

TEST(WindowsQuoting, ReadBackByCommandLineToArgvW) {
  const char* arguments[] = {
      "ToviSetup.exe",
      "Tovi setup (1).exe",
      "C:\\Users\\Ana Maria\\OneDrive - Empresa, S.A.\\Escritorio\\Continuar descargando Tovi.lnk",
      "C:\\dir with blank\\",
      "say \"hi\"",
      "back\\\\\"slash",
      "",
  };
  for (const char* argument : arguments) {
    const std::wstring line = L"prog.exe " + WidenText(QuoteWindowsArgument(argument));
    const auto words = ReadBack(line);
    ASSERT_EQ(words.size(), 2u) << argument;
    EXPECT_EQ(words[1], WidenText(argument)) << argument;
  }
}

TEST(WindowsQuoting, ShortcutPathTooLongForTheBufferIsRefused) {
  Sandbox sandbox;
  const std::string path = sandbox.Path(std::string(300, 'x') + ".lnk");
  EXPECT_LT(CreateShellLink(L"\"C:\\prog.exe\"", L"\"C:\\a.q9tovi\"", L"Continuar descargando",
                            L"C:\\", path, L"C:\\prog.exe", 0),
            0);
  EXPECT_FALSE(FileExists(path));
}

}  // namespace
