// Removing a folder with everything in it, safely against links, mounts and renames done by
// others meanwhile: what emptying the trash and clearing our temporary folders need.
//
// The tree is walked through folder descriptors, holding one at a time and checking every step
// back up through "..", so trees of any depth go, a link is removed as a link (what it points to
// is never touched), another volume mounted inside is not entered, and a folder moved away while
// we are in it cannot lead the removal elsewhere. A folder its owner has closed to themselves
// (read-only trees are common: caches, unpacked archives) is opened up first.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::platform {

// Collects what could not be removed: the first failure and how many there were.
class TRemoveProblems final {
public:
  // Both return false, so that a caller can write `ok = problems.Add(...)`.
  bool Add(const std::string& path, std::string_view what);
  bool AddError(const std::string& path, int error);
  bool Any() const { return Count > 0; }
  std::string Text() const;

private:
  std::string First;
  size_t Count = 0;
};

// The entries of an open folder, "." and ".." left out, with their dirent types; false (errno
// set) when it cannot be read.
bool ListFolder(int folderFd, std::vector<std::pair<std::string, unsigned char>>& entries);

// Whether the entry `name` of an open folder is a folder itself (a link to one is not).
bool IsFolderEntry(int folderFd, const std::string& name, unsigned char type);

// Removes the folder `name` of the open folder `parentFd` with everything in it; a link in its
// place is not followed and fails. `path` names it in the problems; `device` is the volume the
// removal stays on. False when anything stayed; the rest is removed.
bool RemoveFolderTree(int parentFd, const std::string& name, const std::string& path, dev_t device,
                      TRemoveProblems& problems);

} // namespace corvane::platform
