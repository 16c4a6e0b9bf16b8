#include "platform/folder_watcher.h"

#include "platform/at_path.h"

#include <sys/inotify.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

namespace corvane::platform {

namespace {

// Everything that alters the folder's listing or an entry's size, time or attributes, plus the end
// of the folder itself. IN_ONLYDIR makes a watch on anything but a folder fail.
constexpr uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MOVE | IN_MODIFY | IN_CLOSE_WRITE |
                               IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// The watch is over: the folder was removed or renamed, or its file system unmounted (the kernel
// then sends IN_IGNORED as well).
constexpr uint32_t GoneMask = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

} // namespace

bool TFolderWatcher::Watch(std::string_view nativeFolder) {
  Stop();
  // inotify_add_watch takes a path only: a path too long for the kernel is reached through the
  // descriptor of the folder that holds its last component.
  TAtPath at;
  if (!at.Resolve(nativeFolder))
    return false;
  TUniqueFd inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!inotify.Valid())
    return false;
  const int watchId = ::inotify_add_watch(inotify.Get(), at.ShortPath().c_str(), WatchMask);
  if (watchId < 0) {
    const int error = errno;
    inotify.Reset();
    errno = error;
    return false;
  }
  Inotify = std::move(inotify);
  WatchId = watchId;
  return true;
}

void TFolderWatcher::Stop() {
  // Closing the descriptor removes the watch with it.
  Inotify.Reset();
  WatchId = -1;
}

TFolderChange TFolderWatcher::ReadEvents() {
  TFolderChange change;
  if (!Inotify.Valid())
    return change;
  // Room for a few hundred events per read; the loop reads until the queue is empty.
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t got = ::read(Inotify.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break; // EAGAIN: drained
    size_t pos = 0;
    while (pos + sizeof(inotify_event) <= size_t(got)) {
      inotify_event event;
      std::memcpy(&event, buffer + pos, sizeof event);
      pos += sizeof event + event.len;
      if (event.mask & IN_Q_OVERFLOW) {
        // Events were lost: whatever they were, the listing may be stale.
        change.Changed = true;
      } else if (event.wd != WatchId) {
        continue;
      } else if (event.mask & GoneMask) {
        change.FolderGone = true;
      } else {
        change.Changed = true;
      }
    }
  }
  return change;
}

} // namespace corvane::platform
