#include "platform/file_status.h"

#include "platform/at_path.h"
#include "platform/fat_attributes.h"
#include "platform/file_attributes.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

namespace corvane::platform {

namespace {

constexpr unsigned StatxMask =
    STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;

TFileTime FromStatx(const statx_timestamp& ts) {
  return TFileTime{ts.tv_sec, ts.tv_nsec};
}

} // namespace

bool StatEntry(int dirFd, const char* name, const char* xattrPath, TFileStatus& out, bool onFat) {
  struct statx sx {};
  if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, StatxMask, &sx) != 0)
    return false;
  bool isLink = S_ISLNK(sx.stx_mode);
  bool broken = false;
  if (isLink) {
    struct statx target {};
    if (::statx(dirFd, name, AT_NO_AUTOMOUNT, StatxMask, &target) == 0)
      sx = target;
    else
      broken = true;
  }

  const mode_t mode = sx.stx_mode;
  if (broken)
    out.Kind = TEntryKind::BrokenLink;
  else if (S_ISDIR(mode))
    out.Kind = isLink ? TEntryKind::LinkToFolder : TEntryKind::Folder;
  else if (S_ISREG(mode))
    out.Kind = isLink ? TEntryKind::LinkToFile : TEntryKind::Regular;
  else
    out.Kind = TEntryKind::Special;

  out.Size = S_ISREG(mode) && !broken ? static_cast<int64_t>(sx.stx_size) : 0;
  out.Mode = mode;
  out.Device = (static_cast<uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  out.Inode = sx.stx_ino;
  out.Written = FromStatx(sx.stx_mtime);
  out.Accessed = FromStatx(sx.stx_atime);
  out.Created = (sx.stx_mask & STATX_BTIME) ? FromStatx(sx.stx_btime) : out.Written;

  const bool isFolder = out.IsFolder();
  uint16_t fatBits = 0;
  if (onFat && (isFolder || S_ISREG(mode)) && ReadFatAttributesAt(dirFd, name, fatBits)) {
    out.Attr = ComposeFatAttributes(NativeBaseName(name), isFolder, fatBits);
    return true;
  }
  // User attributes exist only on regular files and folders; asking for others costs a call.
  std::optional<uint16_t> stored;
  if (xattrPath && (isFolder || S_ISREG(mode)))
    stored = ReadStoredAttributesAt(dirFd, name, xattrPath);
  out.Attr = ComposeAttributes(NativeBaseName(name), isFolder, mode, stored);
  return true;
}

bool StatPath(std::string_view nativePath, TFileStatus& out) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return false;
  const std::string shortPath = at.ShortPath();
  return StatEntry(at.Dir(), at.Name(), shortPath.c_str(), out);
}

} // namespace corvane::platform
