#include "workflow/space_check.h"

#include <gtest/gtest.h>

#include "stats/download_records.h"
#include "support/sandbox.h"

namespace {

int64_t Free3500(const std::string& /*path*/) { return 3500; }
int64_t Free3499(const std::string& /*path*/) { return 3499; }
int64_t FreeUnknown(const std::string& /*path*/) { return -1; }

// What is on disk and kept is not counted: the part to continue with from
// its offset, a later part with a digest from its bytes; a later part
// without one, or a file larger than its part, starts over.
TEST(SpaceCheck, CountsOnlyTheBytesStillToFetch) {
  Sandbox sandbox;
  ResetDownloadRecordsForTesting();
  SetDownloadPlan({"http://h/a", "http://h/b", "http://h/c", "http://h/d"}, {1000, 2000, 3000, 500},
                  500, sandbox.Dir(), {"", "", std::string(64, 'a'), std::string(64, 'b')});
  TheDownloadPlan.partCount = 4;
  TheDownloadPlan.currentPart = 1;
  sandbox.Write("b.q9tovi", std::string(700, 'b'));
  sandbox.Write("c.q9tovi", std::string(1000, 'c'));
  sandbox.Write("d.q9tovi", std::string(501, 'd'));
  EXPECT_EQ(BytesStillToFetch(TheDownloadPlan), (2000 - 500) + (3000 - 1000) + 500);

  TheDownloadPlan.partSizes[3] = 0;  // no size: nothing to reserve for it
  EXPECT_EQ(BytesStillToFetch(TheDownloadPlan), 3500);
  EXPECT_TRUE(HasRoomForDownload(Free3500));
  EXPECT_FALSE(HasRoomForDownload(Free3499));
  EXPECT_TRUE(HasRoomForDownload(FreeUnknown));
  ResetDownloadRecordsForTesting();
}

TEST(SpaceCheck, TextsRoundTheNeedUpAndTheRoomDown) {
  EXPECT_EQ(SpaceShortText(1500000001, 999999),
            L"error: se requiere un mínimo de 1501 MB libres en disco (hay 0 MB libres)");
  EXPECT_EQ(DiskWriteFailedText(1000000, 2999999),
            L"error: no se pudo escribir en el disco, se requiere un mínimo de 1 MB libres en "
            L"disco (hay 2 MB libres)");
}

TEST(SpaceCheck, RealFreeSpaceOfAFolder) {
  Sandbox sandbox;
  EXPECT_GT(FreeBytesOn(sandbox.Dir()), 0);
  EXPECT_EQ(FreeBytesOn(sandbox.Path("no such folder")), -1);
}

}  // namespace
