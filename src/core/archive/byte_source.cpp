#include "archive/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane::archive {

bool TByteSource::ReadExact(uint64_t offset, void* buffer, size_t count) {
  if (offset > Size() || count > Size() - offset)
    return false;
  return ReadAt(offset, buffer, count) == static_cast<ptrdiff_t>(count);
}

TFileByteSource::TFileByteSource(const std::string& nativePath)
    : Fd(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)) {
  struct stat st {};
  if (!Fd.Valid())
    return;
  if (::fstat(Fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : (errno ? errno : EINVAL);
    Fd.Reset();
    errno = error;
    return;
  }
  FileSize = static_cast<uint64_t>(st.st_size);
}

ptrdiff_t TFileByteSource::ReadAt(uint64_t offset, void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t got =
        ::pread(Fd.Get(), out + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR)
        continue;
      return -1;
    }
    if (got == 0)
      break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ptrdiff_t>(done);
}

ptrdiff_t TMemoryByteSource::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (offset >= DataSize || count == 0)
    return 0;
  const size_t n = std::min<uint64_t>(count, DataSize - offset);
  std::memcpy(buffer, Data + offset, n);
  return static_cast<ptrdiff_t>(n);
}

} // namespace corvane::archive
