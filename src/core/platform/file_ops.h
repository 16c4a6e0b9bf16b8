// The changing file operations the file sources are built on. Each takes native paths of any
// length, reports failure as false with errno set, and never raises.
//
// Deleting needs no attribute changes here: whether a file may be deleted depends on its folder,
// not on the file. Renaming never replaces an existing target silently; the callers turn an
// existing target into their overwrite question.
#pragma once

#include <string_view>

namespace corvane::platform {

// Removes a file, a link (never its target) or a special file. A folder, or a path that does not
// exist, gives false.
bool DeleteFileAt(std::string_view nativePath);

// Makes one folder (the folders above must exist).
bool MakeFolder(std::string_view nativePath);

// Creates a new empty file, never touching one that exists (or a link of that name): 0, or the
// system's error number (EEXIST when the name is taken).
int CreateNewFile(std::string_view nativePath);

// Removes an empty folder.
bool RemoveFolder(std::string_view nativePath);

// Whether both paths name the same file (device and inode, links followed).
bool SameFile(std::string_view nativeA, std::string_view nativeB);

// Whether a folder is the top of a mounted file system: another volume, or a bind mount of the
// same one, is mounted on it. A folder that cannot be examined counts as one, so that walks that
// must not leave their file system stay out of it. A link is never one.
bool IsMountPoint(std::string_view nativePath);

// Whether a folder lies on a file system of the kernel's own making (proc, sysfs, cgroup, debugfs
// and the like): its files are no user data and their sizes mean nothing (/proc/kcore).
bool OnPseudoFileSystem(std::string_view nativePath);

// Whether anything (a link too, even a broken one) exists at the path.
bool PathExists(std::string_view nativePath);

// Renames `from` to `to`, failing with EEXIST when `to` exists. When both names are one file
// already: the same path succeeds without a change; names differing only in letter case (a
// case-insensitive file system) are renamed in place; other links to one file fail with EEXIST.
bool RenameNoReplace(std::string_view nativeFrom, std::string_view nativeTo);

} // namespace corvane::platform
