#include "model/browser.h"
#include "platform/native_path.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using test::TTempFolder;
using THit = std::pair<std::string, std::string>; // folder relative to the root, name

struct TSearch {
  explicit TSearch(TBrowser& browser) {
    browser.OnSearchFolder = [this](const std::string& folder) { Folders.push_back(folder); };
    browser.OnSearchFound = [this](const std::string& folder, const TFileEntry& entry) {
      Hits.emplace_back(folder, entry.EntryName());
      Bytes += entry.Size;
    };
  }
  std::vector<std::string> Folders;
  std::vector<THit> Hits;
  int64_t Bytes = 0;
};

class BrowserFind : public ::testing::Test {
protected:
  void Open() { ASSERT_TRUE(Browser.SetRoot("C:\\", 0, Dir.Rel())); }
  TTempFolder Dir;
  TBrowser Browser;
};

// Folders named like the mask are hits and are searched too; every mask of a list counts; deep
// paths are never cut; a link back up the tree is not walked into.
TEST_F(BrowserFind, FindsFilesAndFoldersBelowTheStartWithoutCuttingOrLooping) {
  std::string deep = "docs";
  while (deep.size() < 400)
    deep += "/a rather long folder name";
  Dir.File(deep + "/z.bmp", 3);
  Dir.File("docs/a.txt", 5);
  Dir.File("x.gif", 7);
  Dir.File("docs/readme");
  Dir.Link("docs/loop", "..");
  Open();
  TSearch search(Browser);
  Browser.SearchTree(Dir.Rel(), "*.bmp;*.gif;doc*");
  std::string deepModel = Dir.Rel() + deep + "\\";
  for (char& c : deepModel)
    if (c == '/')
      c = '\\';
  EXPECT_EQ(std::multiset<THit>(search.Hits.begin(), search.Hits.end()),
            (std::multiset<THit>{{Dir.Rel(), "docs"}, {Dir.Rel(), "x.gif"}, {deepModel, "z.bmp"}}));
  EXPECT_EQ(search.Bytes, 10);
  // Each folder once, the start first, as full model paths; the link is listed, not entered.
  EXPECT_EQ(search.Folders.front(), "C:\\" + Dir.Rel());
  EXPECT_EQ(std::set<std::string>(search.Folders.begin(), search.Folders.end()).size(),
            search.Folders.size());
  for (const std::string& folder : search.Folders)
    EXPECT_EQ(folder.find("loop"), std::string::npos) << folder;
  EXPECT_FALSE(Browser.Busy);
}

// A folder's own hits come before its sub-folders', and the sub-folders are walked last listed
// first; a start folder below the root limits the walk.
TEST_F(BrowserFind, AFoldersHitsComeFirstThenItsSubFoldersLastListedFirst) {
  for (const char* name :
       {"top/one/hit.txt", "top/two/hit.txt", "top/three/hit.txt", "top/hit.txt", "other/hit.txt"})
    Dir.File(name);
  Open();
  std::vector<std::string> listed;
  TFileEntry entry;
  for (bool more = Browser.CurrentSource()->FindFirst(Dir.Rel() + "top\\", entry); more;
       more = Browser.CurrentSource()->FindNext(entry))
    if (entry.IsFolder())
      listed.push_back(entry.EntryName());
  ASSERT_EQ(listed.size(), 3u);
  TSearch search(Browser);
  Browser.SearchTree(Dir.Rel() + "top", "*.txt");
  const std::string top = Dir.Rel() + "top\\";
  EXPECT_EQ(search.Hits, (std::vector<THit>{{top, "hit.txt"},
                                            {top + listed[2] + "\\", "hit.txt"},
                                            {top + listed[1] + "\\", "hit.txt"},
                                            {top + listed[0] + "\\", "hit.txt"}}));
  EXPECT_EQ(search.Folders.front(), "C:\\" + top);
}

TEST_F(BrowserFind, StopKeepsTheHitsSoFarAndABusyBrowserIsNotSearched) {
  for (int i = 0; i < 20; ++i)
    Dir.File("f/" + std::to_string(i) + "/hit.txt");
  Open();
  TSearch search(Browser);
  Browser.OnSearchFound = [&](const std::string& folder, const TFileEntry& entry) {
    search.Hits.emplace_back(folder, entry.EntryName());
    if (search.Hits.size() == 3)
      Browser.StopOperation();
  };
  Browser.SearchTree(Dir.Rel(), "*.txt");
  EXPECT_EQ(search.Hits.size(), 3u);
  EXPECT_FALSE(Browser.Busy);

  search.Hits.clear();
  Browser.Busy = true; // another engine runs
  Browser.SearchTree(Dir.Rel(), "*.txt");
  EXPECT_TRUE(search.Hits.empty());
  EXPECT_TRUE(Browser.Busy);
}

TEST_F(BrowserFind, ShowFolderGoesThereOrStaysWhereItWas) {
  Dir.File("a/b/c.txt");
  Open();
  EXPECT_EQ(Browser.ShowFolder(Dir.Rel() + "a\\b\\"), 0);
  EXPECT_EQ(Browser.RelPath(), Dir.Rel() + "a\\b\\");
  EXPECT_GT(Browser.FindEntry("c.txt"), 0);
  EXPECT_EQ(Browser.ShowFolder(Dir.Rel() + "a\\gone\\"), ENOENT);
  EXPECT_EQ(Browser.RelPath(), Dir.Rel() + "a\\b\\");
  EXPECT_GT(Browser.FindEntry("c.txt"), 0);
}

} // namespace
} // namespace corvane
