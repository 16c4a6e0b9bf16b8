// Temporary files beside a target. Whatever is written in place of a file (a copy, a settings
// file, an extracted entry) first goes to a fresh file in the same folder, which is renamed over
// the target only when complete: a failure half way leaves the target as it was, and the rename
// stays on one file system.
//
// The file is made with O_EXCL under a random name, so it is always new (never an existing file,
// nor anything a link points to) and no one else's file is overwritten; it is private to the
// owner (0600) until the caller sets the final mode. The name is "." + the target's name, cut to
// 200 bytes, + ".cv" + eight hex digits: hidden, recognisable after a crash, and at most 212 bytes,
// so that a target of the longest name a folder takes (255 bytes) still gets one.
#pragma once

#include "platform/unique_fd.h"

#include <string>
#include <string_view>

namespace corvane::platform {

struct TTemporaryFile {
  TUniqueFd Fd;     // open for writing; invalid, with errno set, when no file could be made
  std::string Name; // in the folder
};

// A fresh name for a temporary file beside the file `target` (a name, not a path).
std::string TemporaryName(std::string_view target);

// Creates a temporary file beside `target` in the folder dirFd (AT_FDCWD: the working folder).
TTemporaryFile CreateTemporaryFile(int dirFd, std::string_view target);

} // namespace corvane::platform
