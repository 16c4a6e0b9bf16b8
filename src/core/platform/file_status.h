// What the file model needs to know about one directory entry, read with statx.
//
// Symbolic links are shown as what they point to, so that a link to a folder can be entered, but
// their kind says they are links: recursive walks never follow them, delete removes the link, copy
// recreates it. FIFOs, devices and sockets are listed and never opened.
#pragma once

#include "platform/system_time.h"

#include <sys/types.h>

#include <cstdint>
#include <string_view>

namespace corvane::platform {

enum class TEntryKind : uint8_t {
  Regular,
  Folder,
  LinkToFile,
  LinkToFolder,
  BrokenLink,
  Special, // FIFO, device, socket, or a link to one
};

struct TFileStatus {
  TEntryKind Kind = TEntryKind::Regular;
  int64_t Size = 0;  // 0 for everything but regular files and links to them
  uint16_t Attr = 0; // see file_attributes.h
  TFileTime Created; // birth time where the file system keeps it, else the modification time
  TFileTime Accessed;
  TFileTime Written;
  uint64_t Device = 0;
  uint64_t Inode = 0;
  mode_t Mode = 0;

  bool IsFolder() const { return Kind == TEntryKind::Folder || Kind == TEntryKind::LinkToFolder; }
};

// Examines `name` inside the folder `dirFd` (or a path with AT_FDCWD). `xattrPath` names the same
// file for getxattr; nullptr skips the stored attributes. `onFat` takes the attribute bits from
// the FAT volume instead. False, with errno set, when the entry cannot be examined (it vanished,
// or the folder cannot be searched).
bool StatEntry(int dirFd, const char* name, const char* xattrPath, TFileStatus& out,
               bool onFat = false);

// The same for a native path of any length.
bool StatPath(std::string_view nativePath, TFileStatus& out);

} // namespace corvane::platform
