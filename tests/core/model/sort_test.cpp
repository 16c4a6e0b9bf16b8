#include "listing.h"
#include "model/browser.h"
#include "platform/dir_reader.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

using test::Listing;
using test::Names;
using test::TTempFolder;

const std::string Accented = "\xc3\xa9t\xc3\xa9.txt"; // starts with a byte above 127

class SortTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir.Folder("top/beta");
    Dir.Folder("top/Alpha");
    Dir.File("top/zeta.txt", 300);
    Dir.File("top/alpha.txt", 100);
    Dir.File("top/run.exe", 50);
    Dir.File("top/Tool.bat", 10);
    Dir.File("top/huge.dat", 3000000000);  // beyond 32 bits, sparse
    Dir.File("top/large.dat", 2500000000); // beyond 31 bits, sparse
    Dir.File("top/" + Accented, 5);
  }

  Names Sorted(uint8_t mode, bool foldersFirst, bool executablesFirst) {
    TBrowser browser;
    browser.SortMode = mode;
    browser.FoldersFirst = foldersFirst;
    browser.ExecutablesFirst = executablesFirst;
    EXPECT_TRUE(browser.SetRoot("C:\\", 0, Dir.Rel() + "top"));
    return Listing(browser);
  }

  TTempFolder Dir;
};

TEST_F(SortTest, KeysOrderEveryModeWithTheClassFlags) {
  struct Case {
    uint8_t Mode;
    bool FoldersFirst;
    bool ExecutablesFirst;
    Names Expected;
  };
  const std::string A = Accented;
  const Case cases[] = {
      {smName,
       false,
       false,
       {"..", "Alpha", "alpha.txt", "beta", "huge.dat", "large.dat", "run.exe", "Tool.bat",
        "zeta.txt", A}},
      {smName,
       true,
       false,
       {"..", "Alpha", "beta", "alpha.txt", "huge.dat", "large.dat", "run.exe", "Tool.bat",
        "zeta.txt", A}},
      {smName,
       true,
       true,
       {"..", "Alpha", "beta", "run.exe", "Tool.bat", "alpha.txt", "huge.dat", "large.dat",
        "zeta.txt", A}},
      {smName,
       false,
       true,
       {"..", "run.exe", "Tool.bat", "Alpha", "alpha.txt", "beta", "huge.dat", "large.dat",
        "zeta.txt", A}},
      {smExtension,
       false,
       false,
       {"..", "Alpha", "beta", "Tool.bat", "huge.dat", "large.dat", "run.exe", "alpha.txt",
        "zeta.txt", A}},
      {smExtension,
       true,
       true,
       {"..", "Alpha", "beta", "Tool.bat", "run.exe", "huge.dat", "large.dat", "alpha.txt",
        "zeta.txt", A}},
      // Largest first; folders, not yet measured, are 0 bytes and come by name.
      {smSize,
       true,
       false,
       {"..", "Alpha", "beta", "huge.dat", "large.dat", "zeta.txt", "alpha.txt", "run.exe",
        "Tool.bat", A}},
      {smSize,
       false,
       false,
       {"..", "huge.dat", "large.dat", "zeta.txt", "alpha.txt", "run.exe", "Tool.bat", A, "Alpha",
        "beta"}},
      {smSize,
       true,
       true,
       {"..", "Alpha", "beta", "run.exe", "Tool.bat", "huge.dat", "large.dat", "zeta.txt",
        "alpha.txt", A}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Sorted(c.Mode, c.FoldersFirst, c.ExecutablesFirst), c.Expected)
        << "mode " << int(c.Mode) << " folders first " << c.FoldersFirst << " executables first "
        << c.ExecutablesFirst;
}

TEST_F(SortTest, ReadingOrderIsTheSourcesOrderWithinEachClass) {
  platform::TDirReader reader;
  ASSERT_TRUE(reader.Open(Dir.Native("top")));
  Names raw{".."};
  Names folders{".."};
  Names files;
  std::string name;
  platform::TFileStatus status;
  while (reader.Next(name, status)) {
    raw.push_back(name);
    (status.IsFolder() ? folders : files).push_back(name);
  }
  EXPECT_EQ(Sorted(smReadingOrder, false, false), raw);
  folders.insert(folders.end(), files.begin(), files.end());
  EXPECT_EQ(Sorted(smReadingOrder, true, false), folders);
}

TEST(Sort, EqualKeysComeOutInRawByteOrderWhateverTheReadingOrder) {
  for (const Names& made :
       {Names{"readme", "README", "Readme"}, Names{"Readme", "readme", "README"}}) {
    TTempFolder dir;
    for (const auto& name : made)
      dir.File(name);
    TBrowser browser;
    browser.SortMode = smName;
    ASSERT_TRUE(browser.SetRoot("C:\\", 0, dir.Rel()));
    EXPECT_EQ(Listing(browser), (Names{"..", "README", "Readme", "readme"}));
  }
}

// A source with entries made in memory: the creation time of real files cannot be chosen.
class TMemorySource final : public TDiskInterface {
public:
  explicit TMemorySource(std::vector<TFileEntry> items)
      : TDiskInterface(nullptr, skFolder, "M:\\"), Items(std::move(items)) {}
  bool FindFirst(std::string_view, TFileEntry& entry) override {
    Next = 0;
    return FindNext(entry);
  }
  bool FindNext(TFileEntry& entry) override {
    if (Next >= Items.size())
      return false;
    entry = Items[Next++];
    return true;
  }
  bool DeleteFile(std::string_view) override { return false; }

private:
  std::vector<TFileEntry> Items;
  size_t Next = 0;
};

TFileEntry Dated(const char* name, uint16_t year, uint16_t month, uint16_t day, uint16_t hour,
                 uint16_t minute, uint16_t second) {
  TFileEntry entry;
  entry.Name = name;
  entry.Ext = "txt";
  entry.Attr = 32;
  entry.Created = TSystemTime{year, month, 0, day, hour, minute, second, 0};
  // The written time runs the other way: the date order must not look at it.
  entry.Written = TSystemTime{static_cast<uint16_t>(4000 - year), 1, 0, 1, 0, 0, 0, 0};
  return entry;
}

TEST(Sort, DateOrderIsNewestCreatedFirstThenName) {
  TBrowser browser;
  browser.SortMode = smDate;
  std::vector<TFileEntry> items = {
      Dated("old", 1999, 12, 31, 23, 59, 59), Dated("newest", 2024, 5, 1, 8, 0, 1),
      Dated("same-b", 2024, 5, 1, 8, 0, 0),   Dated("same-a", 2024, 5, 1, 8, 0, 0),
      Dated("month", 2024, 4, 30, 23, 0, 0),
  };
  ASSERT_TRUE(browser.OpenSource(std::make_unique<TMemorySource>(items), ""));
  EXPECT_EQ(Listing(browser),
            (Names{"newest.txt", "same-a.txt", "same-b.txt", "month.txt", "old.txt"}));
}

} // namespace
} // namespace corvane
