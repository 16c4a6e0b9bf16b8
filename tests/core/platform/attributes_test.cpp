#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "temp_folder.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

using test::TTempFolder;

bool XattrsWork(const std::string& path) {
  if (::setxattr(path.c_str(), "user.corvane.probe", "1", 1, 0) != 0)
    return false;
  ::removexattr(path.c_str(), "user.corvane.probe");
  return true;
}

TEST(Attributes, WithoutStoredValuesComeFromModeAndName) {
  TTempFolder dir;
  dir.File("plain.txt");
  dir.File(".profile");
  dir.File("locked.txt");
  dir.Chmod("locked.txt", 0444);
  dir.Folder("sub");
  dir.Folder(".cache");
  struct Case {
    const char* Name;
    uint16_t Attr;
  };
  const Case cases[] = {
      {"plain.txt", faArchive},
      {".profile", faArchive | faHidden},
      {"locked.txt", faArchive | faReadOnly},
      {"sub", faDirectory},
      {".cache", faDirectory | faHidden},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetFileAttributes(dir.Native(c.Name)), c.Attr) << c.Name;
}

TEST(Attributes, RoundTripThroughModeAndStoredValue) {
  TTempFolder dir;
  const std::string file = dir.File("f.txt");
  const std::string folder = dir.Folder("d");
  if (!XattrsWork(file))
    GTEST_SKIP() << "user extended attributes are not supported in " << dir.Path();

  struct Case {
    std::string Path;
    uint16_t Set;
    uint16_t Shown;
  };
  const Case cases[] = {
      {file, faReadOnly | faHidden | faSystem, faReadOnly | faHidden | faSystem},
      {file, faArchive, faArchive},
      {file, 0, 0},
      {folder, faDirectory | faReadOnly | faHidden, faDirectory | faReadOnly | faHidden},
      {folder, faDirectory | faSystem | faArchive, faDirectory | faSystem | faArchive},
      {folder, faDirectory, faDirectory},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(SetFileAttributes(c.Path, c.Set)) << c.Set;
    EXPECT_EQ(GetFileAttributes(c.Path), c.Shown) << c.Set;
  }

  // Read-only is the owner's write bit; clearing it gives the owner write access back only.
  struct stat st {};
  ASSERT_TRUE(SetFileAttributes(file, faReadOnly));
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  ASSERT_TRUE(SetFileAttributes(file, faArchive));
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(Attributes, PlainFolderGetsNoStoredValue) {
  TTempFolder dir;
  const std::string folder = dir.Folder("d");
  ASSERT_TRUE(SetFileAttributes(folder, faDirectory));
  char buffer[8];
  EXPECT_LT(::getxattr(folder.c_str(), AttrXattrName, buffer, sizeof buffer), 0);
}

TEST(FileStatus, LinksAndSpecialFilesAreTold) {
  TTempFolder dir;
  dir.File("target.txt", 7);
  dir.Folder("target");
  dir.Link("to-file", "target.txt");
  dir.Link("to-folder", "target");
  dir.Link("dangling", "nowhere");
  ASSERT_EQ(::mkfifo(dir.Native("pipe").c_str(), 0644), 0);
  struct Case {
    const char* Name;
    TEntryKind Kind;
    int64_t Size;
    bool Folder;
  };
  const Case cases[] = {
      {"target.txt", TEntryKind::Regular, 7, false},
      {"target", TEntryKind::Folder, 0, true},
      {"to-file", TEntryKind::LinkToFile, 7, false},
      {"to-folder", TEntryKind::LinkToFolder, 0, true},
      {"dangling", TEntryKind::BrokenLink, 0, false},
      {"pipe", TEntryKind::Special, 0, false},
  };
  for (const auto& c : cases) {
    TFileStatus status;
    ASSERT_TRUE(StatPath(dir.Native(c.Name), status)) << c.Name;
    EXPECT_EQ(status.Kind, c.Kind) << c.Name;
    EXPECT_EQ(status.Size, c.Size) << c.Name;
    EXPECT_EQ(status.IsFolder(), c.Folder) << c.Name;
    EXPECT_EQ((status.Attr & faDirectory) != 0, c.Folder) << c.Name;
  }
}

TEST(FileStatus, CreatedFallsBackToWrittenAndTimesAreLocal) {
  TTempFolder dir;
  dir.File("old.txt");
  dir.SetTime("old.txt", 1000000000); // 2001-09-09 01:46:40 UTC
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TFileStatus status;
  ASSERT_TRUE(StatPath(dir.Native("old.txt"), status));
  EXPECT_EQ(status.Written.Sec, 1000000000);
  const TSystemTime written = ToLocalSystemTime(status.Written);
  EXPECT_EQ(written, (TSystemTime{2001, 9, 0, 9, 1, 46, 40, 0}));
  // The birth time, where kept, is the moment the file was made, never later than now.
  EXPECT_LE(status.Created.Sec, static_cast<int64_t>(::time(nullptr)));
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  EXPECT_EQ(ToLocalSystemTime(status.Written).Hour, 3); // summer time, UTC+2
  ::unsetenv("TZ");
  ::tzset();
}

} // namespace
} // namespace corvane::platform
