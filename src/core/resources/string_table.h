// String-table resources (type 6): each resource is a block of 16 strings, and block n holds the
// strings with ids (n - 1) * 16 to (n - 1) * 16 + 15.
#pragma once

#include "resources/byte_reader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::resources {

struct TResourceString {
  int64_t Id = 0;
  std::string Text; // UTF-8
};

// The non-empty strings of a block, in slot order. Each slot is a 16-bit length and that many
// UTF-16 characters; a block cut short ends with the last slot whose length could be read, that
// slot holding the characters that are there.
std::vector<TResourceString> DecodeStringBlock(TBytes data, uint32_t blockId);

// One line per string: the id, a comma, two spaces and the text in double quotes.
std::vector<std::string> StringTableLines(const std::vector<TResourceString>& strings);

} // namespace corvane::resources
