// The program's delay-load hooks. The DLLs Windows does not keep on its list
// of known DLLs (common controls, IP helper, themes, the crypto DLLs) are
// linked for delayed loading (app/CMakeLists.txt), so none of them is loaded
// before WinMain: a Windows too old to read the image's dependent-load flags
// would take each of them from the program's own folder first. At the first
// call, the hooks below load the DLL by its full path in the system folder,
// whatever the search order of the running Windows is.
#include <windows.h>
// After windows.h, whose types it uses.
#include <delayimp.h>

#include <string>

#include "platform/exit.h"
#include "platform/log.h"

namespace {

// "<system folder>\<name>", empty when the system folder cannot be had.
std::wstring SystemFolderPath(const char* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(folder, length);
  path += L'\\';
  // DLL names in import tables are ASCII.
  for (const char* c = name; *c != '\0'; ++c) path += static_cast<wchar_t>(*c);
  return path;
}

// Without this the helper raises an exception nobody catches, and the
// elevated process would vanish without a word.
[[noreturn]] FARPROC WINAPI OnDelayLoadFailure(unsigned notification, PDelayLoadInfo info) {
  std::string what = info->szDll != nullptr ? info->szDll : "?";
  if (notification == dliFailGetProc) {
    what += info->dlp.fImportByName ? std::string(" ") + info->dlp.szProcName
                                    : " ordinal " + std::to_string(info->dlp.dwOrdinal);
  }
  LogLine("could not load " + what + " from the system folder (error " +
          std::to_string(info->dwLastError) + ")");
  MessageBoxW(nullptr, L"No se pudo cargar una biblioteca de Windows. El programa se cerrará.",
              L"Tovi Downloader", MB_OK | MB_ICONERROR);
  ExitImmediately();
}

FARPROC WINAPI BeforeDelayLoad(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary) return nullptr;
  const std::wstring path = SystemFolderPath(info->szDll);
  // With a full path and the altered search order, what the DLL imports in
  // turn is looked for in the system folder too, not beside the program.
  HMODULE module =
      path.empty() ? nullptr : LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  // Returning null would let the helper load the bare name with the search
  // order this file exists to avoid; end here instead.
  if (module == nullptr) {
    info->dwLastError = GetLastError();
    OnDelayLoadFailure(dliFailLoadLib, info);
  }
  return reinterpret_cast<FARPROC>(module);
}

}  // namespace

// The names the delay-load helper of the MinGW runtime looks for.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = BeforeDelayLoad;
PfnDliHook __pfnDliFailureHook2 = OnDelayLoadFailure;
}
