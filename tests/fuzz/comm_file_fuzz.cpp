// The communication file parse on arbitrary file contents, on the start path
// and on the resume path. Whatever it accepts must be a plan the parts loop
// can run: one URL and one size per part, sizes that add up without leaving
// the 64-bit range, part files that stay inside the download folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz_check.h"
#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "support/sandbox.h"

namespace {

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

void CheckPlan(const std::string& dir) {
  const DownloadPlan& plan = TheDownloadPlan;
  const size_t count = plan.partCount > 0 ? static_cast<size_t>(plan.partCount) : 0;
  FUZZ_CHECK(plan.partCount <= kMaxCommFileParts);
  FUZZ_CHECK(plan.partUrls.size() == count);
  FUZZ_CHECK(plan.partSizes.size() == count);
  FUZZ_CHECK(plan.targetPaths.size() == count);
  FUZZ_CHECK(plan.partialPaths.size() == count);
  // The parts loop and the progress add the sizes up in order; no partial
  // sum may overflow.
  int64_t sum = 0;
  for (size_t i = 0; i < count; ++i) {
    FUZZ_CHECK(plan.partSizes[i] != -1);
    FUZZ_CHECK(!__builtin_add_overflow(sum, plan.partSizes[i], &sum));
  }
  for (size_t i = 0; i < count; ++i) {
    FUZZ_CHECK(!plan.partUrls[i].empty());
    const std::string& target = plan.targetPaths[i];
    FUZZ_CHECK(target.compare(0, dir.size(), dir) == 0);
    FUZZ_CHECK(IsPlainFileName(target.substr(dir.size())));
    FUZZ_CHECK(plan.partialPaths[i] == target + kPartialSuffix);
  }
  FUZZ_CHECK(PlanTotalBytes() == sum);
  FUZZ_CHECK(plan.resumeOffset >= 0);
}

// Writes bytes to path; false when the file cannot be made (a name longer
// than the file system allows, say).
bool WriteFile(const std::string& path, const char* bytes, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes, static_cast<std::streamsize>(size));
  return out.good();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Sandbox box;
  const std::string path = box.Path("comm290.tmp");
  if (!WriteFile(path, reinterpret_cast<const char*>(data), size)) return 0;
  const DownloadPlan& plan = TheDownloadPlan;

  ResetDownloadRecordsForTesting();
  TheStatsSettings.commFilePath = path;
  const bool started = ParseCommFile(box.Dir(), "", false);
  if (started) {
    CheckPlan(box.Dir());
    FUZZ_CHECK(plan.resumeOffset == 0);
  }

  // The resume path reads the same lists, then measures the partial file the
  // transfer of the part to continue with will write (for part 0 too, not
  // the file named on the command line). That file is made here first (the
  // size query waits for a file that is missing), 5 bytes for part 0's, 7 for
  // a later part's.
  const int32_t current = plan.currentPart;
  const int32_t count = plan.partCount;
  const bool named = started && current > 0 && current < count;
  const std::string resumeFile = box.Path("part0.q9tovi");
  const std::string measured = started && current >= 0 && current < count
                                   ? plan.partialPaths[static_cast<size_t>(current)]
                                   : resumeFile;
  const size_t expectedOffset = named ? 7 : 5;
  if (started && WriteFile(measured, "0123456", expectedOffset)) {
    ResetDownloadRecordsForTesting();
    TheStatsSettings.commFilePath = path;
    const bool resumed = ParseCommFile(box.Dir(), resumeFile, true);
    // The part to continue with is one of the parts read.
    FUZZ_CHECK(resumed == (current == 0 || named));
    if (resumed) {
      CheckPlan(box.Dir());
      FUZZ_CHECK(plan.resumeOffset == static_cast<int64_t>(expectedOffset));
    }
    std::remove(measured.c_str());
  }
  ResetDownloadRecordsForTesting();
  return 0;
}
