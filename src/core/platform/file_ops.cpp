#include "platform/file_ops.h"

#include "platform/at_path.h"
#include "platform/unique_fd.h"

#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <fcntl.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>

namespace corvane::platform {

bool DeleteFileAt(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return false;
  return ::unlinkat(at.Dir(), at.Name(), 0) == 0;
}

bool MakeFolder(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return false;
  return ::mkdirat(at.Dir(), at.Name(), 0777) == 0;
}

int CreateNewFile(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return errno;
  const TUniqueFd fd(
      ::openat(at.Dir(), at.Name(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
  return fd.Valid() ? 0 : errno;
}

bool RemoveFolder(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return false;
  return ::unlinkat(at.Dir(), at.Name(), AT_REMOVEDIR) == 0;
}

bool SameFile(std::string_view nativeA, std::string_view nativeB) {
  TAtPath a;
  TAtPath b;
  struct stat sa {};
  struct stat sb {};
  if (!a.Resolve(nativeA) || !b.Resolve(nativeB) || ::fstatat(a.Dir(), a.Name(), &sa, 0) != 0 ||
      ::fstatat(b.Dir(), b.Name(), &sb, 0) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool IsMountPoint(std::string_view nativePath) {
  TAtPath at;
  struct statx self {};
  if (!at.Resolve(nativePath) ||
      ::statx(at.Dir(), at.Name(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO, &self) != 0)
    return true;
  if (S_ISLNK(self.stx_mode))
    return false;
  if (self.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
    return (self.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  // Older kernels: a mount point has another device than the folder above it, or is the root.
  const std::string parent = std::string(nativePath) + "/..";
  TAtPath up;
  struct stat above {};
  if (!up.Resolve(parent) || ::fstatat(up.Dir(), up.Name(), &above, 0) != 0)
    return true;
  return makedev(self.stx_dev_major, self.stx_dev_minor) != above.st_dev ||
         self.stx_ino == above.st_ino;
}

bool OnPseudoFileSystem(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return false;
  TUniqueFd fd(::openat(at.Dir(), at.Name(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct statfs fs {};
  if (!fd.Valid() || ::fstatfs(fd.Get(), &fs) != 0)
    return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
  case PROC_SUPER_MAGIC:
  case SYSFS_MAGIC:
  case DEVPTS_SUPER_MAGIC:
  case CGROUP_SUPER_MAGIC:
  case CGROUP2_SUPER_MAGIC:
  case DEBUGFS_MAGIC:
  case TRACEFS_MAGIC:
  case SECURITYFS_MAGIC:
  case PSTOREFS_MAGIC:
  case BPF_FS_MAGIC:
  case 0x62656570: // configfs
  case 0x65735543: // fusectl
  case HUGETLBFS_MAGIC:
  case BINFMTFS_MAGIC:
  case EFIVARFS_MAGIC:
  case 0x19800202: // mqueue
  case NSFS_MAGIC:
  case SELINUX_MAGIC:
    return true;
  default:
    return false;
  }
}

bool PathExists(std::string_view nativePath) {
  TAtPath at;
  struct stat st {};
  return at.Resolve(nativePath) && ::fstatat(at.Dir(), at.Name(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool RenameNoReplace(std::string_view nativeFrom, std::string_view nativeTo) {
  TAtPath from;
  TAtPath to;
  if (!from.Resolve(nativeFrom) || !to.Resolve(nativeTo))
    return false;
  struct stat sf {};
  struct stat st {};
  if (::fstatat(from.Dir(), from.Name(), &sf, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  if (::fstatat(to.Dir(), to.Name(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (sf.st_dev != st.st_dev || sf.st_ino != st.st_ino) {
      errno = EEXIST;
      return false;
    }
    if (nativeFrom == nativeTo)
      return true;
    const std::string fromName(NativeBaseName(nativeFrom));
    const std::string toName(NativeBaseName(nativeTo));
    if (fromName != toName && ::strcasecmp(fromName.c_str(), toName.c_str()) == 0)
      return ::renameat(from.Dir(), from.Name(), to.Dir(), to.Name()) == 0;
    errno = EEXIST;
    return false;
  }
  if (::renameat2(from.Dir(), from.Name(), to.Dir(), to.Name(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  // File systems without the no-replace flag: a file gets a second name, which fails when the
  // target appeared meanwhile, and loses the first. Folders (and file systems without links) can
  // only be renamed; their target was absent a moment ago.
  if (!S_ISDIR(sf.st_mode)) {
    if (::linkat(from.Dir(), from.Name(), to.Dir(), to.Name(), 0) == 0)
      return ::unlinkat(from.Dir(), from.Name(), 0) == 0;
    if (errno == EEXIST)
      return false;
  }
  return ::renameat(from.Dir(), from.Name(), to.Dir(), to.Name()) == 0;
}

} // namespace corvane::platform
