// TPauseHotKey: the Pause key as a desktop-wide hot key that brings the program to the front from
// anywhere. On X11 the key is grabbed on the root window (with and without NumLock and CapsLock,
// which X counts as modifiers); where there is no X11 (Wayland, offscreen) nothing is registered
// and the key simply stays the focused window's.
#pragma once

#include <QAbstractNativeEventFilter>

#include <functional>

namespace corvane {

class TPauseHotKey final : public QAbstractNativeEventFilter {
public:
  explicit TPauseHotKey(std::function<void()> onPressed);
  ~TPauseHotKey() override;
  TPauseHotKey(const TPauseHotKey&) = delete;
  TPauseHotKey& operator=(const TPauseHotKey&) = delete;

  // False where the desktop offers no way to grab the key.
  bool Register();
  void Unregister();
  bool Registered() const { return GrabbedKey != 0; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
  std::function<void()> OnPressed;
  unsigned GrabbedKey = 0;
};

} // namespace corvane
