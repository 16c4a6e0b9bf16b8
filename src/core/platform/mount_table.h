// The mounted file systems as the kernel lists them in /proc/self/mountinfo.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

struct TMountEntry {
  std::string MountPoint; // native, unescaped
  std::string FsType;     // "ext4", "fuse.sshfs", ...
  std::string Source;     // "/dev/sdb1", "server:/share", ...
  unsigned Major = 0;
  unsigned Minor = 0;
};

// Parses the text of a mountinfo file; malformed lines are skipped. When a mount point appears
// more than once, only the last (the one on top) is kept, in the place of the first.
std::vector<TMountEntry> ParseMountInfo(std::string_view text);

// Undoes the octal escapes (\040 and the like) of mountinfo fields.
std::string UnescapeMountField(std::string_view field);
// The reverse, for storing mount points in line-based files.
std::string EscapeMountField(std::string_view field);

// The whole text of a (small) file, or empty.
std::string ReadSmallFile(const std::string& path);

} // namespace corvane::platform
