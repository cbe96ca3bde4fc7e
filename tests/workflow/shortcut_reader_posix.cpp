#include "support/sandbox.h"
#include "workflow/desktop_entry.h"
#include "workflow/shortcut_reader.h"

bool ReadShortcut(const std::string& path, ShortcutCommand* command) {
  DesktopEntry entry;
  if (!ParseDesktopEntry(ReadFileBytes(path), &entry)) return false;
  command->workingDirectory = entry.path;
  command->description = entry.comment;
  return SplitExecLine(entry.exec, entry, path, &command->arguments);
}
