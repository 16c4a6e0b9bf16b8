// File attributes in the form the file model uses everywhere: read-only 1, hidden 2, system 4,
// folder 16, archive 32.
//
// Linux has only some of these, so each bit is mapped to what the system does have:
// - read-only: a file without its owner's write bit. Setting it clears every write bit, clearing
//   it adds the owner's. A folder's read-only flag is only stored: making it permissions would
//   stop every copy out of a read-only place.
// - hidden: a name starting with "." or the stored hidden flag.
// - system and archive: stored only. Without a stored value system is off and archive is on for
//   files, off for folders.
// The stored value is the extended attribute "user.corvane.attr", the bits as decimal text. Where
// extended attributes are not supported a change of a stored bit fails quietly. FAT volumes keep
// all four bits themselves, and those are used there instead (fat_attributes.h).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::platform {

enum : uint16_t {
  faReadOnly = 1,
  faHidden = 2,
  faSystem = 4,
  faVolumeID = 8,
  faDirectory = 16,
  faArchive = 32,
};

inline constexpr const char* AttrXattrName = "user.corvane.attr";

// The attributes shown for an entry with this name, kind and mode, given the stored value
// (nothing when the entry has none).
uint16_t ComposeAttributes(std::string_view name, bool isFolder, mode_t mode,
                           std::optional<uint16_t> stored);

// The attributes shown for an entry on a FAT volume, given the bits the volume keeps.
uint16_t ComposeFatAttributes(std::string_view name, bool isFolder, uint16_t fatBits);

// The stored value of a path the path-taking calls accept (links are followed).
std::optional<uint16_t> ReadStoredAttributes(const char* path);
// The same for `name` inside the folder `dirFd`; `path` names the same file for kernels without
// the folder-relative call.
std::optional<uint16_t> ReadStoredAttributesAt(int dirFd, const char* name, const char* path);

// The attributes of a file or folder (links followed), or nothing when it cannot be examined.
std::optional<uint16_t> GetFileAttributes(std::string_view nativePath);

// Gives a file or folder the attributes (the folder bit is ignored). Only what differs from the
// current state is changed. False when a change could not be made.
bool SetFileAttributes(std::string_view nativePath, uint16_t attr);

} // namespace corvane::platform
