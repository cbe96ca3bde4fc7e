// Stands in for the game's setup program: leaves "setup-ran.txt" beside
// itself, holding its own path, so a test sees it was started.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  char marker[MAX_PATH + 32] = {};
  std::snprintf(marker, sizeof marker, "%s", self);
  char* slash = std::strrchr(marker, '\\');
  if (slash == nullptr) return 1;
  std::snprintf(slash + 1, sizeof marker - static_cast<size_t>(slash + 1 - marker),
                "setup-ran.txt");
  FILE* file = std::fopen(marker, "w");
  if (file == nullptr) return 1;
  std::fprintf(file, "%s\n", self);
  std::fclose(file);
  return 0;
}
