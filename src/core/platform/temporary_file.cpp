#include "platform/temporary_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace corvane::platform {
namespace {

constexpr size_t kMaxTargetPart = 200;
// Names collide only by chance or on purpose; either way a few more tries find a free one.
constexpr int kAttempts = 100;

} // namespace

std::string TemporaryName(std::string_view target) {
  thread_local std::mt19937 random{std::random_device{}()};
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".cv%08x", static_cast<unsigned>(random()));
  std::string name = ".";
  name += target.substr(0, kMaxTargetPart);
  name += suffix;
  return name;
}

TTemporaryFile CreateTemporaryFile(int dirFd, std::string_view target) {
  TTemporaryFile file;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    file.Name = TemporaryName(target);
    file.Fd.Reset(::openat(dirFd, file.Name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.Fd.Valid() || errno != EEXIST)
      break;
  }
  if (!file.Fd.Valid())
    file.Name.clear();
  return file;
}

} // namespace corvane::platform
