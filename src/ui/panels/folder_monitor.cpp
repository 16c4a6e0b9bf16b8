#include "panels/folder_monitor.h"

#include <QSocketNotifier>
#include <QTimer>

#include <utility>

namespace corvane {

namespace {

// The default delay: a single-shot QTimer.
class TQtDelayTimer final : public TDelayTimer {
public:
  TQtDelayTimer() {
    Timer.setSingleShot(true);
    QObject::connect(&Timer, &QTimer::timeout, &Timer, [this] {
      // Taken out first: the callback may arm the timer again.
      if (auto fire = std::exchange(Fire, nullptr))
        fire();
    });
  }
  void Start(int milliseconds, std::function<void()> fire) override {
    Fire = std::move(fire);
    Timer.start(milliseconds);
  }
  void Stop() override {
    Timer.stop();
    Fire = nullptr;
  }
  bool Pending() const override { return Timer.isActive(); }

private:
  std::function<void()> Fire; // declared before Timer, so that Timer goes first
  QTimer Timer;
};

std::unique_ptr<TDelayTimer> MakeQtDelayTimer() {
  return std::make_unique<TQtDelayTimer>();
}

} // namespace

TDelayTimer::~TDelayTimer() = default;

TFolderMonitor::TFolderMonitor(QObject* parent, std::unique_ptr<TDelayTimer> delay)
    : QObject(parent), Delay(delay ? std::move(delay) : MakeQtDelayTimer()) {}

TFolderMonitor::~TFolderMonitor() {
  // Before the watcher closes its descriptor.
  delete Notifier;
}

void TFolderMonitor::SetDelayTimer(std::unique_ptr<TDelayTimer> delay) {
  Delay->Stop();
  Delay = delay ? std::move(delay) : MakeQtDelayTimer();
}

void TFolderMonitor::SetMonitorFolder(const std::string& nativeFolder) {
  Folder = nativeFolder;
}

void TFolderMonitor::StartMonitor() {
  StopMonitor();
  Started = true;
  if (!Watcher.Watch(Folder))
    return;
  QSocketNotifier* notifier = new QSocketNotifier(Watcher.Fd(), QSocketNotifier::Read, this);
  // Only the current notifier counts: a dropped one may still be waiting for its deletion.
  connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
    if (notifier == Notifier)
      ReadChanges();
  });
  Notifier = notifier;
}

void TFolderMonitor::StopMonitor() {
  Started = false;
  Delay->Stop();
  DropNotifier();
  Watcher.Stop();
}

void TFolderMonitor::DropNotifier() {
  if (!Notifier)
    return;
  // The notifier may be the one whose signal is running (a handler stopping the monitor), so it
  // is only disabled now, which takes it out of the event loop before its descriptor closes.
  Notifier->setEnabled(false);
  Notifier->deleteLater();
  Notifier = nullptr;
}

void TFolderMonitor::ReadChanges() {
  const platform::TFolderChange change = Watcher.ReadEvents();
  if (change.FolderGone) {
    // Nothing is left to watch, and re-reading a folder that is gone is pointless.
    StopMonitor();
    if (OnFolderGone)
      OnFolderGone();
    return;
  }
  if (change.Changed && !Delay->Pending())
    Delay->Start(DelayMs, [this] {
      if (OnChange)
        OnChange();
    });
}

} // namespace corvane
