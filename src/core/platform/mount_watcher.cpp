#include "platform/mount_watcher.h"

#include "platform/mount_table.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>

#include <cerrno>

namespace corvane::platform {

bool TMountWatcher::Watch(const std::string& mountInfoPath) {
  Stop();
  KernelTable = mountInfoPath.rfind("/proc/", 0) == 0;
  TUniqueFd fd;
  if (KernelTable) {
    fd.Reset(::open(mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC));
  } else {
    // The folder, not the file: a fixture is rewritten by renaming a new file over the old one,
    // which would end a watch on the file itself.
    const size_t slash = mountInfoPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : mountInfoPath.substr(0, slash));
    fd.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (fd.Valid() &&
        ::inotify_add_watch(fd.Get(), folder.c_str(),
                            IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_ONLYDIR) < 0) {
      const int error = errno;
      fd.Reset();
      errno = error;
    }
  }
  if (!fd.Valid())
    return false;
  Descriptor = std::move(fd);
  Path = mountInfoPath;
  LastText = ReadSmallFile(Path);
  return true;
}

void TMountWatcher::Stop() {
  Descriptor.Reset();
  Path.clear();
  LastText.clear();
}

bool TMountWatcher::Changed() {
  if (!Descriptor.Valid())
    return false;
  if (KernelTable) {
    // Polling takes the kernel's flag down (whoever woke the caller may already have done so).
    pollfd entry{Descriptor.Get(), POLLPRI, 0};
    ::poll(&entry, 1, 0);
  } else {
    alignas(inotify_event) char buffer[4096];
    while (::read(Descriptor.Get(), buffer, sizeof buffer) > 0) {
    }
  }
  std::string text = ReadSmallFile(Path);
  if (text == LastText)
    return false;
  LastText = std::move(text);
  return true;
}

} // namespace corvane::platform
