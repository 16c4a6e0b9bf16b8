// The inside of the archive components: one TFormatReader per archive format walks the entries and
// decodes their data; the components (archive_component.h) turn that into their properties, events
// and files. Readers only read: they never write files and never trust a length or offset they
// have not checked against the source.
#pragma once

#include "archive/archive_types.h"
#include "archive/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvane::archive {

// One entry as stored. Readers fill it; nothing in it has been checked for safety yet.
struct TArcEntry {
  uint64_t Index = 0;  // record number in archive order, from 0
  uint64_t Offset = 0; // where its header starts in the source
  // The stored name in UTF-8 with its folder part, components separated by "/". Formats that use
  // "\" as a separator (those of DOS origin) have turned it into "/"; in the others a "\" is a
  // character of the name. A folder's name may end in "/".
  std::string Name;
  bool IsFolder = false;
  bool IsLink = false;
  bool IsHardLink = false; // a link entry naming another entry of the archive (TAR)
  std::string LinkTarget;  // of a link, as stored
  uint64_t Size = 0;
  uint64_t PackedSize = 0; // equal to Size for formats that do not compress
  // The stored time: either a DOS date and time (local time, packed as date << 16 | time) or
  // seconds since 1970 UTC.
  bool HasDosTime = false;
  uint32_t DosTime = 0;
  bool HasUnixTime = false;
  int64_t UnixTime = 0;
  uint32_t Attributes = 0; // ft... bits
  bool HasUnixMode = false;
  uint32_t UnixMode = 0; // permission bits (07777) when the archive stores them
  bool Encrypted = false;
  uint32_t Method = 0; // format's own method number, for messages
  uint32_t Crc = 0;
  uint64_t Private[2] = {0, 0}; // the reader's own bookkeeping
};

// Decoded bytes of one entry.
class TEntryData {
public:
  virtual ~TEntryData() = default;
  // Up to count bytes; 0 at the end of the entry; -1 on a fault, with Error() set.
  virtual ptrdiff_t Read(uint8_t* buffer, size_t count) = 0;
  // After the last byte: errNone, or the fault found at the end (errCrc, errUnexpectedEof, ...).
  virtual int Finish() = 0;
  int Error() const { return Fault; }

protected:
  // Reads and drops what the caller left unread, so that Finish can check sizes and checksums
  // over the whole entry; false when that met a fault.
  bool ReadRest();

  int Fault = errNone;
};

// Data held whole in memory: a link's target (a link's size is the length of its target), or a
// small entry a reader has already decoded.
class TBytesData final : public TEntryData {
public:
  explicit TBytesData(std::string bytes) : Bytes(std::move(bytes)) {}
  ptrdiff_t Read(uint8_t* buffer, size_t count) override;
  int Finish() override { return errNone; }

private:
  std::string Bytes;
  size_t Used = 0;
};

// What a reader may need beyond the bytes.
struct TFormatOptions {
  std::string ArchiveName;         // native path, for names derived from it (GZIP, UUE parts)
  std::string CodePage = "IBM437"; // of names written on DOS
  int ZipCmntBufSize = 2000;
  uint64_t StartOffset = 0; // where the archive begins inside the source (self-extractors)
  int MaxHeaderLines = 100; // UUE: lines searched for the "begin" line
  // The next part of a multi-part archive, numbered from 2, with the file name the archive itself
  // gives that part (empty when it gives none: the name is then derived from the archive's);
  // nullptr when there is none or the user cancelled (the reader then reports
  // errBrokenVolumeChain for the entry that needed it).
  std::function<std::unique_ptr<TByteSource>(int part, const std::string& storedName)> NextPart;
};

class TFormatReader {
public:
  virtual ~TFormatReader() = default;
  // The next entry in archive order; false after the last. A fault that makes the rest of the
  // archive unreadable throws EArchiveError.
  virtual bool Next(TArcEntry& entry) = 0;
  // The data of the entry Next returned last (random-access formats accept any entry they
  // returned). For an encrypted entry, password is tried: a failed check gives nullptr with
  // error = errInvalidPassword. Other faults give nullptr with their code (errUnsupportedMethod,
  // errBadFileHeader, ...).
  virtual std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                               int& error) = 0;
  // The text of the fault the last OpenData reported, where it says more than the code's text (a
  // library's own error code); empty otherwise.
  virtual std::string FaultText() const { return {}; }
};

// The reader of a detected type, or nullptr when the format has none.
std::unique_ptr<TFormatReader> MakeFormatReader(TArcType type, TByteSource& source,
                                                const TFormatOptions& options);

// The readers of this component, for MakeFormatReader and the fuzzers.
std::unique_ptr<TFormatReader> MakeZipReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeTarReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeGzipReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeUueReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeLhaReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeCabReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeRarReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeArjReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeArcReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeZooReader(TByteSource& source, const TFormatOptions& options);
std::unique_ptr<TFormatReader> MakeHaReader(TByteSource& source, const TFormatOptions& options);

// The name of part `part` (2, 3, ...) of a multi-volume ARJ archive: name.a01, name.a02, ...
std::string ArjPartName(const std::string& archive, int part);

// The entry's time as seconds since 1970 UTC (a DOS time is local time), and as a DOS date and
// time (clamped to 1980..2107).
int64_t EntryUnixTime(const TArcEntry& entry);
uint32_t EntryDosTime(const TArcEntry& entry);

// Names from DOS archives: the bytes decoded from the given code page to UTF-8.
std::string DecodeDosName(std::string_view bytes, const std::string& codePage);

} // namespace corvane::archive
