// The file operations on a folder whose name lies outside the ANSI code page
// of a Western Windows (code page 1252): the name on disk is the one asked
// for, and each operation finds what the others made.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/file_open.h"
#include "platform/paths.h"
#include "support/sandbox.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace {

// "José Łukasz Юрий" in UTF-8: a Latin-1 letter, a Central European one and
// Cyrillic, as in a user's profile folder.
const std::string kFolderName = "Jos\xC3\xA9 \xC5\x81ukasz \xD0\xAE\xD1\x80\xD0\xB8\xD0\xB9";

std::vector<std::string> NamesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Utf8Path(dir))) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  return names;
}

void WriteBytes(const std::string& path, FileOpen how, const std::string& bytes) {
  std::FILE* out = OpenFileForWriting(path, how);
  ASSERT_NE(out, nullptr) << path;
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
  std::fclose(out);
}

std::string ReadBytes(const std::string& path) {
  std::FILE* in = OpenFileForReading(path);
  if (in == nullptr) return "(cannot open)";
  std::string bytes;
  char buffer[64];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, got);
  std::fclose(in);
  return bytes;
}

TEST(Files, AFolderOutsideTheCodePageKeepsItsName) {
  Sandbox sandbox;
  const std::string folder = sandbox.Path(kFolderName);
  ASSERT_EQ(CreateDirectoryOnce(folder), DirectoryCreation::Created);
  EXPECT_EQ(CreateDirectoryOnce(folder), DirectoryCreation::AlreadyExists);
  EXPECT_EQ(NamesIn(sandbox.Dir()), std::vector<std::string>{kFolderName});

  const std::string partial = folder + kPathSeparator + "ToviSetup.exe.q9tovi";
  WriteBytes(partial, FileOpen::New, "abc");
  WriteBytes(partial, FileOpen::Append, "de");
  EXPECT_TRUE(FileExists(partial));
  EXPECT_EQ(FileSizeOnce(partial), 5);
  EXPECT_EQ(ReadBytes(partial), "abcde");
  EXPECT_EQ(ReadFileBytes(partial), "abcde");  // found by its name, not only by us

  const std::string target = folder + kPathSeparator + "ToviSetup.exe";
  EXPECT_TRUE(RenameFileNoReplace(partial, target));
  EXPECT_FALSE(FileExists(partial));
  EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"ToviSetup.exe"});
  EXPECT_TRUE(RemoveFile(target));
  EXPECT_TRUE(NamesIn(folder).empty());
}

TEST(Files, TheTemporaryDirectoryOutsideTheCodePage) {
  Sandbox sandbox;
  const std::string folder = sandbox.Path(kFolderName);
  ASSERT_EQ(CreateDirectoryOnce(folder), DirectoryCreation::Created);
  fs::permissions(Utf8Path(folder), fs::perms::owner_all);
  ScopedEnv env({{"TMPDIR", folder}, {"TMP", folder}, {"TEMP", folder}});
  EXPECT_EQ(EnsureTrailingSeparator(TemporaryDirectory()), EnsureTrailingSeparator(folder));
}

}  // namespace
