// Helpers for tests of the archive readers: reading an entry's data whole, and the catalogue of
// the sample archives in tests/corpus (expected.tsv: what independent readers agree on).
#pragma once

#include "archive/archive_format.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::test {

enum class TDecodeStage { Open, Read, Finish };

struct TDecoded {
  std::string Data;
  int Error = 0;                             // errNone when every byte came out right
  TDecodeStage Stage = TDecodeStage::Finish; // where Error was found
};

// All data of an entry, read `chunk` bytes at a time, then Finish. Also checks that a fault comes
// with its code and, where the format stores the exact size (sizeIsExact), that a reader never
// gives more bytes than the entry declares.
TDecoded DecodeEntry(archive::TFormatReader& reader, const archive::TArcEntry& entry,
                     const std::string& password = std::string(), size_t chunk = 65536,
                     bool sizeIsExact = true);

// A file of the sample collection, by its path below tests/corpus.
std::string CorpusPath(std::string_view relative);

struct TSampleEntry {
  std::string Name; // as catalogued: "/" separators, sometimes a trailing "/" on folders
  bool Folder = false;
  int64_t Size = -1; // -1 where the catalogue gives none
};

// The catalogue rows of the samples in archives/<format>/ (every sample when format is empty),
// by sample path, in the catalogue's order.
std::map<std::string, std::vector<TSampleEntry>>
CorpusSamples(std::string_view format = std::string_view());

} // namespace corvane::test
