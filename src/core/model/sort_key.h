// Sort keys of the listing. Each entry's key is built once when the folder is read, so that
// sorting compares flat byte strings and never looks at names or times again.
//
// A key is a class character (" " folder first, "!" executable first, "@" the rest) followed by
// fixed-width fields: names padded or cut and upper-cased in ASCII only, numbers as zero-padded
// decimal, counted down where larger or newer must come first. Every key of one mode has the same
// length, so keys can live side by side in one buffer.
#pragma once

#include "model/file_entry.h"

#include <cstdint>
#include <string>

namespace corvane {

enum TSortMode : uint8_t {
  smReadingOrder = 0,
  smName = 1,
  smExtension = 2,
  smSize = 3,
  smDate = 4, // by the Created time, newest first
};

char SortClass(const TFileEntry& entry, bool foldersFirst, bool executablesFirst);

// The length of every key of a mode.
size_t SortKeyLength(uint8_t mode);

// Appends the entry's key; `position` is its 1-based place in reading order.
void AppendSortKey(std::string& out, const TFileEntry& entry, uint8_t mode, char sortClass,
                   int64_t position);

} // namespace corvane
