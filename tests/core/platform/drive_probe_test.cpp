#include "platform/drive_probe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace corvane::platform {
namespace {

// A clock whose bounded waits end at once when their condition does not hold: the deadline is
// simply declared passed. With a probe that blocks, that is exactly the timeout. With Jump off it
// waits for the condition, however long that takes.
class TJumpingClock final : public TClock {
public:
  TimePoint Now() override { return Current; }
  bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 TimePoint deadline, const std::function<bool()>& ready) override {
    if (!Jump) {
      cv.wait(lock, ready);
      return true;
    }
    if (!ready() && deadline > Current)
      Current = deadline;
    return ready();
  }
  TimePoint Current{};
  bool Jump = true;
};

// A query that blocks until released, as statvfs does on a dead mount.
struct TGate {
  std::mutex Mutex;
  std::condition_variable Opened;
  bool Open = false;
  std::atomic<int> Calls{0};

  bool Query(const std::string&, TDriveFigures& out) {
    ++Calls;
    std::unique_lock lock(Mutex);
    Opened.wait(lock, [&] { return Open; });
    out = TDriveFigures{1, 2};
    return true;
  }
  void Release() {
    {
      std::lock_guard lock(Mutex);
      Open = true;
    }
    Opened.notify_all();
  }
};

TEST(DriveProbe, ADeadMountCountsAsNotReadyAndIsNotAskedAgainMeanwhile) {
  TGate gate;
  TJumpingClock clock;
  TDriveProbe probe([&](const std::string& f, TDriveFigures& o) { return gate.Query(f, o); },
                    clock);
  const auto start = clock.Current;
  EXPECT_FALSE(probe.Query("/net/dead"));
  EXPECT_EQ(clock.Current - start, TDriveProbe::DefaultTimeout);
  EXPECT_TRUE(probe.InFlight("/net/dead"));
  // While the first question hangs, the next is answered at once without another thread.
  EXPECT_FALSE(probe.Query("/net/dead"));

  gate.Release();
  for (int i = 0; i < 1000 && probe.InFlight("/net/dead"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(probe.InFlight("/net/dead"));
  EXPECT_EQ(gate.Calls, 1);
  // The mount answers again: its figures come through.
  clock.Jump = false;
  const auto figures = probe.Query("/net/dead");
  ASSERT_TRUE(figures);
  EXPECT_EQ(figures->FreeBytes, 1u);
  EXPECT_EQ(figures->TotalBytes, 2u);
}

TEST(DriveProbe, AnsweringAndFailingFileSystems) {
  TDriveProbe probe;
  const auto root = probe.Query("/");
  ASSERT_TRUE(root);
  EXPECT_GT(root->TotalBytes, 0u);
  EXPECT_LE(root->FreeBytes, root->TotalBytes);
  EXPECT_FALSE(probe.Query("/no/such/folder"));
}

TEST(DriveProbe, DriveReadinessAsksTheGlobalProbe) {
  TJumpingClock clock;
  auto refusing = std::make_shared<TDriveProbe>(
      [](const std::string&, TDriveFigures&) { return false; }, clock);
  TDriveProbe::SetGlobal(refusing);
  EXPECT_FALSE(FolderFigures("/"));
  EXPECT_TRUE(IsDriveReady('C')); // C: needs no probe
  TDriveProbe::SetGlobal(nullptr);
  EXPECT_TRUE(FolderFigures("/"));
}

} // namespace
} // namespace corvane::platform
