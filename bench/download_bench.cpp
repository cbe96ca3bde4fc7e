// Downloads one URL into a fresh file with DownloadFile, as the program does
// for a part of known size, optionally checking its SHA-256 as well. Exit
// code 0 on success.
//
//   tovi_download_bench <url> <output path> <expected size> [sha256]
#include <cstdio>
#include <cstdlib>

#include "transfer/download_file.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s <url> <output path> <expected size> [sha256]\n", argv[0]);
    return 2;
  }
  std::remove(argv[2]);
  const char* digest = argc == 5 ? argv[4] : "";
  return DownloadFile(argv[2], argv[1], std::strtoll(argv[3], nullptr, 10), 0, digest) ? 0 : 1;
}
