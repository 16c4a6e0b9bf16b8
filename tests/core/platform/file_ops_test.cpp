#include "platform/dir_reader.h"
#include "platform/file_ops.h"
#include "temp_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

namespace corvane::platform {
namespace {

using test::TTempFolder;

TEST(RenameNoReplace, NeverReplacesAnotherFile) {
  TTempFolder dir;
  test::WriteFile(dir.File("a"), "first");
  test::WriteFile(dir.File("b"), "second");
  errno = 0;
  EXPECT_FALSE(RenameNoReplace(dir.Native("a"), dir.Native("b")));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(test::ReadFile(dir.Native("a")), "first");
  EXPECT_EQ(test::ReadFile(dir.Native("b")), "second");

  // A second name of the same file is not a free target either.
  ASSERT_EQ(::link(dir.Native("a").c_str(), dir.Native("hard").c_str()), 0);
  EXPECT_FALSE(RenameNoReplace(dir.Native("a"), dir.Native("hard")));
  EXPECT_TRUE(PathExists(dir.Native("a")));

  EXPECT_TRUE(RenameNoReplace(dir.Native("a"), dir.Native("a")));
  EXPECT_TRUE(RenameNoReplace(dir.Native("a"), dir.Native("c")));
  EXPECT_FALSE(PathExists(dir.Native("a")));
  EXPECT_EQ(test::ReadFile(dir.Native("c")), "first");
  EXPECT_TRUE(SameFile(dir.Native("c"), dir.Native("hard")));
  EXPECT_FALSE(SameFile(dir.Native("c"), dir.Native("b")));
}

// A new file never replaces or writes through an existing name, and a name holding a NUL byte
// is refused whole: the system call would otherwise act on the part before it.
TEST(FileOps, NewFilesNeverTouchWhatIsThereAndNulBytesAreRefused) {
  TTempFolder dir;
  EXPECT_EQ(CreateNewFile(dir.Native("new.txt")), 0);
  EXPECT_EQ(test::ReadFile(dir.Native("new.txt")), "");
  test::WriteFile(dir.File("kept.txt"), "keep me");
  EXPECT_EQ(CreateNewFile(dir.Native("kept.txt")), EEXIST);
  EXPECT_EQ(test::ReadFile(dir.Native("kept.txt")), "keep me");
  dir.Link("dangling", "target");
  EXPECT_EQ(CreateNewFile(dir.Native("dangling")), EEXIST);
  EXPECT_FALSE(PathExists(dir.Native("target")));
  EXPECT_EQ(CreateNewFile(dir.Native("no/such/folder/x")), ENOENT);

  const std::string cut = dir.Native("abc") + std::string(1, '\0') + "def";
  EXPECT_EQ(CreateNewFile(cut), EINVAL);
  EXPECT_FALSE(MakeFolder(cut));
  EXPECT_FALSE(PathExists(dir.Native("abc")));
  EXPECT_FALSE(DeleteFileAt(dir.Native("kept.txt") + std::string(1, '\0')));
  EXPECT_EQ(test::ReadFile(dir.Native("kept.txt")), "keep me");
}

TEST(FileOps, DeleteRemovesLinksNotTheirTargets) {
  TTempFolder dir;
  test::WriteFile(dir.File("target"), "kept");
  dir.Folder("folder");
  dir.Link("link", "target");
  EXPECT_TRUE(DeleteFileAt(dir.Native("link")));
  EXPECT_EQ(test::ReadFile(dir.Native("target")), "kept");
  EXPECT_FALSE(DeleteFileAt(dir.Native("folder")));
  EXPECT_FALSE(DeleteFileAt(dir.Native("missing")));
  dir.File("folder/inside");
  EXPECT_FALSE(RemoveFolder(dir.Native("folder")));
  EXPECT_TRUE(DeleteFileAt(dir.Native("folder/inside")));
  EXPECT_TRUE(RemoveFolder(dir.Native("folder")));
}

TEST(FileOps, FoldersDeeperThanThePathLimitCanBeMadeListedAndRemoved) {
  TTempFolder dir;
  const std::string component(200, 'd');
  std::string path = dir.Path();
  std::vector<std::string> levels;
  while (path.size() < 5000) {
    path += "/" + component;
    ASSERT_TRUE(MakeFolder(path)) << path.size();
    levels.push_back(path);
  }
  ASSERT_TRUE(MakeFolder(path + "/sub"));
  TDirReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::string name;
  TFileStatus status;
  ASSERT_TRUE(reader.Next(name, status));
  EXPECT_EQ(name, "sub");
  EXPECT_EQ(status.Kind, TEntryKind::Folder);
  EXPECT_FALSE(reader.Next(name, status));

  EXPECT_TRUE(RenameNoReplace(path + "/sub", path + "/moved"));
  EXPECT_TRUE(RemoveFolder(path + "/moved"));
  for (auto level = levels.rbegin(); level != levels.rend(); ++level)
    ASSERT_TRUE(RemoveFolder(*level)) << level->size();
}

TEST(DirReader, SkipsDotEntriesAndFailsOnMissingFolders) {
  TTempFolder dir;
  dir.Folder("empty");
  TDirReader reader;
  std::string name;
  TFileStatus status;
  ASSERT_TRUE(reader.Open(dir.Native("empty")));
  EXPECT_FALSE(reader.Next(name, status));
  EXPECT_FALSE(reader.Open(dir.Native("missing")));

  dir.File("x");
  dir.File(".y");
  std::set<std::string> names;
  ASSERT_TRUE(reader.Open(dir.Path()));
  while (reader.Next(name, status))
    names.insert(name);
  EXPECT_EQ(names, (std::set<std::string>{"empty", "x", ".y"}));
}

TEST(DirReader, BigFoldersAreExaminedWhole) {
  TTempFolder dir;
  const size_t count = TDirReader::ParallelThreshold * 3 / 2 + 1;
  for (size_t i = 0; i < count; ++i)
    dir.File(std::to_string(i), static_cast<int64_t>(i));
  TDirReader reader;
  ASSERT_TRUE(reader.Open(dir.Path()));
  std::string name;
  TFileStatus status;
  std::set<std::string> seen;
  while (reader.Next(name, status)) {
    EXPECT_EQ(status.Size, std::stoll(name)) << name;
    EXPECT_EQ(status.Kind, TEntryKind::Regular) << name;
    seen.insert(name);
  }
  EXPECT_EQ(seen.size(), count);
}

} // namespace
} // namespace corvane::platform
