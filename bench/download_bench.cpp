// Downloads one URL into a fresh file with DownloadFile, as the program does
// for a part of known size. Exit code 0 on success.
//
//   tovi_download_bench <url> <output path> <expected size>
#include <cstdio>
#include <cstdlib>

#include "transfer/download_file.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <url> <output path> <expected size>\n", argv[0]);
    return 2;
  }
  std::remove(argv[2]);
  return DownloadFile(argv[2], argv[1], std::strtoll(argv[3], nullptr, 10), 0) ? 0 : 1;
}
