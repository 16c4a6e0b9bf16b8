#include "archive/extract_target.h"

#include "archive/archive_types.h"
#include "platform/temporary_file.h"
#include "platform/write_all.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace corvane::archive {

using platform::TUniqueFd;

namespace {

mode_t ProcessUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// One name inside a folder as the system calls will see it: not empty, no "/" and no NUL (the
// kernel would end it there and act on another name). Callers check names before; this keeps a
// name that slipped through from reaching a system call at all.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

// Opens (creating when missing) one folder below parent, never through a link.
int OpenChildFolder(int parent, const std::string& name) {
  if (!IsPlainName(name) || name == "." || name == "..") {
    errno = EINVAL;
    return -1;
  }
  if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
    return -1;
  return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

int TExtractTarget::Open(const std::string& nativeDir) {
  OpenNames.clear();
  OpenFds.clear();
  RootFd.Reset(::open(nativeDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (RootFd.Valid())
    return errNone;
  if (errno != ENOENT)
    return errCreateDir;
  // Missing: make it and its parents. The target folder itself is the user's choice, so links
  // on the way there are followed.
  std::string path;
  size_t start = 0;
  while (start < nativeDir.size()) {
    size_t end = nativeDir.find('/', start + 1);
    if (end == std::string::npos)
      end = nativeDir.size();
    path = nativeDir.substr(0, end);
    if (!path.empty() && path != "/" && ::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
      return errCreateDir;
    start = end;
  }
  RootFd.Reset(::open(nativeDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return RootFd.Valid() ? errNone : errCreateDir;
}

int TExtractTarget::Folder(const std::vector<std::string>& components, size_t count, int& error) {
  size_t keep = 0;
  while (keep < OpenNames.size() && keep < count && OpenNames[keep] == components[keep])
    ++keep;
  OpenNames.resize(keep);
  OpenFds.resize(keep);
  for (size_t i = keep; i < count; ++i) {
    const int parent = i == 0 ? RootFd.Get() : OpenFds.back().Get();
    TUniqueFd fd(OpenChildFolder(parent, components[i]));
    if (!fd.Valid()) {
      error = errCreateDir;
      return -1;
    }
    OpenNames.push_back(components[i]);
    OpenFds.push_back(std::move(fd));
  }
  return count == 0 ? RootFd.Get() : OpenFds[count - 1].Get();
}

TExisting ExistingAt(int folderFd, const std::string& name) {
  struct stat st {};
  if (!IsPlainName(name))
    return TExisting::Other;
  if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return TExisting::None;
  if (S_ISDIR(st.st_mode))
    return TExisting::Folder;
  if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))
    return TExisting::File;
  return TExisting::Other;
}

int TOutputFile::Create(int folderFd, const std::string& name, bool replace) {
  Discard();
  FolderFd = folderFd;
  Name = name;
  if (!IsPlainName(name))
    return errInvalidFileName;
  constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  if (!replace) {
    Fd.Reset(::openat(folderFd, name.c_str(), flags, 0600));
    if (Fd.Valid()) {
      WrittenName = name;
      return errNone;
    }
    if (errno != EEXIST)
      return errWriteFile;
  }
  platform::TTemporaryFile temporary = platform::CreateTemporaryFile(folderFd, name);
  if (!temporary.Fd.Valid())
    return errWriteFile;
  Fd = std::move(temporary.Fd);
  WrittenName = std::move(temporary.Name);
  return errNone;
}

int TOutputFile::Write(const uint8_t* data, size_t size) {
  if (platform::WriteAll(Fd.Get(), data, size))
    return errNone;
  return errno == ENOSPC || errno == EDQUOT ? errDiskFull : errWriteFile;
}

int TOutputFile::Commit(mode_t mode, bool setTime, int64_t unixTime) {
  if (!Fd.Valid())
    return errCloseFile;
  int result = errNone;
  if (::fchmod(Fd.Get(), mode) != 0)
    result = errCloseFile;
  if (setTime) {
    const timespec times[2] = {{static_cast<time_t>(unixTime), 0},
                               {static_cast<time_t>(unixTime), 0}};
    ::futimens(Fd.Get(), times); // a time the file system cannot hold is no reason to fail
  }
  if (::close(Fd.Release()) != 0)
    result = errno == ENOSPC || errno == EDQUOT ? errDiskFull : errCloseFile;
  if (result == errNone && WrittenName != Name &&
      ::renameat(FolderFd, WrittenName.c_str(), FolderFd, Name.c_str()) != 0)
    result = errCloseFile;
  if (result != errNone) {
    Discard();
    return result;
  }
  WrittenName.clear();
  return errNone;
}

void TOutputFile::Discard() {
  if (WrittenName.empty())
    return;
  Fd.Reset();
  ::unlinkat(FolderFd, WrittenName.c_str(), 0);
  WrittenName.clear();
}

int CreateLink(int folderFd, const std::string& name, const std::string& target, bool replace) {
  if (!IsPlainName(name) || target.empty() || target.find('\0') != std::string::npos)
    return errInvalidFileName;
  if (!replace)
    return ::symlinkat(target.c_str(), folderFd, name.c_str()) == 0 ? errNone : errWriteFile;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary = platform::TemporaryName(name);
    if (::symlinkat(target.c_str(), folderFd, temporary.c_str()) != 0) {
      if (errno == EEXIST)
        continue;
      return errWriteFile;
    }
    if (::renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) == 0)
      return errNone;
    ::unlinkat(folderFd, temporary.c_str(), 0);
    return errWriteFile;
  }
  return errWriteFile;
}

int CreateHardLink(int fromFolderFd, const std::string& fromName, int folderFd,
                   const std::string& name, bool replace) {
  if (!IsPlainName(fromName) || !IsPlainName(name))
    return errInvalidFileName;
  if (ExistingAt(fromFolderFd, fromName) != TExisting::File)
    return errFileNotFound;
  if (!replace)
    return ::linkat(fromFolderFd, fromName.c_str(), folderFd, name.c_str(), 0) == 0 ? errNone
                                                                                    : errWriteFile;
  // The link is made under a temporary name first: the file it replaces stays until the new one
  // exists, so a link that cannot be made loses nothing.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary = platform::TemporaryName(name);
    if (::linkat(fromFolderFd, fromName.c_str(), folderFd, temporary.c_str(), 0) != 0) {
      if (errno == EEXIST)
        continue;
      return errWriteFile;
    }
    // Renaming one name of a file over another name of the same file does nothing and leaves
    // both: a link onto the file it already is has nothing to replace.
    struct stat made {
    }, old{};
    const bool same = ::fstatat(folderFd, temporary.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0 &&
                      ::fstatat(folderFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
                      made.st_dev == old.st_dev && made.st_ino == old.st_ino;
    if (same) {
      ::unlinkat(folderFd, temporary.c_str(), 0);
      return errNone;
    }
    if (::renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) == 0)
      return errNone;
    ::unlinkat(folderFd, temporary.c_str(), 0);
    return errWriteFile;
  }
  return errWriteFile;
}

mode_t ExtractedMode(bool hasMode, uint32_t storedMode, bool readOnly, bool folder) {
  mode_t mode = hasMode ? static_cast<mode_t>(storedMode & 0777) : (folder ? 0777 : 0666);
  if (readOnly)
    mode &= ~static_cast<mode_t>(0222);
  return mode & ~ProcessUmask();
}

} // namespace corvane::archive
