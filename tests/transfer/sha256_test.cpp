#include "transfer/sha256.h"

#include <gtest/gtest.h>

#include "support/sandbox.h"

namespace {

constexpr char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kAbcdef[] = "bef57ec7f53a6d40beb640a780a639c83bc29ac8a9816f1fc6c5c6dcd93c4721";

TEST(Sha256Test, KnownDigestsInPieces) {
  CSha256 empty;
  ASSERT_TRUE(empty.Ok());
  EXPECT_EQ(empty.FinishHex(), kEmpty);

  CSha256 pieces;
  EXPECT_TRUE(pieces.Update("a", 1));
  EXPECT_TRUE(pieces.Update("", 0));
  EXPECT_TRUE(pieces.Update("bc", 2));
  EXPECT_EQ(pieces.FinishHex(), kAbc);
}

TEST(Sha256Test, FileBytes) {
  Sandbox sandbox;
  sandbox.Write("f", "abcdef");
  const struct {
    int64_t bytes;
    bool read;
    const char* digest;
  } cases[] = {{-1, true, kAbcdef}, {3, true, kAbc}, {0, true, kEmpty}, {7, false, ""}};
  for (const auto& c : cases) {
    CSha256 hash;
    EXPECT_EQ(Sha256AddFile(hash, sandbox.Path("f"), c.bytes), c.read) << c.bytes;
    if (c.read) {
      EXPECT_EQ(hash.FinishHex(), c.digest) << c.bytes;
    }
  }
  CSha256 missing;
  EXPECT_FALSE(Sha256AddFile(missing, sandbox.Path("none")));
}

}  // namespace
