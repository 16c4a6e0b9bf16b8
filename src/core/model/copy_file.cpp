#include "model/copy_file.h"

#include "model/path_utils.h"
#include "platform/at_path.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/native_path.h"
#include "platform/temporary_file.h"
#include "platform/unique_fd.h"
#include "platform/write_all.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace corvane {

namespace {

constexpr size_t ChunkSize = 1 << 20;

// Copies the whole contents, reporting progress; false with errno on any failure.
bool CopyContents(TBrowserEvents* events, int from, int to, int64_t size) {
  int64_t done = 0;
  bool kernelCopy = true;
  std::vector<char> buffer;
  while (true) {
    ssize_t moved = -1;
    if (kernelCopy) {
      moved = ::copy_file_range(from, nullptr, to, nullptr, ChunkSize, 0);
      if (moved < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                        errno == EOPNOTSUPP || errno == EBADF)) {
        kernelCopy = false;
        continue;
      }
    } else {
      if (buffer.empty())
        buffer.resize(ChunkSize);
      moved = ::read(from, buffer.data(), buffer.size());
      if (moved > 0 && !platform::WriteAll(to, buffer.data(), static_cast<size_t>(moved)))
        return false;
    }
    if (moved < 0 && errno == EINTR)
      continue;
    if (moved < 0)
      return false;
    if (moved == 0)
      return true;
    done += moved;
    if (events && events->OnCopyOneBlock)
      events->OnCopyOneBlock(done, size);
  }
}

// The folder of a target path, held open, and the target's name in it.
class TTargetFolder final {
public:
  bool Open(const std::string& nativePath) {
    std::string path = nativePath;
    while (path.size() > 1 && path.back() == '/')
      path.pop_back();
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    TargetName = slash == std::string::npos ? path : path.substr(slash + 1);
    platform::TAtPath at;
    if (!at.Resolve(folder))
      return false;
    Fd.Reset(::openat(at.Dir(), at.Name(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return Fd.Valid();
  }
  int Dir() const { return Fd.Get(); }
  const char* Name() const { return TargetName.c_str(); }

private:
  platform::TUniqueFd Fd;
  std::string TargetName;
};

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether a copy from source to an existing target would put a file in its own place: the same
// file, a link over the file it points to (the only copy would become a link to itself), or a file
// over a link to itself.
bool OneFile(const platform::TAtPath& from, const struct stat& source, int targetDir,
             const char* targetName, const struct stat& target) {
  if (SameInode(source, target))
    return true;
  struct stat followed {};
  if (S_ISLNK(source.st_mode) && ::fstatat(from.Dir(), from.Name(), &followed, 0) == 0 &&
      SameInode(followed, target))
    return true;
  return S_ISLNK(target.st_mode) && ::fstatat(targetDir, targetName, &followed, 0) == 0 &&
         SameInode(source, followed);
}

bool Fail(int error) {
  errno = error;
  return false;
}

} // namespace

bool CopyFileBlocks(TBrowserEvents* events, std::string_view sourcePath,
                    std::string_view targetPath, bool move) {
  const auto source = platform::ModelToNative(sourcePath);
  const auto target = platform::ModelToNative(targetPath);
  if (!source || !target)
    return Fail(ENOENT);
  platform::TAtPath from;
  if (!from.Resolve(*source))
    return false;
  // The target's folder, open: the temporary file must be made there, whatever the working folder.
  TTargetFolder to;
  if (!to.Open(*target))
    return false;
  struct stat sourceStat {};
  if (::fstatat(from.Dir(), from.Name(), &sourceStat, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  struct stat targetStat {};
  const bool targetExists = ::fstatat(to.Dir(), to.Name(), &targetStat, AT_SYMLINK_NOFOLLOW) == 0;
  if (targetExists && OneFile(from, sourceStat, to.Dir(), to.Name(), targetStat))
    return Fail(EEXIST); // copying it would destroy it
  if (targetExists && S_ISDIR(targetStat.st_mode))
    return Fail(EISDIR);
  if (!S_ISREG(sourceStat.st_mode) && !S_ISLNK(sourceStat.st_mode))
    return Fail(EINVAL); // folders are walked by the engines; special files are never opened

  // A move on one drive is a rename, when nothing is in the way.
  if (move && !sourcePath.empty() && !targetPath.empty() &&
      UpCaseAscii(sourcePath[0]) == UpCaseAscii(targetPath[0]) && !targetExists &&
      platform::RenameNoReplace(*source, *target))
    return true;

  if (targetExists) {
    bool answer = true;
    const TCopyConfirm kind = S_ISREG(targetStat.st_mode) && !(targetStat.st_mode & S_IWUSR)
                                  ? TCopyConfirm::ExistsReadOnly
                                  : TCopyConfirm::Exists;
    if (events && events->OnCopyConfirm)
      events->OnCopyConfirm(kind, std::string(targetPath), answer);
    if (!answer)
      return true; // skipped: counts as done, and nothing is touched
  }

  platform::TTemporaryFile made = platform::CreateTemporaryFile(to.Dir(), to.Name());
  platform::TUniqueFd out = std::move(made.Fd);
  const std::string temporary = std::move(made.Name);
  if (!out.Valid())
    return false;
  auto discard = [&](int error) {
    out.Reset();
    ::unlinkat(to.Dir(), temporary.c_str(), 0);
    return Fail(error);
  };

  if (S_ISLNK(sourceStat.st_mode)) {
    // A link is made again as a link, under the temporary name.
    std::vector<char> link(static_cast<size_t>(sourceStat.st_size) + 2);
    const ssize_t length = ::readlinkat(from.Dir(), from.Name(), link.data(), link.size() - 1);
    out.Reset();
    ::unlinkat(to.Dir(), temporary.c_str(), 0);
    if (length < 0)
      return false;
    link[static_cast<size_t>(length)] = 0;
    if (::symlinkat(link.data(), to.Dir(), temporary.c_str()) != 0)
      return false;
  } else {
    platform::TUniqueFd in(
        ::openat(from.Dir(), from.Name(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    struct stat opened {};
    if (!in.Valid() || ::fstat(in.Get(), &opened) != 0 || !S_ISREG(opened.st_mode))
      return discard(in.Valid() ? EINVAL : errno);
    const int64_t size = opened.st_size;
    if (events && events->OnCopyFirstBlock)
      events->OnCopyFirstBlock(std::string(sourcePath), std::string(targetPath), size);
    if (!CopyContents(events, in.Get(), out.Get(), size))
      return discard(errno);
    // The copy keeps the source's times and permissions (never set-id bits) and stored attributes.
    const timespec times[2] = {opened.st_atim, opened.st_mtim};
    ::futimens(out.Get(), times);
    ::fchmod(out.Get(), opened.st_mode & 0777);
    char attr[16];
    const ssize_t attrLength = ::fgetxattr(in.Get(), platform::AttrXattrName, attr, sizeof attr);
    if (attrLength > 0)
      ::fsetxattr(out.Get(), platform::AttrXattrName, attr, static_cast<size_t>(attrLength), 0);
    const int closed = ::close(out.Release());
    if (closed != 0) {
      const int error = errno;
      ::unlinkat(to.Dir(), temporary.c_str(), 0);
      return Fail(error);
    }
  }

  // Only now does the copy take the target's place.
  const int renamed = targetExists ? ::renameat(to.Dir(), temporary.c_str(), to.Dir(), to.Name())
                                   : ::renameat2(to.Dir(), temporary.c_str(), to.Dir(), to.Name(),
                                                 RENAME_NOREPLACE);
  if (renamed != 0) {
    const int error = errno;
    ::unlinkat(to.Dir(), temporary.c_str(), 0);
    return Fail(error);
  }
  if (move && ::unlinkat(from.Dir(), from.Name(), 0) != 0)
    return false; // copied, but the source could not go: it stays, and the caller says so
  if (events && events->OnCopyFileEnd)
    events->OnCopyFileEnd();
  return true;
}

} // namespace corvane
