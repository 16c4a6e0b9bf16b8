// Whole-file reads and writes for the program's own files (settings, kept drive letters).
//
// A file is replaced in one step: the new contents go to a temporary file in the same folder,
// which is flushed to disk and then renamed over the old one. A crash, a full disk or a folder
// that cannot be written therefore leaves the old file whole; there is never half a file.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace corvane::platform {

// The whole file, or nothing when it cannot be read (or is larger than maxBytes).
std::optional<std::string> ReadWholeFile(const std::string& nativePath,
                                         size_t maxBytes = 64u << 20);

// Replaces the file's contents; a new file gets `newFileMode`, an existing one keeps its mode.
// False, with errno set, when anything failed; the old file is then untouched.
bool WriteFileAtomically(const std::string& nativePath, std::string_view data,
                         mode_t newFileMode = 0644);

} // namespace corvane::platform
