// The one write loop: short and interrupted writes go on, a write of nothing fails instead of
// spinning, and the writers built on it (extraction, trash, settings files) fail cleanly then.
#include "archive/archive_types.h"
#include "archive/extract_target.h"
#include "platform/atomic_file.h"
#include "platform/trash.h"
#include "platform/write_all.h"
#include "temp_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

int Calls = 0;

// Fake writes: each writes through to the real descriptor in its own way.
ssize_t OneByteAtATime(int fd, const void* data, size_t) {
  ++Calls;
  return ::write(fd, data, 1);
}
ssize_t InterruptedFirst(int fd, const void* data, size_t size) {
  if (++Calls == 1) {
    errno = EINTR;
    return -1;
  }
  return ::write(fd, data, size);
}
ssize_t NothingWritten(int, const void*, size_t) {
  // A loop that takes 0 for progress would call this for ever; after many calls it gets an error
  // so that such a loop ends and the test can fail instead of hanging.
  if (++Calls > 1000) {
    errno = ENOSPC;
    return -1;
  }
  return 0;
}
ssize_t DiskFull(int, const void*, size_t) {
  ++Calls;
  errno = ENOSPC;
  return -1;
}

// Puts a fake write in place for one test and the system's back afterwards.
class TFakeWrite final {
public:
  explicit TFakeWrite(TWriteCall call) : Previous(ReplaceWriteCall(call)) { Calls = 0; }
  TFakeWrite(const TFakeWrite&) = delete;
  TFakeWrite& operator=(const TFakeWrite&) = delete;
  ~TFakeWrite() { ReplaceWriteCall(Previous); }

private:
  TWriteCall Previous;
};

TEST(WriteAll, GoesOnAfterShortAndInterruptedWritesAndFailsOnNothingWritten) {
  const struct {
    const char* Name;
    TWriteCall Call;
    bool Written;
    int Errno;    // when not written
    int MaxCalls; // a write of nothing must not be tried again and again
  } cases[] = {
      {"one byte at a time", OneByteAtATime, true, 0, 6},
      {"interrupted first", InterruptedFirst, true, 0, 2},
      {"nothing written", NothingWritten, false, EIO, 1},
      {"disk full", DiskFull, false, ENOSPC, 1},
  };
  for (const auto& c : cases) {
    test::TTempFolder dir;
    const std::string path = dir.Native("out");
    TUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(fd.Valid());
    bool written = false;
    int error = 0;
    {
      TFakeWrite fake(c.Call);
      errno = 0;
      written = WriteAll(fd.Get(), "hello", 5);
      error = errno;
    }
    EXPECT_EQ(written, c.Written) << c.Name;
    EXPECT_LE(Calls, c.MaxCalls) << c.Name;
    if (c.Written)
      EXPECT_EQ(test::ReadFile(path), "hello") << c.Name;
    else
      EXPECT_EQ(error, c.Errno) << c.Name;
  }
}

TEST(WriteAll, WritersFailCleanlyWhenTheSystemWritesNothing) {
  test::TTempFolder dir;
  // An extracted file: a write fault, and nothing left behind when it is discarded.
  {
    const std::string folder = dir.Folder("target");
    TUniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    archive::TOutputFile out;
    ASSERT_EQ(out.Create(folderFd.Get(), "x.txt", false), archive::errNone);
    {
      TFakeWrite fake(NothingWritten);
      EXPECT_EQ(out.Write(reinterpret_cast<const uint8_t*>("data"), 4), archive::errWriteFile);
      EXPECT_EQ(Calls, 1);
    }
    out.Discard();
    EXPECT_TRUE(fs::is_empty(folder));
  }
  // A file moved to the trash: its information cannot be written, so it stays where it is.
  {
    const std::string data = dir.Folder("data");
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    test::WriteFile(dir.File("victim"), "keep me");
    std::string why;
    bool trashed = true;
    {
      TFakeWrite fake(NothingWritten);
      trashed = MoveToTrash(dir.Native("victim"), &why);
      EXPECT_EQ(Calls, 1);
    }
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_FALSE(trashed);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(test::ReadFile(dir.Native("victim")), "keep me");
    EXPECT_TRUE(fs::is_empty(data + "/Trash/info"));
  }
  // A settings file: the old contents stay, and no temporary file is left.
  {
    const std::string folder = dir.Folder("settings");
    test::WriteFile(folder + "/cv.ini", "old");
    bool saved = true;
    {
      TFakeWrite fake(NothingWritten);
      saved = WriteFileAtomically(folder + "/cv.ini", "new");
      EXPECT_EQ(Calls, 1);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(test::ReadFile(folder + "/cv.ini"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  }
}

} // namespace
} // namespace corvane::platform
