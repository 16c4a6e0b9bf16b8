// LHA (LZH) archives, read with liblhasa. Its input stream and reader walk the headers (and find
// the first one behind the program of a self-extractor); its decoders unpack the data, which is
// read straight from the byte source, so any listed entry can be opened in any order. Data comes
// out as stored: a MacBinary header that Mac archivers put before a file's data stays part of it,
// as the stored size and CRC count it.
//
// Names, times and attributes come from the raw header bytes liblhasa keeps with each header:
// liblhasa turns all-capital DOS names into lower case and converts DOS times through the local
// time zone, while entries must report what the archive stores.
//
// Method numbers (TArcEntry::Method) are the positions in kMethods: 0..7 "-lh0-".."-lh7-",
// 8 "-lhx-", 9 "-lhd-" (folders and symbolic links), 10..12 "-lz4-" "-lz5-" "-lzs-", 13..15
// "-pm0-".."-pm2-", kUnknownMethod for any other.
#include "archive/archive_format.h"
#include "config/text_codec.h"

#include <lhasa.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <vector>

namespace corvane::archive {
namespace {

constexpr std::array<const char*, 16> kMethods = {
    "-lh0-", "-lh1-", "-lh2-", "-lh3-", "-lh4-", "-lh5-", "-lh6-", "-lh7-",
    "-lhx-", "-lhd-", "-lz4-", "-lz5-", "-lzs-", "-pm0-", "-pm1-", "-pm2-"};
constexpr uint32_t kFolderMethod = 9;
constexpr uint32_t kUnknownMethod = 255;
constexpr size_t kMethodLength = 5;

// Extended header types.
constexpr uint8_t kExtFileName = 0x01;
constexpr uint8_t kExtPath = 0x02;
constexpr uint8_t kExtDosAttributes = 0x40;
constexpr uint8_t kExtUnixTime = 0x54;

// The path extended header separates folders with this byte.
constexpr char kPathSeparator = '\xFF';

constexpr uint32_t kDosAttributeBits = ftReadOnly | ftHidden | ftSysFile | ftArchive;

uint32_t MethodNumber(const char* method) {
  for (size_t i = 0; i < kMethods.size(); ++i)
    if (std::memcmp(method, kMethods[i], kMethodLength) == 0)
      return static_cast<uint32_t>(i);
  return kUnknownMethod;
}

// What the raw header says beyond liblhasa's fields.
struct TRawHeader {
  std::string Folder; // folder part of the name, ending in a separator when not empty
  std::string File;
  uint32_t Attributes = 0;
  uint32_t Time = 0; // DOS time in level 0/1 headers, Unix time in level 2/3 headers
  bool HasUnixTime = false;
  uint32_t UnixTime = 0; // from an extended header
};

// A name field has a stated length. Zero bytes that only pad it out are dropped (the kernel would
// see the same name); a 0 byte with more of the name after it stays, and the name is refused later
// (cut there, it would be another name than the one stored).
std::string NameField(const char* data, size_t length) {
  while (length > 0 && data[length - 1] == '\0')
    --length;
  return std::string(data, length);
}

// Reads the name, attributes and time fields of a header liblhasa has already accepted. Every
// field is checked against the raw length all the same.
TRawHeader ParseRawHeader(const uint8_t* raw, size_t length) {
  TRawHeader header;
  if (length < 22)
    return header;
  const unsigned level = raw[20];
  header.Time = Le32(raw + 15);
  header.Attributes = raw[19];
  size_t extAt = 0;     // where the size of the first extended header is
  size_t sizeField = 2; // bytes of an extended header's size
  std::string_view baseName;
  if (level <= 1) {
    const size_t nameLength = raw[21];
    if (22 + nameLength <= length)
      baseName = std::string_view(reinterpret_cast<const char*>(raw + 22), nameLength);
    extAt = level == 1 ? size_t{raw[0]} : length;
  } else {
    extAt = level == 2 ? 24 : 28;
    sizeField = level == 2 ? 2 : 4;
  }

  bool hasPath = false;
  bool hasFileName = false;
  // Each extended header: its type, its data, and the size of the next one; the size covers all
  // three. A size of 0 ends the chain.
  while (extAt <= length && length - extAt >= sizeField) {
    const uint8_t* field = raw + extAt;
    const size_t size = sizeField == 4 ? Le32(field) : Le16(field);
    if (size == 0 || size < sizeField + 1 || size > length - extAt - sizeField)
      break;
    const uint8_t type = field[sizeField];
    const auto* data = reinterpret_cast<const char*>(field + sizeField + 1);
    const size_t dataLength = size - sizeField - 1;
    switch (type) {
    case kExtFileName:
      header.File = NameField(data, dataLength);
      hasFileName = true;
      break;
    case kExtPath:
      header.Folder = NameField(data, dataLength);
      std::replace(header.Folder.begin(), header.Folder.end(), kPathSeparator, '/');
      if (!header.Folder.empty() && header.Folder.back() != '/' && header.Folder.back() != '\\')
        header.Folder += '/';
      hasPath = true;
      break;
    case kExtDosAttributes:
      if (dataLength >= 2)
        header.Attributes = Le16(reinterpret_cast<const uint8_t*>(data));
      break;
    case kExtUnixTime:
      if (dataLength >= 4) {
        header.HasUnixTime = true;
        header.UnixTime = Le32(reinterpret_cast<const uint8_t*>(data));
      }
      break;
    default:
      break;
    }
    extAt += size;
  }

  // The base name of a level 0/1 header may hold the whole path; a path header replaces its
  // folder part, a file name header its file part.
  if (hasPath) {
    const size_t separator = baseName.find_last_of("\\/");
    if (separator != std::string_view::npos)
      baseName.remove_prefix(separator + 1);
  }
  if (!hasFileName)
    header.File = NameField(baseName.data(), baseName.size());
  return header;
}

// Names in UTF-8 stay as they are (Unix tools store them so); others are in the DOS code page.
// A 0 byte inside a name is kept (see NameField), so that the extractor sees it and refuses it.
std::string DecodeName(const std::string& bytes, const std::string& codePage) {
  return config::IsValidUtf8(bytes) ? bytes : DecodeDosName(bytes, codePage);
}

// ---- Data of an entry ----

class TLhaData final : public TEntryData {
public:
  TLhaData(TByteSource& source, uint64_t start, uint64_t packedSize, uint64_t size, uint16_t crc)
      : Source(source), Position(start), PackedLeft(packedSize), Size(size), ExpectedCrc(crc) {}
  TLhaData(const TLhaData&) = delete;
  TLhaData& operator=(const TLhaData&) = delete;
  ~TLhaData() override {
    if (Decoder != nullptr)
      lha_decoder_free(Decoder);
  }

  // False when the decoder could not be made (out of memory).
  bool Start(LHADecoderType* type) {
    // The decoder stops at the stated size. LHA streams have no end marker, so whatever a stream
    // would give beyond that size is never produced: a lying header cannot make output go on.
    Decoder = lha_decoder_new(type, &TLhaData::Packed, this, static_cast<size_t>(Size));
    return Decoder != nullptr;
  }

  ptrdiff_t Read(uint8_t* buffer, size_t count) override {
    if (Fault != errNone)
      return -1;
    if (Produced == Size || count == 0)
      return 0;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, Size - Produced));
    const size_t got = lha_decoder_read(Decoder, buffer, wanted);
    if (got == 0) {
      // The decoder stopped short of the stated size: the packed data ran out (cut off by the end
      // of the source, or fewer than the entry needs), or it stopped on a code it cannot use.
      if (SourceFailed)
        Fault = errReadFile;
      else if (SourceCut || PackedLeft == 0)
        Fault = errUnexpectedEof;
      else
        Fault = errCorruptInput;
      return -1;
    }
    Produced += got;
    return static_cast<ptrdiff_t>(got);
  }

  int Finish() override {
    std::vector<uint8_t> scratch;
    while (Fault == errNone && Produced < Size) {
      if (scratch.empty())
        scratch.resize(1 << 16);
      if (Read(scratch.data(), scratch.size()) < 0)
        break;
    }
    if (Fault != errNone)
      return Fault;
    return lha_decoder_get_crc(Decoder) == ExpectedCrc ? errNone : errCrc;
  }

private:
  // The decoder's input: the packed bytes, never more than the packed size, never past the end of
  // the source.
  static size_t Packed(void* buffer, size_t count, void* self) {
    auto& d = *static_cast<TLhaData*>(self);
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, d.PackedLeft));
    if (wanted == 0)
      return 0;
    const ptrdiff_t got = d.Source.ReadAt(d.Position, buffer, wanted);
    if (got < 0) {
      d.SourceFailed = true;
      return 0;
    }
    if (static_cast<size_t>(got) < wanted)
      d.SourceCut = true;
    d.Position += static_cast<uint64_t>(got);
    d.PackedLeft -= static_cast<uint64_t>(got);
    return static_cast<size_t>(got);
  }

  TByteSource& Source;
  uint64_t Position;
  uint64_t PackedLeft;
  uint64_t Size;
  uint16_t ExpectedCrc;
  LHADecoder* Decoder = nullptr;
  uint64_t Produced = 0;
  bool SourceCut = false;
  bool SourceFailed = false;
};

// Folders and links have no data.
class TNoData final : public TEntryData {
public:
  ptrdiff_t Read(uint8_t*, size_t) override { return 0; }
  int Finish() override { return errNone; }
};

// ---- The archive ----

class TLhaReader final : public TFormatReader {
public:
  TLhaReader(TByteSource& source, const TFormatOptions& options)
      : Source(source), CodePage(options.CodePage),
        Base(std::min(options.StartOffset, source.Size())), Length(source.Size() - Base) {
    Stream = lha_input_stream_new(&kStreamType, this);
    if (Stream != nullptr)
      Reader = lha_reader_new(Stream);
    if (Reader == nullptr) {
      if (Stream != nullptr)
        lha_input_stream_free(Stream);
      throw EArchiveError(errOutOfMemory);
    }
    lha_reader_set_dir_policy(Reader, LHA_READER_DIR_PLAIN);
  }
  TLhaReader(const TLhaReader&) = delete;
  TLhaReader& operator=(const TLhaReader&) = delete;
  ~TLhaReader() override {
    if (Reader != nullptr)
      lha_reader_free(Reader);
    if (Stream != nullptr)
      lha_input_stream_free(Stream);
  }

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  int EndCode();
  static int ReadCallback(void* self, void* buffer, size_t count);
  static int SkipCallback(void* self, size_t count);

  static const LHAInputStreamType kStreamType;

  TByteSource& Source;
  std::string CodePage;
  uint64_t Base;         // where the archive starts in the source
  uint64_t Length;       // bytes from there to the end
  uint64_t Position = 0; // of liblhasa's stream, from Base
  LHAInputStream* Stream = nullptr;
  LHAReader* Reader = nullptr;
  uint64_t Count = 0;
  // Where the next header starts, once the first header has been read.
  bool Started = false;
  uint64_t NextHeader = 0;
  bool EndMarker = false; // a 0 byte where a header would start: the end of the archive
  bool PastEnd = false;   // liblhasa skipped past the end of the source
  bool SourceFailed = false;
  bool Done = false;
  int Failure = errNone; // thrown again by every later Next
};

const LHAInputStreamType TLhaReader::kStreamType = {&TLhaReader::ReadCallback,
                                                    &TLhaReader::SkipCallback, nullptr};

int TLhaReader::ReadCallback(void* self, void* buffer, size_t count) {
  auto& r = *static_cast<TLhaReader*>(self);
  const uint64_t wanted = std::min<uint64_t>({count, r.Length - r.Position, INT_MAX});
  if (wanted == 0)
    return 0;
  const ptrdiff_t got = r.Source.ReadAt(r.Base + r.Position, buffer, static_cast<size_t>(wanted));
  if (got < 0) {
    r.SourceFailed = true;
    return -1;
  }
  // The archive ends with a 0 byte where the next header would begin (a header's first byte is
  // never 0); liblhasa would take what follows it for another header.
  if (got > 0 && r.Started && r.Position == r.NextHeader && static_cast<uint8_t*>(buffer)[0] == 0) {
    r.EndMarker = true;
    return 0;
  }
  r.Position += static_cast<uint64_t>(got);
  return static_cast<int>(got);
}

int TLhaReader::SkipCallback(void* self, size_t count) {
  auto& r = *static_cast<TLhaReader*>(self);
  if (count > r.Length - r.Position) {
    r.Position = r.Length;
    r.PastEnd = true;
    return 0;
  }
  r.Position += count;
  return 1;
}

// Why liblhasa found no further header: errNone at the end of the archive, else the fault.
int TLhaReader::EndCode() {
  if (SourceFailed)
    return errReadFile;
  if (!Started) {
    // Nothing listed: a header that is there but broken, or none at all.
    uint8_t start[7];
    const bool looksLikeHeader = Source.ReadExact(Base, start, sizeof start) && start[2] == '-' &&
                                 start[6] == '-' &&
                                 ((start[3] == 'l' && (start[4] == 'h' || start[4] == 'z')) ||
                                  (start[3] == 'p' && start[4] == 'm'));
    return looksLikeHeader ? errBadFileHeader : errHeaderNotFound;
  }
  if (EndMarker || NextHeader == Length)
    return errNone;
  if (PastEnd || NextHeader > Length)
    return errUnexpectedEof; // the data of the last entry is cut off
  return errBadFileHeader;
}

bool TLhaReader::Next(TArcEntry& entry) {
  if (Failure != errNone)
    throw EArchiveError(Failure);
  if (Done)
    return false;
  LHAFileHeader* header = lha_reader_next_file(Reader);
  if (header == nullptr) {
    Failure = EndCode();
    if (Failure == errNone) {
      Done = true;
      return false;
    }
    throw EArchiveError(Failure);
  }
  // liblhasa has read the whole header and nothing of the data.
  const uint64_t dataAt = Position;
  const uint64_t headerAt = dataAt >= header->raw_data_len ? dataAt - header->raw_data_len : 0;
  Started = true;
  NextHeader = dataAt + header->compressed_length;

  const TRawHeader raw = ParseRawHeader(header->raw_data, header->raw_data_len);
  entry = TArcEntry{};
  entry.Index = Count++;
  entry.Offset = Base + headerAt;
  entry.Method = MethodNumber(header->compress_method);
  entry.Size = header->length;
  entry.PackedSize = header->compressed_length;
  entry.Crc = header->crc;
  entry.Private[0] = Base + dataAt;

  std::string name = DecodeName(raw.Folder + raw.File, CodePage);
  if (entry.Method == kFolderMethod) {
    // A symbolic link is stored as a folder entry named "link|target".
    const size_t bar = name.find('|');
    if (bar != std::string::npos) {
      entry.IsLink = true;
      entry.LinkTarget = name.substr(bar + 1);
      name.resize(bar);
    } else {
      entry.IsFolder = true;
    }
  }
  // "\" separates folders once the bytes are decoded (in some DOS code pages it is also the second
  // byte of a character).
  std::replace(name.begin(), name.end(), '\\', '/');
  entry.Name = std::move(name);

  entry.Attributes = raw.Attributes & kDosAttributeBits;
  if (entry.IsFolder)
    entry.Attributes |= ftDirectory;
  if (LHA_FILE_HAVE_EXTRA(header, LHA_FILE_UNIX_PERMS)) {
    entry.HasUnixMode = true;
    entry.UnixMode = header->unix_perms & 07777;
  }
  // Level 0 and 1 headers hold a DOS time (unless an extended header gives a Unix time), levels
  // 2 and 3 a Unix time. 0 means none.
  if (header->header_level <= 1 && !raw.HasUnixTime) {
    entry.DosTime = raw.Time;
    entry.HasDosTime = entry.DosTime != 0;
  } else {
    entry.UnixTime = raw.HasUnixTime ? raw.UnixTime : raw.Time;
    entry.HasUnixTime = entry.UnixTime != 0;
  }
  return true;
}

std::unique_ptr<TEntryData> TLhaReader::OpenData(const TArcEntry& entry, const std::string&,
                                                 int& error) {
  error = errNone;
  if (entry.IsFolder || entry.IsLink)
    return std::make_unique<TNoData>();
  if (entry.Method >= kMethods.size() || entry.Method == kFolderMethod) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  char method[kMethodLength + 1];
  std::memcpy(method, kMethods[entry.Method], sizeof method);
  LHADecoderType* type = lha_decoder_for_name(method);
  if (type == nullptr) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  auto data = std::make_unique<TLhaData>(Source, entry.Private[0], entry.PackedSize, entry.Size,
                                         static_cast<uint16_t>(entry.Crc));
  if (!data->Start(type)) {
    error = errOutOfMemory;
    return nullptr;
  }
  return data;
}

} // namespace

std::unique_ptr<TFormatReader> MakeLhaReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TLhaReader>(source, options);
}

} // namespace corvane::archive
