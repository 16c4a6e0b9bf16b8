#include "platform/file_ops.h"
#include "platform/folder_watcher.h"
#include "temp_folder.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace corvane::platform {
namespace {

using test::TTempFolder;

// A folder "watched" holding a file, a sub-folder with a file of its own, and a file beside it.
struct TWatchFixture {
  TWatchFixture() {
    Watched = Dir.Folder("watched");
    Dir.File("watched/old", 10);
    Dir.File("watched/sub/inner", 10);
    Dir.File("outside");
  }
  std::string In(const std::string& relative) const { return Dir.Native("watched/" + relative); }

  TTempFolder Dir;
  std::string Watched;
};

// Waits, up to a generous limit, for the descriptor to become readable, then drains it.
TFolderChange WaitAndRead(TFolderWatcher& watcher) {
  pollfd poller{watcher.Fd(), POLLIN, 0};
  EXPECT_EQ(::poll(&poller, 1, 10000), 1) << "no event within 10 s";
  return watcher.ReadEvents();
}

bool Readable(const TFolderWatcher& watcher) {
  pollfd poller{watcher.Fd(), POLLIN, 0};
  return ::poll(&poller, 1, 0) == 1;
}

void AppendTo(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::write(fd, "more", 4), 4);
  ::close(fd);
}

TEST(FolderWatcher, ReportsEachKindOfChangeInTheFolder) {
  struct Case {
    const char* What;
    std::function<void(TWatchFixture&)> Act;
  };
  const Case cases[] = {
      {"create a file", [](TWatchFixture& f) { ASSERT_TRUE(TTempFolder::Touch(f.In("new"))); }},
      {"make a folder", [](TWatchFixture& f) { ASSERT_TRUE(MakeFolder(f.In("newdir"))); }},
      {"delete a file", [](TWatchFixture& f) { ASSERT_EQ(::unlink(f.In("old").c_str()), 0); }},
      {"rename within",
       [](TWatchFixture& f) { ASSERT_EQ(::rename(f.In("old").c_str(), f.In("new").c_str()), 0); }},
      {"move in",
       [](TWatchFixture& f) {
         ASSERT_EQ(::rename(f.Dir.Native("outside").c_str(), f.In("came").c_str()), 0);
       }},
      {"move out",
       [](TWatchFixture& f) {
         ASSERT_EQ(::rename(f.In("old").c_str(), f.Dir.Native("went").c_str()), 0);
       }},
      {"write to a file", [](TWatchFixture& f) { AppendTo(f.In("old")); }},
      {"chmod a file", [](TWatchFixture& f) { ASSERT_EQ(::chmod(f.In("old").c_str(), 0600), 0); }},
      {"rename the sub-folder",
       [](TWatchFixture& f) { ASSERT_EQ(::rename(f.In("sub").c_str(), f.In("sub2").c_str()), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TWatchFixture fixture;
    TFolderWatcher watcher;
    ASSERT_TRUE(watcher.Watch(fixture.Watched));
    ASSERT_GE(watcher.Fd(), 0);
    c.Act(fixture);
    const TFolderChange change = WaitAndRead(watcher);
    EXPECT_TRUE(change.Changed);
    EXPECT_FALSE(change.FolderGone);
    // Everything was taken in one call: the queue is empty now.
    EXPECT_FALSE(Readable(watcher));
    EXPECT_FALSE(watcher.ReadEvents().Changed);
  }
}

TEST(FolderWatcher, IgnoresChangesInsideSubFoldersAndBeside) {
  TWatchFixture fixture;
  TFolderWatcher watcher;
  ASSERT_TRUE(watcher.Watch(fixture.Watched));
  ASSERT_TRUE(TTempFolder::Touch(fixture.In("sub/new")));
  AppendTo(fixture.In("sub/inner"));
  ASSERT_EQ(::chmod(fixture.In("sub/inner").c_str(), 0600), 0);
  ASSERT_EQ(::unlink(fixture.In("sub/inner").c_str()), 0);
  ASSERT_TRUE(TTempFolder::Touch(fixture.Dir.Native("beside")));
  EXPECT_FALSE(Readable(watcher));
  const TFolderChange change = watcher.ReadEvents();
  EXPECT_FALSE(change.Changed);
  EXPECT_FALSE(change.FolderGone);
}

TEST(FolderWatcher, DrainsMoreEventsThanOneReadHolds) {
  TWatchFixture fixture;
  TFolderWatcher watcher;
  ASSERT_TRUE(watcher.Watch(fixture.Watched));
  // Each file gives a create and a close-after-write event with a long name: far beyond 16 KB.
  for (int i = 0; i < 400; ++i)
    ASSERT_TRUE(TTempFolder::Touch(fixture.In(std::string(60, 'n') + std::to_string(i))));
  EXPECT_TRUE(WaitAndRead(watcher).Changed);
  EXPECT_FALSE(Readable(watcher));
}

TEST(FolderWatcher, ReportsTheFolderItselfGoingAway) {
  struct Case {
    const char* What;
    std::function<void(TWatchFixture&)> Act;
  };
  const Case cases[] = {
      {"removed",
       [](TWatchFixture& f) {
         for (const char* file : {"old", "sub/inner"})
           ASSERT_EQ(::unlink(f.In(file).c_str()), 0);
         ASSERT_EQ(::rmdir(f.In("sub").c_str()), 0);
         ASSERT_EQ(::rmdir(f.Watched.c_str()), 0);
       }},
      {"renamed",
       [](TWatchFixture& f) {
         ASSERT_EQ(::rename(f.Watched.c_str(), f.Dir.Native("moved").c_str()), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TWatchFixture fixture;
    TFolderWatcher watcher;
    ASSERT_TRUE(watcher.Watch(fixture.Watched));
    c.Act(fixture);
    EXPECT_TRUE(WaitAndRead(watcher).FolderGone);
  }
}

TEST(FolderWatcher, FolderThatCannotBeWatchedFails) {
  TTempFolder dir;
  const std::string file = dir.File("file");
  struct Case {
    std::string Path;
    int Error;
  };
  for (const Case& c : {Case{dir.Native("missing"), ENOENT}, Case{file, ENOTDIR},
                        Case{file + "/below", ENOTDIR}, Case{"", ENOENT}}) {
    SCOPED_TRACE(c.Path);
    TFolderWatcher watcher;
    // A failed watch also ends the one before it.
    ASSERT_TRUE(watcher.Watch(dir.Path()));
    errno = 0;
    EXPECT_FALSE(watcher.Watch(c.Path));
    EXPECT_EQ(errno, c.Error);
    EXPECT_EQ(watcher.Fd(), -1);
    EXPECT_FALSE(watcher.ReadEvents().Changed);
  }
}

TEST(FolderWatcher, NewWatchReplacesTheOldAndStopEndsIt) {
  TTempFolder dir;
  const std::string first = dir.Folder("first");
  const std::string second = dir.Folder("second");
  TFolderWatcher watcher;
  ASSERT_TRUE(watcher.Watch(first));
  ASSERT_TRUE(TTempFolder::Touch(first + "/before"));
  ASSERT_TRUE(watcher.Watch(second));
  // Neither the event queued before the switch nor later changes of the old folder show.
  ASSERT_TRUE(TTempFolder::Touch(first + "/after"));
  EXPECT_FALSE(Readable(watcher));
  ASSERT_TRUE(TTempFolder::Touch(second + "/new"));
  EXPECT_TRUE(WaitAndRead(watcher).Changed);

  watcher.Stop();
  EXPECT_EQ(watcher.Fd(), -1);
  ASSERT_TRUE(TTempFolder::Touch(second + "/more"));
  EXPECT_FALSE(watcher.ReadEvents().Changed);
}

// Folders made one by one and removed in reverse order on every exit: the temporary folder's own
// removal does not reach below the path limit.
struct TMadeFolders {
  ~TMadeFolders() {
    for (auto folder = Made.rbegin(); folder != Made.rend(); ++folder)
      RemoveFolder(*folder);
  }
  bool Make(const std::string& path) {
    if (!MakeFolder(path))
      return false;
    Made.push_back(path);
    return true;
  }
  std::vector<std::string> Made;
};

TEST(FolderWatcher, WatchesFoldersDeeperThanThePathLimit) {
  TTempFolder dir;
  TMadeFolders folders;
  std::string path = dir.Path();
  std::string above;
  while (path.size() <= PATH_MAX) {
    above = path;
    path += "/" + std::string(200, 'd');
    ASSERT_TRUE(folders.Make(path)) << path.size();
  }
  TFolderWatcher watcher;
  ASSERT_TRUE(watcher.Watch(path));
  ASSERT_TRUE(folders.Make(path + "/new"));
  EXPECT_TRUE(WaitAndRead(watcher).Changed);
  // The watch is on the deep folder, not on the one above it.
  ASSERT_TRUE(folders.Make(above + "/beside"));
  EXPECT_FALSE(Readable(watcher));
}

} // namespace
} // namespace corvane::platform
