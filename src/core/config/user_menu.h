// The user menu's file cv.mnu: a short list of programs the user starts by name.
//
// Line 1 holds the number of entries N, line 2 a separator; then each entry has three lines: its
// caption, its command (a program, optionally with parameters) and a separator, whose text does
// not matter. Lines end with CR LF when written; LF alone is read too. The file is UTF-8; a line
// that is not valid UTF-8 comes from an older file and is read in the legacy code page given.
//
// A damaged file still gives a sane list: a count larger than the lines gives the entries there
// are, a count that is not a number gives none, and control characters (a NUL among them) never
// reach a caption or a command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::config {

struct TUserMenuEntry {
  std::string Caption;
  std::string Command;
  bool operator==(const TUserMenuEntry&) const = default;
};

std::vector<TUserMenuEntry> ParseUserMenu(std::string_view text, const std::string& legacyCodePage);
std::string FormatUserMenu(const std::vector<TUserMenuEntry>& entries);

// The file's entries; none when it is missing or cannot be read.
std::vector<TUserMenuEntry> ReadUserMenu(const std::string& nativePath,
                                         const std::string& legacyCodePage);
// Writes the file whole or not at all; false, with errno set, when it could not be written.
bool WriteUserMenu(const std::string& nativePath, const std::vector<TUserMenuEntry>& entries);

} // namespace corvane::config
