#include "platform/trash.h"

#include "platform/at_path.h"
#include "platform/native_path.h"
#include "platform/remove_tree.h"
#include "platform/unique_fd.h"
#include "platform/write_all.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <utility>

namespace corvane::platform {
namespace {

constexpr std::string_view InfoSuffix = ".trashinfo";

bool Fail(std::string* why, std::string text) {
  if (why)
    *why = std::move(text);
  return false;
}

std::string ErrorText(int error) {
  return std::strerror(error);
}

std::string Join(const std::string& folder, std::string_view name) {
  std::string path = folder == "/" ? std::string() : folder;
  path += '/';
  path += name;
  return path;
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// stat() of a path of any length, links followed.
bool StatPath(const std::string& path, struct stat& st) {
  TAtPath at;
  return at.Resolve(path) && ::fstatat(at.Dir(), at.Name(), &st, 0) == 0;
}

TUniqueFd OpenPath(const std::string& path, int flags) {
  TAtPath at;
  if (!at.Resolve(path))
    return TUniqueFd();
  return TUniqueFd(::openat(at.Dir(), at.Name(), flags | O_CLOEXEC));
}

// An absolute path with empty, "." and ".." components taken out by their text alone: the
// fallback for folders the kernel cannot resolve in one call because their path is too long.
std::string LexicalClean(std::string_view path) {
  std::vector<std::string_view> components;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos)
      end = path.size();
    const std::string_view component = path.substr(pos, end - pos);
    if (component == "..") {
      if (!components.empty())
        components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.push_back(component);
    }
    pos = end + 1;
  }
  std::string clean;
  for (const auto component : components) {
    clean += '/';
    clean += component;
  }
  return clean.empty() ? std::string("/") : clean;
}

// Splits the item's path into its folder, with links resolved as any path to the folder would
// resolve them, and its own name, which is kept as it is: a link is trashed, not its target.
bool SplitItemPath(std::string_view nativePath, std::string& folder, std::string& name,
                   std::string* why) {
  std::string path;
  if (nativePath.empty() || nativePath.front() != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd)
      return Fail(why, ErrorText(errno));
    path = cwd;
    std::free(cwd);
    path += '/';
  }
  path += nativePath;
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  const size_t slash = path.rfind('/');
  name = path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..")
    return Fail(why, "this folder cannot be moved to the trash");
  const std::string raw = slash == 0 ? std::string("/") : path.substr(0, slash);
  if (char* real = ::realpath(raw.c_str(), nullptr)) {
    folder = real;
    std::free(real);
    return true;
  }
  if (errno != ENAMETOOLONG)
    return Fail(why, ErrorText(errno));
  folder = LexicalClean(raw);
  return true;
}

std::string DataHome() {
  std::string folder;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
    folder = data;
  else
    folder = HomeFolder() + "/.local/share";
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

std::string DeletionDate() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  char text[64];
  const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return std::string(text, length);
}

// The name an item takes in the trash: its own, or with ".2", ".3", ... for later attempts. A
// long name is cut (not inside a UTF-8 sequence) so that the information file's name still fits
// NAME_MAX; the full name stays in Path=.
std::string TrashName(std::string_view name, unsigned attempt) {
  const std::string number = attempt > 1 ? "." + std::to_string(attempt) : std::string();
  const size_t room = NAME_MAX - InfoSuffix.size() - number.size();
  if (name.size() > room) {
    size_t cut = room;
    for (int back = 0;
         back < 3 && cut > 1 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80; ++back)
      --cut;
    name = name.substr(0, cut);
  }
  return std::string(name) + number;
}

// Whether the folder, or one of the folders above it up to the root, is `target`.
bool FolderIsWithin(int folderFd, const struct stat& target) {
  TUniqueFd current(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
  struct stat st {};
  if (!current.Valid() || ::fstat(current.Get(), &st) != 0)
    return false;
  for (;;) {
    if (SameFile(st, target))
      return true;
    TUniqueFd up(::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat upSt {};
    if (!up.Valid() || ::fstat(up.Get(), &upSt) != 0 || SameFile(upSt, st))
      return false;
    current = std::move(up);
    st = upSt;
  }
}

// Opens (and with `create` makes, mode 0700) a folder of a trash without following a link in its
// place. With `mustOwn`, a folder owned by someone else is refused (EPERM).
TUniqueFd OpenTrashFolder(int parentFd, const std::string& name, bool create, bool mustOwn) {
  constexpr int Flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  TUniqueFd fd(::openat(parentFd, name.c_str(), Flags));
  if (!fd.Valid() && errno == ENOENT && create) {
    if (::mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST)
      return TUniqueFd();
    fd.Reset(::openat(parentFd, name.c_str(), Flags));
  }
  struct stat st {};
  if (fd.Valid() && mustOwn && (::fstat(fd.Get(), &st) != 0 || st.st_uid != ::getuid())) {
    errno = EPERM;
    return TUniqueFd();
  }
  return fd;
}

// A trash ready to receive: its folder and its files/ and info/ folders, open.
struct TTrashPlace {
  std::string Root;   // for messages
  std::string TopDir; // the volume's top folder; empty for the home trash
  TUniqueFd RootFd;
  TUniqueFd FilesFd;
  TUniqueFd InfoFd;
};

bool OpenTrashInside(TTrashPlace& place) {
  place.FilesFd = OpenTrashFolder(place.RootFd.Get(), "files", true, false);
  if (!place.FilesFd.Valid())
    return false;
  place.InfoFd = OpenTrashFolder(place.RootFd.Get(), "info", true, false);
  return place.InfoFd.Valid();
}

// Makes the folder and the missing folders above it, mode 0700 as the user's data folders are.
bool MakeFolders(const std::string& path) {
  struct stat st {};
  if (StatPath(path, st)) {
    if (S_ISDIR(st.st_mode))
      return true;
    errno = ENOTDIR;
    return false;
  }
  if (errno != ENOENT || path == "/" || !MakeFolders(ParentOf(path)))
    return false;
  TAtPath at;
  return at.Resolve(path) && (::mkdirat(at.Dir(), at.Name(), 0700) == 0 || errno == EEXIST);
}

// The trash for items on device `device` in `folder`. False, with the reason, when there is none.
bool FindTrash(dev_t device, const std::string& folder, TTrashPlace& place, std::string* why) {
  // The home trash, when its volume is the item's; it may not exist yet, so the nearest folder
  // above it that does tells which volume it will be on.
  const std::string home = HomeTrashFolder();
  std::string probe = home;
  struct stat st {};
  while (!StatPath(probe, st) && probe != "/")
    probe = ParentOf(probe);
  if (st.st_dev == device) {
    place.Root = home;
    if (!MakeFolders(home))
      return Fail(why, "cannot make the trash folder " + home + ": " + ErrorText(errno));
    place.RootFd = OpenPath(home, O_RDONLY | O_DIRECTORY);
    if (!place.RootFd.Valid() || !OpenTrashInside(place))
      return Fail(why, "cannot open the trash folder " + home + ": " + ErrorText(errno));
    return true;
  }

  std::string top = folder;
  while (top != "/") {
    const std::string up = ParentOf(top);
    struct stat upSt {};
    if (!StatPath(up, upSt) || upSt.st_dev != device)
      break;
    top = up;
  }
  const TUniqueFd topFd = OpenPath(top, O_PATH | O_DIRECTORY);
  if (!topFd.Valid())
    return Fail(why, "no trash on this volume: " + ErrorText(errno));
  place.TopDir = top;
  const std::string uid = std::to_string(::getuid());

  // The administrator's shared trash, one folder per user inside.
  const TUniqueFd shared(
      ::openat(topFd.Get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat sharedSt {};
  if (shared.Valid() && ::fstat(shared.Get(), &sharedSt) == 0 && (sharedSt.st_mode & S_ISVTX)) {
    place.RootFd = OpenTrashFolder(shared.Get(), uid, true, true);
    if (place.RootFd.Valid() && OpenTrashInside(place)) {
      place.Root = Join(top, ".Trash/" + uid);
      return true;
    }
  }
  // The user's own trash on the volume.
  place.RootFd = OpenTrashFolder(topFd.Get(), ".Trash-" + uid, true, true);
  if (!place.RootFd.Valid() || !OpenTrashInside(place))
    return Fail(why, "no trash on this volume: " + ErrorText(errno));
  place.Root = Join(top, ".Trash-" + uid);
  return true;
}

// renameat2 without replacing; file systems that lack the flag get a check and a plain rename,
// which is safe here because the target name was reserved by its information file.
bool RenameNoReplaceAt(int fromFd, const std::string& from, int toFd, const std::string& to) {
  if (::renameat2(fromFd, from.c_str(), toFd, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  struct stat st {};
  if (::fstatat(toFd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::renameat(fromFd, from.c_str(), toFd, to.c_str()) == 0;
}

using TProblems = TRemoveProblems;

// Empties one trash: files/, then the information files of what went, then the size cache.
void EmptyOneTrash(int rootFd, const std::string& root, TProblems& problems) {
  std::set<std::string> kept;
  const std::string filesPath = root + "/files";
  const TUniqueFd files(::openat(rootFd, "files", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat filesSt {};
  std::vector<std::pair<std::string, unsigned char>> entries;
  if (!files.Valid()) {
    if (errno != ENOENT)
      problems.Add(filesPath, "cannot open (" + ErrorText(errno) + ")");
  } else if (::fstat(files.Get(), &filesSt) != 0 || !ListFolder(files.Get(), entries)) {
    problems.Add(filesPath, "cannot read (" + ErrorText(errno) + ")");
  }
  for (const auto& [name, type] : entries) {
    const std::string path = Join(filesPath, name);
    const bool gone =
        IsFolderEntry(files.Get(), name, type)
            ? RemoveFolderTree(files.Get(), name, path, filesSt.st_dev, problems)
            : ::unlinkat(files.Get(), name.c_str(), 0) == 0 || problems.AddError(path, errno);
    if (!gone)
      kept.insert(name);
  }

  const std::string infoPath = root + "/info";
  const TUniqueFd info(::openat(rootFd, "info", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  entries.clear();
  if (!info.Valid()) {
    if (errno != ENOENT)
      problems.Add(infoPath, "cannot open (" + ErrorText(errno) + ")");
  } else if (!ListFolder(info.Get(), entries)) {
    problems.Add(infoPath, "cannot read (" + ErrorText(errno) + ")");
  }
  for (const auto& entry : entries) {
    const std::string& name = entry.first;
    if (name.size() < InfoSuffix.size() || !name.ends_with(InfoSuffix) ||
        kept.count(name.substr(0, name.size() - InfoSuffix.size())))
      continue;
    if (::unlinkat(info.Get(), name.c_str(), 0) != 0)
      problems.AddError(Join(infoPath, name), errno);
  }

  if (::unlinkat(rootFd, "directorysizes", 0) != 0 && errno != ENOENT)
    problems.AddError(root + "/directorysizes", errno);
}

} // namespace

std::string HomeTrashFolder() {
  return Join(DataHome(), "Trash");
}

std::string EncodeTrashPath(std::string_view path) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  static constexpr std::string_view Kept = "/-_.!~*'()";
  std::string encoded;
  encoded.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || Kept.find(c) != std::string_view::npos) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += Hex[byte >> 4];
      encoded += Hex[byte & 15];
    }
  }
  return encoded;
}

std::optional<std::string> DecodeTrashPath(std::string_view encoded) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9')
      return c - '0';
    if (c >= 'a' && c <= 'f')
      return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
      return c - 'A' + 10;
    return -1;
  };
  std::string decoded;
  decoded.reserve(encoded.size());
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      decoded += encoded[i];
      continue;
    }
    if (i + 2 >= encoded.size())
      return std::nullopt;
    const int high = digit(encoded[i + 1]);
    const int low = digit(encoded[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0))
      return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

bool MoveToTrash(const std::string& nativePath, std::string* why) {
  std::string folder;
  std::string name;
  if (!SplitItemPath(nativePath, folder, name, why))
    return false;
  const std::string item = Join(folder, name);
  const TUniqueFd folderFd = OpenPath(folder, O_PATH | O_DIRECTORY);
  struct stat folderSt {};
  struct stat itemSt {};
  if (!folderFd.Valid() || ::fstat(folderFd.Get(), &folderSt) != 0 ||
      ::fstatat(folderFd.Get(), name.c_str(), &itemSt, AT_SYMLINK_NOFOLLOW) != 0)
    return Fail(why, ErrorText(errno));
  if (itemSt.st_dev != folderSt.st_dev)
    return Fail(why, "a mount point cannot be moved to the trash");

  TTrashPlace place;
  if (!FindTrash(folderSt.st_dev, folder, place, why))
    return false;
  struct stat rootSt {};
  if (::fstat(place.RootFd.Get(), &rootSt) != 0)
    return Fail(why, ErrorText(errno));
  if (FolderIsWithin(folderFd.Get(), rootSt))
    return Fail(why, "this is in the trash already");
  if (S_ISDIR(itemSt.st_mode) && FolderIsWithin(place.RootFd.Get(), itemSt))
    return Fail(why, "this folder holds the trash");

  // Top-folder trashes record the path from the top folder, so the volume may be mounted
  // elsewhere when the item is restored.
  const std::string recorded = place.TopDir.empty()  ? item
                               : place.TopDir == "/" ? item.substr(1)
                                                     : item.substr(place.TopDir.size() + 1);
  const std::string text =
      "[Trash Info]\nPath=" + EncodeTrashPath(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";
  const int infoDir = place.InfoFd.Get();
  for (unsigned attempt = 1; attempt != 0; ++attempt) {
    const std::string trashName = TrashName(name, attempt);
    const std::string infoName = trashName + std::string(InfoSuffix);
    TUniqueFd info(::openat(infoDir, infoName.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!info.Valid()) {
      if (errno == EEXIST)
        continue;
      return Fail(why,
                  "cannot write the trash information in " + place.Root + ": " + ErrorText(errno));
    }
    // An item left in files/ without its information keeps its name.
    struct stat taken {};
    if (::fstatat(place.FilesFd.Get(), trashName.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
      ::unlinkat(infoDir, infoName.c_str(), 0);
      continue;
    }
    if (!WriteAll(info.Get(), text.data(), text.size()) || ::close(info.Release()) != 0) {
      const int error = errno;
      ::unlinkat(infoDir, infoName.c_str(), 0);
      return Fail(why,
                  "cannot write the trash information in " + place.Root + ": " + ErrorText(error));
    }
    if (RenameNoReplaceAt(folderFd.Get(), name, place.FilesFd.Get(), trashName))
      return true;
    const int error = errno;
    ::unlinkat(infoDir, infoName.c_str(), 0);
    if (error != EEXIST)
      return Fail(why, "cannot move this into the trash: " + ErrorText(error));
  }
  return Fail(why, "no free name in the trash");
}

bool EmptyTrash(const std::vector<std::string>& mountPoints, std::string* why) {
  TProblems problems;
  const std::string home = HomeTrashFolder();
  // The home trash may be a link the user made; it is theirs to point anywhere.
  if (const TUniqueFd root = OpenPath(home, O_RDONLY | O_DIRECTORY); root.Valid())
    EmptyOneTrash(root.Get(), home, problems);
  else if (errno != ENOENT)
    problems.Add(home, "cannot open (" + ErrorText(errno) + ")");

  const std::string uid = std::to_string(::getuid());
  for (const auto& mountPoint : mountPoints) {
    const TUniqueFd top = OpenPath(mountPoint, O_PATH | O_DIRECTORY);
    if (!top.Valid())
      continue;
    const TUniqueFd shared(
        ::openat(top.Get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat sharedSt {};
    if (shared.Valid() && ::fstat(shared.Get(), &sharedSt) == 0 && (sharedSt.st_mode & S_ISVTX)) {
      if (const TUniqueFd mine = OpenTrashFolder(shared.Get(), uid, false, true); mine.Valid())
        EmptyOneTrash(mine.Get(), Join(mountPoint, ".Trash/" + uid), problems);
    }
    // A link, a file or someone else's folder in the place of our trash is not ours to empty.
    const std::string own = ".Trash-" + uid;
    if (const TUniqueFd ownFd = OpenTrashFolder(top.Get(), own, false, true); ownFd.Valid())
      EmptyOneTrash(ownFd.Get(), Join(mountPoint, own), problems);
    else if (errno != ENOENT && errno != ELOOP && errno != ENOTDIR && errno != EPERM)
      problems.Add(Join(mountPoint, own), "cannot open (" + ErrorText(errno) + ")");
  }
  if (problems.Any())
    return Fail(why, problems.Text());
  return true;
}

} // namespace corvane::platform
