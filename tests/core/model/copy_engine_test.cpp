#include "listing.h"
#include "model/browser.h"
#include "model/name_mask.h"
#include "platform/file_ops.h"
#include "temp_folder.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>

namespace corvane {
namespace {

using test::TTempFolder;
namespace fs = std::filesystem;

size_t FilesBelow(const std::string& folder) {
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    files += entry.is_regular_file() ? 1 : 0;
  return files;
}

TEST(ApplyNameMask, RenamesByTheMask) {
  struct Case {
    const char* Name;
    const char* Mask;
    const char* Result;
  };
  for (const Case& c : {Case{"report.txt", "*.bak", "report.bak"},
                        Case{"data.txt", "new.*", "new.txt"}, Case{"abc.txt", "??x", "abx"},
                        Case{"a.txt", "fixed.name", "fixed.name"}, Case{"ab", "????", "ab"},
                        Case{"noext", "*.*", "noext"}, Case{"a.tar.gz", "*.tgz", "a.tar.tgz"}})
    EXPECT_EQ(ApplyNameMask(c.Name, c.Mask), c.Result) << c.Name << " ~ " << c.Mask;
}

// A browser over a source folder of a temporary tree, with its copy events recorded.
struct TCopyFixture {
  TCopyFixture() {
    Dir.Folder("dst");
    Browser.SortMode = smName;
    Browser.OnCopyError = [this](TCopyError kind, const std::string& path) {
      Errors.push_back({kind, path});
    };
  }
  void Open() { Browser.SetRoot("C:\\", 0, Dir.Rel() + "src"); }
  void Mark(const char* name) { Browser.ToggleMark(Browser.FindEntry(name)); }

  TTempFolder Dir;
  TBrowser Browser;
  std::vector<std::pair<TCopyError, std::string>> Errors;
};

TEST(CopyEngine, CopiesMarkedFilesAndTreesWithoutFollowingLinks) {
  TCopyFixture f;
  test::WriteFile(f.Dir.File("src/a.txt"), "a");
  test::WriteFile(f.Dir.File("src/tree/b.txt"), "b");
  test::WriteFile(f.Dir.File("src/tree/deep/c.txt"), "c");
  test::WriteFile(f.Dir.File("outside/big.txt"), "not to be copied through a link");
  f.Dir.Link("src/tree/out", "../../outside");
  f.Open();
  f.Mark("a.txt");
  f.Mark("tree");
  int64_t total = -1;
  f.Browser.OnCopyBegin = [&](const std::string&, int64_t bytes) { total = bytes; };
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "dst", false));
  EXPECT_EQ(total, 3);
  EXPECT_TRUE(f.Errors.empty());
  EXPECT_EQ(f.Browser.SelectedCount(), 0);
  EXPECT_EQ(test::ReadFile(f.Dir.Native("dst/a.txt")), "a");
  EXPECT_EQ(test::ReadFile(f.Dir.Native("dst/tree/deep/c.txt")), "c");
  EXPECT_TRUE(fs::is_symlink(f.Dir.Native("dst/tree/out")));
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/a.txt")), "a"); // a copy keeps its sources
}

TEST(CopyEngine, RenamesWithAMaskAndMakesATypedFolder) {
  TCopyFixture f;
  test::WriteFile(f.Dir.File("src/report.txt"), "r");
  f.Open();
  f.Browser.Cursor = f.Browser.FindEntry("report.txt");
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "dst\\*.bak", false));
  EXPECT_EQ(test::ReadFile(f.Dir.Native("dst/report.bak")), "r");
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "made\\", false));
  EXPECT_EQ(test::ReadFile(f.Dir.Native("made/report.txt")), "r");
  // A relative target is taken from the shown folder.
  ASSERT_TRUE(f.Browser.CopyToPath("copy.txt", false));
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/copy.txt")), "r");
}

TEST(CopyEngine, NeverCopiesAFolderIntoItselfOrAFileOntoItself) {
  TCopyFixture f;
  test::WriteFile(f.Dir.File("src/tree/x.txt"), "x");
  f.Dir.Folder("src/tree/sub");
  test::WriteFile(f.Dir.File("src/keep.txt"), "keep");
  f.Dir.Link("alias", "src/tree");
  f.Open();
  f.Browser.Cursor = f.Browser.FindEntry("tree");
  // Into its own sub-folder, also when named through a link.
  for (const std::string& target :
       {f.Dir.Model() + "src\\tree\\sub\\", f.Dir.Model() + "alias\\sub\\"}) {
    f.Errors.clear();
    ASSERT_TRUE(f.Browser.CopyToPath(target, false));
    ASSERT_EQ(f.Errors.size(), 1u) << target;
    EXPECT_EQ(f.Errors[0].first, TCopyError::IntoItself);
    EXPECT_FALSE(fs::exists(f.Dir.Native("src/tree/sub/tree")));
  }
  // A file moved onto itself stays.
  f.Errors.clear();
  f.Browser.Cursor = f.Browser.FindEntry("keep.txt");
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "src\\", true));
  EXPECT_EQ(f.Errors.size(), 1u);
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/keep.txt")), "keep");
}

// Links and the files they point to are one file for the same-file check, whichever is copied
// over which, even when the user says Yes to replacing the target.
TEST(CopyEngine, NeverReplacesAFileWithALinkToItselfOrALinkWithItsFile) {
  struct Case {
    const char* Name;
    bool Move;
  };
  for (const Case& c : {Case{"copy", false}, Case{"move", true}}) {
    TCopyFixture f;
    test::WriteFile(f.Dir.File("dst/only.txt"), "the only copy");
    f.Dir.Link("src/only.txt", "../dst/only.txt");
    test::WriteFile(f.Dir.File("src/data.txt"), "data");
    f.Dir.Link("dst/data.txt", "../src/data.txt");
    f.Open();
    int asked = 0;
    f.Browser.OnCopyConfirm = [&](TCopyConfirm, const std::string&, bool& answer) {
      ++asked;
      answer = true;
    };
    f.Mark("only.txt");
    f.Mark("data.txt");
    ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "dst\\", c.Move));
    EXPECT_EQ(f.Errors.size(), 2u) << c.Name;
    EXPECT_EQ(asked, 0) << c.Name;
    EXPECT_FALSE(fs::is_symlink(f.Dir.Native("dst/only.txt"))) << c.Name;
    EXPECT_EQ(test::ReadFile(f.Dir.Native("dst/only.txt")), "the only copy") << c.Name;
    EXPECT_TRUE(fs::is_symlink(f.Dir.Native("src/only.txt"))) << c.Name;
    EXPECT_EQ(test::ReadFile(f.Dir.Native("src/data.txt")), "data") << c.Name;
    EXPECT_TRUE(fs::is_symlink(f.Dir.Native("dst/data.txt"))) << c.Name;
  }
}

// Typed targets as the user means them: a ":" inside a name is a name character, and a trailing
// "/" makes a folder.
TEST(CopyEngine, TypedNamesWithColonsAndSlashesNameWhatTheUserTyped) {
  TCopyFixture f;
  test::WriteFile(f.Dir.File("src/a.txt"), "a");
  test::WriteFile(f.Dir.File("src/b.txt"), "b");
  f.Open();
  int asked = 0;
  f.Browser.OnCopyConfirm = [&](TCopyConfirm, const std::string&, bool& answer) {
    ++asked;
    answer = false;
  };
  f.Browser.Cursor = f.Browser.FindEntry("a.txt");
  ASSERT_TRUE(f.Browser.CopyToPath("draft 10:30.txt", false));
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/draft 10:30.txt")), "a");
  f.Browser.Cursor = f.Browser.FindEntry("b.txt");
  ASSERT_TRUE(f.Browser.CopyToPath("a:b.txt", true));
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/a:b.txt")), "b");
  EXPECT_FALSE(fs::exists(f.Dir.Native("src/b.txt")));
  // Two files moved to "backup/": a folder is made and both go in, with no question.
  f.Browser.Refresh();
  f.Mark("a.txt");
  f.Mark("draft 10:30.txt");
  ASSERT_TRUE(f.Browser.CopyToPath("backup/", true));
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/backup/a.txt")), "a");
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/backup/draft 10:30.txt")), "a");
  EXPECT_FALSE(fs::exists(f.Dir.Native("src/backup\\")));
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(f.Errors.empty());
}

TEST(CopyEngine, AStoppedMoveKeepsEverySourceNotYetMoved) {
  TCopyFixture f;
  for (int i = 0; i < 20; ++i)
    test::WriteFile(f.Dir.File("src/f" + std::to_string(100 + i)), std::to_string(i));
  // Across file systems when possible, so that moving means copying and deleting.
  const std::string other = f.Dir.Folder("other");
  const bool mounted =
      ::geteuid() == 0 &&
      std::system(("mount -t tmpfs -o size=4m tmpfs '" + other + "' 2>/dev/null").c_str()) == 0;
  std::cout << (mounted ? "moving across file systems\n" : "moving within one file system\n");
  f.Open();
  for (int i = 2; i <= f.Browser.Count(); ++i)
    f.Browser.ToggleMark(i);
  int moved = 0;
  f.Browser.OnCopyFileEnd = [&] {
    if (++moved == 7)
      f.Browser.StopOperation();
  };
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "other", true));
  const size_t left = FilesBelow(f.Dir.Native("src"));
  const size_t arrived = FilesBelow(other);
  EXPECT_EQ(left + arrived, 20u); // nothing lost, nothing doubled
  EXPECT_LT(left, 20u);
  EXPECT_GT(left, 0u);
  EXPECT_EQ(f.Browser.SelectedCount(), int(left)); // what was not moved stays marked
  if (mounted) {
    [[maybe_unused]] const int unmounted = std::system(("umount '" + other + "'").c_str());
  }
}

TEST(CopyEngine, TenThousandFilesAreCopiedAndMovedEveryOne) {
  TCopyFixture f;
  for (int folder = 0; folder < 10; ++folder)
    for (int i = 0; i < 1000; ++i)
      f.Dir.File("src/tree/d" + std::to_string(folder) + "/f" + std::to_string(i));
  f.Open();
  f.Browser.Cursor = f.Browser.FindEntry("tree");
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "dst", false));
  EXPECT_TRUE(f.Errors.empty());
  EXPECT_EQ(FilesBelow(f.Dir.Native("dst/tree")), 10000u);
  f.Browser.Cursor = f.Browser.FindEntry("tree");
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "moved\\", true));
  EXPECT_EQ(FilesBelow(f.Dir.Native("moved/tree")), 10000u);
  EXPECT_FALSE(fs::exists(f.Dir.Native("src/tree")));
}

} // namespace
} // namespace corvane
