#include "drives/drive_watch.h"

#include "platform/drive_table.h"

#include <QSocketNotifier>

namespace corvane {

TDriveWatch::TDriveWatch(QObject* parent, std::function<void()> onChange)
    : QObject(parent), OnChange(std::move(onChange)) {
  if (!Watcher.Watch(platform::TDriveSources::FromEnvironment().MountInfo))
    return; // no watch: the drives still follow Update_HotDrives
  Notifier = new QSocketNotifier(
      Watcher.Fd(), Watcher.Priority() ? QSocketNotifier::Exception : QSocketNotifier::Read, this);
  connect(Notifier, &QSocketNotifier::activated, this, [this] {
    if (Watcher.Changed() && OnChange)
      OnChange();
  });
}

} // namespace corvane
