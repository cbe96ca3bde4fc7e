#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/local_time.h"
#include "platform/log_file.h"

std::atomic<bool> VerboseLogging{false};

namespace {
std::string logPath = "log.txt";
// The stream every line goes to: standard error, reopened onto the log file.
std::atomic<FILE*> logStream{stderr};

const char kAsterisks[] = "*******************************************************************";

// Writes the whole line with one call so that lines from different threads
// never interleave, then flushes so the file is complete if the process is
// terminated right after.
void WriteLine(const std::string& body) {
  std::string line;
  line.reserve(body.size() + 32);
  line.append("[").append(LogTimestamp()).append("] ").append(EscapeLogControls(body));
  FILE* stream = logStream.load();
  if (stream == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return std::string(buffer.data(), static_cast<size_t>(length));
}
}  // namespace

void SetLogPath(const std::string& path) { logPath = path; }

void OpenLog() { logStream = OpenLogFile(logPath); }

void FlushLog() {
  if (FILE* stream = logStream.load()) std::fflush(stream);
}

std::string EscapeLogControls(const std::string& body) {
  size_t end = body.size();
  while (end > 0 && body[end - 1] == '\n') --end;
  std::string escaped;
  escaped.reserve(body.size());
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < end; ++i) {
    const auto c = static_cast<unsigned char>(body[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) {
      escaped.append("\\x").push_back(kHex[c >> 4]);
      escaped.push_back(kHex[c & 0xF]);
    } else {
      escaped.push_back(static_cast<char>(c));
    }
  }
  escaped.append(body, end, std::string::npos);
  return escaped;
}

std::string FormatLogTimestamp(const LogClock& c) {
  char text[64];
  std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return text;
}

std::string LogTimestamp() {
  const std::tm local = LocalTime(std::time(nullptr));
  return FormatLogTimestamp({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec});
}

void LogLine(const std::string& text) {
  if (!VerboseLogging.load(std::memory_order_relaxed)) return;
  WriteLine(EncodeNarrowLogText(text) + "\n");
}

void LogLine(const char* text) {
  if (!VerboseLogging.load(std::memory_order_relaxed)) return;
  WriteLine(EncodeNarrowLogText(text ? text : "") + "\n");
}

void LogFormat(const char* format, ...) {
  if (!VerboseLogging.load(std::memory_order_relaxed)) return;
  va_list args;
  va_start(args, format);
  std::string body = FormatV(format, args);
  va_end(args);
  WriteLine(EncodeNarrowLogText(body));
}

void LogFormatW(const wchar_t* format, ...) {
  if (!VerboseLogging.load(std::memory_order_relaxed)) return;
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    va_list args;
    va_start(args, format);
    const int length = std::vswprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    if (length >= 0) {
      WriteLine(EncodeWideLogText(std::wstring(buffer.data(), static_cast<size_t>(length))));
      return;
    }
    // vswprintf gives no length on overflow; grow up to a sane cap.
    if (buffer.size() >= (1u << 20)) return;
    buffer.resize(buffer.size() * 4);
  }
}

void LogStartBanner() {
  LogLine("-");
  LogLine(kAsterisks);
  LogLine("************* Polvex Download Manager Sytem Start *****************");
  LogLine(kAsterisks);
}

void LogEndBanner() {
  LogLine(kAsterisks);
  LogLine("************* Polvex Download Manager Sytem End *******************");
  LogLine(kAsterisks);
}

void RedirectLogForTesting(FILE* stream) { logStream = stream; }
