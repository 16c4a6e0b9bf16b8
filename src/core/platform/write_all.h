// Writing a whole buffer to a descriptor: the one loop every writer of the program uses.
//
// write() may write less than it was asked (a signal, a pipe, a nearly full disk), and on some
// file systems and devices it writes nothing without naming an error; a loop that simply tries
// again then never ends. Here a short write goes on with the rest, an interrupted one is repeated,
// and a write of nothing is a failure.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace corvane::platform {

// True when all `size` bytes were written. False with errno set otherwise: the system's error, or
// EIO when the system wrote nothing and named no error.
bool WriteAll(int fd, const void* data, size_t size);

// Test seam: the call WriteAll makes in place of ::write. Returns the previous one; nullptr puts
// the system's write back.
using TWriteCall = ssize_t (*)(int fd, const void* data, size_t size);
TWriteCall ReplaceWriteCall(TWriteCall call);

} // namespace corvane::platform
