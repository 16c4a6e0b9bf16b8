// TFolderWatcher: tells whether one native folder has changed, through the kernel's inotify.
//
// A file panel shows one folder and re-reads it when something in it changes. The watcher covers
// exactly that folder, not what lies below it: a panel lists only the folder's own entries, and a
// change deeper down does not alter them. Each Watch makes its own inotify descriptor, so events
// queued for a folder watched before can never be taken for events of the current one, and the
// descriptor is non-blocking, so that the UI can poll it in its event loop and drain it without
// ever waiting. The events are folded into a yes/no answer: the panel re-reads the whole folder
// anyway, so which file changed does not matter, only whether any did and whether the folder
// itself is still there.
#pragma once

#include "platform/unique_fd.h"

#include <string_view>

namespace corvane::platform {

// What a drained batch of events amounts to.
struct TFolderChange {
  // An entry of the folder was made, removed, renamed, written or had its attributes changed, the
  // folder's own attributes changed, or the kernel dropped events (its queue overflowed).
  bool Changed = false;
  // The folder was removed, renamed or its file system unmounted: the watch is over, and the
  // folder's path no longer names it.
  bool FolderGone = false;
};

class TFolderWatcher final {
public:
  // Watches the folder, dropping any previous watch first. False, with errno set, when it cannot
  // be watched (missing, not a folder, not readable, the watch limit reached); nothing is watched
  // then.
  bool Watch(std::string_view nativeFolder);
  // Ends the watch and closes the descriptor.
  void Stop();
  // The descriptor that becomes readable when events are pending; -1 when nothing is watched.
  int Fd() const { return Inotify.Get(); }
  bool Watching() const { return Inotify.Valid(); }
  // Takes every pending event without waiting and sums them up.
  TFolderChange ReadEvents();

private:
  TUniqueFd Inotify;
  int WatchId = -1; // the watch descriptor of the folder within Inotify
};

} // namespace corvane::platform
