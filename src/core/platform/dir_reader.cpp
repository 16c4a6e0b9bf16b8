#include "platform/dir_reader.h"

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace corvane::platform {

bool TDirReader::Open(std::string_view nativeFolder) {
  Close();
  TAtPath at;
  if (!at.Resolve(nativeFolder))
    return false;
  TUniqueFd fd(::openat(at.Dir(), at.Name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid())
    return false;
  DIR* dir = ::fdopendir(fd.Get());
  if (!dir)
    return false;
  fd.Release();
  Dir.reset(dir);

  // Names are at most NAME_MAX bytes, so a folder path this short keeps every entry's path valid.
  if (nativeFolder.size() + NAME_MAX + 2 < PATH_MAX) {
    XattrPath.assign(nativeFolder);
    if (XattrPath.empty() || XattrPath.back() != '/')
      XattrPath += '/';
  } else {
    XattrPath = "/proc/self/fd/" + std::to_string(::dirfd(dir)) + "/";
  }
  XattrPrefixLength = XattrPath.size();
  return true;
}

bool TDirReader::Next(std::string& name, TFileStatus& status) {
  while (Dir) {
    errno = 0;
    const dirent* entry = ::readdir(Dir.get());
    if (!entry) {
      Close();
      return false;
    }
    const char* raw = entry->d_name;
    if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
      continue;
    XattrPath.resize(XattrPrefixLength);
    XattrPath += raw;
    if (!StatEntry(::dirfd(Dir.get()), raw, XattrPath.c_str(), status))
      continue;
    name.assign(raw);
    return true;
  }
  return false;
}

void TDirReader::Close() { Dir.reset(); }

} // namespace corvane::platform
