// TDirReader: one enumeration of a native folder, entry by entry, with each entry examined as
// StatEntry does. "." and ".." are skipped wherever the file system returns them; an entry that
// vanishes between reading its name and examining it is skipped too.
#pragma once

#include "platform/at_path.h"
#include "platform/file_status.h"

#include <dirent.h>

#include <memory>
#include <string>
#include <string_view>

namespace corvane::platform {

class TDirReader final {
public:
  // Starts the enumeration; false, with errno set, when the folder cannot be listed.
  bool Open(std::string_view nativeFolder);
  // The next entry, or false at the end (the enumeration is then closed).
  bool Next(std::string& name, TFileStatus& status);
  void Close();
  bool IsOpen() const { return Dir != nullptr; }

private:
  struct TDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
  };
  std::unique_ptr<DIR, TDirCloser> Dir;
  // getxattr takes paths only: the folder's path (or its descriptor under /proc) plus the name.
  std::string XattrPath;
  size_t XattrPrefixLength = 0;
};

} // namespace corvane::platform
