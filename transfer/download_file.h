// The transfer engine's entry point for the rest of the program.
#pragma once

#include <cstdint>
#include <string>

// Downloads url into path on a transfer thread of its own while the calling
// thread waits, dispatching its messages in 25 ms slices. expectedSize is the
// whole file's size, or -1 when there is none to check; resumeOffset is the
// number of bytes already in path (0 for a fresh file). True when the file is
// complete and checked, or there was nothing to fetch. A size of 0 is no size
// either: nothing is taken as complete by its size alone. expectedDigest,
// when not empty, is the SHA-256 the whole file must have (64 hexadecimal
// characters); a file that ends up with another one is deleted and the
// result is false.
// Called on the program thread only; one transfer runs at a time.
[[nodiscard]] bool DownloadFile(const std::string& path, const std::string& url,
                                int64_t expectedSize, int64_t resumeOffset,
                                const std::string& expectedDigest = std::string());

// DownloadFile for a file of unknown size that must not exceed maxBytes: an
// answer that announces or sends more fails (the file then holds at most
// maxBytes bytes). signature, when given, gets the answer's X-Tovi-Signature
// header (empty without one).
[[nodiscard]] bool DownloadFileUpTo(const std::string& path, const std::string& url,
                                    int64_t maxBytes, std::string* signature = nullptr);
