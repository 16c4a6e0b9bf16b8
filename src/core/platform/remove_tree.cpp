#include "platform/remove_tree.h"

#include "platform/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane::platform {
namespace {

std::string Join(const std::string& folder, std::string_view name) {
  std::string path = folder == "/" ? std::string() : folder;
  path += '/';
  path += name;
  return path;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens a folder for emptying without following a link in its place. A folder the owner has
// closed to themselves (read-only trees are common: caches, unpacked archives) is opened up
// first, through its descriptor, so the change reaches exactly that folder.
TUniqueFd OpenFolderToEmpty(int parentFd, const std::string& name, struct stat& st) {
  const TUniqueFd pathFd(
      ::openat(parentFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!pathFd.Valid() || ::fstat(pathFd.Get(), &st) != 0)
    return TUniqueFd();
  if ((st.st_mode & S_IRWXU) != S_IRWXU) {
    const std::string self = "/proc/self/fd/" + std::to_string(pathFd.Get());
    [[maybe_unused]] const int changed = ::chmod(self.c_str(), (st.st_mode & 07777) | S_IRWXU);
  }
  return TUniqueFd(::openat(pathFd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Removes every entry of an open folder that is not a folder; the subfolders' names are returned.
bool RemoveNonFolders(int folderFd, const std::string& path, std::vector<std::string>& folders,
                      TRemoveProblems& problems) {
  std::vector<std::pair<std::string, unsigned char>> entries;
  if (!ListFolder(folderFd, entries))
    return problems.Add(path, "cannot read (" + std::string(std::strerror(errno)) + ")");
  bool ok = true;
  for (auto& [name, type] : entries) {
    if (IsFolderEntry(folderFd, name, type))
      folders.push_back(std::move(name));
    else if (::unlinkat(folderFd, name.c_str(), 0) != 0)
      ok = problems.AddError(Join(path, name), errno);
  }
  return ok;
}

} // namespace

bool TRemoveProblems::Add(const std::string& path, std::string_view what) {
  if (Count++ == 0)
    First = path + ": " + std::string(what);
  return false;
}

bool TRemoveProblems::AddError(const std::string& path, int error) {
  return Add(path, "cannot remove (" + std::string(std::strerror(error)) + ")");
}

std::string TRemoveProblems::Text() const {
  return Count > 1 ? First + " (and " + std::to_string(Count - 1) + " more)" : First;
}

bool ListFolder(int folderFd, std::vector<std::pair<std::string, unsigned char>>& entries) {
  TUniqueFd copy(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  DIR* dir = copy.Valid() ? ::fdopendir(copy.Get()) : nullptr;
  if (!dir)
    return false;
  copy.Release();
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      entries.emplace_back(entry->d_name, entry->d_type);
  }
  const int error = errno;
  ::closedir(dir);
  errno = error;
  return error == 0;
}

bool IsFolderEntry(int folderFd, const std::string& name, unsigned char type) {
  if (type != DT_UNKNOWN)
    return type == DT_DIR;
  struct stat st {};
  return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Only one folder of the tree is open at any time, so the depth is limited by neither descriptors
// nor path length; the way back up goes through "..", checked against the folder we came from.
bool RemoveFolderTree(int parentFd, const std::string& name, const std::string& path, dev_t device,
                      TRemoveProblems& problems) {
  struct TLevel {
    std::string Name;
    struct stat St;
    std::vector<std::string> Folders; // still to remove
  };
  struct stat st {};
  TUniqueFd current = OpenFolderToEmpty(parentFd, name, st);
  if (!current.Valid())
    return problems.AddError(path, errno);
  if (st.st_dev != device)
    return problems.Add(path, "another volume is mounted here");
  bool ok = true;
  std::vector<TLevel> levels;
  levels.push_back({name, st, {}});
  ok &= RemoveNonFolders(current.Get(), path, levels.back().Folders, problems);
  std::string currentPath = path;
  for (;;) {
    if (!levels.back().Folders.empty()) {
      const std::string child = std::move(levels.back().Folders.back());
      levels.back().Folders.pop_back();
      const std::string childPath = Join(currentPath, child);
      struct stat childSt {};
      TUniqueFd childFd = OpenFolderToEmpty(current.Get(), child, childSt);
      if (!childFd.Valid()) {
        ok = problems.AddError(childPath, errno);
        continue;
      }
      if (childSt.st_dev != device) {
        ok = problems.Add(childPath, "another volume is mounted here");
        continue;
      }
      levels.push_back({child, childSt, {}});
      ok &= RemoveNonFolders(childFd.Get(), childPath, levels.back().Folders, problems);
      current = std::move(childFd);
      currentPath = childPath;
      continue;
    }
    if (levels.size() == 1)
      break;
    TUniqueFd up(::openat(current.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat upSt {};
    if (!up.Valid() || ::fstat(up.Get(), &upSt) != 0 ||
        !SameFile(upSt, levels[levels.size() - 2].St))
      return problems.Add(currentPath, "was moved while it was being removed");
    const std::string done = std::move(levels.back().Name);
    levels.pop_back();
    current = std::move(up);
    currentPath.resize(currentPath.size() - done.size() - 1);
    if (::unlinkat(current.Get(), done.c_str(), AT_REMOVEDIR) != 0)
      ok = problems.AddError(Join(currentPath, done), errno);
  }
  current.Reset();
  if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0)
    ok = problems.AddError(path, errno);
  return ok;
}

} // namespace corvane::platform
