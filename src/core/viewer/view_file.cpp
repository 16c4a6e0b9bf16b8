#include "viewer/view_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvane::viewer {

TOpenStatus TViewFile::Open(const std::string& nativePath) {
  Fd.Reset();
  FilePath = nativePath;
  FileSize = 0;
  LastError = 0;
  struct stat st {};
  if (::stat(nativePath.c_str(), &st) != 0) {
    LastError = errno;
    return errno == ENOENT || errno == ENOTDIR ? TOpenStatus::Missing : TOpenStatus::Unreadable;
  }
  if (S_ISDIR(st.st_mode))
    return TOpenStatus::Folder;
  if (!S_ISREG(st.st_mode))
    return TOpenStatus::NotRegular;
  platform::TUniqueFd fd(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid()) {
    LastError = errno;
    return errno == ENOENT ? TOpenStatus::Missing : TOpenStatus::Unreadable;
  }
  struct stat opened {};
  if (::fstat(fd.Get(), &opened) != 0) {
    LastError = errno;
    return TOpenStatus::Unreadable;
  }
  if (!S_ISREG(opened.st_mode))
    return S_ISDIR(opened.st_mode) ? TOpenStatus::Folder : TOpenStatus::NotRegular;
  // A file we may open but not read (a folder-like special file system entry, a broken medium)
  // is told now rather than as an empty screen.
  char probe;
  ssize_t got;
  do {
    got = ::pread(fd.Get(), &probe, 1, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    LastError = errno;
    return TOpenStatus::Unreadable;
  }
  Fd = std::move(fd);
  FileSize = static_cast<uint64_t>(opened.st_size);
  Device = opened.st_dev;
  Inode = opened.st_ino;
  return TOpenStatus::Opened;
}

bool TViewFile::Read(uint64_t offset, size_t length, std::string& out) {
  out.clear();
  if (!Fd.Valid() || offset >= FileSize)
    return Fd.Valid();
  if (length > FileSize - offset)
    length = static_cast<size_t>(FileSize - offset);
  out.resize(length);
  size_t done = 0;
  while (done < length) {
    const ssize_t got =
        ::pread(Fd.Get(), out.data() + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      LastError = errno;
      out.resize(done);
      return false;
    }
    if (got == 0) {
      // The file is shorter than it was: it was cut while shown.
      FileSize = offset + done;
      break;
    }
    done += static_cast<size_t>(got);
  }
  out.resize(done);
  return true;
}

std::string TViewFile::Read(uint64_t offset, size_t length) {
  std::string out;
  Read(offset, length, out);
  return out;
}

TFileChange TViewFile::Refresh() {
  TFileChange change;
  if (!Fd.Valid())
    return change;
  struct stat st {};
  if (::fstat(Fd.Get(), &st) == 0) {
    const auto size = static_cast<uint64_t>(st.st_size);
    change.Grew = size > FileSize;
    change.Shrank = size < FileSize;
    FileSize = size;
    if (st.st_nlink == 0)
      change.Removed = true;
  }
  struct stat named {};
  if (::stat(FilePath.c_str(), &named) != 0 || named.st_dev != Device || named.st_ino != Inode)
    change.Removed = true;
  return change;
}

} // namespace corvane::viewer
