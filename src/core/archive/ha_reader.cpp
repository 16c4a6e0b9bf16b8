// The HA reader: listing, and the data of stored entries. HA's own methods (ASC, HSC) are not
// decoded; their entries report errUnsupportedMethod.
//
// An HA archive is "HA", the number of files, then each file: a header and its packed data. The
// header holds version and method in one byte (0xFF marks a deleted file, which the count leaves
// out), packed and original length, CRC-32, time in seconds since 1970 UTC, the folder and the
// name (each NUL-terminated; the folder separates its components with 0xFF), and a length-prefixed
// block of system-specific data (attributes of DOS or Unix).
#include "archive/archive_format.h"
#include "config/text_codec.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace corvane::archive {
namespace {

constexpr size_t kFixedSize = 17; // version and method, lengths, CRC, time
// Fixed fields, two empty strings and the length of the system data.
constexpr size_t kMinHeaderSize = kFixedSize + 3;
// Names longer than this are not names; the header is taken for broken.
constexpr size_t kMaxHeaderSize = size_t{1} << 16;
constexpr size_t kFirstRead = 512;

constexpr uint8_t kDeleted = 0xFF;
constexpr unsigned kHighestVersion = 2;
constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodFolder = 14;
constexpr uint32_t kMethodSpecial = 15; // links, devices, pipes

constexpr uint8_t kSystemMsdos = 1; // then the DOS attribute byte
constexpr uint8_t kSystemUnix = 2;  // then the 16-bit Unix mode, owner and group
constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixLink = 0120000;

constexpr uint64_t kMaxLinkTarget = 4096;

// Stored data, checked against the CRC-32 of the header.
class THaStoredData final : public TEntryData {
public:
  THaStoredData(TByteSource& source, uint64_t start, uint64_t packedSize, uint64_t size,
                uint32_t crc)
      : Source(source), Position(start), Left(packedSize), Size(size), ExpectedCrc(crc) {}

  ptrdiff_t Read(uint8_t* buffer, size_t count) override {
    if (Fault != errNone)
      return -1;
    if (Ended || count == 0)
      return 0;
    if (Produced == Size) {
      // Packed bytes beyond the stated size: the header is wrong.
      if (Left > 0) {
        Fault = errCorruptInput;
        return -1;
      }
      Ended = true;
      return 0;
    }
    if (Left == 0) {
      Fault = errUnexpectedEof;
      return -1;
    }
    const auto wanted =
        static_cast<size_t>(std::min({static_cast<uint64_t>(count), Size - Produced, Left}));
    const ptrdiff_t got = Source.ReadAt(Position, buffer, wanted);
    if (got <= 0) {
      Fault = got < 0 ? errReadFile : errUnexpectedEof;
      return -1;
    }
    Position += static_cast<uint64_t>(got);
    Left -= static_cast<uint64_t>(got);
    Produced += static_cast<uint64_t>(got);
    Crc = crc32_z(Crc, buffer, static_cast<size_t>(got));
    return got;
  }

  int Finish() override {
    if (!Ended && Fault == errNone)
      ReadRest();
    if (Fault != errNone)
      return Fault;
    return Crc == ExpectedCrc ? errNone : errCrc;
  }

private:
  TByteSource& Source;
  uint64_t Position;
  uint64_t Left;
  uint64_t Size;
  uint32_t ExpectedCrc;
  uint64_t Produced = 0;
  uint32_t Crc = 0;
  bool Ended = false;
};

// One file header as stored.
struct THeader {
  uint8_t VersionMethod = 0;
  uint32_t PackedSize = 0;
  uint32_t Size = 0;
  uint32_t Crc = 0;
  uint32_t Time = 0;
  std::string Folder;
  std::string Name;
  std::vector<uint8_t> SystemData;
  uint64_t DataOffset = 0;
};

class THaReader final : public TFormatReader {
public:
  THaReader(TByteSource& source, const TFormatOptions& options);

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  THeader ReadHeader(uint64_t offset);
  std::string DecodeName(const THeader& header) const;
  void ReadLinkTarget(TArcEntry& entry);

  TByteSource& Source;
  std::string CodePage;
  uint64_t Position;
  uint64_t StatedCount = 0; // files the archive says it holds, deleted ones left out
  uint64_t Count = 0;       // of those, at most what the source leaves room for
  uint64_t Index = 0;
};

THaReader::THaReader(TByteSource& source, const TFormatOptions& options)
    : Source(source), CodePage(options.CodePage), Position(options.StartOffset + 4) {
  const uint64_t size = Source.Size();
  uint8_t head[4];
  if (options.StartOffset > size || !Source.ReadExact(options.StartOffset, head, sizeof head) ||
      head[0] != 'H' || head[1] != 'A')
    throw EArchiveError(errHeaderNotFound);
  StatedCount = Le16(head + 2);
  Count = std::min<uint64_t>(StatedCount, (size - Position) / kMinHeaderSize);
}

THeader THaReader::ReadHeader(uint64_t offset) {
  const uint64_t available = Source.Size() - offset; // offset is inside the source
  std::vector<uint8_t> buffer;
  for (size_t want = kFirstRead;; want *= 4) {
    buffer.resize(
        static_cast<size_t>(std::min<uint64_t>(std::min(want, kMaxHeaderSize), available)));
    if (!Source.ReadExact(offset, buffer.data(), buffer.size()))
      throw EArchiveError(errReadFile);
    const uint8_t* begin = buffer.data();
    const uint8_t* end = begin + buffer.size();
    const uint8_t* folderEnd = buffer.size() > kFixedSize
                                   ? static_cast<const uint8_t*>(std::memchr(
                                         begin + kFixedSize, 0, end - begin - kFixedSize))
                                   : nullptr;
    const uint8_t* nameEnd =
        folderEnd ? static_cast<const uint8_t*>(std::memchr(folderEnd + 1, 0, end - folderEnd - 1))
                  : nullptr;
    if (nameEnd && end - nameEnd >= 2 && static_cast<size_t>(end - nameEnd - 2) >= nameEnd[1]) {
      THeader header;
      header.VersionMethod = begin[0];
      header.PackedSize = Le32(begin + 1);
      header.Size = Le32(begin + 5);
      header.Crc = Le32(begin + 9);
      header.Time = Le32(begin + 13);
      header.Folder.assign(begin + kFixedSize, folderEnd);
      header.Name.assign(folderEnd + 1, nameEnd);
      header.SystemData.assign(nameEnd + 2, nameEnd + 2 + nameEnd[1]);
      header.DataOffset = offset + static_cast<uint64_t>(nameEnd + 2 + nameEnd[1] - begin);
      return header;
    }
    if (buffer.size() == available)
      throw EArchiveError(errUnexpectedEof);
    if (buffer.size() >= kMaxHeaderSize)
      throw EArchiveError(errBadFileHeader);
  }
}

bool THaReader::Next(TArcEntry& entry) {
  while (Index < Count) {
    // Each header moves the position forward by at least its own size, so this ends.
    if (Position >= Source.Size())
      throw EArchiveError(errUnexpectedEof); // fewer files than the archive says
    const THeader header = ReadHeader(Position);
    const uint64_t here = Position;
    Position = header.DataOffset + header.PackedSize;
    if (header.VersionMethod == kDeleted)
      continue;
    if ((header.VersionMethod >> 4) > kHighestVersion)
      throw EArchiveError(errUnsupportedVersion);

    entry = TArcEntry{};
    entry.Index = Index++;
    entry.Offset = here;
    entry.Name = DecodeName(header);
    entry.Method = header.VersionMethod & 0x0F;
    entry.Size = header.Size;
    entry.PackedSize = header.PackedSize;
    entry.HasUnixTime = true;
    entry.UnixTime = header.Time;
    entry.Crc = header.Crc;
    entry.Private[0] = header.DataOffset;
    const std::vector<uint8_t>& system = header.SystemData;
    if (system.size() >= 2 && system[0] == kSystemMsdos) {
      entry.Attributes = system[1] & 0x3F;
    } else if (system.size() >= 3 && system[0] == kSystemUnix) {
      const uint32_t mode = Le16(system.data() + 1);
      entry.HasUnixMode = true;
      entry.UnixMode = mode & 07777;
      if ((mode & 0200) == 0)
        entry.Attributes |= ftReadOnly;
      entry.IsLink = entry.Method == kMethodSpecial && (mode & kUnixTypeMask) == kUnixLink;
    }
    if (entry.Method == kMethodFolder) {
      entry.IsFolder = true;
      entry.Attributes |= ftDirectory;
    }
    if (entry.IsLink)
      ReadLinkTarget(entry);
    return true;
  }
  if (Count < StatedCount)
    throw EArchiveError(errUnexpectedEof); // the rest cannot be there
  return false;
}

std::string THaReader::DecodeName(const THeader& header) const {
  // 0xFF separates folders; it is replaced before decoding, where it could be a character.
  std::string raw = header.Folder;
  std::replace(raw.begin(), raw.end(), '\xFF', '/');
  if (!raw.empty() && raw.back() != '/')
    raw += '/';
  raw += header.Name;
  return config::IsValidUtf8(raw) ? raw : DecodeDosName(raw, CodePage);
}

// A link keeps its target as its data, NUL-terminated.
void THaReader::ReadLinkTarget(TArcEntry& entry) {
  if (entry.PackedSize == 0 || entry.PackedSize > kMaxLinkTarget)
    return;
  std::string target(static_cast<size_t>(entry.PackedSize), '\0');
  if (!Source.ReadExact(entry.Private[0], target.data(), target.size()))
    return;
  target.resize(std::strlen(target.c_str()));
  entry.LinkTarget = std::move(target);
}

std::unique_ptr<TEntryData> THaReader::OpenData(const TArcEntry& entry, const std::string&,
                                                int& error) {
  error = errNone;
  if (entry.Method != kMethodStored || entry.IsFolder) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  const uint64_t start = entry.Private[0];
  if (start > Source.Size()) {
    error = errBadFileHeader;
    return nullptr;
  }
  return std::make_unique<THaStoredData>(Source, start, entry.PackedSize, entry.Size, entry.Crc);
}

} // namespace

std::unique_ptr<TFormatReader> MakeHaReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<THaReader>(source, options);
}

} // namespace corvane::archive
