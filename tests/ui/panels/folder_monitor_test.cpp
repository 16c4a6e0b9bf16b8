#include "panels/folder_monitor.h"
#include "temp_folder.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <utility>

namespace corvane {
namespace {

using test::TTempFolder;

// A delay the test ends by calling Expire; it runs the callback only while armed, as a timer does.
class TFakeDelayTimer final : public TDelayTimer {
public:
  void Start(int milliseconds, std::function<void()> fire) override {
    ++Starts;
    LastMs = milliseconds;
    Fire = std::move(fire);
  }
  void Stop() override { Fire = nullptr; }
  bool Pending() const override { return Fire != nullptr; }
  void Expire() {
    if (auto fire = std::exchange(Fire, nullptr))
      fire();
  }

  int Starts = 0;
  int LastMs = 0;
  std::function<void()> Fire;
};

// Runs the event loop until `done` holds, for at most 10 s.
bool PollUntil(const std::function<bool()>& done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit)
      return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Runs the event loop until the monitor has taken every queued event.
bool Drain(const TFolderMonitor& monitor) {
  return PollUntil([&] {
    pollfd poller{monitor.WatchFd(), POLLIN, 0};
    return monitor.WatchFd() < 0 || ::poll(&poller, 1, 0) == 0;
  });
}

// A monitor with a fake delay on the folder "watched" of a temporary folder, counting its events.
struct TMonitorFixture {
  TMonitorFixture() {
    auto timer = std::make_unique<TFakeDelayTimer>();
    Timer = timer.get();
    Monitor.SetDelayTimer(std::move(timer));
    Watched = Dir.Folder("watched");
    Monitor.OnChange = [this] { ++Changes; };
    Monitor.OnFolderGone = [this] { ++Gone; };
    Monitor.SetMonitorFolder(Watched);
    Monitor.StartMonitor();
  }
  bool Touch(const std::string& name) { return TTempFolder::Touch(Watched + "/" + name); }

  TTempFolder Dir;
  TFolderMonitor Monitor;
  TFakeDelayTimer* Timer = nullptr;
  std::string Watched;
  int Changes = 0;
  int Gone = 0;
};

TEST(FolderMonitor, ChangesFoldIntoOneOnChangeWhenTheDelayEnds) {
  TMonitorFixture f;
  ASSERT_TRUE(f.Monitor.Active());
  ASSERT_GE(f.Monitor.WatchFd(), 0);
  ASSERT_TRUE(f.Touch("a"));
  ASSERT_TRUE(PollUntil([&] { return f.Timer->Pending(); }));
  EXPECT_EQ(f.Timer->LastMs, TFolderMonitor::DelayMs);
  EXPECT_EQ(f.Changes, 0);

  // Later changes neither restart the delay nor raise anything of their own.
  ASSERT_TRUE(f.Touch("b"));
  ASSERT_EQ(std::rename((f.Watched + "/b").c_str(), (f.Watched + "/c").c_str()), 0);
  ASSERT_TRUE(Drain(f.Monitor));
  ASSERT_EQ(::unlink((f.Watched + "/a").c_str()), 0);
  ASSERT_TRUE(Drain(f.Monitor));
  EXPECT_EQ(f.Timer->Starts, 1);
  EXPECT_EQ(f.Changes, 0);

  f.Timer->Expire();
  EXPECT_EQ(f.Changes, 1);
  EXPECT_EQ(f.Gone, 0);

  // The next change after that arms a new delay.
  ASSERT_TRUE(f.Touch("d"));
  ASSERT_TRUE(PollUntil([&] { return f.Timer->Pending(); }));
  EXPECT_EQ(f.Timer->Starts, 2);
  f.Timer->Expire();
  EXPECT_EQ(f.Changes, 2);
}

TEST(FolderMonitor, StopCancelsAPendingDelayAndStartWatchesAgain) {
  TMonitorFixture f;
  ASSERT_TRUE(f.Touch("a"));
  ASSERT_TRUE(PollUntil([&] { return f.Timer->Pending(); }));
  f.Monitor.StopMonitor();
  EXPECT_FALSE(f.Monitor.Active());
  EXPECT_EQ(f.Monitor.WatchFd(), -1);
  EXPECT_FALSE(f.Timer->Pending());
  ASSERT_TRUE(f.Touch("b"));
  QCoreApplication::processEvents();
  f.Timer->Expire();
  EXPECT_EQ(f.Changes, 0);
  EXPECT_EQ(f.Timer->Starts, 1);

  // Started again, it sees only what happens from then on.
  f.Monitor.StartMonitor();
  ASSERT_TRUE(f.Monitor.Active());
  ASSERT_TRUE(Drain(f.Monitor));
  EXPECT_FALSE(f.Timer->Pending());
  ASSERT_TRUE(f.Touch("c"));
  ASSERT_TRUE(PollUntil([&] { return f.Timer->Pending(); }));
  f.Timer->Expire();
  EXPECT_EQ(f.Changes, 1);
}

TEST(FolderMonitor, FolderGoingAwayRaisesOnFolderGoneInsteadOfOnChange) {
  struct Case {
    const char* What;
    std::function<void(TMonitorFixture&)> Act;
  };
  const Case cases[] = {
      {"removed",
       [](TMonitorFixture& f) {
         ASSERT_EQ(::unlink((f.Watched + "/a").c_str()), 0);
         ASSERT_EQ(::rmdir(f.Watched.c_str()), 0);
       }},
      {"renamed",
       [](TMonitorFixture& f) {
         ASSERT_EQ(std::rename(f.Watched.c_str(), f.Dir.Native("moved").c_str()), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TMonitorFixture f;
    // A change first, so that a delay is pending when the folder goes.
    ASSERT_TRUE(f.Touch("a"));
    ASSERT_TRUE(PollUntil([&] { return f.Timer->Pending(); }));
    c.Act(f);
    ASSERT_TRUE(PollUntil([&] { return f.Gone > 0; }));
    EXPECT_EQ(f.Gone, 1);
    EXPECT_FALSE(f.Monitor.Active());
    EXPECT_EQ(f.Monitor.WatchFd(), -1);
    f.Timer->Expire();
    EXPECT_EQ(f.Changes, 0);
  }
}

TEST(FolderMonitor, OnFolderGoneMayMoveTheMonitorToAnotherFolder) {
  // As a panel does: from within the event, watch the folder above instead.
  TMonitorFixture f;
  f.Monitor.OnFolderGone = [&] {
    ++f.Gone;
    f.Monitor.StopMonitor();
    f.Monitor.SetMonitorFolder(f.Dir.Path());
    f.Monitor.StartMonitor();
  };
  ASSERT_EQ(::rmdir(f.Watched.c_str()), 0);
  ASSERT_TRUE(PollUntil([&] { return f.Gone > 0; }));
  EXPECT_TRUE(f.Monitor.Active());
  EXPECT_EQ(f.Monitor.MonitorFolder(), f.Dir.Path());
  ASSERT_TRUE(TTempFolder::Touch(f.Dir.Native("new")));
  ASSERT_TRUE(PollUntil([&] { return f.Timer->Pending(); }));
  f.Timer->Expire();
  EXPECT_EQ(f.Changes, 1);
  EXPECT_EQ(f.Gone, 1);
}

TEST(FolderMonitor, FolderThatCannotBeWatchedGivesNoEvents) {
  TTempFolder dir;
  auto timer = std::make_unique<TFakeDelayTimer>();
  TFakeDelayTimer* fake = timer.get();
  TFolderMonitor monitor(nullptr, std::move(timer));
  int events = 0;
  monitor.OnChange = [&] { ++events; };
  monitor.OnFolderGone = [&] { ++events; };
  monitor.SetMonitorFolder(dir.Native("missing"));
  monitor.StartMonitor();
  EXPECT_TRUE(monitor.Active());
  EXPECT_EQ(monitor.WatchFd(), -1);
  // Not even when the folder appears afterwards: the watch was never made.
  dir.Folder("missing");
  ASSERT_TRUE(TTempFolder::Touch(dir.Native("missing/new")));
  QCoreApplication::processEvents();
  EXPECT_FALSE(fake->Pending());
  EXPECT_EQ(events, 0);
  monitor.StopMonitor();
  EXPECT_FALSE(monitor.Active());
}

TEST(FolderMonitor, FileMadeByAnotherProcessArrivesAfterTheRealDelay) {
  TTempFolder dir;
  TFolderMonitor monitor;
  int changes = 0;
  // As a panel does: re-read with the watch stopped, then watch again.
  monitor.OnChange = [&] {
    ++changes;
    monitor.StopMonitor();
    monitor.StartMonitor();
  };
  monitor.SetMonitorFolder(dir.Path());
  monitor.StartMonitor();
  ASSERT_GE(monitor.WatchFd(), 0);

  const std::string path = dir.Native("from-child");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ::_exit(fd >= 0 && ::close(fd) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_TRUE(PollUntil([&] { return changes > 0; }));
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(monitor.Active());
  EXPECT_GE(monitor.WatchFd(), 0);
}

} // namespace
} // namespace corvane
