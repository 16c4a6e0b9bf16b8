// The ZOO reader. A ZOO archive is a chain of directory entries: the archive header names the
// first, each entry names the next, and an entry whose "next" is 0 closes the chain. Every entry
// holds the offset of its data, so any entry listed can be opened later. Deleted entries stay in
// the chain until the archive is packed; they are skipped.
//
// Methods: 0 stored, 1 ZOO's own LZW, 2 lh5 (the LZSS and Huffman method with an 8 KiB window
// that LHA archives know as "-lh5-"), decoded by liblhasa. The data is checked against the
// entry's CRC-16.
//
// The chain comes from the file, so it is not trusted to end: an offset seen before or more
// entries than the file has room for end the listing with errBadFileHeader.
#include "archive/archive_format.h"
#include "archive/crc16.h"
#include "archive/zip_methods.h"
#include "config/text_codec.h"

#include <lhasa.h>

#include <algorithm>
#include <array>
#include <unordered_set>
#include <vector>

namespace corvane::archive {
namespace {

constexpr uint32_t kZooTag = 0xFDC4A7DC;  // in the archive header and in every directory entry
constexpr size_t kArchiveHeaderSize = 34; // the fields every version writes
constexpr size_t kShortEntrySize = 51;    // directory entry of type 1
// Type 2 adds the length of its variable fields, the time zone and a CRC of the entry.
constexpr size_t kLongEntrySize = 56;
constexpr size_t kShortNameSize = 13;

// The 24-bit attribute field holds Unix permission bits when its two top bits are 01.
constexpr uint32_t kAttributeFormatMask = 0xC00000;
constexpr uint32_t kUnixAttributes = 0x400000;
constexpr uint16_t kSystemMsdos = 1;

constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodLzw = 1;
constexpr uint32_t kMethodLh5 = 2;

// A field of the directory entry ends at its first NUL or at its end.
std::string_view CString(const uint8_t* p, size_t size) {
  const auto* text = reinterpret_cast<const char*>(p);
  return std::string_view(text, std::find(text, text + size, '\0') - text);
}

// ---- Data of an entry ----

// The packed bytes, the decoder interface and the entry's data are the ZIP reader's.
using zip::TMethodDecoder;
using zip::TStoreDecoder;

// ZOO's CRC-16 as the entry data checks it.
struct TZooCrc {
  using TValue = uint16_t;
  static uint16_t Update(uint16_t crc, const uint8_t* data, size_t count) {
    return Crc16(crc, data, count);
  }
};

// ZOO's LZW: codes of 9 bits, least significant bit first, growing by one bit each time the
// table reaches the next power of two, up to 13 bits. Code 256 clears the table and 257 ends the
// stream; new strings are numbered from 258. The code after a clear is a plain byte. The table
// never holds more than 8192 strings: a writer clears it when full, and longer codes cannot be
// written.
class TLzwDecoder final : public TMethodDecoder {
public:
  ptrdiff_t Decode(TPackedInput& input, uint8_t* out, size_t count, int& fault) override {
    size_t produced = 0;
    while (produced < count) {
      if (Pending > 0) {
        // The string lies reversed on the stack.
        const size_t n = std::min(Pending, count - produced);
        for (size_t i = 0; i < n; ++i)
          out[produced++] = Stack[--Pending];
        continue;
      }
      if (Ended)
        break;
      uint32_t code = 0;
      if (!ReadCode(input, code, fault) || !Expand(code, fault))
        return -1;
    }
    return static_cast<ptrdiff_t>(produced);
  }

private:
  static constexpr uint32_t kClearCode = 256;
  static constexpr uint32_t kEndCode = 257;
  static constexpr uint32_t kFirstFree = 258;
  static constexpr unsigned kMaxBits = 13;
  static constexpr uint32_t kTableSize = uint32_t{1} << kMaxBits;

  void Clear() {
    Bits = 9;
    NextFree = kFirstFree;
    AfterClear = true;
  }

  bool ReadCode(TPackedInput& input, uint32_t& code, int& fault) {
    while (BitCount < Bits) {
      const int byte = input.Next();
      if (byte < 0) {
        // A failing source, or packed bytes that ended before the end code.
        fault = input.Fault() != errNone ? input.Fault() : errUnexpectedEof;
        return false;
      }
      BitBuffer |= static_cast<uint32_t>(byte) << BitCount;
      BitCount += 8;
    }
    code = BitBuffer & ((uint32_t{1} << Bits) - 1);
    BitBuffer >>= Bits;
    BitCount -= Bits;
    return true;
  }

  // Puts the string of a code on the stack and adds the table entry the code completes.
  bool Expand(uint32_t code, int& fault) {
    if (code == kEndCode) {
      Ended = true;
      return true;
    }
    if (code == kClearCode) {
      Clear();
      return true;
    }
    if (AfterClear) {
      if (code > 0xFF) {
        fault = errCorruptInput;
        return false;
      }
      AfterClear = false;
      OldCode = code;
      FirstByte = static_cast<uint8_t>(code);
      Stack[Pending++] = FirstByte;
      return true;
    }
    if (code > NextFree) {
      fault = errCorruptInput;
      return false;
    }
    uint32_t current = code;
    if (code == NextFree) {
      // The string being defined right now: the previous one and its own first byte.
      Stack[Pending++] = FirstByte;
      current = OldCode;
    }
    // Every entry's prefix is a smaller code, so this walk ends within the table's size, and the
    // stack (one byte per table entry) cannot overflow.
    while (current > 0xFF) {
      Stack[Pending++] = Suffix[current];
      current = Prefix[current];
    }
    FirstByte = static_cast<uint8_t>(current);
    Stack[Pending++] = FirstByte;
    if (NextFree < kTableSize) {
      Prefix[NextFree] = static_cast<uint16_t>(OldCode);
      Suffix[NextFree] = FirstByte;
      ++NextFree;
      if (NextFree >= (uint32_t{1} << Bits) && Bits < kMaxBits)
        ++Bits;
    }
    OldCode = code;
    return true;
  }

  uint32_t BitBuffer = 0;
  unsigned BitCount = 0;
  unsigned Bits = 9;
  uint32_t NextFree = kFirstFree;
  bool AfterClear = true;
  bool Ended = false;
  uint32_t OldCode = 0;
  uint8_t FirstByte = 0;
  std::array<uint16_t, kTableSize> Prefix{};
  std::array<uint8_t, kTableSize> Suffix{};
  std::array<uint8_t, kTableSize + 1> Stack{};
  size_t Pending = 0;
};

// lh5 through liblhasa. The stream has no end mark of its own: the decoder stops at the entry's
// size, and the packed bytes it asks for are handed over through a callback that never reads past
// the entry.
class TLh5Decoder final : public TMethodDecoder {
public:
  explicit TLh5Decoder(uint64_t size) : Size(size) {}
  ~TLh5Decoder() override {
    if (Decoder)
      lha_decoder_free(Decoder);
  }
  TLh5Decoder(const TLh5Decoder&) = delete;
  TLh5Decoder& operator=(const TLh5Decoder&) = delete;

  ptrdiff_t Decode(TPackedInput& input, uint8_t* out, size_t count, int& fault) override {
    if (Produced == Size)
      return 0;
    if (!Decoder) {
      char name[] = "-lh5-";
      LHADecoderType* type = lha_decoder_for_name(name);
      if (type)
        Decoder = lha_decoder_new(type, &TLh5Decoder::Feed, this, static_cast<size_t>(Size));
      if (!Decoder) {
        fault = errOutOfMemory;
        return -1;
      }
    }
    Input = &input;
    const size_t got = lha_decoder_read(Decoder, out, count);
    Input = nullptr;
    if (got == 0) {
      // Short of the entry's size: the packed bytes ran out, or the stream is broken.
      fault = InputFault != errNone ? InputFault : InputEnded ? errUnexpectedEof : errCorruptInput;
      return -1;
    }
    Produced += got;
    return static_cast<ptrdiff_t>(got);
  }

private:
  static size_t Feed(void* buffer, size_t count, void* self) {
    auto* decoder = static_cast<TLh5Decoder*>(self);
    if (!decoder->Input || decoder->InputFault != errNone)
      return 0;
    const size_t got = decoder->Input->Read(static_cast<uint8_t*>(buffer), count);
    if (got == 0) {
      decoder->InputFault = decoder->Input->Fault();
      decoder->InputEnded = true;
    }
    return got;
  }

  uint64_t Size;
  uint64_t Produced = 0;
  LHADecoder* Decoder = nullptr;
  TPackedInput* Input = nullptr;
  int InputFault = errNone;
  bool InputEnded = false;
};

// ---- The archive ----

class TZooReader final : public TFormatReader {
public:
  TZooReader(TByteSource& source, const TFormatOptions& options);

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  bool IsEntryAt(uint64_t offset);
  std::string DecodeName(std::string_view raw, uint16_t system) const;

  TByteSource& Source;
  std::string CodePage;
  uint64_t Base;     // where the archive starts; its offsets count from here
  uint64_t Position; // the directory entry Next reads
  uint64_t Index = 0;
  uint64_t Steps = 0;
  uint64_t MaxSteps = 0;
  std::unordered_set<uint64_t> Visited;
  bool Done = false;
};

TZooReader::TZooReader(TByteSource& source, const TFormatOptions& options)
    : Source(source), CodePage(options.CodePage), Base(options.StartOffset), Position(0) {
  const uint64_t size = Source.Size();
  uint8_t header[kArchiveHeaderSize];
  if (Base > size || !Source.ReadExact(Base, header, sizeof header) || Le32(header + 20) != kZooTag)
    throw EArchiveError(errHeaderNotFound);
  // Each entry takes at least the fixed fields of a directory entry.
  MaxSteps = (size - Base) / kShortEntrySize + 1;
  // The start is stored twice, the second time negated, so that one damaged copy can be survived.
  const uint32_t start = Le32(header + 24);
  const uint32_t negated = 0u - Le32(header + 28);
  for (uint32_t candidate : {start, negated}) {
    if (candidate >= kArchiveHeaderSize && IsEntryAt(Base + candidate)) {
      Position = Base + candidate;
      return;
    }
  }
  throw EArchiveError(errBadFileHeader);
}

bool TZooReader::IsEntryAt(uint64_t offset) {
  uint8_t tag[4];
  return Source.ReadExact(offset, tag, sizeof tag) && Le32(tag) == kZooTag;
}

bool TZooReader::Next(TArcEntry& entry) {
  while (!Done) {
    // A chain that comes back to an entry, or has more entries than the file has room for,
    // would never end.
    if (++Steps > MaxSteps || !Visited.insert(Position).second)
      throw EArchiveError(errBadFileHeader);
    uint8_t head[kLongEntrySize];
    const ptrdiff_t got = Source.ReadAt(Position, head, sizeof head);
    if (got < 0)
      throw EArchiveError(errReadFile);
    const auto available = static_cast<size_t>(got);
    if (available < 10)
      throw EArchiveError(errUnexpectedEof);
    if (Le32(head) != kZooTag)
      throw EArchiveError(errBadFileHeader);
    const uint32_t next = Le32(head + 6);
    if (next == 0) {
      // The closing entry: a placeholder, not a file.
      Done = true;
      break;
    }
    const bool isLong = head[4] == 2;
    if (available < (isLong ? kLongEntrySize : kShortEntrySize))
      throw EArchiveError(errUnexpectedEof);
    std::vector<uint8_t> variable(isLong ? Le16(head + 51) : 0);
    if (!variable.empty() &&
        !Source.ReadExact(Position + kLongEntrySize, variable.data(), variable.size()))
      throw EArchiveError(errUnexpectedEof);
    const uint64_t here = Position;
    Position = Base + next;
    if (head[30] != 0) // deleted
      continue;

    // The variable fields: lengths of the long name and the folder, the two, then the system,
    // the attributes and the version fields. Writers stop after any field, so each is taken only
    // when the stated length holds it whole.
    std::string_view longName;
    std::string_view folder;
    uint16_t system = 0;
    uint32_t attributes = 0;
    if (variable.size() >= 2) {
      const size_t nameLength = variable[0];
      const size_t folderLength = variable[1];
      const size_t room = variable.size() - 2;
      if (nameLength <= room)
        longName = CString(variable.data() + 2, nameLength);
      if (nameLength + folderLength <= room)
        folder = CString(variable.data() + 2 + nameLength, folderLength);
      const size_t after = 2 + nameLength + folderLength;
      if (variable.size() >= after + 2)
        system = Le16(variable.data() + after);
      if (variable.size() >= after + 5)
        attributes = static_cast<uint32_t>(variable[after + 2]) |
                     static_cast<uint32_t>(variable[after + 3]) << 8 |
                     static_cast<uint32_t>(variable[after + 4]) << 16;
    }
    std::string raw(folder);
    if (!raw.empty() && raw.back() != '/')
      raw += '/';
    raw += longName.empty() ? CString(head + 38, kShortNameSize) : longName;

    entry = TArcEntry{};
    entry.Index = Index++;
    entry.Offset = here;
    entry.Name = DecodeName(raw, system);
    entry.Size = Le32(head + 20);
    entry.PackedSize = Le32(head + 24);
    entry.HasDosTime = true;
    entry.DosTime = static_cast<uint32_t>(Le16(head + 14)) << 16 | Le16(head + 16);
    if ((attributes & kAttributeFormatMask) == kUnixAttributes) {
      entry.HasUnixMode = true;
      entry.UnixMode = attributes & 0777;
      if ((entry.UnixMode & 0200) == 0)
        entry.Attributes |= ftReadOnly;
    }
    entry.Method = head[5];
    entry.Crc = Le16(head + 18);
    entry.Private[0] = Base + Le32(head + 10); // the data
    return true;
  }
  return false;
}

std::string TZooReader::DecodeName(std::string_view raw, uint16_t system) const {
  std::string name = config::IsValidUtf8(raw) ? std::string(raw) : DecodeDosName(raw, CodePage);
  // After decoding: in some DOS code pages "\" is also the second byte of a character.
  if (system == kSystemMsdos)
    std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

std::unique_ptr<TEntryData> TZooReader::OpenData(const TArcEntry& entry, const std::string&,
                                                 int& error) {
  error = errNone;
  std::unique_ptr<TMethodDecoder> decoder;
  switch (entry.Method) {
  case kMethodStored:
    decoder = std::make_unique<TStoreDecoder>();
    break;
  case kMethodLzw:
    decoder = std::make_unique<TLzwDecoder>();
    break;
  case kMethodLh5:
    decoder = std::make_unique<TLh5Decoder>(entry.Size);
    break;
  default:
    error = errUnsupportedMethod;
    return nullptr;
  }
  const uint64_t start = entry.Private[0];
  if (start > Source.Size()) {
    error = errBadFileHeader;
    return nullptr;
  }
  return std::make_unique<zip::TDecodedEntryData<TZooCrc>>(
      TPackedInput(Source, start, entry.PackedSize), std::move(decoder), entry.Size,
      static_cast<uint16_t>(entry.Crc));
}

} // namespace

std::unique_ptr<TFormatReader> MakeZooReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TZooReader>(source, options);
}

} // namespace corvane::archive
