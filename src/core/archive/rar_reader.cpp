// RAR archives (RAR 1.5 to 4 and RAR 5), read by libarchive's rar and rar5 formats through the
// function table of archive_libraries.h; without the library every RAR archive fails with
// errUnrarMissing.
//
// The reader feeds libarchive from the byte source through callbacks, as the TAR reader does.
// Volumes of a multi-volume set are fed one after the other as one stream: when the bytes of a
// volume run out and the volume says another follows, the next is asked for through
// options.NextPart and its bytes come next. libarchive follows a file split across volumes from
// the headers in that stream; RAR 5 also goes on to the next volume's files after an end of archive
// block, while the RAR 4 reader takes one as the end of everything, so the end blocks of RAR 4
// volumes that are not the last are left out of the stream.
//
// A small walk over the block headers of each volume (never into the data) tells what libarchive
// does not: whether the volume is one of a set and another follows, whether its headers are
// encrypted, and for each entry the system it was made on, its DOS attributes, its packed size,
// its method and the CRC of stored data (which libarchive 3.6 does not check).
//
// Entries can only be read in order: OpenData works for the entry Next returned last, once.
// libarchive 3.6 cannot decrypt RAR archives, nor decode RAR 1.5 compression: the data of such
// entries is refused with a code.
#include "archive/archive_format.h"
#include "archive/archive_libraries.h"
#include "archive/locale_scope.h"
#include "config/text_codec.h"

#include <locale.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace corvane::archive {
namespace {

// Bytes fetched from a volume per read callback, as in the TAR reader.
constexpr size_t ReadChunk = 1 << 20;

// libarchive decodes the UTF-16 names of RAR 2.9-4 archives into the locale's character set, so
// its calls run in a UTF-8 locale: there those names arrive as UTF-8, while the names libarchive
// does not convert (RAR 5 names, which are UTF-8 already, and RAR 4 names without the Unicode
// flag, which stay as stored) are unaffected.
struct TUtf8NamesScope {
  TLocaleScope Scope{TLocaleScope::Utf8()};
};

// ---- the block headers ----

const char Rar4Signature[] = "Rar!\x1A\x07\x00";
const char Rar5Signature[] = "Rar!\x1A\x07\x01\x00";

// RAR 4 block types and flags.
constexpr uint8_t Rar4Main = 0x73;
constexpr uint8_t Rar4File = 0x74;
constexpr uint8_t Rar4Service = 0x7A;
constexpr uint8_t Rar4End = 0x7B;
constexpr uint32_t Rar4LongBlock = 0x8000;
constexpr uint32_t Rar4MainVolume = 0x0001;
constexpr uint32_t Rar4MainPassword = 0x0080;
constexpr uint32_t Rar4FileSplitAfter = 0x0002;
constexpr uint32_t Rar4FileLarge = 0x0100;
constexpr uint32_t Rar4EndNextVolume = 0x0001;
constexpr uint8_t Rar4MethodStore = 0x30;

// RAR 5 header types and flags.
constexpr uint64_t Rar5Main = 1;
constexpr uint64_t Rar5File = 2;
constexpr uint64_t Rar5Encryption = 4;
constexpr uint64_t Rar5End = 5;
constexpr uint64_t Rar5HasExtra = 0x0001;
constexpr uint64_t Rar5HasData = 0x0002;
constexpr uint64_t Rar5SplitAfter = 0x0010;
constexpr uint64_t Rar5MainVolume = 0x0001;
constexpr uint64_t Rar5EndNotLast = 0x0001;

// Hosts the attributes of an entry come from.
enum class THost { Unknown, Dos, Unix };

// A RAR 5 variable-length number: 7 bits a byte, low bits first.
bool ReadVint(const uint8_t* p, size_t size, size_t& at, uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64 && at < size; shift += 7) {
    const uint8_t b = p[at++];
    value |= static_cast<uint64_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0)
      return true;
  }
  return false;
}

// One block header, read without trusting it: Next is checked to move forward.
struct TBlock {
  uint64_t Type = 0;
  uint64_t Flags = 0;
  uint64_t Next = 0;     // where the following block starts
  uint64_t DataSize = 0; // of the data area after the header
  uint8_t Head[128] = {};
  size_t HeadSize = 0; // bytes of the header in Head (RAR 4: from its start)
  size_t Body = 0;     // RAR 5: where the fields of the type start in Head
};

bool ReadBlock(TByteSource& source, bool rar5, uint64_t at, uint64_t end, TBlock& block) {
  block = TBlock{};
  if (at >= end)
    return false;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof block.Head, end - at));
  const ptrdiff_t got = source.ReadAt(at, block.Head, want);
  if (got <= 0)
    return false;
  const auto size = static_cast<size_t>(got);
  const uint8_t* p = block.Head;
  if (!rar5) {
    if (size < 7)
      return false;
    block.Type = p[2];
    block.Flags = Le16(p + 3);
    const uint64_t headSize = Le16(p + 5);
    if (headSize < 7)
      return false;
    uint64_t dataSize = 0;
    if ((block.Flags & Rar4LongBlock) != 0) {
      if (headSize < 11 || size < 11)
        return false;
      dataSize = Le32(p + 7);
    }
    if ((block.Type == Rar4File || block.Type == Rar4Service) &&
        (block.Flags & Rar4FileLarge) != 0 && headSize >= 36 && size >= 36)
      dataSize |= static_cast<uint64_t>(Le32(p + 32)) << 32;
    if (dataSize > std::numeric_limits<uint64_t>::max() - at - headSize)
      return false;
    block.DataSize = dataSize;
    block.HeadSize = static_cast<size_t>(std::min<uint64_t>(headSize, size));
    block.Next = at + headSize + dataSize;
    return true;
  }
  size_t pos = 4; // the header's CRC
  uint64_t headSize = 0;
  if (!ReadVint(p, size, pos, headSize) || headSize == 0 || headSize > (1u << 21))
    return false;
  const size_t start = pos;
  const size_t limit = static_cast<size_t>(std::min<uint64_t>(size, start + headSize));
  uint64_t extra = 0;
  if (!ReadVint(p, limit, pos, block.Type) || !ReadVint(p, limit, pos, block.Flags) ||
      ((block.Flags & Rar5HasExtra) != 0 && !ReadVint(p, limit, pos, extra)) ||
      ((block.Flags & Rar5HasData) != 0 && !ReadVint(p, limit, pos, block.DataSize)))
    return false;
  if (block.DataSize > std::numeric_limits<uint64_t>::max() - at - start - headSize)
    return false;
  block.HeadSize = limit;
  block.Body = pos;
  block.Next = at + start + headSize + block.DataSize;
  return true;
}

// What the headers of one volume say.
struct TVolumeFacts {
  bool Known = false; // it starts with a RAR signature
  bool Rar5 = false;
  bool IsVolume = false;
  bool HeadersEncrypted = false;
  bool HasNext = false; // another volume follows
  // The end block of a RAR 4 volume that another follows: the stream stops before it.
  uint64_t StreamEnd = 0;
};

TVolumeFacts ScanVolume(TByteSource& source, uint64_t base, uint64_t end) {
  TVolumeFacts facts;
  facts.StreamEnd = end;
  uint8_t signature[8] = {};
  const ptrdiff_t got =
      source.ReadAt(base, signature, static_cast<size_t>(std::min<uint64_t>(8, end - base)));
  if (got >= 8 && std::memcmp(signature, Rar5Signature, 8) == 0)
    facts.Rar5 = true;
  else if (got < 7 || std::memcmp(signature, Rar4Signature, 7) != 0)
    return facts;
  facts.Known = true;
  bool endSaysNext = false;
  bool lastSplit = false;
  TBlock block;
  for (uint64_t at = base + (facts.Rar5 ? 8 : 7); ReadBlock(source, facts.Rar5, at, end, block);
       at = block.Next) {
    if (!facts.Rar5) {
      if (block.Type == Rar4Main) {
        facts.IsVolume = (block.Flags & Rar4MainVolume) != 0;
        facts.HeadersEncrypted = (block.Flags & Rar4MainPassword) != 0;
        if (!facts.IsVolume || facts.HeadersEncrypted)
          break;
      } else if (block.Type == Rar4File) {
        lastSplit = (block.Flags & Rar4FileSplitAfter) != 0;
      } else if (block.Type == Rar4End) {
        endSaysNext = (block.Flags & Rar4EndNextVolume) != 0;
        if (facts.IsVolume && (endSaysNext || lastSplit))
          facts.StreamEnd = at;
        break;
      }
      continue;
    }
    if (block.Type == Rar5Main) {
      size_t pos = block.Body;
      uint64_t flags = 0;
      if (ReadVint(block.Head, block.HeadSize, pos, flags))
        facts.IsVolume = (flags & Rar5MainVolume) != 0;
      if (!facts.IsVolume)
        break;
    } else if (block.Type == Rar5Encryption) {
      facts.HeadersEncrypted = true;
      break;
    } else if (block.Type == Rar5File) {
      lastSplit = (block.Flags & Rar5SplitAfter) != 0;
    } else if (block.Type == Rar5End) {
      size_t pos = block.Body;
      uint64_t flags = 0;
      endSaysNext = ReadVint(block.Head, block.HeadSize, pos, flags) && (flags & Rar5EndNotLast);
      break;
    }
  }
  facts.HasNext = facts.IsVolume && (endSaysNext || lastSplit);
  return facts;
}

// What the file header of one entry says beyond libarchive.
struct TEntryFacts {
  THost Host = THost::Unknown;
  uint32_t Attributes = 0;   // DOS attributes, when made on DOS, OS/2 or Windows
  uint64_t UnpackedSize = 0; // to check that this is the entry libarchive returned
  uint64_t PackedSize = 0;   // of the part in this volume
  bool Split = false;        // its data goes on in the next volume
  uint32_t Method = 0;       // RAR 4: 0x30 (stored) to 0x35; RAR 5: 0 (stored) to 5
  uint8_t Version = 0;       // RAR 4: the version needed to unpack, 15 for RAR 1.5
  size_t Volume = 0;         // where the header is
  uint64_t HeaderAt = 0;
};

bool ReadEntryFacts(const TBlock& block, bool rar5, TEntryFacts& facts) {
  const uint8_t* p = block.Head;
  facts.PackedSize = block.DataSize;
  if (!rar5) {
    if (block.HeadSize < 32)
      return false;
    const uint8_t host = p[15];
    facts.Host = host == 3 ? THost::Unix : host <= 2 ? THost::Dos : THost::Unknown;
    facts.Attributes = Le32(p + 28);
    facts.UnpackedSize = Le32(p + 11);
    if ((block.Flags & Rar4FileLarge) != 0) {
      if (block.HeadSize < 40)
        return false;
      facts.UnpackedSize |= static_cast<uint64_t>(Le32(p + 36)) << 32;
    }
    facts.Split = (block.Flags & Rar4FileSplitAfter) != 0;
    facts.Version = p[24];
    facts.Method = p[25];
    return true;
  }
  size_t pos = block.Body;
  uint64_t fileFlags = 0, attributes = 0, compression = 0, host = 0;
  if (!ReadVint(p, block.HeadSize, pos, fileFlags) ||
      !ReadVint(p, block.HeadSize, pos, facts.UnpackedSize) ||
      !ReadVint(p, block.HeadSize, pos, attributes))
    return false;
  pos += (fileFlags & 0x0002) != 0 ? 4 : 0; // modification time
  pos += (fileFlags & 0x0004) != 0 ? 4 : 0; // CRC
  if (!ReadVint(p, block.HeadSize, pos, compression) || !ReadVint(p, block.HeadSize, pos, host))
    return false;
  facts.Host = host == 1 ? THost::Unix : host == 0 ? THost::Dos : THost::Unknown;
  facts.Attributes = static_cast<uint32_t>(attributes);
  facts.Method = static_cast<uint32_t>((compression >> 7) & 7);
  facts.Split = (block.Flags & Rar5SplitAfter) != 0;
  return true;
}

// ---- the reader ----

enum class TKind { File, Folder, HardLink, SymLink, Other };

class TRarReader;

// The data of one entry, straight from archive_read_data_block. Only valid while the reader stays
// at its entry.
class TRarData final : public TEntryData {
public:
  TRarData(TRarReader& reader, uint64_t generation, bool sizeKnown, uint64_t size)
      : Reader(reader), Generation(generation), SizeKnown(sizeKnown), Size(size) {}
  ptrdiff_t Read(uint8_t* buffer, size_t count) override;
  int Finish() override;

private:
  ptrdiff_t Fail(int code) {
    Fault = code;
    return -1;
  }

  TRarReader& Reader;
  uint64_t Generation;
  bool SizeKnown;
  uint64_t Size;
  uint64_t Position = 0;
  const uint8_t* Block = nullptr;
  size_t BlockLeft = 0;
  uint32_t Crc = 0; // of the bytes so far, when the reader checks it
  bool AtEnd = false;
  bool Finished = false;
};

// One volume as a piece of the stream libarchive reads.
struct TVolume {
  std::unique_ptr<TByteSource> Owned; // the volumes after the first
  TByteSource* Source = nullptr;
  uint64_t Base = 0;        // where the volume starts in its source
  uint64_t End = 0;         // where its part of the stream ends in its source
  uint64_t StreamStart = 0; // where it begins in the stream
  uint64_t Position = 0;    // next byte to feed, in the source
  TVolumeFacts Facts;
};

class TRarReader final : public TFormatReader {
public:
  TRarReader(std::shared_ptr<const TRarLibrary> library, TByteSource& source,
             const TFormatOptions& options)
      : Lib(std::move(library)), Options(options) {
    TVolume first;
    first.Source = &source;
    first.Base = std::min(options.StartOffset, source.Size());
    first.Position = first.Base;
    first.Facts = ScanVolume(source, first.Base, source.Size());
    first.End = first.Facts.StreamEnd;
    Volumes.push_back(std::move(first));
  }
  TRarReader(const TRarReader&) = delete;
  TRarReader& operator=(const TRarReader&) = delete;
  ~TRarReader() override {
    if (Archive != nullptr)
      Lib->ReadFree(Archive);
  }

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  friend class TRarData;

  void Open();
  bool NextVolume();
  bool FindEntryFacts(uint64_t streamPosition, TEntryFacts& facts, uint64_t& offset) const;
  bool FinalCrc(uint32_t& crc) const;
  // The code of a libarchive failure, from what the callbacks saw.
  int FailureCode(int other) const {
    if (SourceFault)
      return errReadFile;
    if (ChainFault != errNone)
      return ChainFault;
    if (Archive != nullptr && Lib->Errno(Archive) == ENOMEM)
      return errOutOfMemory;
    return SawEnd ? errUnexpectedEof : other;
  }

  static la_ssize_t ReadCallback(struct archive* a, void* self, const void** buffer);
  static la_int64_t SkipCallback(struct archive* a, void* self, la_int64_t request);

  std::shared_ptr<const TRarLibrary> Lib;
  TFormatOptions Options;
  std::vector<TVolume> Volumes; // those fed so far; the last is being read
  std::unique_ptr<uint8_t[]> Buffer;
  size_t BufferSize = 0;
  struct archive* Archive = nullptr;
  bool Opened = false;
  bool Done = false;
  bool SawEnd = false;      // libarchive asked for bytes past the end of the last volume
  bool SourceFault = false; // a source failed to read
  int ChainFault = errNone; // the next volume was needed and is missing or not one of the set
  uint64_t Count = 0;
  uint64_t Generation = 0;
  bool HasCurrent = false;
  uint64_t CurrentIndex = 0;
  TKind CurrentKind = TKind::Other;
  bool CurrentEncrypted = false;
  bool CurrentSizeKnown = true;
  uint64_t CurrentSize = 0;
  // libarchive 3.6 does not check the CRC of stored RAR 4 data: the reader does, with the CRC of
  // the header of the entry's last part.
  bool CurrentCheckCrc = false;
  bool CurrentUnsupported = false;
  TEntryFacts CurrentFacts;
  std::string CurrentTarget;
  bool DataTaken = false;
};

// Opens the volume after the last one, when that one says another follows.
bool TRarReader::NextVolume() {
  const TVolume& last = Volumes.back();
  if (ChainFault != errNone)
    return false;
  if (!last.Facts.HasNext) {
    SawEnd = true;
    return false;
  }
  std::unique_ptr<TByteSource> source;
  if (Options.NextPart)
    source = Options.NextPart(static_cast<int>(Volumes.size()) + 1, std::string());
  if (!source) {
    ChainFault = errBrokenVolumeChain;
    return false;
  }
  TVolume next;
  next.Facts = ScanVolume(*source, 0, source->Size());
  // A part that is not a volume of the same kind ends the chain like a missing one.
  if (!next.Facts.Known || next.Facts.Rar5 != last.Facts.Rar5 || !next.Facts.IsVolume ||
      next.Facts.HeadersEncrypted) {
    ChainFault = errBrokenVolumeChain;
    return false;
  }
  next.Source = source.get();
  next.Owned = std::move(source);
  next.End = next.Facts.StreamEnd;
  next.StreamStart = last.StreamStart + (last.End - last.Base);
  Volumes.push_back(std::move(next));
  return true;
}

la_ssize_t TRarReader::ReadCallback(struct archive*, void* self, const void** buffer) {
  auto& r = *static_cast<TRarReader*>(self);
  for (;;) {
    TVolume& v = r.Volumes.back();
    if (v.Position < v.End) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(v.End - v.Position, ReadChunk));
      // libarchive is done with the bytes of the previous call, so the buffer may change.
      if (want > r.BufferSize) {
        r.Buffer = std::make_unique<uint8_t[]>(want);
        r.BufferSize = want;
      }
      const ptrdiff_t got = v.Source->ReadAt(v.Position, r.Buffer.get(), want);
      if (got < 0) {
        r.SourceFault = true;
        return -1;
      }
      if (got > 0) {
        v.Position += static_cast<uint64_t>(got);
        *buffer = r.Buffer.get();
        return got;
      }
      v.End = v.Position; // the source is shorter than it said
    }
    if (!r.NextVolume())
      return 0;
  }
}

la_int64_t TRarReader::SkipCallback(struct archive*, void* self, la_int64_t request) {
  auto& r = *static_cast<TRarReader*>(self);
  if (request <= 0)
    return 0;
  // Within the current volume only: libarchive reads on for the rest, which opens the next one.
  TVolume& v = r.Volumes.back();
  const uint64_t skip = std::min<uint64_t>(static_cast<uint64_t>(request), v.End - v.Position);
  v.Position += skip;
  return static_cast<la_int64_t>(skip);
}

void TRarReader::Open() {
  Opened = true;
  if (Volumes.front().Facts.HeadersEncrypted) {
    // Listing needs the names, and libarchive cannot decrypt them.
    Done = true;
    throw EArchiveError(errPasswordProtected);
  }
  Archive = Lib->ReadNew();
  if (Archive == nullptr)
    throw EArchiveError(errOutOfMemory);
  Lib->SupportFormatRar(Archive);
  Lib->SupportFormatRar5(Archive);
  TUtf8NamesScope names;
  if (Lib->ReadOpen2(Archive, this, nullptr, &TRarReader::ReadCallback, &TRarReader::SkipCallback,
                     nullptr) != ARCHIVE_OK) {
    Done = true;
    throw EArchiveError(FailureCode(errBadFileHeader));
  }
}

// The file header libarchive read for the entry whose headers start at streamPosition: the first
// file header from there, in the volume that holds that position.
bool TRarReader::FindEntryFacts(uint64_t streamPosition, TEntryFacts& facts,
                                uint64_t& offset) const {
  size_t index = Volumes.size();
  while (index > 0 && Volumes[index - 1].StreamStart > streamPosition)
    --index;
  if (index == 0)
    return false;
  const TVolume& v = Volumes[index - 1];
  if (!v.Facts.Known)
    return false;
  uint64_t at = v.Base + (streamPosition - v.StreamStart);
  offset = at;
  if (at == v.Base)
    at += v.Facts.Rar5 ? 8 : 7;
  const uint64_t end = v.Source->Size();
  const uint64_t fileType = v.Facts.Rar5 ? Rar5File : Rar4File;
  TBlock block;
  // Service blocks (comments, main header, ...) may come first; a few are enough.
  for (int step = 0; step < 16 && ReadBlock(*v.Source, v.Facts.Rar5, at, end, block);
       ++step, at = block.Next) {
    if (block.Type == fileType) {
      facts.Volume = index - 1;
      facts.HeaderAt = at;
      return ReadEntryFacts(block, v.Facts.Rar5, facts);
    }
    if (v.Facts.Rar5 ? block.Type == Rar5End : block.Type == Rar4End)
      break;
  }
  return false;
}

// The CRC of the whole data of the current entry: in the header of its last part, the first file
// header of the volume after each part that goes on.
bool TRarReader::FinalCrc(uint32_t& crc) const {
  size_t v = CurrentFacts.Volume;
  if (v >= Volumes.size())
    return false;
  TBlock block;
  if (!ReadBlock(*Volumes[v].Source, false, CurrentFacts.HeaderAt, Volumes[v].Source->Size(),
                 block))
    return false;
  while ((block.Flags & Rar4FileSplitAfter) != 0) {
    if (++v >= Volumes.size())
      return false;
    const TVolume& next = Volumes[v];
    uint64_t at = next.Base + 7;
    bool found = false;
    for (int step = 0; step < 16 && ReadBlock(*next.Source, false, at, next.Source->Size(), block);
         ++step, at = block.Next)
      if ((found = block.Type == Rar4File) || block.Type == Rar4End)
        break;
    if (!found)
      return false;
  }
  if (block.Type != Rar4File || block.HeadSize < 20)
    return false;
  crc = Le32(block.Head + 16);
  return true;
}

bool TRarReader::Next(TArcEntry& entry) {
  if (Done)
    return false;
  if (!Opened)
    Open();
  HasCurrent = false;
  ++Generation;
  struct archive_entry* e = nullptr;
  int status;
  {
    TUtf8NamesScope names;
    status = Lib->ReadNextHeader(Archive, &e);
  }
  if (status == ARCHIVE_EOF) {
    Done = true;
    return false;
  }
  if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
    Done = true;
    // A volume the user did not give ends the listing; the entry that needed it has failed.
    if (ChainFault != errNone && !SourceFault)
      return false;
    throw EArchiveError(FailureCode(errBadFileHeader));
  }

  entry = TArcEntry{};
  entry.Index = Count++;
  const bool rar5 = Lib->Format(Archive) == ARCHIVE_FORMAT_RAR_V5;
  const char* path = nullptr;
  if (rar5) {
    path = Lib->EntryPathnameUtf8(e);
    if (path == nullptr)
      path = Lib->EntryPathname(e);
    entry.Name = path != nullptr ? path : "";
  } else {
    // Names without the Unicode flag come as stored: bytes of the DOS code page of the machine
    // that made the archive, unless they happen to be UTF-8.
    path = Lib->EntryPathname(e);
    if (path == nullptr)
      path = Lib->EntryPathnameUtf8(e);
    entry.Name = path != nullptr ? path : "";
    if (!config::IsValidUtf8(entry.Name))
      entry.Name = DecodeDosName(entry.Name, Options.CodePage);
  }
  std::replace(entry.Name.begin(), entry.Name.end(), '\\', '/');

  TKind kind;
  const char* hardlink = Lib->EntryHardlink(e);
  const auto type = Lib->EntryFiletype(e);
  if (hardlink != nullptr) {
    kind = TKind::HardLink;
    entry.IsLink = true;
    entry.IsHardLink = true;
    entry.LinkTarget = hardlink;
    std::replace(entry.LinkTarget.begin(), entry.LinkTarget.end(), '\\', '/');
  } else if (type == AE_IFDIR) {
    kind = TKind::Folder;
    entry.IsFolder = true;
  } else if (type == AE_IFLNK) {
    kind = TKind::SymLink;
    entry.IsLink = true;
    const char* target = Lib->EntrySymlink(e);
    entry.LinkTarget = target != nullptr ? target : "";
    entry.Size = entry.LinkTarget.size();
  } else if (type == AE_IFREG) {
    kind = TKind::File;
  } else {
    kind = TKind::Other;
  }
  const bool sizeKnown = Lib->EntrySizeIsSet(e) != 0;
  const la_int64_t size = Lib->EntrySize(e);
  if (kind == TKind::File && size > 0)
    entry.Size = static_cast<uint64_t>(size);
  entry.PackedSize = entry.Size;
  if (Lib->EntryMtimeIsSet(e)) {
    entry.HasUnixTime = true;
    entry.UnixTime = static_cast<int64_t>(Lib->EntryMtime(e));
  }
  entry.Encrypted = Lib->EntryIsDataEncrypted(e) > 0 || Lib->EntryIsMetadataEncrypted(e) > 0;

  const auto perm = static_cast<uint32_t>(Lib->EntryPerm(e)) & 07777;
  const la_int64_t headerAt = std::max<la_int64_t>(Lib->ReadHeaderPosition(Archive), 0);
  TEntryFacts facts;
  uint64_t offset = Volumes.front().Base + static_cast<uint64_t>(headerAt);
  const bool haveFacts = FindEntryFacts(static_cast<uint64_t>(headerAt), facts, offset) &&
                         (kind != TKind::File || !sizeKnown || facts.UnpackedSize == entry.Size);
  entry.Offset = offset;
  if (haveFacts && facts.Host == THost::Dos) {
    entry.Attributes = facts.Attributes & (ftReadOnly | ftHidden | ftSysFile | ftArchive);
  } else {
    if (haveFacts && facts.Host == THost::Unix) {
      entry.HasUnixMode = true;
      entry.UnixMode = perm;
    }
    if ((perm & 0200) == 0)
      entry.Attributes |= ftReadOnly;
  }
  if (entry.IsFolder)
    entry.Attributes |= ftDirectory;
  if (haveFacts && kind == TKind::File && !facts.Split)
    entry.PackedSize = facts.PackedSize;
  if (haveFacts)
    entry.Method = facts.Method;

  HasCurrent = true;
  CurrentIndex = entry.Index;
  CurrentKind = kind;
  CurrentEncrypted = entry.Encrypted;
  CurrentSizeKnown = sizeKnown || kind != TKind::File;
  CurrentSize = entry.Size;
  CurrentCheckCrc = haveFacts && !rar5 && facts.Method == Rar4MethodStore && kind == TKind::File;
  // libarchive has no decoder for RAR 1.5 compression.
  CurrentUnsupported = haveFacts && !rar5 && facts.Method != Rar4MethodStore && facts.Version < 20;
  CurrentFacts = facts;
  CurrentTarget = kind == TKind::SymLink ? entry.LinkTarget : std::string();
  DataTaken = false;
  return true;
}

std::unique_ptr<TEntryData> TRarReader::OpenData(const TArcEntry& entry,
                                                 const std::string& password, int& error) {
  if (!HasCurrent || entry.Index != CurrentIndex || DataTaken) {
    error = errSeek;
    return nullptr;
  }
  if (CurrentKind == TKind::Other || (CurrentKind == TKind::File && CurrentUnsupported)) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  if (CurrentEncrypted) {
    // No password can open it here: one that was given counts as wrong, so the caller asks for
    // another only as often as its own rules allow, and none given says the entry needs one.
    error = password.empty() ? errPasswordProtected : errInvalidPassword;
    return nullptr;
  }
  DataTaken = true;
  error = errNone;
  if (CurrentKind == TKind::SymLink)
    return std::make_unique<TBytesData>(CurrentTarget);
  if (CurrentKind == TKind::Folder || CurrentKind == TKind::HardLink)
    return std::make_unique<TBytesData>(std::string());
  return std::make_unique<TRarData>(*this, Generation, CurrentSizeKnown, CurrentSize);
}

ptrdiff_t TRarData::Read(uint8_t* buffer, size_t count) {
  if (Fault != errNone)
    return -1;
  if (Reader.Generation != Generation)
    return Fail(errSeek);
  size_t done = 0;
  while (done < count) {
    if (BlockLeft > 0) {
      const size_t n = std::min(BlockLeft, count - done);
      std::memcpy(buffer + done, Block, n);
      Block += n;
      BlockLeft -= n;
      Position += n;
      done += n;
      continue;
    }
    if (AtEnd)
      break;
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int status;
    {
      TUtf8NamesScope names; // the next volume's header may be read on the way
      status = Reader.Lib->ReadDataBlock(Reader.Archive, &block, &size, &offset);
    }
    if (status == ARCHIVE_EOF) {
      AtEnd = true;
      uint32_t expected = 0;
      if (Reader.CurrentCheckCrc && (!SizeKnown || Position == Size) && Reader.FinalCrc(expected) &&
          expected != Crc)
        return Fail(errCrc);
      continue;
    }
    const bool inOrder = offset >= 0 && static_cast<uint64_t>(offset) == Position &&
                         (!SizeKnown || size <= Size - Position);
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
      // libarchive checks the CRC after the last byte: a failure once every byte has come (the
      // last block may come with it) is that check.
      const uint64_t produced = Position + (inOrder ? size : 0);
      if (!Reader.SourceFault && SizeKnown && Size > 0 && produced == Size)
        return Fail(errCrc);
      return Fail(Reader.FailureCode(errCorruptInput));
    }
    if (!inOrder)
      return Fail(errCorruptInput);
    Block = static_cast<const uint8_t*>(block);
    BlockLeft = size;
    if (Reader.CurrentCheckCrc && size > 0)
      Crc = static_cast<uint32_t>(
          ::crc32(Crc, static_cast<const Bytef*>(block), static_cast<uInt>(size)));
  }
  return static_cast<ptrdiff_t>(done);
}

int TRarData::Finish() {
  if (Finished || Fault != errNone)
    return Fault;
  Finished = true;
  if (!ReadRest())
    return Fault;
  if (SizeKnown && Position != Size)
    Fault = errUnexpectedEof;
  return Fault;
}

bool EndsWithNoCase(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (text.size() < n)
    return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i])
      return false;
  return true;
}

} // namespace

std::string RarPartName(const std::string& archive, int part) {
  if (part < 2)
    return archive;
  const size_t slash = archive.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = archive.substr(nameStart);
  const bool upper = name.size() >= 3 && std::isupper(static_cast<unsigned char>(name.back()));
  // "name.part1.rar": the digits before the extension count the parts.
  if (EndsWithNoCase(name, ".rar") || EndsWithNoCase(name, ".exe")) {
    const size_t digitsEnd = name.size() - 4;
    size_t digitsStart = digitsEnd;
    while (digitsStart > 0 && std::isdigit(static_cast<unsigned char>(name[digitsStart - 1])))
      --digitsStart;
    if (digitsStart < digitsEnd && EndsWithNoCase(name.substr(0, digitsStart), ".part")) {
      std::string number = std::to_string(part);
      if (number.size() < digitsEnd - digitsStart)
        number.insert(0, digitsEnd - digitsStart - number.size(), '0');
      return archive.substr(0, nameStart + digitsStart) + number + (upper ? ".RAR" : ".rar");
    }
  }
  // "name.rar": "name.r00" for part 2, up to "name.r99", then "name.s00", ... "name.z99".
  const int n = part - 2;
  if (n >= 900)
    return {};
  const size_t dot = name.rfind('.');
  const std::string stem =
      dot == std::string::npos || dot == 0 ? archive : archive.substr(0, nameStart + dot);
  char extension[8];
  std::snprintf(extension, sizeof extension, ".%c%02d", (upper ? 'R' : 'r') + n / 100, n % 100);
  return stem + extension;
}

std::unique_ptr<TFormatReader> MakeRarReader(TByteSource& source, const TFormatOptions& options) {
  auto library = RarLibrary();
  if (!library)
    throw EArchiveError(errUnrarMissing);
  return std::make_unique<TRarReader>(std::move(library), source, options);
}

} // namespace corvane::archive
