#include "workflow/desktop_shortcut.h"

#include "platform/desktop_path.h"
#include "platform/module_path.h"
#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "stats/download_records.h"

std::string GetShortcutPath() {
  return EnsureTrailingSeparator(GetDesktopPath()) + "Continuar descargando" + " " + "Tovi" +
         kShortcutExtension;
}

int CreateDesktopShortcut() {
  if (TheDownloadPlan.partialPaths.empty()) return -1;
  const std::wstring program = ModuleFileNameWide();
  const std::wstring target = L"\"" + program + L"\"";
  const std::wstring workingDirectory = WidenText(DirectoryOf(ModuleFileName()));
  const std::wstring arguments = L"\"" + WidenText(TheDownloadPlan.partialPaths[0]) + L"\"";
  return CreateShellLink(target, arguments, L"Continuar descargando", workingDirectory,
                         GetShortcutPath(), program, 0);
}
