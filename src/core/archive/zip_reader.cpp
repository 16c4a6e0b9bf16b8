// The ZIP reader. The central directory is the archive's table of contents: it is read in one piece
// and walked record by record, so listing never touches the entries' data (except for the targets
// of symbolic links). Each entry's data is found through its local header when it is opened.
//
// Archives preceded by other bytes (self-extractors, whose maker may or may not have adjusted the
// stored offsets) are read by comparing where the central directory really is with where the end
// record says it is; that difference is added to every local header offset.
//
// A broken central directory record is reported when Next reaches it: the entries before it are
// listed, then Next throws errBadFileHeader.
#include "archive/archive_format.h"
#include "archive/zip_methods.h"
#include "config/text_codec.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <limits>
#include <vector>

namespace corvane::archive {
namespace {

using zip::TMethodDecoder;
using zip::TMethodParams;
using zip::TStoreDecoder;
using zip::TZipKeys;

constexpr uint32_t kLocalSignature = 0x04034b50;   // PK\3\4
constexpr uint32_t kCentralSignature = 0x02014b50; // PK\1\2
constexpr uint32_t kEndSignature = 0x06054b50;     // PK\5\6
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;

constexpr size_t kLocalSize = 30;
constexpr size_t kCentralSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kMaxCommentSize = 0xFFFF;

// General purpose flag bits.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;

// "Made by" hosts.
constexpr unsigned kHostDos = 0;
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostHpfs = 6;
constexpr unsigned kHostNtfs = 11;
constexpr unsigned kHostVfat = 14;

constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraUnicodePath = 0x7075;

constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixLink = 0120000;
constexpr uint32_t kUnixFolder = 0040000;

constexpr size_t kEncryptionHeaderSize = 12;
// Longer link targets are not taken from the data: no file system accepts them.
constexpr uint64_t kMaxLinkTarget = 4096;

bool IsDosHost(unsigned host) {
  return host == kHostDos || host == kHostHpfs || host == kHostNtfs || host == kHostVfat;
}

// ---- Data of an entry ----

class TInflateDecoder final : public TMethodDecoder {
public:
  TInflateDecoder() { Ready = inflateInit2(&Stream, -MAX_WBITS) == Z_OK; }
  ~TInflateDecoder() override {
    if (Ready)
      inflateEnd(&Stream);
  }
  TInflateDecoder(const TInflateDecoder&) = delete;
  TInflateDecoder& operator=(const TInflateDecoder&) = delete;

  ptrdiff_t Decode(TPackedInput& input, uint8_t* out, size_t count, int& fault) override {
    if (!Ready) {
      fault = errOutOfMemory;
      return -1;
    }
    if (Ended)
      return 0;
    Stream.next_out = out;
    Stream.avail_out = static_cast<uInt>(std::min<size_t>(count, UINT_MAX));
    const uInt wanted = Stream.avail_out;
    // Every pass consumes input or produces output (zlib reports Z_BUF_ERROR when it can do
    // neither), so this ends.
    while (Stream.avail_out > 0) {
      if (Stream.avail_in == 0 && !InputDone) {
        // zlib reads the input's own buffer, which stays as it is until the next Take.
        const uint8_t* data = nullptr;
        const size_t got = input.Take(data, UINT_MAX);
        if (got == 0 && input.Fault() != errNone) {
          fault = input.Fault();
          return -1;
        }
        InputDone = got == 0;
        Stream.next_in = const_cast<Bytef*>(data);
        Stream.avail_in = static_cast<uInt>(got);
      }
      const int result = inflate(&Stream, Z_NO_FLUSH);
      if (result == Z_STREAM_END) {
        Ended = true;
        break;
      }
      if (result == Z_BUF_ERROR && InputDone) {
        // The packed bytes ended inside the deflate stream.
        if (Stream.avail_out < wanted)
          break;
        fault = errUnexpectedEof;
        return -1;
      }
      if (result != Z_OK && result != Z_BUF_ERROR) {
        fault = result == Z_MEM_ERROR ? errOutOfMemory : errCorruptInput;
        return -1;
      }
    }
    return static_cast<ptrdiff_t>(wanted - Stream.avail_out);
  }

private:
  z_stream Stream{};
  bool Ready = false;
  bool InputDone = false;
  bool Ended = false;
};

// The decoder of a method, or nullptr when the method is not supported. New methods are added
// here.
std::unique_ptr<TMethodDecoder> MakeMethodDecoder(const TMethodParams& params) {
  switch (params.Method) {
  case 0:
    return std::make_unique<TStoreDecoder>();
  case 1:
    return zip::MakeShrinkDecoder(params);
  case 2:
  case 3:
  case 4:
  case 5:
    return zip::MakeReduceDecoder(params);
  case 6:
    return zip::MakeImplodeDecoder(params);
  case 8:
    return std::make_unique<TInflateDecoder>();
  default:
    return nullptr;
  }
}

// ---- The archive ----

class TZipReader final : public TFormatReader {
public:
  TZipReader(TByteSource& source, const TFormatOptions& options)
      : Source(source), CodePage(options.CodePage), StartOffset(options.StartOffset) {
    FindCentralDirectory(options.ZipCmntBufSize);
  }

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  void FindCentralDirectory(int commentBufferSize);
  bool TryEndRecord(uint64_t position, const uint8_t* record);
  bool UseCentralDirectory(uint64_t count, uint64_t size, uint64_t offset, uint64_t end);
  std::string DecodeName(std::string_view raw, std::string_view unicodePath, uint16_t flags,
                         unsigned host) const;
  void ReadLinkTarget(TArcEntry& entry);

  TByteSource& Source;
  std::string CodePage;
  uint64_t StartOffset;
  std::vector<uint8_t> Directory; // the whole central directory
  uint64_t StatedCount = 0;
  uint64_t Shift = 0; // added to the stored local header offsets
  size_t Cursor = 0;
  uint64_t Index = 0;
};

void TZipReader::FindCentralDirectory(int commentBufferSize) {
  const uint64_t size = Source.Size();
  if (size < kEndSize)
    throw EArchiveError(errHeaderNotFound);
  // The end record is the last thing in the archive but for its comment.
  const uint64_t commentRoom = std::min<uint64_t>(std::max(commentBufferSize, 0), kMaxCommentSize);
  const uint64_t searched = std::min<uint64_t>(size, kEndSize + commentRoom);
  std::vector<uint8_t> tail(static_cast<size_t>(searched));
  const uint64_t tailStart = size - searched;
  if (!Source.ReadExact(tailStart, tail.data(), tail.size()))
    throw EArchiveError(errReadFile);
  // A comment may itself hold the signature: a candidate counts only when its central directory
  // is where it says.
  bool sawSignature = false;
  for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
    if (tail[i] != 'P' || Le32(&tail[i]) != kEndSignature)
      continue;
    sawSignature = true;
    if (TryEndRecord(tailStart + i, &tail[i]))
      return;
  }
  throw EArchiveError(sawSignature ? errBadFileHeader : errHeaderNotFound);
}

bool TZipReader::TryEndRecord(uint64_t position, const uint8_t* record) {
  uint64_t count = Le16(record + 10);
  uint64_t size = Le32(record + 12);
  uint64_t offset = Le32(record + 16);
  uint64_t end = position; // where the central directory ends

  uint8_t locator[kZip64LocatorSize];
  if (position >= kZip64LocatorSize &&
      Source.ReadExact(position - kZip64LocatorSize, locator, sizeof locator) &&
      Le32(locator) == kZip64LocatorSignature) {
    const uint64_t locatorAt = position - kZip64LocatorSize;
    end = locatorAt;
    // The record is where the locator says, or, in a self-extractor whose offsets were not
    // adjusted, right before the locator.
    const uint64_t stored = Le64(locator + 8);
    const uint64_t candidates[] = {stored,
                                   locatorAt >= kZip64EndSize ? locatorAt - kZip64EndSize : stored,
                                   stored + StartOffset};
    for (uint64_t at : candidates) {
      uint8_t zip64[kZip64EndSize];
      if (at > locatorAt || locatorAt - at < kZip64EndSize ||
          !Source.ReadExact(at, zip64, sizeof zip64) || Le32(zip64) != kZip64EndSignature)
        continue;
      count = Le64(zip64 + 32);
      size = Le64(zip64 + 40);
      offset = Le64(zip64 + 48);
      end = at;
      break;
    }
  }
  return UseCentralDirectory(count, size, offset, end);
}

bool TZipReader::UseCentralDirectory(uint64_t count, uint64_t size, uint64_t offset, uint64_t end) {
  if (size > end || count > size / kCentralSize)
    return false;
  // Where the directory really starts tells the shift: 0 in a plain archive, the stub's length in
  // a self-extractor whose offsets count from the archive's own start. A directory found before
  // the place the end record names gives no shift (bytes cannot go missing from an archive); then
  // the stated place itself, moved by the given start offset or not, is tried.
  const uint64_t actual = end - size;
  uint64_t shifts[] = {actual >= offset ? actual - offset : 0, StartOffset, 0};
  for (uint64_t shift : shifts) {
    if (offset > end || shift > end - offset || offset + shift > end - size)
      continue;
    const uint64_t start = offset + shift;
    if (size > 0) {
      uint8_t signature[4];
      if (size < 4 || !Source.ReadExact(start, signature, 4) ||
          Le32(signature) != kCentralSignature)
        continue;
    }
    Directory.resize(static_cast<size_t>(size));
    if (!Source.ReadExact(start, Directory.data(), Directory.size()))
      throw EArchiveError(errReadFile);
    StatedCount = count;
    Shift = shift;
    return true;
  }
  return false;
}

bool TZipReader::Next(TArcEntry& entry) {
  const size_t left = Directory.size() - Cursor;
  if (left < 4 || Le32(&Directory[Cursor]) != kCentralSignature) {
    // The directory may end with other records (a digital signature); fewer entries than the end
    // record counts is a broken directory.
    if (Index < StatedCount)
      throw EArchiveError(errBadFileHeader);
    return false;
  }
  const uint8_t* p = &Directory[Cursor];
  if (left < kCentralSize)
    throw EArchiveError(errBadFileHeader);
  const size_t nameLength = Le16(p + 28);
  const size_t extraLength = Le16(p + 30);
  const size_t commentLength = Le16(p + 32);
  const size_t recordSize = kCentralSize + nameLength + extraLength + commentLength;
  if (recordSize > left)
    throw EArchiveError(errBadFileHeader);

  const unsigned host = p[5];
  const uint16_t flags = Le16(p + 8);
  const uint32_t external = Le32(p + 38);
  uint64_t size = Le32(p + 24);
  uint64_t packedSize = Le32(p + 20);
  uint64_t offset = Le32(p + 42);
  const std::string_view rawName(reinterpret_cast<const char*>(p + kCentralSize), nameLength);

  std::string_view unicodePath;
  const uint8_t* extra = p + kCentralSize + nameLength;
  const uint8_t* extraEnd = extra + extraLength;
  while (extraEnd - extra >= 4) {
    const uint16_t id = Le16(extra);
    const size_t length = Le16(extra + 2);
    const uint8_t* data = extra + 4;
    if (length > static_cast<size_t>(extraEnd - data))
      break;
    if (id == kExtraZip64) {
      // Only the fields whose 32-bit value is at its maximum are present, in this order.
      const uint8_t* field = data;
      const uint8_t* fieldEnd = data + length;
      for (uint64_t* value : {&size, &packedSize, &offset}) {
        if (*value != 0xFFFFFFFF)
          continue;
        if (fieldEnd - field < 8)
          break;
        *value = Le64(field);
        field += 8;
      }
    } else if (id == kExtraUnicodePath && length >= 5 && data[0] == 1 &&
               Le32(data + 1) == crc32_z(0, p + kCentralSize, nameLength)) {
      unicodePath = std::string_view(reinterpret_cast<const char*>(data + 5), length - 5);
    }
    extra = data + length;
  }

  entry = TArcEntry{};
  entry.Index = Index;
  const uint64_t maximum = std::numeric_limits<uint64_t>::max();
  entry.Offset = offset <= maximum - Shift ? offset + Shift : maximum;
  entry.Name = DecodeName(rawName, unicodePath, flags, host);
  entry.Size = size;
  entry.PackedSize = packedSize;
  entry.HasDosTime = true;
  entry.DosTime = static_cast<uint32_t>(Le16(p + 14)) << 16 | Le16(p + 12);
  entry.Attributes = external & 0x3F;
  const uint32_t mode = external >> 16;
  if (host == kHostUnix && mode != 0) {
    entry.HasUnixMode = true;
    entry.UnixMode = mode & 07777;
    entry.IsLink = (mode & kUnixTypeMask) == kUnixLink;
    entry.IsFolder = (mode & kUnixTypeMask) == kUnixFolder;
  }
  if ((!entry.Name.empty() && entry.Name.back() == '/') || (external & ftDirectory) != 0)
    entry.IsFolder = true;
  if (entry.IsFolder)
    entry.Attributes |= ftDirectory;
  entry.Encrypted = (flags & kFlagEncrypted) != 0;
  entry.Method = Le16(p + 10);
  entry.Crc = Le32(p + 16);
  entry.Private[0] = flags;

  Cursor += recordSize;
  ++Index;
  if (entry.IsLink)
    ReadLinkTarget(entry);
  return true;
}

std::string TZipReader::DecodeName(std::string_view raw, std::string_view unicodePath,
                                   uint16_t flags, unsigned host) const {
  std::string name;
  if ((flags & kFlagUtf8) != 0 && config::IsValidUtf8(raw))
    name = raw;
  else if (!unicodePath.empty() && config::IsValidUtf8(unicodePath))
    name = unicodePath;
  else if (host == kHostUnix && config::IsValidUtf8(raw))
    name = raw;
  else
    name = DecodeDosName(raw, CodePage);
  // After decoding: in some DOS code pages "\" is also the second byte of a character.
  if (IsDosHost(host))
    std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

void TZipReader::ReadLinkTarget(TArcEntry& entry) {
  if (entry.Encrypted || entry.Size == 0 || entry.Size > kMaxLinkTarget)
    return;
  int error = errNone;
  const auto data = OpenData(entry, "", error);
  if (!data)
    return;
  std::string target(static_cast<size_t>(entry.Size), '\0');
  size_t done = 0;
  while (done < target.size()) {
    const ptrdiff_t got =
        data->Read(reinterpret_cast<uint8_t*>(target.data()) + done, target.size() - done);
    if (got <= 0)
      return;
    done += static_cast<size_t>(got);
  }
  if (data->Finish() == errNone)
    entry.LinkTarget = std::move(target);
}

std::unique_ptr<TEntryData> TZipReader::OpenData(const TArcEntry& entry,
                                                 const std::string& password, int& error) {
  error = errNone;
  const auto flags = static_cast<uint16_t>(entry.Private[0]);
  TMethodParams params{entry.Method, flags, entry.Size, entry.PackedSize};
  const bool encrypted = (flags & kFlagEncrypted) != 0;
  if (encrypted)
    params.PackedSize =
        entry.PackedSize >= kEncryptionHeaderSize ? entry.PackedSize - kEncryptionHeaderSize : 0;
  std::unique_ptr<TMethodDecoder> decoder;
  if ((flags & kFlagStrongEncryption) == 0)
    decoder = MakeMethodDecoder(params);
  if (!decoder) {
    error = errUnsupportedMethod;
    return nullptr;
  }

  uint8_t local[kLocalSize];
  if (!Source.ReadExact(entry.Offset, local, sizeof local) || Le32(local) != kLocalSignature) {
    error = errBadFileHeader;
    return nullptr;
  }
  const uint16_t localFlags = Le16(local + 6);
  if (Le16(local + 8) != entry.Method ||
      (localFlags & kFlagEncrypted) != (flags & kFlagEncrypted)) {
    error = errInconsistentLocalHeader;
    return nullptr;
  }
  const uint64_t afterHeader = entry.Offset + kLocalSize; // ReadExact checked it is in the source
  const uint64_t variable = uint64_t{Le16(local + 26)} + Le16(local + 28);
  if (variable > Source.Size() - afterHeader) {
    error = errBadFileHeader;
    return nullptr;
  }
  TPackedInput input(Source, afterHeader + variable, entry.PackedSize);

  if (encrypted) {
    if (password.empty()) {
      error = errInvalidPassword;
      return nullptr;
    }
    if (entry.PackedSize < kEncryptionHeaderSize) {
      error = errBadFileHeader;
      return nullptr;
    }
    zip::SetKeys(input, TZipKeys(password));
    uint8_t header[kEncryptionHeaderSize];
    if (input.Read(header, sizeof header) != sizeof header) {
      error = input.Fault() != errNone ? input.Fault() : errUnexpectedEof;
      return nullptr;
    }
    // With a data descriptor the CRC was not known when the header was made: the check byte is
    // then the high byte of the local header's time.
    const uint8_t check = (localFlags & kFlagDataDescriptor) != 0
                              ? static_cast<uint8_t>(Le16(local + 10) >> 8)
                              : static_cast<uint8_t>(entry.Crc >> 24);
    if (header[kEncryptionHeaderSize - 1] != check) {
      error = errInvalidPassword;
      return nullptr;
    }
  }
  return std::make_unique<zip::TDecodedEntryData<zip::TCrc32>>(std::move(input), std::move(decoder),
                                                               entry.Size, entry.Crc);
}

} // namespace

std::unique_ptr<TFormatReader> MakeZipReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TZipReader>(source, options);
}

} // namespace corvane::archive
