// CopyFileBlocks: the one file copy of the program, used by the real file source for copying in
// and out, and so by every copy and move.
//
// It never loses a file. The new contents go to a temporary file in the target's folder and
// replace the target only when complete; every read and write is checked, and on any failure the
// temporary file is removed and the old target is as it was. A move deletes its source only after
// the copy succeeded. Copying a file onto itself (the same path, a hard link, the same file seen
// through another drive letter) is refused, as is copying a FIFO, device or socket, which could
// block for ever or never end. A symbolic link is copied as a link.
//
// The progress events keep their meaning of bytes done out of the file's size; the copy itself may
// move more than one 32768-byte block at a time.
#pragma once

#include "model/browser_events.h"

#include <cstddef>
#include <string_view>

namespace corvane {

inline constexpr size_t CopyBlockSize = 32768;

// Copies (or moves) one file between model paths. True when copied, and when the user declined
// to overwrite an existing target (the file counts as done); false on failure, with errno set.
bool CopyFileBlocks(TBrowserEvents* events, std::string_view sourcePath,
                    std::string_view targetPath, bool move);

} // namespace corvane
