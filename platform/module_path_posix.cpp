#include <unistd.h>

#include <vector>

#include "platform/module_path.h"
#include "platform/narrow_text.h"

std::string ModuleFileName() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::wstring ModuleFileNameWide() { return WidenText(ModuleFileName()); }
