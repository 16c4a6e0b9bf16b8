// Version resources (type 16): the version-information tree decoded into the fixed part, the
// string tables and the translations, which is what the explorer's version page shows.
//
// The tree is a nest of nodes (length, value length, type, key, value, children), each aligned to
// 4 bytes from the start of the resource. Every node is kept inside its parent's length, a node
// of length 0 ends its parent's children, and only the three levels the format has are read.
#pragma once

#include "resources/byte_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::resources {

inline constexpr uint32_t FixedInfoSignature = 0xFEEF04BD;

// The fixed part, in the order it is stored.
struct TVersionFixed {
  uint32_t StrucVersion = 0;
  uint32_t FileVersionMS = 0, FileVersionLS = 0;
  uint32_t ProductVersionMS = 0, ProductVersionLS = 0;
  uint32_t FileFlagsMask = 0, FileFlags = 0;
  uint32_t FileOS = 0, FileType = 0, FileSubtype = 0;
  uint32_t FileDateMS = 0, FileDateLS = 0;
};

struct TVersionStringTable {
  std::string Key; // language and code page as 8 hex digits, as stored ("040904B0")
  std::vector<std::pair<std::string, std::string>> Strings; // key, value (UTF-8)
};

struct TVersionTranslation {
  uint16_t Language = 0;
  uint16_t CodePage = 0;
};

struct TVersionInfo {
  std::optional<TVersionFixed> Fixed; // absent, or without its signature: nullopt
  std::vector<TVersionStringTable> StringTables;
  std::vector<TVersionTranslation> Translations;

  // The value of `key` in the table `table` (its key compared without regard to ASCII case), or
  // nullptr.
  const std::string* FindString(std::string_view table, std::string_view key) const;
};

// nullopt when the data is no version tree (a root node other than "VS_VERSION_INFO" in UTF-16,
// as 16-bit programs store it, or data too short for a node).
std::optional<TVersionInfo> DecodeVersionInfo(TBytes data);

} // namespace corvane::resources
