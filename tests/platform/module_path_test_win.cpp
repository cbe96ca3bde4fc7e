// The program's own path when it lies in a folder the ANSI code page cannot
// name (a copy in the user's profile, "José Łukasz Юрий" on a Western
// system): the test starts a copy of its own executable there, which writes
// down what ModuleFileName gives it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "platform/file_open.h"
#include "platform/module_path.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace {

const char kReportVariable[] = "TOVI_MODULE_PATH_REPORT";

TEST(ModulePath, ACopyInAFolderOutsideTheCodePageKnowsItsPath) {
  if (const char* report = std::getenv(kReportVariable)) {
    // The copy: notes its path and ends.
    std::FILE* out = OpenFileForWriting(report, FileOpen::Truncate);
    ASSERT_NE(out, nullptr);
    const std::string path = ModuleFileName();
    std::fwrite(path.data(), 1, path.size(), out);
    std::fclose(out);
    return;
  }
  Sandbox sandbox;
  const std::string folder =
      sandbox.Path("Jos\xC3\xA9 \xC5\x81ukasz \xD0\xAE\xD1\x80\xD0\xB8\xD0\xB9");
  fs::create_directories(Utf8Path(folder));
  const std::string copy = folder + "\\platform_tests.exe";
  wchar_t self[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  fs::copy_file(fs::path(self), Utf8Path(copy));
  const std::string report = sandbox.Path("module_path.txt");
  ScopedEnv env({{kReportVariable, report}});

  std::wstring commandLine = L"\"" + Utf8Path(copy).wstring() + L"\" --gtest_filter=ModulePath.*";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  const DWORD waited = WaitForSingleObject(info.hProcess, 60000);
  if (waited != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the copy did not end";
  EXPECT_EQ(ReadFileBytes(report), copy);
}

}  // namespace
