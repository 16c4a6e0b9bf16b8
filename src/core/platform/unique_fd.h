// TUniqueFd: owns one POSIX file descriptor and closes it on every exit path.
#pragma once

#include <unistd.h>

#include <utility>

namespace corvane::platform {

class TUniqueFd final {
public:
  TUniqueFd() = default;
  explicit TUniqueFd(int fd) : Fd(fd) {}
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;
  TUniqueFd(TUniqueFd&& other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
  TUniqueFd& operator=(TUniqueFd&& other) noexcept {
    if (this != &other)
      Reset(std::exchange(other.Fd, -1));
    return *this;
  }
  ~TUniqueFd() { Reset(); }

  int Get() const { return Fd; }
  bool Valid() const { return Fd >= 0; }
  int Release() { return std::exchange(Fd, -1); }
  void Reset(int fd = -1) {
    if (Fd >= 0)
      ::close(Fd);
    Fd = fd;
  }

private:
  int Fd = -1;
};

} // namespace corvane::platform
