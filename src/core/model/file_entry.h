// TFileEntry: one listed file or folder, as every file source, browser and walk hands it around.
//
// Names are the bytes the file system gave, split at the last dot into Name and Ext, so that
// sorting by extension and the masks can look at the parts without splitting again. Sizes are
// 64-bit. The kind says what the entry really is (a link, a special file) without disturbing the
// attribute bits, so that walks can refuse to follow links and copies can refuse FIFOs.
#pragma once

#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "platform/system_time.h"

#include <cstdint>
#include <string>

namespace corvane {

using platform::faArchive;
using platform::faDirectory;
using platform::faHidden;
using platform::faReadOnly;
using platform::faSystem;
using platform::TEntryKind;
using platform::TSystemTime;

// Attribute bit of the ".." entry; it never comes from a source.
inline constexpr uint16_t faUpEntry = 128;

struct TFileEntry {
  std::string Name;       // file name without its extension
  std::string Ext;        // extension without the dot; empty when the name has no dot
  int64_t Size = 0;       // bytes; a folder's stays 0 until its size is computed
  int64_t PackedSize = 0; // compressed size of an archive entry
  TSystemTime Created;    // local times
  TSystemTime Accessed;
  TSystemTime Written;
  uint16_t Attr =
      0; // the fa... bits: faReadOnly, faHidden, faSystem, faDirectory, faArchive, faUpEntry
  uint8_t Marked = 0;
  TEntryKind Kind = TEntryKind::Regular;

  // Name, then "." and Ext when Ext is not empty.
  std::string EntryName() const;
  bool IsFolder() const { return Attr & faDirectory; }
  bool IsUpEntry() const { return Attr & faUpEntry; }
  // A folder a recursive walk may descend into: a real folder, never a link to one.
  bool IsWalkableFolder() const { return IsFolder() && Kind == TEntryKind::Folder; }

  // The ".." entry the browser puts first in every folder below a root.
  static TFileEntry MakeUpEntry();
};

} // namespace corvane
