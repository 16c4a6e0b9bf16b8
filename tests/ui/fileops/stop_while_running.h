// Stopping an operation window as a user does: at the first moment the running operation lets
// waiting messages through, press Esc or click the window's close button.
#pragma once

#include "platform/process_messages.h"

#include <QDialog>
#include <QTest>

#include <utility>

namespace corvane::test {

// Runs `start` (the window's OK) with the window shown; returns whether the window was still
// shown right after the user's Esc or close.
template <class TStart> bool StopWhileRunning(QDialog& window, bool escape, TStart start) {
  window.show();
  bool shownAfter = false;
  bool done = false;
  platform::SetProcessMessagesHook([&] {
    if (std::exchange(done, true))
      return;
    if (escape)
      QTest::keyClick(&window, Qt::Key_Escape);
    else
      window.close();
    shownAfter = window.isVisible();
  });
  start();
  platform::SetProcessMessagesHook({});
  return shownAfter;
}

} // namespace corvane::test
