#include "platform/trash.h"
#include "platform/unique_fd.h"
#include "temp_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

namespace corvane::platform {
namespace {

using test::TTempFolder;

// Sets an environment variable for a while and puts the old value back (the time zone is read
// again afterwards, for TZ).
class TEnvGuard final {
public:
  TEnvGuard(const char* name, const std::string& value) : Name(name) {
    if (const char* old = std::getenv(name))
      Old = old;
    ::setenv(name, value.c_str(), 1);
    ::tzset();
  }
  TEnvGuard(const TEnvGuard&) = delete;
  TEnvGuard& operator=(const TEnvGuard&) = delete;
  ~TEnvGuard() {
    if (Old)
      ::setenv(Name, Old->c_str(), 1);
    else
      ::unsetenv(Name);
    ::tzset();
  }

private:
  const char* Name;
  std::optional<std::string> Old;
};

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        names.insert(entry->d_name);
    ::closedir(dir);
  }
  return names;
}

// The keys of an information file; its first line under "".
std::map<std::string, std::string> ReadInfo(const std::string& path) {
  std::map<std::string, std::string> keys;
  std::ifstream in(path);
  std::string line;
  std::getline(in, keys[""]);
  while (std::getline(in, line))
    if (const size_t equals = line.find('='); equals != std::string::npos)
      keys[line.substr(0, equals)] = line.substr(equals + 1);
  return keys;
}

class TrashTest : public ::testing::Test {
protected:
  std::string Trash(std::string_view inside = {}) const {
    std::string path = Dir.Native("data/Trash");
    if (!inside.empty())
      path += "/" + std::string(inside);
    return path;
  }

  TTempFolder Dir;
  TEnvGuard DataHome{"XDG_DATA_HOME", Dir.Native("data")};
};

TEST(TrashPath, EscapesEveryByteOutsideTheUnreservedSet) {
  const struct {
    std::string Plain;
    std::string Encoded;
  } cases[] = {
      {"/home/ann/notes.txt", "/home/ann/notes.txt"},
      {"/a b/100%", "/a%20b/100%25"},
      {"/\xff\xfe\x01", "/%FF%FE%01"},
      {"/caf\xc3\xa9", "/caf%C3%A9"},
      {"/-_.!~*'()", "/-_.!~*'()"},
      {"/#?&=+;,:@[]\\", "/%23%3F%26%3D%2B%3B%2C%3A%40%5B%5D%5C"},
      {"sub/file", "sub/file"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeTrashPath(c.Plain), c.Encoded);
    EXPECT_EQ(DecodeTrashPath(c.Encoded), c.Plain) << c.Encoded;
  }
  EXPECT_EQ(DecodeTrashPath("/caf%c3%a9"), "/caf\xc3\xa9");
  for (const char* bad : {"%", "/a%2", "/a%zz", "/a%00b", "%%41"})
    EXPECT_FALSE(DecodeTrashPath(bad).has_value()) << bad;
}

TEST_F(TrashTest, FilesFoldersAndLinksMoveUnderFilesWithTheirInformation) {
  // A zone away from UTC, so that a date written in UTC would show.
  const TEnvGuard zone("TZ", "ABC-3");
  test::WriteFile(Dir.File("outside/kept/data"), "outside");
  const std::string odd = "a b%20c\xff\xfe.txt";
  test::WriteFile(Dir.File("work/plain.txt"), "plain");
  test::WriteFile(Dir.File("work/tree/sub/leaf"), "leaf");
  Dir.Link("work/link", Dir.Native("outside"));
  test::WriteFile(Dir.File("work/" + odd), "odd");

  const struct {
    std::string Name;
    mode_t Type;
  } items[] = {{"plain.txt", S_IFREG}, {"tree", S_IFDIR}, {"link", S_IFLNK}, {odd, S_IFREG}};
  for (const auto& item : items) {
    SCOPED_TRACE(item.Name);
    const std::string original = Dir.Native("work/" + item.Name);
    const time_t before = ::time(nullptr);
    std::string why;
    ASSERT_TRUE(MoveToTrash(original, &why)) << why;
    const time_t after = ::time(nullptr);
    EXPECT_FALSE(Exists(original));
    struct stat st {};
    ASSERT_EQ(::lstat(Trash("files/" + item.Name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, item.Type);

    auto info = ReadInfo(Trash("info/" + item.Name + ".trashinfo"));
    EXPECT_EQ(info[""], "[Trash Info]");
    EXPECT_EQ(DecodeTrashPath(info["Path"]), original);
    const std::string date = info["DeletionDate"];
    struct tm local {};
    const char* end = ::strptime(date.c_str(), "%Y-%m-%dT%H:%M:%S", &local);
    ASSERT_TRUE(end && *end == 0 && date.size() == 19) << date;
    local.tm_isdst = -1;
    const time_t written = std::mktime(&local);
    EXPECT_GE(written, before) << date;
    EXPECT_LE(written, after) << date;
  }
  EXPECT_EQ(ReadInfo(Trash("info/" + odd + ".trashinfo"))["Path"],
            EncodeTrashPath(Dir.Path()) + "/work/a%20b%2520c%FF%FE.txt");
  EXPECT_EQ(test::ReadFile(Trash("files/plain.txt")), "plain");
  EXPECT_EQ(test::ReadFile(Trash("files/tree/sub/leaf")), "leaf");
  EXPECT_EQ(test::ReadFile(Trash("files/" + odd)), "odd");
  char target[4096] = {};
  EXPECT_GT(::readlink(Trash("files/link").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), Dir.Native("outside"));
  EXPECT_EQ(test::ReadFile(Dir.Native("outside/kept/data")), "outside");
  EXPECT_EQ(Names(Trash("files")).size(), 4u);
  EXPECT_EQ(Names(Trash("info")).size(), 4u);
}

TEST_F(TrashTest, TakenNamesGetANumber) {
  for (const char* folder : {"a", "b", "c"})
    test::WriteFile(Dir.File(std::string(folder) + "/dup"), folder);
  // Left in files/ without its information by some other program: the name is taken all the same.
  test::WriteFile(Dir.File("data/Trash/files/orphan"), "orphan");
  test::WriteFile(Dir.File("x/orphan"), "x");
  for (const char* item : {"a/dup", "b/dup", "c/dup", "x/orphan"}) {
    std::string why;
    ASSERT_TRUE(MoveToTrash(Dir.Native(item), &why)) << item << ": " << why;
  }
  const struct {
    const char* TrashName;
    const char* Origin;
  } expected[] = {
      {"dup", "a/dup"}, {"dup.2", "b/dup"}, {"dup.3", "c/dup"}, {"orphan.2", "x/orphan"}};
  for (const auto& e : expected) {
    EXPECT_EQ(test::ReadFile(Trash("files/") + e.TrashName), std::string(e.Origin, 1))
        << e.TrashName;
    EXPECT_EQ(DecodeTrashPath(ReadInfo(Trash("info/") + e.TrashName + ".trashinfo")["Path"]),
              Dir.Native(e.Origin))
        << e.TrashName;
  }
  EXPECT_EQ(test::ReadFile(Trash("files/orphan")), "orphan");
  EXPECT_FALSE(Exists(Trash("info/orphan.trashinfo")));
}

TEST_F(TrashTest, LongNamesAreCutInTheTrashButKeptWholeInThePath) {
  // 125 two-byte characters: a legal name, but with ".trashinfo" it would not be one.
  std::string name;
  for (int i = 0; i < 125; ++i)
    name += "\xc3\xa9";
  Dir.File("a/" + name);
  Dir.File("b/" + name);
  std::string why;
  ASSERT_TRUE(MoveToTrash(Dir.Native("a/" + name), &why)) << why;
  ASSERT_TRUE(MoveToTrash(Dir.Native("b/" + name), &why)) << why;
  // Cut before the character that does not fit whole, not inside it.
  const std::string first = name.substr(0, 244);
  const std::string second = name.substr(0, 242) + ".2";
  EXPECT_EQ(Names(Trash("files")), (std::set<std::string>{first, second}));
  EXPECT_EQ(DecodeTrashPath(ReadInfo(Trash("info/" + first + ".trashinfo"))["Path"]),
            Dir.Native("a/" + name));
  EXPECT_EQ(DecodeTrashPath(ReadInfo(Trash("info/" + second + ".trashinfo"))["Path"]),
            Dir.Native("b/" + name));
}

struct TRefusedPaths {
  std::string Locked;
  std::string Free;
  std::string Info;
};

int TrashWithoutPermission(void* context) {
  const auto* paths = static_cast<const TRefusedPaths*>(context);
  std::string why;
  // The item's folder is read-only: the rename fails.
  if (MoveToTrash(paths->Locked, &why))
    return 10;
  if (why.find(std::strerror(EACCES)) == std::string::npos)
    return 11;
  // The trash's info/ is read-only: nothing moves without its information.
  if (::chmod(paths->Info.c_str(), 0500) != 0)
    return 12;
  why.clear();
  const bool moved = MoveToTrash(paths->Free, &why);
  ::chmod(paths->Info.c_str(), 0700);
  return moved || why.empty() ? 13 : 0;
}

TEST_F(TrashTest, AFailedMoveLeavesTheItemWhereItWasAndNoInformation) {
  Dir.Folder("data");
  Dir.Chmod("data", 0777);
  test::WriteFile(Dir.File("locked/victim/inner"), "inner");
  Dir.Chmod("locked", 0555);
  Dir.File("free/item");
  Dir.Chmod("free", 0777);
  TRefusedPaths paths{Dir.Native("locked/victim"), Dir.Native("free/item"), Trash("info")};
  EXPECT_EQ(test::RunUnprivileged(TrashWithoutPermission, &paths), 0);
  EXPECT_EQ(test::ReadFile(Dir.Native("locked/victim/inner")), "inner");
  EXPECT_TRUE(Exists(Dir.Native("free/item")));
  EXPECT_TRUE(Names(Trash("files")).empty());
  EXPECT_TRUE(Names(Trash("info")).empty());

  // Paths that have no place in the trash.
  Dir.File("data/Trash/files/x");
  for (const std::string& path : {Dir.Native("missing"), std::string("/"), Dir.Native("free/.."),
                                  Trash(), Dir.Native("data"), Trash("files/x")}) {
    std::string why;
    EXPECT_FALSE(MoveToTrash(path, &why)) << path;
    EXPECT_FALSE(why.empty()) << path;
  }
  EXPECT_TRUE(Exists(Trash("files/x")));
  EXPECT_TRUE(Names(Trash("info")).empty());
}

TEST_F(TrashTest, EmptyingRemovesEverythingInsideAndNothingOutside) {
  std::string why;
  EXPECT_TRUE(EmptyTrash({}, &why)) << "no trash yet: " << why;
  test::WriteFile(Dir.File("outside/kept/data"), "outside");
  test::WriteFile(Dir.File("work/file"), "x");
  test::WriteFile(Dir.File("work/tree/a/b/c"), "c");
  Dir.Link("work/tree/a/out", Dir.Native("outside"));
  Dir.Link("work/link", Dir.Native("outside/kept"));
  for (const char* item : {"work/file", "work/tree", "work/link"})
    ASSERT_TRUE(MoveToTrash(Dir.Native(item), &why)) << item << ": " << why;
  test::WriteFile(Trash("directorysizes"), "16384 15803468 tree\n");
  test::WriteFile(Trash("info/notes.txt"), "not trash information");

  EXPECT_TRUE(EmptyTrash({Dir.Native("not-mounted")}, &why)) << why;
  EXPECT_TRUE(Names(Trash("files")).empty());
  EXPECT_EQ(Names(Trash("info")), std::set<std::string>{"notes.txt"});
  EXPECT_FALSE(Exists(Trash("directorysizes")));
  EXPECT_EQ(test::ReadFile(Dir.Native("outside/kept/data")), "outside");
  EXPECT_TRUE(EmptyTrash({}, &why)) << "emptied already: " << why;
}

int EmptyWithoutPermission(void* context) {
  std::string why;
  if (EmptyTrash({}, &why))
    return 10;
  const auto* stuck = static_cast<const std::string*>(context);
  return why.find(*stuck) == std::string::npos ||
                 why.find(std::strerror(EACCES)) == std::string::npos
             ? 11
             : 0;
}

TEST_F(TrashTest, EmptyingOpensReadOnlyFoldersAndKeepsWhatItCannotRemove) {
  Dir.Folder("data");
  Dir.Chmod("data", 0777);
  Dir.File("data/Trash/files/tree/read-only/f");
  Dir.File("data/Trash/files/tree/g");
  Dir.File("data/Trash/info/tree.trashinfo");
  Dir.File("data/Trash/directorysizes");
  // Someone else's folder inside: its file cannot go.
  Dir.File("data/Trash/files/stuck/f");
  Dir.File("data/Trash/info/stuck.trashinfo");
  for (const char* ours :
       {"", "files", "info", "files/tree", "files/tree/read-only", "files/tree/read-only/f",
        "files/tree/g", "info/tree.trashinfo", "info/stuck.trashinfo", "directorysizes"})
    ASSERT_EQ(::lchown(Trash(ours).c_str(), 65534, 65534), 0) << ours;
  ::chmod(Trash("files/tree/read-only").c_str(), 0555);
  ::chmod(Trash("files/tree").c_str(), 0500);

  std::string stuck = Trash("files/stuck/f");
  EXPECT_EQ(test::RunUnprivileged(EmptyWithoutPermission, &stuck), 0);
  EXPECT_EQ(Names(Trash("files")), std::set<std::string>{"stuck"});
  EXPECT_TRUE(Exists(stuck));
  EXPECT_EQ(Names(Trash("info")), std::set<std::string>{"stuck.trashinfo"});
  EXPECT_FALSE(Exists(Trash("directorysizes")));
}

TEST_F(TrashTest, TreesDeeperThanPathsAndDescriptorsReachAreTrashedAndEmptied) {
  // Fewer descriptors than the tree has levels, and a path far beyond PATH_MAX.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  struct TRestore {
    rlimit Limit;
    ~TRestore() { ::setrlimit(RLIMIT_NOFILE, &Limit); }
  } restore{saved};

  const std::string component = "level-0123456789";
  std::string path = Dir.Folder("work/deep");
  TUniqueFd current(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (int level = 0; level < 600 && current.Valid(); ++level) {
    ASSERT_EQ(::mkdirat(current.Get(), component.c_str(), 0755), 0);
    current.Reset(::openat(current.Get(), component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    path += "/" + component;
  }
  ASSERT_TRUE(current.Valid());
  TUniqueFd leaf(::openat(current.Get(), "leaf", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  ASSERT_TRUE(leaf.Valid());
  leaf.Reset();
  current.Reset();

  std::string why;
  ASSERT_TRUE(MoveToTrash(path + "/leaf", &why)) << why;
  EXPECT_EQ(DecodeTrashPath(ReadInfo(Trash("info/leaf.trashinfo"))["Path"]), path + "/leaf");
  ASSERT_TRUE(MoveToTrash(Dir.Native("work/deep"), &why)) << why;
  EXPECT_EQ(Names(Trash("files")), (std::set<std::string>{"deep", "leaf"}));
  EXPECT_TRUE(EmptyTrash({}, &why)) << why;
  EXPECT_TRUE(Names(Trash("files")).empty());
  EXPECT_TRUE(Names(Trash("info")).empty());
}

TEST_F(TrashTest, EmptyingCoversOnlyOurTopFolderTrashesOfTheGivenVolumes) {
  const std::string uid = std::to_string(::getuid());
  Dir.Folder("volume/.Trash");
  Dir.Chmod("volume/.Trash", 01777);
  for (const std::string& trash : {"volume/.Trash/" + uid, "volume/.Trash-" + uid}) {
    Dir.File(trash + "/files/folder/x");
    Dir.File(trash + "/info/folder.trashinfo");
    Dir.File(trash + "/directorysizes");
  }
  // A shared .Trash that is a link, or lacks the sticky bit, and a trash folder someone else
  // owns: none of them is emptied.
  Dir.File("elsewhere/" + uid + "/files/precious");
  Dir.Chmod("elsewhere", 01777);
  Dir.Link("linked/.Trash", Dir.Native("elsewhere"));
  Dir.Link("linked/.Trash-" + uid, Dir.Native("elsewhere/" + uid));
  Dir.File("plain/.Trash/" + uid + "/files/kept");
  Dir.Chmod("plain/.Trash", 0777);
  Dir.File("others/.Trash-" + uid + "/files/theirs");
  ASSERT_EQ(::lchown(Dir.Native("others/.Trash-" + uid).c_str(), 65534, 65534), 0);

  std::string why;
  EXPECT_TRUE(EmptyTrash({Dir.Native("volume"), Dir.Native("linked"), Dir.Native("plain"),
                          Dir.Native("others"), Dir.Native("absent")},
                         &why))
      << why;
  for (const std::string& trash : {"volume/.Trash/" + uid, "volume/.Trash-" + uid}) {
    EXPECT_TRUE(Names(Dir.Native(trash + "/files")).empty()) << trash;
    EXPECT_TRUE(Names(Dir.Native(trash + "/info")).empty()) << trash;
    EXPECT_FALSE(Exists(Dir.Native(trash + "/directorysizes"))) << trash;
  }
  EXPECT_TRUE(Exists(Dir.Native("elsewhere/" + uid + "/files/precious")));
  EXPECT_TRUE(Exists(Dir.Native("plain/.Trash/" + uid + "/files/kept")));
  EXPECT_TRUE(Exists(Dir.Native("others/.Trash-" + uid + "/files/theirs")));
}

TEST_F(TrashTest, OtherVolumesUseTheTrashAtTheirTopFolder) {
  const std::string volume = Dir.Folder("volume");
  if (::geteuid() != 0 || ::mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=4m") != 0) {
    const std::string reason =
        ::geteuid() != 0 ? "not running as root"
                         : "cannot mount a tmpfs here (" + std::string(std::strerror(errno)) + ")";
    std::cout << "Top-folder trash on another volume skipped: " << reason << "\n";
    GTEST_SKIP() << reason;
  }
  struct TUnmount {
    std::string Path;
    ~TUnmount() { ::umount2(Path.c_str(), MNT_DETACH); }
  } unmount{volume};

  const std::string uid = std::to_string(::getuid());
  enum class TShared { None, Sticky, NotSticky, Link, OthersFolder };
  const struct {
    TShared Shared;
    std::string Trash;
  } cases[] = {
      {TShared::None, ".Trash-" + uid},         {TShared::Sticky, ".Trash/" + uid},
      {TShared::NotSticky, ".Trash-" + uid},    {TShared::Link, ".Trash-" + uid},
      {TShared::OthersFolder, ".Trash-" + uid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Shared));
    test::RemoveTree(volume + "/.Trash");
    test::RemoveTree(volume + "/.Trash-" + uid);
    test::RemoveTree(volume + "/sticky");
    switch (c.Shared) {
    case TShared::None:
      break;
    case TShared::Sticky:
    case TShared::NotSticky:
    case TShared::OthersFolder:
      Dir.Folder("volume/.Trash");
      Dir.Chmod("volume/.Trash", c.Shared == TShared::NotSticky ? 0777 : 01777);
      if (c.Shared == TShared::OthersFolder) {
        Dir.Folder("volume/.Trash/" + uid);
        ASSERT_EQ(::lchown(Dir.Native("volume/.Trash/" + uid).c_str(), 65534, 65534), 0);
      }
      break;
    case TShared::Link:
      Dir.Folder("volume/sticky");
      Dir.Chmod("volume/sticky", 01777);
      Dir.Link("volume/.Trash", "sticky");
      break;
    }
    const std::string item = Dir.File("volume/sub/a b", 3);
    std::string why;
    ASSERT_TRUE(MoveToTrash(item, &why)) << why;
    EXPECT_FALSE(Exists(item));
    const std::string trash = volume + "/" + c.Trash;
    struct stat st {};
    ASSERT_EQ(::lstat(trash.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_TRUE(Exists(trash + "/files/a b"));
    // The path from the top folder, so the volume may be mounted elsewhere later.
    EXPECT_EQ(ReadInfo(trash + "/info/a b.trashinfo")["Path"], "sub/a%20b");
    EXPECT_TRUE(Names(volume + "/sticky").empty());
    EXPECT_FALSE(Exists(Trash("files/a b")));
  }

  std::string why;
  EXPECT_TRUE(EmptyTrash({volume}, &why)) << why;
  EXPECT_TRUE(Names(volume + "/.Trash-" + uid + "/files").empty());
  EXPECT_TRUE(Names(volume + "/.Trash-" + uid + "/info").empty());
}

} // namespace
} // namespace corvane::platform
