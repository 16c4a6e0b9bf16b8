#include "platform/file_attributes.h"

#include "platform/at_path.h"

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

std::optional<uint16_t> GetFileAttributes(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return std::nullopt;
  struct stat st {};
  if (::fstatat(at.Dir(), at.Name(), &st, 0) != 0)
    return std::nullopt;
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
