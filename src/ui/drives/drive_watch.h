// TDriveWatch: runs a callback when the mounted volumes change while the program runs (a stick
// plugged in, a network share mounted), so that the drive bars and the change-drive window follow.
// It waits for the mount table's descriptor in the event loop: nothing polls on a timer.
#pragma once

#include "platform/mount_watcher.h"

#include <QObject>

#include <functional>
#include <string>

class QSocketNotifier;

namespace corvane {

class TDriveWatch final : public QObject {
  Q_OBJECT

public:
  // Watches the mount table the drive table reads (the machine's, or the CORVANE_DRIVES fixture).
  TDriveWatch(QObject* parent, std::function<void()> onChange);
  bool Watching() const { return Watcher.Watching(); }

private:
  platform::TMountWatcher Watcher;
  QSocketNotifier* Notifier = nullptr;
  std::function<void()> OnChange;
};

} // namespace corvane
