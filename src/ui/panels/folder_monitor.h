// TFolderMonitor: tells a file panel that the folder it shows has changed on disk, so that the
// panel re-reads it, or that the folder itself is gone, so that the panel moves elsewhere.
//
// The monitor watches the folder through a TFolderWatcher and lets the event loop wait on the
// watcher's descriptor with a QSocketNotifier, so nothing is polled and no thread is needed. A
// change does not trigger a re-read at once: copying or unpacking many files changes the folder
// thousands of times a second, and re-reading after each would keep the panel busy for nothing.
// The first change arms a delay of DelayMs; changes during the delay fold into it, neither
// restarting nor extending it, so that a steady stream of changes still shows at least once a
// second; when the delay ends, OnChange is raised once. The delay runs on a TDelayTimer, which
// tests replace with one they fire themselves.
//
// The events are raised from the event loop. Their handlers may stop, re-point and restart the
// monitor: a notifier that is replaced while it may be signalling is deleted later, never at once.
#pragma once

#include "platform/folder_watcher.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace corvane {

// A single-shot timer that runs a callback once it expires.
class TDelayTimer {
public:
  virtual ~TDelayTimer();
  // Arms the timer to run `fire` once after `milliseconds`, replacing a pending run.
  virtual void Start(int milliseconds, std::function<void()> fire) = 0;
  // Cancels a pending run.
  virtual void Stop() = 0;
  // Armed and not yet expired.
  virtual bool Pending() const = 0;
};

class TFolderMonitor final : public QObject {
  Q_OBJECT

public:
  // Without a delay timer the monitor uses a single-shot QTimer of the current thread's loop.
  explicit TFolderMonitor(QObject* parent = nullptr, std::unique_ptr<TDelayTimer> delay = nullptr);
  ~TFolderMonitor() override;

  // Replaces the delay timer, cancelling a pending delay (null: a QTimer one).
  void SetDelayTimer(std::unique_ptr<TDelayTimer> delay);
  // The folder the next StartMonitor watches; a running watch is left as it is.
  void SetMonitorFolder(const std::string& nativeFolder);
  const std::string& MonitorFolder() const { return Folder; }
  // Watches the folder (anew when already watching). A folder that cannot be watched simply
  // gives no events.
  void StartMonitor();
  // Ends the watch and cancels a pending delay: no event follows until the next start.
  void StopMonitor();
  // Started and neither stopped nor ended by the folder going away.
  bool Active() const { return Started; }
  // The watcher's descriptor while a folder is watched, else -1.
  int WatchFd() const { return Watcher.Fd(); }

  static constexpr int DelayMs = 1000;

  // The folder's contents changed; raised when the delay after the first change ends.
  std::function<void()> OnChange;
  // The folder was removed or renamed; the monitor has stopped (a pending delay is dropped).
  std::function<void()> OnFolderGone;

private:
  void ReadChanges();
  void DropNotifier();

  platform::TFolderWatcher Watcher;
  // A child of the monitor on Watcher's descriptor; null when not watching.
  QSocketNotifier* Notifier = nullptr;
  std::unique_ptr<TDelayTimer> Delay;
  std::string Folder;
  bool Started = false;
};

} // namespace corvane
