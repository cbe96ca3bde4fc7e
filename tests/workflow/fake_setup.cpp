// Stands in for the game's setup program in whole runs: leaves
// "<its own path>.ran" with its arguments and its working directory, one a
// line, and ends; with the argument --linger it stays 10 s more, as a real
// setup program would (and, elsewhere than Windows, notes its process id).
// With TOVI_FAKE_SETUP_WATCH set it also notes whether that file existed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
std::string Utf8(const wchar_t* text) {
  char buffer[4 * MAX_PATH] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
  return buffer;
}
#endif

// As UTF-8: the wide calls, so that a folder outside the ANSI code page
// (a user's profile) still finds the marker's place.
std::string OwnPath() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return Utf8(buffer);
#else
  char buffer[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
#endif
}

std::FILE* CreateMarker(const std::string& path) {
#ifdef _WIN32
  wchar_t wide[MAX_PATH + 8] = {};
  if (MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide, MAX_PATH + 8) == 0) return nullptr;
  return _wfopen(wide, L"wb");
#else
  return std::fopen(path.c_str(), "wb");
#endif
}

std::string CurrentDirectory() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, buffer);
  return Utf8(buffer);
#else
  return std::filesystem::current_path().string();
#endif
}
}  // namespace

int main(int argc, char** argv) {
  const std::string marker = OwnPath() + ".ran";
  std::FILE* file = CreateMarker(marker);
  if (file == nullptr) return 1;
  for (int i = 1; i < argc; ++i) std::fprintf(file, "arg %s\n", argv[i]);
  std::fprintf(file, "cwd %s\n", CurrentDirectory().c_str());
  // Whether a file the test names was there when the setup started.
  if (const char* watched = std::getenv("TOVI_FAKE_SETUP_WATCH")) {
    std::fprintf(file, "watched %s\n", std::filesystem::exists(watched) ? "present" : "absent");
  }
  bool linger = false;
  for (int i = 1; i < argc; ++i) linger = linger || std::strcmp(argv[i], "--linger") == 0;
#ifndef _WIN32
  if (linger) std::fprintf(file, "pid %d\n", static_cast<int>(getpid()));
#endif
  std::fclose(file);
  if (linger) std::this_thread::sleep_for(std::chrono::seconds(10));
  return 0;
}
