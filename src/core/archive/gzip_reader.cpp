// GZIP files (RFC 1952): one entry, the compressed file. The header is parsed here; the data is
// raw deflate through zlib, checked against the trailer's CRC-32 and ISIZE.
//
// Only single-member files are supported. A second member is found at the end of the first one,
// so the listing shows the one entry as usual and its data ends with errMultiPartGzip from
// Finish() (bytes after the first trailer that start with 1F 8B; zeros as padding are fine, and
// other trailing bytes are ignored as gzip ignores them).
#include "archive/archive_format.h"

#include "config/text_codec.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace corvane::archive {
namespace {

// FTEXT (0x01) is only a hint about the contents and changes nothing here.
constexpr uint8_t FlagHeaderCrc = 0x02;
constexpr uint8_t FlagExtra = 0x04;
constexpr uint8_t FlagName = 0x08;
constexpr uint8_t FlagComment = 0x10;
constexpr uint8_t FlagReserved = 0xE0;
constexpr uint8_t MethodDeflate = 8;
constexpr size_t TrailerSize = 8;
// The part of FNAME kept: a name component longer than any file system allows is cut here.
constexpr size_t MaxNameBytes = 4096;

// Reads the header byte by byte through a small buffer. Every read stops at the end of the
// source.
class THeaderCursor final {
public:
  THeaderCursor(TByteSource& source, uint64_t start, uint64_t end)
      : Source(source), Position(start), End(end) {}

  bool Byte(uint8_t& value) {
    if (Next == Filled && !Fill())
      return false;
    value = Buffer[Next++];
    ++Position;
    return true;
  }
  bool Skip(uint64_t count) {
    uint8_t value;
    for (uint64_t i = 0; i < count; ++i)
      if (!Byte(value))
        return false;
    return true;
  }
  uint64_t Offset() const { return Position; }
  bool SourceFailed() const { return Failed; }

private:
  bool Fill() {
    const uint64_t readAt = Position;
    if (readAt >= End)
      return false;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof Buffer, End - readAt));
    const ptrdiff_t got = Source.ReadAt(readAt, Buffer, want);
    if (got <= 0) {
      Failed = got < 0;
      return false;
    }
    Filled = static_cast<size_t>(got);
    Next = 0;
    return true;
  }

  TByteSource& Source;
  uint64_t Position;
  uint64_t End;
  uint8_t Buffer[4096];
  size_t Filled = 0;
  size_t Next = 0;
  bool Failed = false;
};

bool EndsWithNoCase(const std::string& text, std::string_view tail) {
  if (text.size() < tail.size())
    return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    const char c = text[text.size() - tail.size() + i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != tail[i])
      return false;
  }
  return true;
}

std::string LastComponent(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool UnusableName(const std::string& name) {
  return name.empty() || name == "." || name == "..";
}

// The name of the data when the header stores none: the archive's own name without its
// compression extension, as gzip restores it.
std::string NameFromArchive(const std::string& archiveName) {
  std::string name = LastComponent(archiveName);
  for (const std::string_view tar : {".tgz", ".taz"}) {
    if (EndsWithNoCase(name, tar)) {
      const bool upper = name.back() >= 'A' && name.back() <= 'Z';
      name.replace(name.size() - 3, 3, upper ? "TAR" : "tar");
      return name;
    }
  }
  for (const std::string_view ext : {".gz", "-gz", "_z", ".z"}) {
    if (EndsWithNoCase(name, ext)) {
      name.resize(name.size() - ext.size());
      break;
    }
  }
  return UnusableName(name) ? std::string("unnamed") : name;
}

// FNAME is ISO-8859-1 by RFC 1952, but gzip on today's systems stores the bytes of the local
// name, which is UTF-8: a name that is valid UTF-8 stays as it is, anything else is Latin-1.
std::string DecodeStoredName(const std::string& bytes) {
  if (config::IsValidUtf8(bytes))
    return bytes;
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

// Inflates one member from the byte source into the caller's buffer. Finish() reads the trailer
// and what follows it.
class TGzipData final : public TEntryData {
public:
  TGzipData(TByteSource& source, uint64_t dataStart, uint64_t end)
      : Source(source), InPosition(dataStart), End(end) {}
  TGzipData(const TGzipData&) = delete;
  TGzipData& operator=(const TGzipData&) = delete;
  ~TGzipData() override {
    if (Initialised)
      inflateEnd(&Stream);
  }

  // False when zlib could not start (no memory).
  bool Start() {
    Input = std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[InputSize]);
    if (!Input || inflateInit2(&Stream, -MAX_WBITS) != Z_OK)
      return false;
    Initialised = true;
    return true;
  }

  ptrdiff_t Read(uint8_t* buffer, size_t count) override;
  int Finish() override;

private:
  static constexpr size_t InputSize = 256 * 1024;

  ptrdiff_t Fail(int code) {
    Fault = code;
    return -1;
  }
  int TrailerCheck();

  TByteSource& Source;
  uint64_t InPosition; // next byte of the source to read into Input
  uint64_t End;
  std::unique_ptr<uint8_t[]> Input;
  z_stream Stream{};
  bool Initialised = false;
  bool StreamEnd = false;
  bool Finished = false;
  uLong Crc = crc32(0, nullptr, 0);
  uint64_t Produced = 0;
};

ptrdiff_t TGzipData::Read(uint8_t* buffer, size_t count) {
  if (Fault != errNone)
    return -1;
  if (StreamEnd || count == 0)
    return 0;
  const auto room = static_cast<uInt>(std::min<size_t>(count, UINT_MAX));
  Stream.next_out = buffer;
  Stream.avail_out = room;
  while (Stream.avail_out == room) {
    if (Stream.avail_in == 0) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(InputSize, End - InPosition));
      if (want == 0)
        return Fail(errUnexpectedEof);
      const ptrdiff_t got = Source.ReadAt(InPosition, Input.get(), want);
      if (got <= 0)
        return Fail(got < 0 ? errReadFile : errUnexpectedEof);
      InPosition += static_cast<uint64_t>(got);
      Stream.next_in = Input.get();
      Stream.avail_in = static_cast<uInt>(got);
    }
    const int status = inflate(&Stream, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      StreamEnd = true;
      break;
    }
    if (status == Z_MEM_ERROR)
      return Fail(errOutOfMemory);
    // Z_BUF_ERROR with input left and room for output cannot make progress either.
    if (status != Z_OK && !(status == Z_BUF_ERROR && Stream.avail_in == 0))
      return Fail(errCorruptInput);
  }
  const size_t produced = room - Stream.avail_out;
  Crc = crc32_z(Crc, buffer, produced);
  Produced += produced;
  return static_cast<ptrdiff_t>(produced);
}

int TGzipData::TrailerCheck() {
  // The trailer starts where inflate stopped: the buffered bytes it did not use come after it.
  const uint64_t trailerAt = InPosition - Stream.avail_in;
  uint8_t trailer[TrailerSize];
  if (!Source.ReadExact(trailerAt, trailer, sizeof trailer))
    return errUnexpectedEof;
  if (Le32(trailer) != static_cast<uint32_t>(Crc) ||
      Le32(trailer + 4) != static_cast<uint32_t>(Produced & 0xFFFFFFFFu))
    return errCrc;
  // Zeros after the trailer are padding (tape blocks); another member starts with 1F 8B.
  uint8_t chunk[16384];
  for (uint64_t at = trailerAt + TrailerSize; at < End;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, End - at));
    const ptrdiff_t got = Source.ReadAt(at, chunk, want);
    if (got <= 0)
      return got < 0 ? errReadFile : errNone;
    const auto* first = std::find_if(chunk, chunk + got, [](uint8_t b) { return b != 0; });
    if (first != chunk + got) {
      const uint64_t magicAt = at + static_cast<uint64_t>(first - chunk);
      uint8_t magic[2];
      if (Source.ReadExact(magicAt, magic, 2) && magic[0] == 0x1F && magic[1] == 0x8B)
        return errMultiPartGzip;
      return errNone;
    }
    at += static_cast<uint64_t>(got);
  }
  return errNone;
}

int TGzipData::Finish() {
  if (Finished || Fault != errNone)
    return Fault;
  Finished = true;
  // The check needs the whole stream, read or not.
  uint8_t scratch[16384];
  while (!StreamEnd)
    if (Read(scratch, sizeof scratch) < 0)
      return Fault;
  Fault = TrailerCheck();
  return Fault;
}

class TGzipReader final : public TFormatReader {
public:
  TGzipReader(TByteSource& source, const TFormatOptions& options)
      : Source(source), Options(options), Start(std::min(options.StartOffset, source.Size())),
        End(source.Size()) {}

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  TByteSource& Source;
  TFormatOptions Options;
  uint64_t Start;
  uint64_t End;
  // The CRC-32 of the header bytes in [from, to), which the cursor has read already.
  uint32_t HeaderCrc(uint64_t from, uint64_t to);

  bool Listed = false;
  bool HeaderRead = false;
  uint8_t Method = 0;
  uint64_t DataStart = 0;
};

uint32_t TGzipReader::HeaderCrc(uint64_t from, uint64_t to) {
  uLong crc = crc32(0, nullptr, 0);
  uint8_t chunk[4096];
  while (from < to) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, to - from));
    if (!Source.ReadExact(from, chunk, want))
      throw EArchiveError(errReadFile);
    crc = crc32_z(crc, chunk, want);
    from += want;
  }
  return static_cast<uint32_t>(crc);
}

bool TGzipReader::Next(TArcEntry& entry) {
  if (Listed)
    return false;
  Listed = true;

  THeaderCursor cursor(Source, Start, End);
  uint8_t fixed[10];
  size_t got = 0;
  while (got < sizeof fixed && cursor.Byte(fixed[got]))
    ++got;
  if (cursor.SourceFailed())
    throw EArchiveError(errReadFile);
  if (got < 2 || fixed[0] != 0x1F || fixed[1] != 0x8B)
    throw EArchiveError(errBadFileHeader);
  if (got < sizeof fixed)
    throw EArchiveError(errUnexpectedEof);
  const uint8_t flags = fixed[3];
  if (flags & FlagReserved)
    throw EArchiveError(errBadFileHeader);
  const auto cut = [&cursor]() {
    return EArchiveError(cursor.SourceFailed() ? errReadFile : errUnexpectedEof);
  };

  if (flags & FlagExtra) {
    uint8_t size[2];
    if (!cursor.Byte(size[0]) || !cursor.Byte(size[1]) || !cursor.Skip(Le16(size)))
      throw cut();
  }
  std::string component; // the stored name from its last "/" or "\" on
  if (flags & FlagName) {
    for (uint8_t b;;) {
      if (!cursor.Byte(b))
        throw cut();
      if (b == 0)
        break;
      if (b == '/' || b == '\\')
        component.clear();
      else if (component.size() < MaxNameBytes)
        component += static_cast<char>(b);
    }
  }
  if (flags & FlagComment) {
    for (uint8_t b = 1; b != 0;)
      if (!cursor.Byte(b))
        throw cut();
  }
  if (flags & FlagHeaderCrc) {
    const uint64_t crcAt = cursor.Offset();
    uint8_t stored[2];
    if (!cursor.Byte(stored[0]) || !cursor.Byte(stored[1]))
      throw cut();
    if (Le16(stored) != (HeaderCrc(Start, crcAt) & 0xFFFF))
      throw EArchiveError(errHeaderCrc);
  }
  Method = fixed[2];
  DataStart = cursor.Offset();
  HeaderRead = true;

  entry = TArcEntry{};
  entry.Offset = Start;
  const std::string name = DecodeStoredName(component);
  entry.Name = UnusableName(name) ? NameFromArchive(Options.ArchiveName) : name;
  entry.Method = Method;
  const uint32_t mtime = Le32(fixed + 4);
  if (mtime != 0) {
    entry.HasUnixTime = true;
    entry.UnixTime = mtime;
  }
  // The size is known only after decoding; ISIZE in the trailer (the last bytes of the file) gives
  // it modulo 4 GiB for the listing.
  uint8_t trailer[TrailerSize];
  if (End - DataStart >= TrailerSize &&
      Source.ReadExact(End - TrailerSize, trailer, sizeof trailer)) {
    entry.Crc = Le32(trailer);
    entry.Size = Le32(trailer + 4);
    entry.PackedSize = End - DataStart - TrailerSize;
  } else {
    entry.PackedSize = End - DataStart;
  }
  return true;
}

std::unique_ptr<TEntryData> TGzipReader::OpenData(const TArcEntry& entry, const std::string&,
                                                  int& error) {
  if (!HeaderRead || entry.Index != 0) {
    error = errSeek;
    return nullptr;
  }
  if (Method != MethodDeflate) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  auto data = std::make_unique<TGzipData>(Source, DataStart, End);
  if (!data->Start()) {
    error = errOutOfMemory;
    return nullptr;
  }
  error = errNone;
  return data;
}

} // namespace

std::unique_ptr<TFormatReader> MakeGzipReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TGzipReader>(source, options);
}

} // namespace corvane::archive
