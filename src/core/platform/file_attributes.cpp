#include "platform/file_attributes.h"

#include "platform/at_path.h"
#include "platform/fat_attributes.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>

namespace corvane::platform {

namespace {

constexpr uint16_t StoredFileBits = faHidden | faSystem | faArchive;
constexpr uint16_t StoredFolderBits = faReadOnly | faHidden | faSystem | faArchive;

std::optional<uint16_t> ParseStored(const char* text, ssize_t length) {
  if (length <= 0)
    return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text, text + length, value);
  if (ec != std::errc() || end != text + length || value > 0xFFFF)
    return std::nullopt;
  return static_cast<uint16_t>(value);
}

// getxattrat (Linux 6.13) looks up one name inside an open folder; the path-taking getxattr walks
// the whole path again for every entry, which costs a listing as much as examining the entry.
constexpr long GetxattratNumber = 464; // the same on every architecture
struct TXattrArgs {
  uint64_t Value;
  uint32_t Size;
  uint32_t Flags;
};
std::atomic<bool> GetxattratMissing{false};

} // namespace

uint16_t ComposeAttributes(std::string_view name, bool isFolder, mode_t mode,
                           std::optional<uint16_t> stored) {
  uint16_t attr = 0;
  if (isFolder) {
    attr |= faDirectory;
    if (stored)
      attr |= *stored & StoredFolderBits;
  } else {
    if (!(mode & S_IWUSR))
      attr |= faReadOnly;
    attr |= stored ? (*stored & StoredFileBits) : faArchive;
  }
  if (!name.empty() && name.front() == '.')
    attr |= faHidden;
  return attr;
}

std::optional<uint16_t> ReadStoredAttributes(const char* path) {
  char buffer[16];
  return ParseStored(buffer, ::getxattr(path, AttrXattrName, buffer, sizeof buffer));
}

std::optional<uint16_t> ReadStoredAttributesAt(int dirFd, const char* name, const char* path) {
  if (!GetxattratMissing.load(std::memory_order_relaxed)) {
    char buffer[16];
    TXattrArgs args{reinterpret_cast<uintptr_t>(buffer), sizeof buffer, 0};
    const long length =
        ::syscall(GetxattratNumber, dirFd, name, 0, AttrXattrName, &args, sizeof args);
    if (length >= 0 || errno != ENOSYS)
      return ParseStored(buffer, length);
    GetxattratMissing.store(true, std::memory_order_relaxed);
  }
  return ReadStoredAttributes(path);
}

uint16_t ComposeFatAttributes(std::string_view name, bool isFolder, uint16_t fatBits) {
  uint16_t attr = fatBits & (faReadOnly | faHidden | faSystem | faArchive);
  if (isFolder)
    attr |= faDirectory;
  if (!name.empty() && name.front() == '.')
    attr |= faHidden;
  return attr;
}

namespace {

// An open descriptor of a regular file or folder on a FAT volume, for the FAT ioctls; invalid
// elsewhere. Special files are never opened.
TUniqueFd OpenOnFat(const TAtPath& at, const struct stat& st) {
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
    return TUniqueFd();
  TUniqueFd fd(::openat(at.Dir(), at.Name(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Valid() && !TFatAttributeLayer::Current().IsFat(fd.Get()))
    fd.Reset();
  return fd;
}

} // namespace

std::optional<uint16_t> GetFileAttributes(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return std::nullopt;
  struct stat st {};
  if (::fstatat(at.Dir(), at.Name(), &st, 0) != 0)
    return std::nullopt;
  if (const TUniqueFd fat = OpenOnFat(at, st); fat.Valid()) {
    uint32_t bits = 0;
    if (TFatAttributeLayer::Current().Get(fat.Get(), bits))
      return ComposeFatAttributes(NativeBaseName(nativePath), S_ISDIR(st.st_mode),
                                  static_cast<uint16_t>(bits));
  }
  const std::string shortPath = at.ShortPath();
  return ComposeAttributes(NativeBaseName(nativePath), S_ISDIR(st.st_mode), st.st_mode,
                           ReadStoredAttributes(shortPath.c_str()));
}

bool SetFileAttributes(std::string_view nativePath, uint16_t attr) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return false;
  struct stat st {};
  if (::fstatat(at.Dir(), at.Name(), &st, 0) != 0)
    return false;
  const bool isFolder = S_ISDIR(st.st_mode);
  if (const TUniqueFd fat = OpenOnFat(at, st); fat.Valid()) {
    // The volume keeps the bits itself; the folder and volume bits are the kernel's to keep.
    constexpr uint32_t ours = faReadOnly | faHidden | faSystem | faArchive;
    uint32_t bits = 0;
    if (!TFatAttributeLayer::Current().Get(fat.Get(), bits))
      return false;
    const uint32_t wanted = (bits & ~ours) | (attr & ours);
    return wanted == bits || TFatAttributeLayer::Current().Set(fat.Get(), wanted);
  }
  bool ok = true;

  if (!isFolder) {
    const bool writable = st.st_mode & S_IWUSR;
    const bool wantReadOnly = attr & faReadOnly;
    mode_t mode = st.st_mode & 07777;
    if (wantReadOnly && writable)
      mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (!wantReadOnly && !writable)
      mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::fchmodat(at.Dir(), at.Name(), mode, 0) != 0)
      ok = false;
  }

  const std::string_view name = NativeBaseName(nativePath);
  const std::string shortPath = at.ShortPath();
  const std::optional<uint16_t> stored = ReadStoredAttributes(shortPath.c_str());
  const uint16_t wanted = attr & (isFolder ? StoredFolderBits : StoredFileBits);
  // Compare what would be shown rather than the raw values, so that a folder made with plain
  // attributes gets no extended attribute at all.
  const uint16_t keep = isFolder ? StoredFolderBits : StoredFileBits;
  if ((ComposeAttributes(name, isFolder, st.st_mode, stored) & keep) !=
      (ComposeAttributes(name, isFolder, st.st_mode, wanted) & keep)) {
    char text[8];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<unsigned>(wanted));
    (void)ec;
    if (::setxattr(shortPath.c_str(), AttrXattrName, text, static_cast<size_t>(end - text), 0) != 0)
      ok = false;
  }
  return ok;
}

} // namespace corvane::platform
