#include "model/browser.h"
#include "model/copy_file.h"
#include "platform/file_ops.h"
#include "temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <set>

namespace corvane {
namespace {

using test::TTempFolder;
namespace fs = std::filesystem;

// Counts what the copy reports and answers the overwrite question.
struct TRecorder {
  TBrowser Browser;
  bool Answer = true;
  std::vector<int> Kinds;
  int64_t LastDone = -1;
  int Firsts = 0;
  int Ends = 0;
  TRecorder() {
    Browser.OnCopyConfirm = [this](TCopyConfirm kind, const std::string&, bool& answer) {
      Kinds.push_back(static_cast<int>(kind));
      answer = Answer;
    };
    Browser.OnCopyFirstBlock = [this](const std::string&, const std::string&, int64_t) {
      ++Firsts;
    };
    Browser.OnCopyOneBlock = [this](int64_t done, int64_t) { LastDone = done; };
    Browser.OnCopyFileEnd = [this] { ++Ends; };
  }
};

// Files in the folder other than the ones named: a temporary file left behind shows here.
std::vector<std::string> Leftovers(const std::string& folder, std::set<std::string> expected) {
  std::vector<std::string> extra;
  for (const auto& entry : fs::directory_iterator(folder))
    if (!expected.count(entry.path().filename().string()))
      extra.push_back(entry.path().filename().string());
  return extra;
}

TEST(CopyFileBlocks, CopiesContentsTimesAndModeAndReportsProgress) {
  TTempFolder dir;
  const std::string text(3 * CopyBlockSize + 17, 'x');
  test::WriteFile(dir.File("a.bin"), text);
  dir.Chmod("a.bin", 0640);
  dir.SetTime("a.bin", 1000000000);
  TRecorder r;
  ASSERT_TRUE(CopyFileBlocks(&r.Browser, dir.Model() + "a.bin", dir.Model() + "b.bin", false));
  EXPECT_EQ(test::ReadFile(dir.Native("b.bin")), text);
  struct stat st {};
  ASSERT_EQ(::stat(dir.Native("b.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(r.Firsts, 1);
  EXPECT_EQ(r.LastDone, int64_t(text.size()));
  EXPECT_EQ(r.Ends, 1);
  EXPECT_TRUE(Leftovers(dir.Path(), {"a.bin", "b.bin"}).empty());
}

TEST(CopyFileBlocks, AnExistingTargetIsReplacedOnlyWhenTheUserSaysSo) {
  TTempFolder dir;
  test::WriteFile(dir.File("src"), "new");
  test::WriteFile(dir.File("dst"), "old");
  dir.Chmod("dst", 0444);
  TRecorder r;
  r.Answer = false;
  EXPECT_TRUE(CopyFileBlocks(&r.Browser, dir.Model() + "src", dir.Model() + "dst", true));
  EXPECT_EQ(r.Kinds, std::vector<int>{2}); // read-only target
  EXPECT_EQ(test::ReadFile(dir.Native("dst")), "old");
  EXPECT_EQ(test::ReadFile(dir.Native("src")), "new"); // a skipped move keeps its source
  r.Answer = true;
  EXPECT_TRUE(CopyFileBlocks(&r.Browser, dir.Model() + "src", dir.Model() + "dst", true));
  EXPECT_EQ(test::ReadFile(dir.Native("dst")), "new");
  EXPECT_FALSE(platform::PathExists(dir.Native("src")));
  EXPECT_TRUE(Leftovers(dir.Path(), {"dst"}).empty());
}

TEST(CopyFileBlocks, NeverCopiesAFileOntoItselfOrFromSpecialFiles) {
  TTempFolder dir;
  test::WriteFile(dir.File("only"), "precious");
  ASSERT_EQ(::link(dir.Native("only").c_str(), dir.Native("hard").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.Native("pipe").c_str(), 0644), 0);
  TRecorder r;
  struct Case {
    const char* From;
    const char* To;
    bool Move;
  };
  for (const Case& c : {Case{"only", "only", true}, Case{"only", "hard", true},
                        Case{"hard", "only", false}, Case{"pipe", "copy", false}}) {
    EXPECT_FALSE(CopyFileBlocks(&r.Browser, dir.Model() + c.From, dir.Model() + c.To, c.Move))
        << c.From << " -> " << c.To;
  }
  EXPECT_EQ(test::ReadFile(dir.Native("only")), "precious");
  EXPECT_EQ(test::ReadFile(dir.Native("hard")), "precious");
  EXPECT_TRUE(Leftovers(dir.Path(), {"only", "hard", "pipe"}).empty());
  EXPECT_TRUE(r.Kinds.empty()); // refused before any question
}

TEST(CopyFileBlocks, LinksAreCopiedAsLinks) {
  TTempFolder dir;
  dir.Folder("elsewhere");
  dir.Link("link", "elsewhere");
  TRecorder r;
  ASSERT_TRUE(CopyFileBlocks(&r.Browser, dir.Model() + "link", dir.Model() + "copy", false));
  EXPECT_TRUE(fs::is_symlink(dir.Native("copy")));
  EXPECT_EQ(fs::read_symlink(dir.Native("copy")), "elsewhere");
}

// A full disk in the middle of a file: nothing of the old target or the source may be lost.
TEST(CopyFileBlocks, AFullDiskLeavesTargetAndSourceWhole) {
  TTempFolder dir;
  const std::string small = dir.Folder("small");
  if (::geteuid() != 0 ||
      std::system(("mount -t tmpfs -o size=256k tmpfs '" + small + "' 2>/dev/null").c_str()) != 0) {
    std::cout << "full-disk case skipped: this machine cannot mount a small tmpfs\n";
    GTEST_SKIP();
  }
  std::cout << "full-disk case runs on a 256 KiB tmpfs\n";
  const std::string big(1 << 20, 'b');
  test::WriteFile(dir.File("big"), big);
  test::WriteFile(small + "/target", "old target");
  TRecorder r;
  for (const bool move : {false, true}) {
    EXPECT_FALSE(
        CopyFileBlocks(&r.Browser, dir.Model() + "big", dir.Model() + "small\\target", move));
    EXPECT_EQ(test::ReadFile(small + "/target"), "old target");
    EXPECT_EQ(test::ReadFile(dir.Native("big")), big);
    EXPECT_TRUE(Leftovers(small, {"target"}).empty());
    EXPECT_TRUE(Leftovers(dir.Path(), {"big", "small"}).empty());
    EXPECT_EQ(errno, ENOSPC);
  }
  [[maybe_unused]] const int unmounted = std::system(("umount '" + small + "'").c_str());
}

} // namespace
} // namespace corvane
