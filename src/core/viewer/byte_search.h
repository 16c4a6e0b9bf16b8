// Searching a viewed file, forward or back, in chunks of a fixed size read one after the other:
// the memory used does not depend on the file, and a match that straddles two chunks is found
// because each chunk is read with the pattern's length less one byte of the next.
//
// A pattern is a row of positions, each with the byte strings that may stand there: one for a
// byte search or a text search that minds case, the encodings of a character's lower- and
// upper-case forms otherwise. Working on bytes lets one search serve every code page; a UTF-16
// match must start at an even offset.
#pragma once

#include "viewer/code_page.h"
#include "viewer/text_lines.h"
#include "viewer/view_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::viewer {

struct TSearchPattern {
  std::vector<std::vector<std::string>> Positions;
  size_t Alignment = 1;
  bool Empty() const { return Positions.empty(); }
};

// Exact bytes.
TSearchPattern BytePattern(std::string_view bytes);
// The bytes of "DE AD be ef" or "deadbeef"; nothing for odd digits or other characters.
std::optional<std::string> ParseHexBytes(std::string_view text);
// A text pattern in `page`: `characters` holds, for each character of the text, its forms in
// UTF-8 (the character alone, or it and its other-case forms). A form the page cannot encode is
// dropped; nothing when a character has no form left (the text cannot stand in this page).
std::optional<TSearchPattern> TextPattern(const std::vector<std::vector<std::string>>& characters,
                                          TCodePage page);

enum class TSearchResult { Found, NotFound, Stopped, ReadError };

struct TFindOutcome {
  TSearchResult Result = TSearchResult::NotFound;
  uint64_t Offset = 0; // where the match starts
  uint64_t Length = 0; // its bytes
};

// The first match that starts at or after `from`.
TFindOutcome FindForward(TViewFile& file, const TSearchPattern& pattern, uint64_t from,
                         const TProgress& progress = {});
// The last match that starts before `before`.
TFindOutcome FindBackward(TViewFile& file, const TSearchPattern& pattern, uint64_t before,
                          const TProgress& progress = {});

// Test seam: the chunk size searches read with (a small one puts chunk boundaries in small
// files). Returns the previous size; 0 restores the default.
size_t ReplaceSearchChunk(size_t bytes);

} // namespace corvane::viewer
