#include "platform/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace corvane::platform {

namespace {

TWriteCall WriteCall = nullptr;

} // namespace

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = WriteCall ? WriteCall(fd, bytes, size) : ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      if (written == 0)
        errno = EIO;
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

TWriteCall ReplaceWriteCall(TWriteCall call) {
  const TWriteCall previous = WriteCall;
  WriteCall = call;
  return previous;
}

} // namespace corvane::platform
