// The text of a file opened for editing, and the file's bytes made back from edited text.
//
// The editor works on UTF-8 text with "\n" line ends; what the file was made of is kept beside
// it (code page, byte-order mark, line ending), so that saving writes the file back the way it
// came: a CRLF file stays CRLF, a CP1251 file stays CP1251. The line ending is taken as CRLF only
// when every line end of the file is one, and as CR only when the file has no LF at all; in any
// other file a carriage return is a character of the text and is written back where it was.
//
// Saving replaces the file in one step (platform/atomic_file): a temporary file beside it is
// written, flushed and renamed over it, with the file's mode, so a failure at any point leaves
// the old file whole.
#pragma once

#include "viewer/code_page.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::viewer {

enum class TLineEnding { Lf, CrLf, Cr };

struct TEditText {
  std::string Text; // UTF-8, lines ending in "\n"
  TCodePage Page = TCodePage::Utf8;
  bool Bom = false;
  TLineEnding Ending = TLineEnding::Lf;
  bool ReadOnly = false; // we may not write the file
};

enum class TEditLoad {
  Loaded,
  TooLarge, // larger than the limit: view it instead
  Missing,
  Unreadable,
  Folder,
  NotRegular,
};

// Reads a file of at most `limit` bytes for editing; `error` gets errno on a failure. The code
// page is found from the file's head and the language, unless `page` names one.
TEditLoad LoadForEditing(const std::string& nativePath, size_t limit, std::string_view languageBase,
                         TEditText& out, int& error, std::optional<TCodePage> page = std::nullopt);

// The text split from raw bytes as LoadForEditing does it (for text that is already in memory).
TEditText SplitFileBytes(std::string_view bytes, std::string_view languageBase,
                         std::optional<TCodePage> page = std::nullopt);

// The file's bytes for edited text in the format of `format`; nothing when a character of it
// has no encoding in the file's code page.
std::optional<std::string> FileBytes(const TEditText& format, std::string_view utf8Text);

// Writes the bytes over the file as described above; false with errno set on a failure.
bool SaveEdited(const std::string& nativePath, std::string_view bytes);

} // namespace corvane::viewer
