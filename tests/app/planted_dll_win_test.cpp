// A DLL planted beside the program under the name of a system DLL it uses
// (a browser's download folder is the usual place) must never be loaded: the
// program takes those DLLs from the system folder only.
//
// Wine prefers its own built-in DLLs to any file of the same name, which would
// let this test pass whatever the program does; under Wine the program's copy
// is therefore told to prefer native files for these names, the way Windows
// searches. Wine ignores the image's dependent-load flags, so this is also how
// a Windows older than 10 version 1607 treats the program: only the delayed
// loading from the system folder keeps the planted files out.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ticks.h"
#include "support/child_process.h"
#include "support/other_copy.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

// The DLLs the program has used by the time it asks for INICIAR: the window's
// controls and theme, and the network adapters for the machine identifier.
const wchar_t* const kPlantedNames[] = {L"comctl32", L"uxtheme", L"iphlpapi"};

// The copy's own name, so that Wine's settings below reach no other program.
constexpr const char* kCopyName = "ToviDownloader-planted.exe";

std::wstring AppKey() {
  const std::string name = kCopyName;
  return L"Software\\Wine\\AppDefaults\\" + std::wstring(name.begin(), name.end());
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Wine's load order for one program, kept in this test's Wine prefix for as
// long as the object lives. Children do not take WINEDLLOVERRIDES from a
// Windows environment block, only from the registry.
class NativeFirstUnderWine {
 public:
  NativeFirstUnderWine() {
    if (!UnderWine()) return;
    HKEY overrides = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, (AppKey() + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &overrides, nullptr) != ERROR_SUCCESS) {
      return;
    }
    const std::wstring order = L"native,builtin";
    set_ = true;
    for (const wchar_t* name : kPlantedNames) {
      set_ = set_ && RegSetValueExW(
                         overrides, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order.c_str()),
                         static_cast<DWORD>((order.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    RegCloseKey(overrides);
  }
  ~NativeFirstUnderWine() {
    if (UnderWine()) RegDeleteTreeW(HKEY_CURRENT_USER, AppKey().c_str());
  }
  NativeFirstUnderWine(const NativeFirstUnderWine&) = delete;
  NativeFirstUnderWine& operator=(const NativeFirstUnderWine&) = delete;

  // False under Wine when the settings could not be written.
  bool Ready() const { return set_ || !UnderWine(); }

 private:
  bool set_ = false;
};

std::vector<std::string> TracesIn(const Sandbox& sandbox) {
  std::vector<std::string> traces;
  for (const auto& entry : fs::directory_iterator(sandbox.Dir())) {
    if (entry.path().extension() == ".loaded") traces.push_back(entry.path().filename().string());
  }
  return traces;
}

TEST(PlantedDllTest, SystemDllsBesideTheProgramAreNotLoaded) {
  if (AnotherCopyRuns()) GTEST_SKIP() << kOtherCopy;
  Sandbox sandbox;
  const std::string program = sandbox.Path(kCopyName);
  fs::copy_file(TOVI_PROGRAM_PATH, program);
  for (const wchar_t* name : kPlantedNames) {
    fs::copy_file(TOVI_PLANTED_DLL_PATH, fs::path(sandbox.Dir()) / (std::wstring(name) + L".dll"));
  }
  NativeFirstUnderWine nativeFirst;
  ASSERT_TRUE(nativeFirst.Ready()) << "could not set Wine's load order for the copy";

  ChildProcess child;
  ASSERT_TRUE(child.Start(program, {}, {{"TMP", sandbox.Dir()}, {"TEMP", sandbox.Dir()}}));
  bool asked = false;
  const uint32_t start = TickCount();
  while (!asked && TickCount() - start < 60000) {
    asked = sandbox.Read("log.txt").find("UI = presiona INICIAR!") != std::string::npos;
    int exitCode = 0;
    if (!asked && child.Wait(0, &exitCode)) break;
    if (!asked) SleepMs(100);
  }
  child.Kill();
  EXPECT_TRUE(asked) << "the program never asked for INICIAR; log:\n" << sandbox.Read("log.txt");
  EXPECT_EQ(TracesIn(sandbox), std::vector<std::string>{})
      << "a DLL planted beside the program was loaded";
}

}  // namespace
