// TDirReader: one enumeration of a native folder, entry by entry, with each entry examined as
// StatEntry does. "." and ".." are skipped wherever the file system returns them; an entry that
// vanishes between reading its name and examining it is skipped too.
//
// Opening reads every name first, then examines the entries. Examining costs two system calls per
// entry (the status and the stored attributes) and dominates the time to list a big folder, so
// for big folders a helper thread examines the second half while the caller's thread does the
// first; both write only their own slots and are joined before Open returns. Entries come out in
// the file system's order either way. The names and statuses are freed when the enumeration ends.
#pragma once

#include "platform/file_status.h"

#include <dirent.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

class TDirReader final {
public:
  // Reads and examines the folder; false, with errno set, when it cannot be listed. With
  // namesOnly the entries are not examined where the folder listing already tells their kind:
  // their status then holds only the kind (and the folder bit), at no cost per entry, for walks
  // that look at names; ExamineCurrent examines an entry such a walk wants whole.
  bool Open(std::string_view nativeFolder, bool namesOnly = false);
  // Examines the entry Next returned last; false when it vanished meanwhile.
  bool ExamineCurrent(TFileStatus& status);
  // The next entry, or false at the end (the enumeration is then closed).
  bool Next(std::string& name, TFileStatus& status);
  void Close();
  bool IsOpen() const { return Dir != nullptr; }

  // Folders with fewer entries are examined on the caller's thread alone.
  static constexpr size_t ParallelThreshold = 1024;

private:
  struct TItem {
    size_t NameOffset = 0; // into Names, NUL-terminated
    bool Valid = false;
    unsigned char Type = DT_UNKNOWN; // as the listing gave it
    TFileStatus Status;
  };
  void Examine(size_t first, size_t last);

  struct TDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
  };
  std::unique_ptr<DIR, TDirCloser> Dir;
  std::string Names;
  std::vector<TItem> Items;
  size_t Position = 0;
  bool OnFat = false; // the folder is on a FAT volume, which keeps the attribute bits itself
  // getxattr takes paths only: the folder's path (or its descriptor under /proc) plus the name.
  std::string XattrPrefix;
};

} // namespace corvane::platform
