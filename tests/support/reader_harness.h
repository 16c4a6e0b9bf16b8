// What the tests of the archive readers all need before they check anything: an archive held in
// memory with its reader, the entries a reader lists, the code a reader throws, and test data that
// does not compress. Each reader's test names its own maker once (MakeZipReader, ...) and keeps
// only what is special to its format.
#pragma once

#include "archive/archive_format.h"
#include "archive/byte_source.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane::test {

using TReaderMaker = std::unique_ptr<archive::TFormatReader> (*)(archive::TByteSource& source,
                                                                 const archive::TFormatOptions&);

// An archive in memory and its reader (made at once: a maker that throws throws from here).
struct TOpenedArchive {
  TOpenedArchive(std::string bytes, TReaderMaker make, const archive::TFormatOptions& options = {})
      : Bytes(std::move(bytes)), Source(Bytes.data(), Bytes.size()), Reader(make(Source, options)) {
  }
  std::vector<archive::TArcEntry> List() const;

  std::string Bytes;
  archive::TMemoryByteSource Source;
  std::unique_ptr<archive::TFormatReader> Reader;
};

// Every entry the reader lists from where it stands to the end (an EArchiveError goes through).
std::vector<archive::TArcEntry> ListEntries(archive::TFormatReader& reader);

// The code of the EArchiveError that action throws, or errNone.
int ThrownCode(const std::function<void()>& action);

// size bytes of seeded noise: data that no method can pack smaller.
std::string Pattern(size_t size, unsigned seed);

} // namespace corvane::test
