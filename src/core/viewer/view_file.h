// TViewFile: a file opened for viewing. Nothing of it is held in memory: every read is a pread of
// the bytes asked for, so a file of any size opens at once and costs the same few pages however
// far one scrolls or searches.
//
// Only regular files are opened. A FIFO, a device or a socket is refused before anything is read
// from it (opening a FIFO would wait for a writer, reading a tape or a terminal would take its
// input away from its owner), and the file is opened with O_NONBLOCK so that nothing can hold the
// open itself up should such a thing take the file's place after the check. The descriptor keeps
// the file's contents while it is shown, even when the file is removed or replaced; Refresh says
// what became of it.
#pragma once

#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane::viewer {

enum class TOpenStatus {
  Opened,
  Missing,    // no such file (errno ENOENT or ENOTDIR)
  Unreadable, // it is there but cannot be opened or read; Error says why
  Folder,
  NotRegular, // a FIFO, device or socket: never opened
};

// What Refresh found.
struct TFileChange {
  bool Grew = false;
  bool Shrank = false;
  bool Removed = false; // the name no longer leads to this file
};

class TViewFile final {
public:
  TOpenStatus Open(const std::string& nativePath);
  bool IsOpen() const { return Fd.Valid(); }
  const std::string& Path() const { return FilePath; }
  uint64_t Size() const { return FileSize; }
  int Error() const { return LastError; }

  // Reads up to `length` bytes at `offset` into `out`; fewer at the end of the file, or when the
  // file shrank under us (the size is then corrected). False on a read error.
  bool Read(uint64_t offset, size_t length, std::string& out);
  std::string Read(uint64_t offset, size_t length);

  // Looks at the file again: its current size, and whether it was removed or replaced.
  TFileChange Refresh();

private:
  platform::TUniqueFd Fd;
  std::string FilePath;
  uint64_t FileSize = 0;
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int LastError = 0;
};

} // namespace corvane::viewer
