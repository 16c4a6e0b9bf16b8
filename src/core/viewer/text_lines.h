// Lines of a file being viewed, found where they are needed and nowhere else: the viewer keeps
// the offset of its top line and walks from there, so the first screen of a file of any size
// costs a few reads and no index of its lines is ever built.
//
// A line ends after a newline unit ("\n" in its code page's unit: one byte, or two for UTF-16 at
// an even offset). A line longer than MaxLineBytes is cut at every offset that is a multiple of
// it, so that walking backwards never reads more than that (a binary file of a gigabyte without a
// newline is still quick to scroll), and forward and backward walks cut at the same places.
#pragma once

#include "viewer/code_page.h"
#include "viewer/view_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace corvane::viewer {

inline constexpr uint64_t MaxLineBytes = 64 * 1024;

// The start of the line that holds `offset` (an offset at the end of the file gives the start
// of the last line, or the end itself after a final newline).
uint64_t LineStartAt(TViewFile& file, uint64_t offset, TCodePage page);
// The start of the line after the one starting at `lineStart`; the file's size at the end.
uint64_t NextLineStart(TViewFile& file, uint64_t lineStart, TCodePage page);
// The start of the line before the one starting at `lineStart`; 0 at the top.
uint64_t PreviousLineStart(TViewFile& file, uint64_t lineStart, TCodePage page);

// A line's bytes without its newline (and a carriage return before it).
std::string_view WithoutLineEnd(std::string_view line, TCodePage page);

// Called while a long walk runs, with the bytes done and the total; false stops the walk.
using TProgress = std::function<bool(uint64_t done, uint64_t total)>;

// The offset where line `number` (1 for the first) starts, counting newlines from the top; the
// start of the last line when the file has fewer. Nothing when the progress call stopped it.
std::optional<uint64_t> OffsetOfLine(TViewFile& file, uint64_t number, TCodePage page,
                                     const TProgress& progress);

} // namespace corvane::viewer
