#include <cstdio>

#include "platform/log_file.h"
#include "platform/narrow_text.h"

std::FILE* OpenLogFile(const std::string& path) {
  const std::wstring widePath = WidenText(path);
  // freopen closes the old stream even when the new file cannot be opened;
  // lines are then lost, as intended.
  std::FILE* stream = _wfreopen(widePath.c_str(), L"a", stderr);
  // A program the shell starts has no standard error to reopen (the runtime
  // refuses a stream without a handle): the log gets a stream of its own.
  if (stream == nullptr) stream = _wfopen(widePath.c_str(), L"a");
  return stream;
}
