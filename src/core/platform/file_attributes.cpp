#include "platform/file_attributes.h"

#include "platform/at_path.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <charconv>

namespace corvane::platform {

namespace {

constexpr uint16_t StoredFileBits = faHidden | faSystem | faArchive;
constexpr uint16_t StoredFolderBits = faReadOnly | faHidden | faSystem | faArchive;

std::string_view LastComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/')
    path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

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
  const ssize_t length = ::getxattr(path, AttrXattrName, buffer, sizeof buffer);
  if (length <= 0)
    return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(buffer, buffer + length, value);
  if (ec != std::errc() || end != buffer + length || value > 0xFFFF)
    return std::nullopt;
  return static_cast<uint16_t>(value);
}

std::optional<uint16_t> GetFileAttributes(std::string_view nativePath) {
  TAtPath at;
  if (!at.Resolve(nativePath))
    return std::nullopt;
  struct stat st {};
  if (::fstatat(at.Dir(), at.Name(), &st, 0) != 0)
    return std::nullopt;
  const std::string shortPath = at.ShortPath();
  return ComposeAttributes(LastComponent(nativePath), S_ISDIR(st.st_mode), st.st_mode,
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

  const std::string_view name = LastComponent(nativePath);
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
