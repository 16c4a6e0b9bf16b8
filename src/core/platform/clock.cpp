#include "platform/clock.h"

namespace corvane::platform {

namespace {

class TSystemClock final : public TClock {
public:
  TimePoint Now() override { return std::chrono::steady_clock::now(); }
  bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 TimePoint deadline, const std::function<bool()>& ready) override {
    return cv.wait_until(lock, deadline, ready);
  }
};

} // namespace

TClock& TClock::System() {
  static TSystemClock clock;
  return clock;
}

} // namespace corvane::platform
