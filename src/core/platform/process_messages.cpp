#include "platform/process_messages.h"

#include <utility>

namespace corvane::platform {

namespace {
std::function<void()>& Hook() {
  static std::function<void()> hook;
  return hook;
}
} // namespace

void ProcessMessages() {
  if (auto& hook = Hook())
    hook();
}

void SetProcessMessagesHook(std::function<void()> hook) {
  Hook() = std::move(hook);
}

} // namespace corvane::platform
