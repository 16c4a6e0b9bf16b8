#include "main/pause_hot_key.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace corvane {

namespace {

QNativeInterface::QX11Application* X11() {
  return qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
}

// The grab must hold whatever the lock keys are: no lock, NumLock (Mod2), CapsLock, both.
constexpr uint16_t LockCombinations[] = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                         XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};

xcb_window_t ScreenRoot(xcb_connection_t* connection) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  return screen ? screen->root : 0;
}

} // namespace

TPauseHotKey::TPauseHotKey(std::function<void()> onPressed) : OnPressed(std::move(onPressed)) {}

TPauseHotKey::~TPauseHotKey() {
  Unregister();
}

bool TPauseHotKey::Register() {
  auto* x11 = X11();
  if (!x11 || !x11->display() || !x11->connection())
    return false;
  xcb_connection_t* connection = x11->connection();
  const xcb_window_t root = ScreenRoot(connection);
  const KeyCode code = XKeysymToKeycode(x11->display(), XK_Pause);
  if (!root || code == 0)
    return false;
  for (const uint16_t modifiers : LockCombinations)
    xcb_grab_key(connection, 1, root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
  xcb_flush(connection);
  GrabbedKey = code;
  QCoreApplication::instance()->installNativeEventFilter(this);
  return true;
}

void TPauseHotKey::Unregister() {
  if (!GrabbedKey)
    return;
  if (auto* x11 = X11(); x11 && x11->connection()) {
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t root = ScreenRoot(connection);
    for (const uint16_t modifiers : LockCombinations)
      xcb_ungrab_key(connection, static_cast<xcb_keycode_t>(GrabbedKey), root, modifiers);
    xcb_flush(connection);
  }
  if (QCoreApplication::instance())
    QCoreApplication::instance()->removeNativeEventFilter(this);
  GrabbedKey = 0;
}

bool TPauseHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || !GrabbedKey)
    return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
    return false;
  const auto* key = static_cast<const xcb_key_press_event_t*>(message);
  if (key->detail != GrabbedKey)
    return false;
  if (OnPressed)
    OnPressed();
  return true;
}

} // namespace corvane
