#include "platform/process_temp.h"
#include "temp_folder.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace corvane::platform {
namespace {

using test::TTempFolder;

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A child process that only waits to be ended, for a running instance other than ours.
struct TLiveChild {
  TLiveChild() : Pid(::fork()) {
    if (Pid == 0) {
      ::pause();
      ::_exit(0);
    }
  }
  ~TLiveChild() {
    ::kill(Pid, SIGKILL);
    ::waitpid(Pid, nullptr, 0);
  }
  const pid_t Pid;
};

// The id of a process that has ended.
pid_t EndedPid() {
  const pid_t pid = ::fork();
  if (pid == 0)
    ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST(ProcessTemp, EachProcessHasItsOwnFolderAndRemovesOnlyThatOne) {
  TTempFolder dir;
  const std::string home = dir.Folder("program");
  const std::string ours = home + "/temp/" + std::to_string(::getpid());
  EXPECT_EQ(ProcessTempFolder(home), ours);
  ASSERT_EQ(MakeProcessTemp(home), ours);
  EXPECT_EQ(test::ReadFile(ours + ".owner"), ProcessStamp(::getpid()) + "\n");
  EXPECT_FALSE(ProcessStamp(::getpid()).empty());

  // Made again, it keeps what it holds.
  test::WriteFile(ours + "/files0.lst", "a\n");
  EXPECT_EQ(MakeProcessTemp(home), ours);
  EXPECT_EQ(test::ReadFile(ours + "/files0.lst"), "a\n");

  // Another running instance's folder, and what ours holds: a read-only folder, a link to a
  // file outside.
  TLiveChild other;
  const std::string theirs = home + "/temp/" + std::to_string(other.Pid);
  dir.File("program/temp/" + std::to_string(other.Pid) + "/archiver.log");
  test::WriteFile(theirs + ".owner", ProcessStamp(other.Pid) + "\n");
  const std::string outside = dir.File("outside/keep.txt", 10);
  dir.File("program/temp/" + std::to_string(::getpid()) + "/ro/copy.txt", 5);
  ASSERT_EQ(::chmod((ours + "/ro").c_str(), 0500), 0);
  ASSERT_EQ(::symlink(outside.c_str(), (ours + "/link").c_str()), 0);

  std::string why;
  EXPECT_TRUE(RemoveProcessTemp(home, &why)) << why;
  EXPECT_FALSE(Exists(ours));
  EXPECT_FALSE(Exists(ours + ".owner"));
  EXPECT_TRUE(Exists(theirs + "/archiver.log"));
  EXPECT_TRUE(Exists(theirs + ".owner"));
  EXPECT_EQ(test::ReadFile(outside).size(), 10u);
  // Removing it again, or where there never was a temp folder, is no failure.
  EXPECT_TRUE(RemoveProcessTemp(home));
  EXPECT_TRUE(RemoveProcessTemp(dir.Folder("never used")));
}

TEST(ProcessTemp, FoldersOfEndedProcessesGoAtStartAndLinksInThemAreNotFollowed) {
  TTempFolder dir;
  const std::string home = dir.Folder("program");
  const std::string temp = dir.Folder("program/temp");
  const std::string outside = dir.File("outside/keep.txt", 10);
  const auto folder = [&](pid_t pid, const char* stamp) {
    const std::string path = temp + "/" + std::to_string(pid);
    dir.File("program/temp/" + std::to_string(pid) + "/sub/archiver.log", 3);
    if (stamp)
      test::WriteFile(path + ".owner", std::string(stamp) + "\n");
    return path;
  };

  TLiveChild running;
  TLiveChild makingItsFolder;
  const pid_t ended = EndedPid();
  const pid_t endedWithoutStamp = EndedPid();
  const pid_t endedAsLink = EndedPid();
  const std::string endedFolder = folder(ended, "some boot 12345");
  ASSERT_EQ(::symlink(dir.Native("outside").c_str(), (endedFolder + "/sub/out").c_str()), 0);
  ASSERT_EQ(::symlink(outside.c_str(), (endedFolder + "/file link").c_str()), 0);
  const std::string stampless = folder(endedWithoutStamp, nullptr);
  const std::string link = temp + "/" + std::to_string(endedAsLink);
  ASSERT_EQ(::symlink(dir.Native("outside").c_str(), link.c_str()), 0);
  test::WriteFile(link + ".owner", "x\n");
  // Pid 1 runs, but it is not the process that made this folder: its id was reused.
  ASSERT_FALSE(ProcessStamp(1).empty());
  const std::string reused = folder(1, (ProcessStamp(1) + "0").c_str());
  // Running instances keep theirs, also one whose stamp is not written yet.
  const std::string live = folder(running.Pid, ProcessStamp(running.Pid).c_str());
  const std::string young = folder(makingItsFolder.Pid, nullptr);
  // Names that are no process id are no one's to judge.
  for (const char* name : {"notes", "0123", "12x", "7.owner.bak"})
    dir.File("program/temp/" + std::string(name));

  EXPECT_EQ(RemoveStaleTemps(home), 4);
  for (const std::string& gone : {endedFolder, stampless, link, reused}) {
    EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_FALSE(Exists(gone + ".owner")) << gone;
  }
  EXPECT_EQ(test::ReadFile(outside).size(), 10u);
  EXPECT_TRUE(Exists(live + "/sub/archiver.log"));
  EXPECT_TRUE(Exists(live + ".owner"));
  EXPECT_TRUE(Exists(young + "/sub/archiver.log"));
  for (const char* name : {"notes", "0123", "12x", "7.owner.bak"})
    EXPECT_TRUE(Exists(temp + "/" + name)) << name;

  // What an ended process with our id left is not taken for ours.
  const std::string ours = folder(::getpid(), "an earlier boot 1");
  ASSERT_EQ(MakeProcessTemp(home), ours);
  EXPECT_FALSE(Exists(ours + "/sub"));
  EXPECT_EQ(test::ReadFile(ours + ".owner"), ProcessStamp(::getpid()) + "\n");
  EXPECT_EQ(RemoveStaleTemps(home), 0);
  EXPECT_TRUE(Exists(ours));
  EXPECT_TRUE(RemoveProcessTemp(home));
}

TEST(ProcessTemp, AProgramFolderThatCannotBeWrittenFailsNothing) {
  TTempFolder dir;
  const std::string home = dir.Folder("program");
  ASSERT_EQ(::chmod(home.c_str(), 0555), 0);
  // Run unprivileged: root could write there anyway.
  const int result = test::RunUnprivileged(
      [](void* context) {
        const std::string& home = *static_cast<const std::string*>(context);
        if (!MakeProcessTemp(home).empty())
          return 1;
        if (RemoveStaleTemps(home) != 0 || !RemoveProcessTemp(home))
          return 2;
        return 0;
      },
      const_cast<std::string*>(&home));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(Exists(home + "/temp"));
}

} // namespace
} // namespace corvane::platform
