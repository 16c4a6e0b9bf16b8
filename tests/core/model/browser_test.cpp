#include "listing.h"
#include "model/browser.h"
#include "model/standart_disk_interface.h"
#include "platform/file_ops.h"
#include "platform/process_messages.h"
#include "temp_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace corvane {
namespace {

using test::Listing;
using test::Marked;
using test::Names;
using test::TTempFolder;

class BrowserTest : public ::testing::Test {
protected:
  void Open(std::string_view rel = "") {
    Browser.SortMode = smName;
    ASSERT_TRUE(Browser.SetRoot("C:\\", 0, Dir.Rel() + std::string(rel)));
  }
  int Index(std::string_view name) const { return Browser.FindEntry(name); }

  TTempFolder Dir;
  TBrowser Browser;
};

TEST_F(BrowserTest, RootListsNoUpEntryAndFoldersBelowListItFirst) {
  TBrowser root;
  ASSERT_TRUE(root.SetRoot("C", 0, ""));
  EXPECT_EQ(root.RootPath(), "C:\\");
  EXPECT_TRUE(root.AtRoot());
  EXPECT_GT(root.Count(), 0);
  EXPECT_NE(root.EntryName(1), "..");

  Dir.File("b.txt");
  Open();
  EXPECT_FALSE(Browser.AtRoot());
  EXPECT_EQ(Listing(Browser), (Names{"..", "b.txt"}));
  EXPECT_EQ(Browser.Cursor, 1);
}

TEST_F(BrowserTest, MaskFiltersFilesOnlyAndHiddenEntriesNeedShowHidden) {
  Dir.Folder("data");
  Dir.File("readme");
  Dir.File("notes.txt", 4);
  Dir.File(".hidden", 8);
  Browser.Mask = "*.txt";
  Open();
  EXPECT_EQ(Listing(Browser), (Names{"..", "data", "notes.txt"}));
  EXPECT_EQ(Browser.TotalBytes(), 4);
  Browser.Mask = "*.*";
  Browser.ReadFolder();
  EXPECT_EQ(Listing(Browser), (Names{"..", "data", "notes.txt", "readme"}));
  Browser.ShowHidden = true;
  Browser.ReadFolder();
  EXPECT_EQ(Listing(Browser), (Names{"..", ".hidden", "data", "notes.txt", "readme"}));
  EXPECT_EQ(Browser.TotalBytes(), 12);
}

TEST_F(BrowserTest, RefreshKeepsCursorAndMarksOfEntriesStillThere) {
  for (const char* name : {"a", "b", "c", "d", "Readme", "README"})
    Dir.File(name, 10);
  Open();
  for (const char* name : {"a", "c", "d", "README"})
    Browser.ToggleMark(Index(name));
  Browser.Cursor = Index("d");
  // Another program deletes a marked file.
  ASSERT_TRUE(platform::DeleteFileAt(Dir.Native("c")));

  EXPECT_TRUE(Browser.Refresh());
  EXPECT_EQ(Marked(Browser), (Names{"a", "d", "README"}));
  EXPECT_EQ(Browser.SelectedCount(), 3);
  EXPECT_EQ(Browser.SelectedBytes(), 30);
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "d");

  // The cursor entry itself gone: it stays where reading left it.
  ASSERT_TRUE(platform::DeleteFileAt(Dir.Native("d")));
  Browser.Refresh();
  EXPECT_EQ(Browser.Cursor, 1);
}

TEST_F(BrowserTest, GoUpLandsOnTheFolderItLeft) {
  Dir.Folder("A/B");
  Dir.Folder("A/b");
  Dir.Folder("A/C");
  Open("A\\B\\");
  EXPECT_EQ(Browser.RelPath(), Dir.Rel() + "A\\B\\");
  EXPECT_TRUE(Browser.GoUp());
  EXPECT_EQ(Browser.RelPath(), Dir.Rel() + "A\\");
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "B");
  EXPECT_TRUE(Browser.EnterFolder(Index("b")));
  EXPECT_TRUE(Browser.EnterFolder(1)); // ".." goes up too
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "b");
  EXPECT_TRUE(Browser.GoUp());
  EXPECT_EQ(Browser.RelPath(), Dir.Rel());
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "A");

  TBrowser atRoot;
  ASSERT_TRUE(atRoot.SetRoot(Dir.Model(), 0, ""));
  EXPECT_TRUE(atRoot.AtRoot());
  EXPECT_FALSE(atRoot.GoUp()); // the root of the bottom source
  EXPECT_EQ(atRoot.RelPath(), "");
}

TEST_F(BrowserTest, MarksKeepCountAndBytesInStep) {
  Dir.File("hundred", 100);
  Dir.File("ten", 10);
  Open();
  Browser.ToggleMark(1); // ".."
  EXPECT_FALSE(Browser.IsMarked(1));
  EXPECT_EQ(Browser.SelectedCount(), 0);
  Browser.ToggleMark(Index("hundred"));
  Browser.ToggleMark(Index("ten"));
  EXPECT_EQ(Browser.SelectedCount(), 2);
  EXPECT_EQ(Browser.SelectedBytes(), 110);
  Browser.ToggleMark(Index("hundred"));
  EXPECT_EQ(Browser.SelectedBytes(), 10);
  Browser.ToggleMark(0);
  Browser.ToggleMark(Browser.Count() + 1);
  EXPECT_EQ(Browser.SelectedCount(), 1);
}

TEST_F(BrowserTest, SelectionSizeMeasuresMarkedFoldersAndStoresTheirSize) {
  Dir.File("folder/one", 10);
  Dir.File("folder/two", 20);
  Dir.File("folder/sub/three", 30);
  Dir.File("five", 5);
  Open();
  Browser.ToggleMark(Index("folder"));
  Browser.ToggleMark(Index("five"));
  EXPECT_EQ(Browser.SelectionSize(), 65);
  EXPECT_EQ(Browser.GetEntry(Index("folder"))->Size, 60);
  EXPECT_EQ(Browser.SelectedBytes(), 65);

  // Without marks the cursor entry counts; ".." measures the shown folder.
  Browser.ToggleMark(Index("folder"));
  Browser.ToggleMark(Index("five"));
  Browser.Cursor = 1;
  EXPECT_EQ(Browser.SelectionSize(), 65);
}

TEST_F(BrowserTest, FolderSizeNeverFollowsLinks) {
  Dir.File("tree/a", 7);
  Dir.Link("tree/loop", ".");
  Dir.Link("tree/up", "..");
  Dir.Link("tree/file-link", "a");
  Open();
  // The links are leaves: a walk that followed them would never end.
  EXPECT_EQ(Browser.FolderSize(Dir.Rel() + "tree"), 7 + 7);
  EXPECT_TRUE(Browser.EnterFolder(Index("tree")));
  EXPECT_TRUE(Browser.IsFolder(Index("loop")));
  EXPECT_TRUE(Browser.EntryFolderSize(Index("loop")));
  EXPECT_EQ(Browser.GetEntry(Index("loop"))->Size, 0);
  EXPECT_TRUE(Browser.EnterFolder(Index("loop"))); // a link to a folder can still be entered
  EXPECT_EQ(Browser.RelPath(), Dir.Rel() + "tree\\loop\\");
}

// Engines let waiting messages run between entries, and those messages may ask for a re-read (the
// folder monitor, Enter, Backspace). While an engine walks the listing, every re-read is refused
// and changes nothing, so the engine never works on freed entries.
TEST_F(BrowserTest, ReReadsAreRefusedWhileAnEngineWalksTheListing) {
  Dir.File("tree/a", 10);
  Dir.File("tree/sub/b", 20);
  Dir.File("tree/sub/deeper/c", 30);
  Dir.Folder("dst");
  Open();
  TBrowser other;
  ASSERT_TRUE(other.SetRoot("C:\\", 0, Dir.Rel() + "dst"));
  std::vector<bool> results;
  platform::SetProcessMessagesHook([&] {
    results.push_back(Browser.Refresh());
    results.push_back(Browser.EnterFolder(Index("tree")));
    results.push_back(Browser.GoUp());
    results.push_back(Browser.CloseSource());
    results.push_back(Browser.SetRoot("C:\\", 0, Dir.Rel() + "dst"));
    results.push_back(Browser.RenameEntry(Index("tree"), "renamed"));
  });
  struct Case {
    const char* Name;
    std::function<void()> Run;
  };
  const Case cases[] = {
      {"folder size",
       [&] {
         EXPECT_TRUE(Browser.EntryFolderSize(Index("tree")));
         EXPECT_EQ(Browser.GetEntry(Index("tree"))->Size, 60);
       }},
      {"copy",
       [&] {
         Browser.Cursor = Index("tree");
         EXPECT_TRUE(Browser.CopyToBrowser(other, false));
         EXPECT_EQ(test::ReadFile(Dir.Native("dst/tree/sub/deeper/c")), std::string(30, '\0'));
       }},
      {"delete",
       [&] {
         Browser.Cursor = Index("dst");
         Browser.DeleteSelection();
       }},
  };
  for (const Case& c : cases) {
    results.clear();
    const size_t count = static_cast<size_t>(Browser.Count());
    c.Run();
    EXPECT_FALSE(results.empty()) << c.Name;
    EXPECT_EQ(std::count(results.begin(), results.end(), true), 0) << c.Name;
    EXPECT_EQ(Browser.RelPath(), Dir.Rel()) << c.Name;
    if (std::string(c.Name) != "delete") {
      EXPECT_EQ(static_cast<size_t>(Browser.Count()), count) << c.Name;
    }
  }
  platform::SetProcessMessagesHook({});
  EXPECT_EQ(Index("dst"), 0);     // the delete engine's own re-read at its end
  EXPECT_TRUE(Browser.Refresh()); // and afterwards, re-reading works again
  EXPECT_TRUE(Browser.EnterFolder(Index("tree")));
}

// Folder sizes count user files: a proc or sysfs mounted below is not walked (/proc/kcore alone
// would claim the whole address space). Other mounted volumes are counted.
TEST_F(BrowserTest, FolderSizeDoesNotWalkIntoPseudoFileSystems) {
  Dir.File("tree/a", 7);
  const test::TMount proc("-t proc proc", Dir.Folder("tree/proc"));
  if (!proc.Mounted()) {
    std::cout << "cannot mount proc here: the pseudo file system case is skipped\n";
    GTEST_SKIP();
  }
  const test::TMount volume("-t tmpfs -o size=1m tmpfs", Dir.Folder("tree/volume"));
  if (volume.Mounted())
    Dir.File("tree/volume/b", 5);
  Open();
  EXPECT_EQ(Browser.FolderSize(Dir.Rel() + "tree"), 7 + (volume.Mounted() ? 5 : 0));
}

TEST_F(BrowserTest, FindNextMatchWrapsAndKeepsTheCursorWithoutMatch) {
  for (const char* name : {"a", "b1", "b2", "c"})
    Dir.File(name);
  Open();
  Browser.Cursor = Index("b2");
  Browser.FindNextMatch("b*");
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "b1");
  Browser.FindNextMatch("b*");
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "b2");
  Browser.FindNextMatch("q*");
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "b2");
}

TEST_F(BrowserTest, RenameEntryNeverReplacesAndUpdatesTheEntry) {
  Dir.File("old.txt", 3);
  Dir.File("taken.txt", 9);
  Open();
  const int old = Index("old.txt");
  EXPECT_FALSE(Browser.RenameEntry(old, "taken.txt"));
  EXPECT_FALSE(Browser.RenameEntry(old, "sub\\x"));
  EXPECT_FALSE(Browser.RenameEntry(1, "renamed")); // ".."
  struct stat st {};
  EXPECT_EQ(::stat(Dir.Native("taken.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 9);

  EXPECT_TRUE(Browser.RenameEntry(old, "new.tar.gz"));
  EXPECT_EQ(Browser.GetEntry(old)->Name, "new.tar");
  EXPECT_EQ(Browser.GetEntry(old)->Ext, "gz");
  EXPECT_EQ(::stat(Dir.Native("new.tar.gz").c_str(), &st), 0);
  // A "/" typed into a name is part of the name.
  EXPECT_TRUE(Browser.RenameEntry(old, "a/b"));
  EXPECT_EQ(::stat(Dir.Native("a\\b").c_str(), &st), 0);
}

TEST_F(BrowserTest, AnEmptyFolderIsNoReadError) {
  Dir.Folder("empty");
  Open("empty");
  EXPECT_EQ(Browser.ReadError(), 0);
  Open("missing");
  EXPECT_EQ(Browser.ReadError(), ENOENT);
  EXPECT_EQ(Listing(Browser), (Names{".."}));
}

TEST_F(BrowserTest, OperationsOnBadIndexesOrKindsDoNothing) {
  Dir.File("file");
  Open();
  EXPECT_FALSE(Browser.EnterFolder(Index("file")));
  EXPECT_FALSE(Browser.EnterFolder(0));
  EXPECT_FALSE(Browser.EnterFolder(99));
  EXPECT_EQ(Browser.GetEntry(99), nullptr);
  EXPECT_EQ(Browser.EntryName(-1), "");
  EXPECT_FALSE(Browser.EntryFolderSize(Index("file")));
  // Archive sources are not there yet: nothing changes.
  EXPECT_FALSE(Browser.OpenSource(skArchive, Dir.Model() + "file", ""));
  EXPECT_EQ(Browser.RootPath(), "C:\\");
  EXPECT_EQ(Browser.SourceKind(), skFolder);
  EXPECT_EQ(Browser.Count(), 2);
}

TEST_F(BrowserTest, StackedSourcesGiveTheirPathsBack) {
  Dir.Folder("inner/deep");
  Open("inner");
  ASSERT_TRUE(Browser.OpenSource(skFolder, Dir.Model() + "inner", "deep"));
  EXPECT_EQ(Browser.RootPath(), Dir.Model() + "inner\\");
  EXPECT_FALSE(Browser.AtRoot());
  EXPECT_TRUE(Browser.GoUp());
  EXPECT_EQ(Browser.RelPath(), "");
  EXPECT_TRUE(Browser.GoUp()); // the stacked source's root: back to the one below
  EXPECT_EQ(Browser.RootPath(), "C:\\");
  EXPECT_EQ(Browser.RelPath(), Dir.Rel() + "inner\\");
  EXPECT_EQ(Browser.EntryName(Browser.Cursor), "..");
  EXPECT_TRUE(Browser.CloseSource());
  EXPECT_EQ(Browser.RootPath(), "");
  EXPECT_FALSE(Browser.CloseSource());
}

// Permission failures run as an unprivileged user: root would be allowed everything.
struct TFixturePaths {
  std::string Model;
};

int ListUnreadable(void* context) {
  const auto* paths = static_cast<TFixturePaths*>(context);
  TBrowser browser;
  if (!browser.SetRoot(paths->Model, 0, "secret"))
    return 10;
  if (browser.Count() != 1 || browser.EntryName(1) != "..")
    return 11;
  if (browser.ReadError() != EACCES)
    return 13;
  // The same user does see an open folder: the empty listing above is the permission's doing.
  if (!browser.SetRoot(paths->Model, 0, "open") || browser.Count() != 2 || browser.ReadError() != 0)
    return 12;
  return 0;
}

int DeleteInReadOnlyFolder(void* context) {
  const auto* paths = static_cast<TFixturePaths*>(context);
  TStandartDiskInterface source(nullptr, paths->Model);
  if (source.DeleteFile("locked\\file"))
    return 20;
  if (source.RemoveDir("locked\\sub"))
    return 21;
  if (!source.DeleteFile("free\\file"))
    return 22;
  return 0;
}

TEST_F(BrowserTest, PermissionFailuresListNothingAndDeleteNothing) {
  Dir.File("secret/hidden-away", 1);
  Dir.Chmod("secret", 0700);
  Dir.File("locked/file", 1);
  Dir.Folder("locked/sub");
  Dir.Chmod("locked", 0555);
  Dir.File("open/visible", 1);
  Dir.File("free/file", 1);
  Dir.Chmod("free", 0777);
  TFixturePaths paths{Dir.Model()};
  EXPECT_EQ(test::RunUnprivileged(ListUnreadable, &paths), 0);
  EXPECT_EQ(test::RunUnprivileged(DeleteInReadOnlyFolder, &paths), 0);
  EXPECT_TRUE(platform::PathExists(Dir.Native("locked/file")));
  EXPECT_TRUE(platform::PathExists(Dir.Native("locked/sub")));
}

} // namespace
} // namespace corvane
