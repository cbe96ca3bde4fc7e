#include "transfer/sha256.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/file_open.h"

namespace {

struct FileClose {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

constexpr size_t kReadChunk = 256 * 1024;

}  // namespace

bool Sha256AddFile(CSha256& hash, const std::string& path, int64_t bytes) {
  std::unique_ptr<std::FILE, FileClose> in(OpenFileForReading(path));
  if (!in) return false;
  std::vector<char> buffer(kReadChunk);
  int64_t left = bytes;
  while (bytes < 0 || left > 0) {
    size_t want = buffer.size();
    if (bytes >= 0 && left < static_cast<int64_t>(want)) want = static_cast<size_t>(left);
    const size_t got = std::fread(buffer.data(), 1, want, in.get());
    if (got > 0 && !hash.Update(buffer.data(), got)) return false;
    left -= static_cast<int64_t>(got);
    if (got < want) return bytes < 0 && std::ferror(in.get()) == 0;
  }
  return true;
}

std::string HexDigest(const unsigned char* digest, size_t size) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0F];
  }
  return text;
}
