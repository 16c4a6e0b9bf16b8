// TMountWatcher: tells when the mounted file systems change, so that the drive letters follow a
// volume mounted or unmounted while the program runs.
//
// The kernel flags an open /proc/self/mountinfo as "priority readable" (POLLPRI) whenever the
// mount table of the namespace changes; polling the descriptor is all it takes, no thread and no
// timer. A fixture mount table of the tests is a plain file, which never raises that flag, so for
// it the watcher listens with inotify to the folder that holds the file instead. Either way the
// caller polls Fd() for the events that Priority() names and then asks Changed(), which compares
// the table's text with the one seen last: a wake-up that changed nothing (a rewrite with the same
// lines, the kept-letters file written beside a fixture) is no change.
#pragma once

#include "platform/unique_fd.h"

#include <string>

namespace corvane::platform {

class TMountWatcher final {
public:
  // Starts watching the mount table at `mountInfoPath` ("/proc/self/mountinfo" or a fixture file);
  // false, with errno set, when it cannot be watched. Its current text counts as seen.
  bool Watch(const std::string& mountInfoPath);
  void Stop();
  int Fd() const { return Descriptor.Get(); }
  bool Watching() const { return Descriptor.Valid(); }
  // True: wait for POLLPRI on Fd() (the kernel's mount table); false: wait for POLLIN (inotify).
  bool Priority() const { return KernelTable; }
  // Takes what is pending on the descriptor without waiting; true when the table's text differs
  // from the one seen last (which it then becomes).
  bool Changed();

private:
  TUniqueFd Descriptor;
  std::string Path;
  std::string LastText;
  bool KernelTable = false;
};

} // namespace corvane::platform
