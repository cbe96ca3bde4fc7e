// Diagnostic log: one line per call, appended to log.txt in the temporary
// directory. Every call is a no-op costing one flag test while VerboseLogging
// is off. Callable from any thread: each line is formatted in a buffer of the
// calling thread and written with one stream call, then flushed, so lines of
// different threads never mix.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

// Off at process start; switched on once after the single-instance check and
// never switched off.
extern std::atomic<bool> VerboseLogging;

void SetLogPath(const std::string& path);

// Reopens the standard error stream onto the log path for appending. When the
// file cannot be opened every later line is lost silently.
void OpenLog();

// Flushes the log stream (used before the process is terminated).
void FlushLog();

// "YYYY-MM-DD HH:MM:SS" in local time; month, day and time fields two digits.
std::string LogTimestamp();

// Writes "[timestamp] text\n".
void LogLine(const std::string& text);
void LogLine(const char* text);

// printf-style body; the format carries its own trailing newline.
void LogFormat(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Wide body. On Windows each character is written as one ISO 8859-1 byte and
// the body is cut at the first character outside that range; elsewhere the
// body is written as UTF-8.
void LogFormatW(const wchar_t* format, ...);

void LogStartBanner();
void LogEndBanner();

// Pure helpers, exposed for tests.
struct LogClock {
  int year, month, day, hour, minute, second;
};
std::string FormatLogTimestamp(const LogClock& clock);
// Every line goes through this: a URL or a path from outside must not forge
// log lines, so control characters become "\xNN" (tab excepted); only the
// line ends at the very end of the body stay as they are.
std::string EscapeLogControls(const std::string& body);
// Encodes a wide body for the log as described at LogFormatW.
std::string EncodeWideLogText(const std::wstring& body);
// Encodes a narrow (UTF-8) body for the log. Windows: the log is ANSI code
// page text, so each UTF-8 character becomes its byte there, or "?" when the
// code page has none (never a look-alike); a byte outside valid UTF-8 (the
// program's own 0xB4 accent) is written as it is. Elsewhere unchanged.
std::string EncodeNarrowLogText(const std::string& body);

// Sends every later line to stream instead of the log file (tests).
void RedirectLogForTesting(std::FILE* stream);
