#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include "platform/instance_mutex.h"
#include "platform/narrow_text.h"
#include "workflow/command_line.h"
#include "workflow/desktop_shortcut.h"

const char* const kShortcutExtension = ".lnk";

int CreateShellLink(const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& description, const std::wstring& workingDirectory,
                    const std::string& shortcutPath, const std::wstring& iconPath, int iconIndex) {
  // Single-threaded apartment on the calling thread; never uninitialised.
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) return static_cast<int>(result);
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  link->SetDescription(description.c_str());
  link->SetWorkingDirectory(workingDirectory.c_str());
  link->SetIconLocation(iconPath.c_str(), iconIndex);
  IPersistFile* file = nullptr;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(result)) {
    link->Release();
    return static_cast<int>(result);
  }
  // A path that does not fit is refused, never saved from an unterminated
  // buffer. Widened from UTF-8, so every character of the desktop's name is
  // kept.
  const std::wstring widePath = WidenText(shortcutPath);
  if (widePath.empty() || widePath.size() >= MAX_PATH) {
    file->Release();
    link->Release();
    return static_cast<int>(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
  }
  result = file->Save(widePath.c_str(), TRUE);
  file->Release();
  link->Release();
  return static_cast<int>(result);
}

int OpenShortcut(const std::string& shortcutPath) {
  ReleaseInstanceMutex();
  // Quoted: explorer splits its parameter at blanks and commas (a desktop
  // under "OneDrive - Empresa, S.A.").
  const std::wstring path = WidenText(QuoteWindowsArgument(shortcutPath));
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", L"explorer", path.c_str(), nullptr, SW_SHOW);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}
