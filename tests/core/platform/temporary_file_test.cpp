// Temporary files beside a target: fresh every time, private to the owner, and named short enough
// that the longest name a folder takes still gets one; and the writers that use them.
#include "platform/atomic_file.h"
#include "platform/temporary_file.h"
#include "temp_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

namespace corvane::platform {
namespace {

TEST(TemporaryFile, FreshPrivateFilesBesideTheTarget) {
  test::TTempFolder folder;
  const TUniqueFd dir(::open(folder.Path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(dir.Valid());
  const std::string longest(255, 'x');
  std::set<std::string> names;
  for (const std::string& target : {std::string("cv.ini"), longest}) {
    for (int i = 0; i < 20; ++i) {
      TTemporaryFile file = CreateTemporaryFile(dir.Get(), target);
      ASSERT_TRUE(file.Fd.Valid()) << std::strerror(errno);
      EXPECT_TRUE(names.insert(file.Name).second) << file.Name;
      EXPECT_LE(file.Name.size(), 212u);
      EXPECT_EQ(file.Name.rfind("." + target.substr(0, 200) + ".cv", 0), 0u) << file.Name;
      struct stat st {};
      ASSERT_EQ(::fstatat(dir.Get(), file.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW), 0);
      EXPECT_TRUE(S_ISREG(st.st_mode));
      EXPECT_EQ(st.st_mode & 07777, 0600u);
      EXPECT_EQ(st.st_size, 0);
      ASSERT_EQ(::write(file.Fd.Get(), "x", 1), 1);
    }
  }
  // Made in the folder given, not in the working folder.
  for (const std::string& name : names)
    EXPECT_EQ(::faccessat(dir.Get(), name.c_str(), F_OK, 0), 0) << name;

  // A folder that cannot take the file: no descriptor, no name, errno tells why.
  const TUniqueFd gone(::open(folder.Folder("gone").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  ASSERT_EQ(::rmdir(folder.Native("gone").c_str()), 0);
  const TTemporaryFile failed = CreateTemporaryFile(gone.Get(), "a");
  EXPECT_FALSE(failed.Fd.Valid());
  EXPECT_EQ(errno, ENOENT);
  EXPECT_TRUE(failed.Name.empty());
}

TEST(TemporaryFile, AtomicWriteOfTheLongestName) {
  test::TTempFolder folder;
  for (size_t length : {1, 100, 200, 254, 255}) {
    SCOPED_TRACE(length);
    const std::string path = folder.Native(std::string(length, 'n'));
    ASSERT_TRUE(WriteFileAtomically(path, "first")) << std::strerror(errno);
    ASSERT_TRUE(WriteFileAtomically(path, "second")) << std::strerror(errno);
    EXPECT_EQ(ReadWholeFile(path).value_or(""), "second");
    ::unlink(path.c_str());
  }
}

} // namespace
} // namespace corvane::platform
