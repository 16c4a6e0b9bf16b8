#include "platform/mount_watcher.h"
#include "temp_folder.h"

#include <poll.h>
#include <stdio.h>

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

using test::TTempFolder;
using test::WriteFile;

// Whether the watcher's descriptor signals within the time given.
bool Signals(const TMountWatcher& watcher, int milliseconds) {
  pollfd entry{watcher.Fd(), static_cast<short>(watcher.Priority() ? POLLPRI : POLLIN), 0};
  return ::poll(&entry, 1, milliseconds) == 1;
}

const char* const RootLine = "28 1 254:0 / / rw - ext4 /dev/vda rw\n";
const char* const StickLine = "60 28 8:17 / /media/ann/STICK rw - vfat /dev/sdb1 rw\n";

TEST(MountWatcher, AFixtureTableRewrittenInPlaceOrByRenameIsAChangeOnlyWhenItsLinesDiffer) {
  TTempFolder dir;
  const std::string table = dir.Native("mountinfo");
  WriteFile(table, RootLine);
  TMountWatcher watcher;
  ASSERT_TRUE(watcher.Watch(table));
  EXPECT_FALSE(watcher.Priority());
  EXPECT_FALSE(Signals(watcher, 0));
  EXPECT_FALSE(watcher.Changed());

  // Written in place.
  WriteFile(table, std::string(RootLine) + StickLine);
  ASSERT_TRUE(Signals(watcher, 5000));
  EXPECT_TRUE(watcher.Changed());
  EXPECT_FALSE(Signals(watcher, 0)); // the events were taken
  // Another file beside it, and the same lines written again: woken, but nothing changed.
  WriteFile(dir.Native("drives.ini"), "[Drives]\nD=/media/ann/STICK;removable\n");
  WriteFile(table, std::string(RootLine) + StickLine);
  ASSERT_TRUE(Signals(watcher, 5000));
  EXPECT_FALSE(watcher.Changed());
  // A new table renamed over the old one: the watch on the folder outlives the old file.
  WriteFile(dir.Native("mountinfo.new"), RootLine);
  ASSERT_EQ(::rename(dir.Native("mountinfo.new").c_str(), table.c_str()), 0);
  ASSERT_TRUE(Signals(watcher, 5000));
  EXPECT_TRUE(watcher.Changed());
}

TEST(MountWatcher, AMissingFixtureFolderCannotBeWatched) {
  TTempFolder dir;
  TMountWatcher watcher;
  EXPECT_FALSE(watcher.Watch(dir.Native("gone/mountinfo")));
  EXPECT_FALSE(watcher.Watching());
  EXPECT_FALSE(watcher.Changed());
}

TEST(MountWatcher, TheKernelTableSignalsAMountAndAnUnmount) {
  TMountWatcher watcher;
  ASSERT_TRUE(watcher.Watch("/proc/self/mountinfo"));
  EXPECT_TRUE(watcher.Priority());
  EXPECT_FALSE(watcher.Changed());
  TTempFolder dir;
  {
    test::TMount mount("-t tmpfs -o size=1m tmpfs", dir.Folder("volume"));
    if (!mount.Mounted())
      GTEST_SKIP() << "tmpfs cannot be mounted here: the kernel table's signal is not tested";
    ASSERT_TRUE(Signals(watcher, 5000));
    EXPECT_TRUE(watcher.Changed());
  }
  ASSERT_TRUE(Signals(watcher, 5000));
  EXPECT_TRUE(watcher.Changed());
}

} // namespace
} // namespace corvane::platform
