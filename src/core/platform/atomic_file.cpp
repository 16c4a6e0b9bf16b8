#include "platform/atomic_file.h"

#include "platform/temporary_file.h"
#include "platform/unique_fd.h"
#include "platform/write_all.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvane::platform {

std::optional<std::string> ReadWholeFile(const std::string& nativePath, size_t maxBytes) {
  TUniqueFd fd(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid())
    return std::nullopt;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return std::nullopt;
  }
  std::string data;
  char buffer[16384];
  while (true) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return std::nullopt;
    if (got == 0)
      break;
    if (data.size() + static_cast<size_t>(got) > maxBytes) {
      errno = EFBIG;
      return std::nullopt;
    }
    data.append(buffer, static_cast<size_t>(got));
  }
  return data;
}

bool WriteFileAtomically(const std::string& nativePath, std::string_view data, mode_t newFileMode) {
  mode_t mode = newFileMode;
  struct stat old {};
  if (::stat(nativePath.c_str(), &old) == 0)
    mode = old.st_mode & 07777;

  // The folder is held open so that the temporary file and the rename act in the same one.
  const size_t slash = nativePath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : nativePath.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
  const TUniqueFd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid())
    return false;
  TTemporaryFile temporary = CreateTemporaryFile(dir.Get(), base);
  if (!temporary.Fd.Valid())
    return false;

  TUniqueFd& fd = temporary.Fd;
  bool ok = WriteAll(fd.Get(), data.data(), data.size());
  ok = ok && ::fchmod(fd.Get(), mode) == 0 && ::fsync(fd.Get()) == 0;
  const int error = errno;
  fd.Reset();
  if (!ok || ::renameat(dir.Get(), temporary.Name.c_str(), dir.Get(), base.c_str()) != 0) {
    const int failure = ok ? errno : error;
    ::unlinkat(dir.Get(), temporary.Name.c_str(), 0);
    errno = failure;
    return false;
  }
  return true;
}

} // namespace corvane::platform
