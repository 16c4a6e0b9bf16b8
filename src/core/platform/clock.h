// TClock: the time that bounded waits are measured against. The program uses the steady system
// clock; tests put in their own, so that a timeout can pass without anyone waiting for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace corvane::platform {

class TClock {
public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~TClock() = default;
  virtual TimePoint Now() = 0;
  // Waits on `cv` (with `lock` held) until `ready()` holds or the deadline has passed, and
  // returns `ready()`.
  virtual bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                         TimePoint deadline, const std::function<bool()>& ready) = 0;

  static TClock& System();
};

} // namespace corvane::platform
