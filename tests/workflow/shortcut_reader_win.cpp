#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include "platform/narrow_text.h"
#include "workflow/command_line.h"
#include "workflow/shortcut_reader.h"

bool ReadShortcut(const std::string& path, ShortcutCommand* command) {
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  ok = ok && SUCCEEDED(file->Load(WidenText(path).c_str(), STGM_READ));
  wchar_t target[MAX_PATH * 2] = {};
  wchar_t arguments[MAX_PATH * 2] = {};
  wchar_t directory[MAX_PATH * 2] = {};
  wchar_t description[MAX_PATH * 2] = {};
  ok = ok && SUCCEEDED(link->GetPath(target, MAX_PATH * 2, nullptr, SLGP_RAWPATH));
  ok = ok && SUCCEEDED(link->GetArguments(arguments, MAX_PATH * 2));
  ok = ok && SUCCEEDED(link->GetWorkingDirectory(directory, MAX_PATH * 2));
  ok = ok && SUCCEEDED(link->GetDescription(description, MAX_PATH * 2));
  if (file != nullptr) file->Release();
  link->Release();
  if (!ok) return false;
  // The shell starts the target with the arguments as they stand.
  command->arguments =
      SplitCommandLine(NarrowText(std::wstring(L"\"") + target + L"\" " + arguments));
  command->workingDirectory = NarrowText(directory);
  command->description = NarrowText(description);
  return true;
}
