// The communication file: the statistics server's JSON answer to a start or
// resume request, kept at TheStatsSettings.commFilePath, naming the parts,
// their URLs and sizes and the part to continue with. Everything here runs on
// the program thread; failures are explained in the log only.
#pragma once

#include <cstdint>
#include <string>

// Part indices 0 to 9999 fit the key form ("size_9999"); a file that
// announces more parts is refused.
inline constexpr int32_t kMaxCommFileParts = 10000;

// A communication file is a few hundred bytes; anything beyond this is
// refused rather than read into memory.
inline constexpr int64_t kMaxCommFileBytes = 1024 * 1024;

// Fresh download: fetches the start answer and fills TheDownloadPlan with
// downloadDir (ending in the path separator) and resume offset 0.
[[nodiscard]] bool LoadCommFileForStart(const std::string& downloadDir);

// Continued download: fetches the resume answer and fills TheDownloadPlan;
// resumeFile is the partial file of part 0 given on the command line.
[[nodiscard]] bool LoadCommFileForResume(const std::string& downloadDir,
                                         const std::string& resumeFile);

// Deletes any earlier communication file, downloads url into its place and
// checks that the file exists and holds at least 3 bytes and at most
// kMaxCommFileBytes.
[[nodiscard]] bool FetchCommFile(const std::string& url);
// The same, then reads the file once into *bytes and, with a publisher key
// built in, refuses it unless the answer carried the publisher's signature
// of exactly those bytes. The caller parses *bytes, never the file again.
[[nodiscard]] bool FetchCommFile(const std::string& url, std::string* bytes);

// Reads the communication file and fills TheDownloadPlan. partCount and
// currentPart are replaced as soon as they are read; the lists only when the
// whole file is good. Besides a missing URL or size, a file is refused when a
// URL gives no plain file name, a "sha256_N" holds no digest in hexadecimal
// text, or the sizes cannot be added up in 64 bits. With resume, the size on
// disk of the partial file of the part to continue with becomes the resume
// offset.
[[nodiscard]] bool ParseCommFile(const std::string& downloadDir, const std::string& resumeFile,
                                 bool resume);

// ParseCommFile for the bytes of a communication file already in memory
// (the ones whose signature was checked).
[[nodiscard]] bool ParseCommFileText(const std::string& text, const std::string& downloadDir,
                                     const std::string& resumeFile, bool resume);

// A size text as the file carries it: leading white space, one optional
// sign, then base-10 digits up to the end of the text, within the signed
// 64-bit range. An empty text is 0; anything else gives -1, which is also
// what "-1" gives, so -1 always means no size.
int64_t ParseSizeText(const char* text);
