#include "platform/dir_reader.h"
#include "platform/file_attributes.h"

#include "platform/at_path.h"
#include "platform/fat_attributes.h"

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <system_error>
#include <thread>

namespace corvane::platform {

bool TDirReader::Open(std::string_view nativeFolder, bool namesOnly) {
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
    XattrPrefix.assign(nativeFolder);
    if (XattrPrefix.empty() || XattrPrefix.back() != '/')
      XattrPrefix += '/';
  } else {
    XattrPrefix = "/proc/self/fd/" + std::to_string(::dirfd(dir)) + "/";
  }

  OnFat = TFatAttributeLayer::Current().IsFat(::dirfd(dir));
  while (const dirent* entry = ::readdir(dir)) {
    const char* raw = entry->d_name;
    if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
      continue;
    TItem item;
    item.NameOffset = Names.size();
    item.Type = entry->d_type;
    Names += raw;
    Names += '\0';
    Items.push_back(item);
  }

  const size_t count = Items.size();
  if (namesOnly) {
    // Links are examined all the same: what they point to decides their kind.
    for (size_t i = 0; i < count; ++i) {
      TItem& item = Items[i];
      if (item.Type == DT_DIR || item.Type == DT_REG) {
        item.Valid = true;
        item.Status = {};
        item.Status.Kind = item.Type == DT_DIR ? TEntryKind::Folder : TEntryKind::Regular;
        item.Status.Attr = item.Type == DT_DIR ? faDirectory : 0;
      } else if (item.Type == DT_FIFO || item.Type == DT_CHR || item.Type == DT_BLK ||
                 item.Type == DT_SOCK) {
        item.Valid = true;
        item.Status = {};
        item.Status.Kind = TEntryKind::Special;
      } else {
        Examine(i, i + 1);
      }
    }
    return true;
  }
  if (count >= ParallelThreshold && std::thread::hardware_concurrency() > 1) {
    try {
      std::thread helper(&TDirReader::Examine, this, count / 2, count);
      Examine(0, count / 2);
      helper.join();
      return true;
    } catch (const std::system_error&) {
      // No thread to be had: examine everything here.
    }
  }
  Examine(0, count);
  return true;
}

void TDirReader::Examine(size_t first, size_t last) {
  const int dirFd = ::dirfd(Dir.get());
  std::string xattrPath = XattrPrefix;
  const size_t prefixLength = xattrPath.size();
  for (size_t i = first; i < last; ++i) {
    TItem& item = Items[i];
    const char* name = Names.c_str() + item.NameOffset;
    xattrPath.resize(prefixLength);
    xattrPath += name;
    item.Valid = StatEntry(dirFd, name, xattrPath.c_str(), item.Status, OnFat);
  }
}

bool TDirReader::Next(std::string& name, TFileStatus& status) {
  while (Dir && Position < Items.size()) {
    const TItem& item = Items[Position++];
    if (!item.Valid)
      continue;
    name.assign(Names.c_str() + item.NameOffset);
    status = item.Status;
    return true;
  }
  Close();
  return false;
}

bool TDirReader::ExamineCurrent(TFileStatus& status) {
  if (!Dir || Position == 0 || Position > Items.size())
    return false;
  Examine(Position - 1, Position);
  const TItem& item = Items[Position - 1];
  if (item.Valid)
    status = item.Status;
  return item.Valid;
}

void TDirReader::Close() {
  Dir.reset();
  std::string().swap(Names);
  std::vector<TItem>().swap(Items);
  Position = 0;
  OnFat = false;
}

} // namespace corvane::platform
