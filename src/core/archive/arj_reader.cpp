// The ARJ reader: our own decoder of the stored method (0), the LZ77 + Huffman methods (1 to 3,
// which differ only in how hard the packer searched) and the fast method (4).
//
// An archive is a main header followed by one local header per file, each followed by its packed
// data, up to a header of size 0. Every header carries a CRC-32 of its basic part; the size fields
// are checked against the source before anything is read through them.
//
// Multi-volume archives: a file that does not fit into a volume ends it with the "continues" flag,
// and the next volume's first local header carries the rest as a piece of its own, packed
// independently and with its own size and CRC. Next follows such a chain right away (asking for
// the volumes through TFormatOptions::NextPart), so that the entry it reports has the whole file's
// sizes and the listing goes on in the last volume. A chain that cannot be followed ends the
// listing after the entry that needed it; that entry's OpenData then reports errBrokenVolumeChain.
//
// Garbled (password-protected) files use the original XOR scheme; it has no password check of its
// own, so OpenData decodes the entry once to tell a wrong password from a right one.
#include "archive/archive_format.h"
#include "archive/packed_input.h"
#include "config/text_codec.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <functional>
#include <vector>

namespace corvane::archive {
namespace {

constexpr uint16_t kHeaderId = 0xEA60; // bytes 0x60 0xEA
constexpr size_t kMaxBasicHeader = 2600;
constexpr size_t kMinFirstHeader = 30; // the fixed fields every basic header has
constexpr size_t kExtPositionEnd = 34; // with the start position of a continued file

// Local header flags.
constexpr uint8_t kFlagGarbled = 0x01;
constexpr uint8_t kFlagVolume = 0x04;  // main: more volumes follow; local: file continues
constexpr uint8_t kFlagExtFile = 0x08; // local: continued from the previous volume

// File types.
constexpr uint8_t kTypeDirectory = 3;
constexpr uint8_t kTypeMainHeader = 2;
constexpr uint8_t kTypeVolumeLabel = 4;
constexpr uint8_t kTypeChapterLabel = 5;
constexpr uint8_t kTypeUnixSpecial = 6; // links and devices, described by a "U" extended header

// Host systems.
constexpr uint8_t kHostDos = 0;
constexpr uint8_t kHostUnix = 2;
constexpr uint8_t kHostOs2 = 5;
constexpr uint8_t kHostAtari = 7;
constexpr uint8_t kHostWin95 = 10;
constexpr uint8_t kHostWin32 = 11;

// Kinds of Unix special files in the "U" extended header.
constexpr unsigned kSpecialHardLink = 1;
constexpr unsigned kSpecialSymlink = 2;

constexpr uint8_t kMaxMethod = 4;
// Encryption versions up to this one are the XOR garble; later ones need external modules.
constexpr uint8_t kMaxGarbleVersion = 1;
// A multi-volume chain longer than the volume naming allows is a loop.
constexpr size_t kMaxVolumes = 1000;

bool IsDosHost(uint8_t host) {
  return host == kHostDos || host == kHostOs2 || host == kHostAtari || host == kHostWin95 ||
         host == kHostWin32;
}

// ---- Headers ----

struct THeader {
  uint64_t Offset = 0;     // of the header id
  uint64_t DataOffset = 0; // after the extended headers
  bool End = false;        // the end-of-archive header
  uint8_t FirstSize = 0;
  uint8_t Host = 0;
  uint8_t Flags = 0;
  uint8_t Method = 0;
  uint8_t FileType = 0;
  uint8_t Modifier = 0;          // garble modifier (main header: security version)
  uint8_t EncryptionVersion = 0; // main header only
  uint32_t Time = 0;
  uint32_t PackedSize = 0;
  uint32_t Size = 0;
  uint32_t Crc = 0;
  uint16_t Mode = 0;
  bool HasExtPosition = false;
  uint32_t ExtPosition = 0;
  std::string RawName;
  std::string Special; // data of the "U" extended header
};

// The header at `at`: errNone, or the fault that makes it unusable.
int ReadHeader(TByteSource& source, uint64_t at, THeader& header) {
  header = THeader{};
  header.Offset = at;
  uint8_t fixed[4];
  if (!source.ReadExact(at, fixed, sizeof fixed))
    return errUnexpectedEof;
  if (Le16(fixed) != kHeaderId)
    return errBadFileHeader;
  const size_t size = Le16(fixed + 2);
  if (size == 0) {
    header.End = true;
    header.DataOffset = at + sizeof fixed;
    return errNone;
  }
  if (size > kMaxBasicHeader)
    return errBadFileHeader;
  std::array<uint8_t, kMaxBasicHeader + 4> basic;
  if (!source.ReadExact(at + sizeof fixed, basic.data(), size + 4))
    return errUnexpectedEof;
  if (crc32_z(0, basic.data(), size) != Le32(basic.data() + size))
    return errHeaderCrc;
  const uint8_t* p = basic.data();
  header.FirstSize = p[0];
  if (header.FirstSize < kMinFirstHeader || header.FirstSize > size)
    return errBadFileHeader;
  header.Host = p[3];
  header.Flags = p[4];
  header.Method = p[5];
  header.FileType = p[6];
  header.Modifier = p[7];
  header.Time = Le32(p + 8);
  header.PackedSize = Le32(p + 12);
  header.Size = Le32(p + 16);
  header.Crc = Le32(p + 20);
  header.Mode = Le16(p + 26);
  if (header.FirstSize > 28)
    header.EncryptionVersion = p[28];
  if ((header.Flags & kFlagExtFile) != 0 && header.FirstSize >= kExtPositionEnd) {
    header.HasExtPosition = true;
    header.ExtPosition = Le32(p + 30);
  }
  // The name ends at its NUL, or at the end of the header when that is missing.
  const auto* names = reinterpret_cast<const char*>(p + header.FirstSize);
  const std::string_view rest(names, size - header.FirstSize);
  header.RawName = std::string(rest.substr(0, rest.find('\0')));

  uint64_t position = at + sizeof fixed + size + 4;
  std::vector<uint8_t> extended;
  for (;;) {
    uint8_t length[2];
    if (!source.ReadExact(position, length, sizeof length))
      return errUnexpectedEof;
    position += sizeof length;
    const size_t extendedSize = Le16(length);
    if (extendedSize == 0)
      break;
    extended.resize(extendedSize + 4);
    if (!source.ReadExact(position, extended.data(), extended.size()))
      return errUnexpectedEof;
    if (crc32_z(0, extended.data(), extendedSize) != Le32(extended.data() + extendedSize))
      return errHeaderCrc;
    if (extended[0] == 'U')
      header.Special.assign(reinterpret_cast<const char*>(extended.data()), extendedSize);
    position += extended.size();
  }
  header.DataOffset = position;
  return errNone;
}

// A Unix special file's kind and the link target it names, from its "U" extended header: "U", a
// zero byte, then the kind in the top three bits of a byte whose low five bits give the target's
// length (31: a 16-bit length follows), then the target.
bool ParseSpecial(std::string_view special, unsigned& kind, std::string_view& target) {
  if (special.size() < 3 || special[1] != '\0')
    return false;
  const auto packed = static_cast<uint8_t>(special[2]);
  kind = packed >> 5;
  size_t length = packed & 0x1F;
  size_t start = 3;
  if (length == 0x1F) {
    if (special.size() < 5)
      return false;
    length = Le16(reinterpret_cast<const uint8_t*>(special.data()) + 3);
    start = 5;
  }
  if (length > special.size() - start)
    return false;
  target = special.substr(start, length);
  return true;
}

// ---- Packed data ----

// One part of an entry's data: the whole file, or a piece of a file split across volumes.
struct TPiece {
  TByteSource* Source = nullptr;
  uint64_t DataOffset = 0;
  uint32_t PackedSize = 0;
  uint32_t Size = 0;
  uint32_t Crc = 0;
  uint8_t Method = 0;
  uint8_t Modifier = 0;
  bool Garbled = false;
};

// The packed bytes of one piece, ungarbled when the piece is garbled: each byte is XORed with the
// next byte of the password (repeating) plus the piece's modifier.
TPackedInput PieceInput(const TPiece& piece, const std::string& password) {
  TPackedInput input(*piece.Source, piece.DataOffset, piece.PackedSize);
  if (piece.Garbled && !password.empty())
    input.SetDecryption([password, modifier = piece.Modifier,
                         key = size_t{0}](uint8_t* data, size_t count) mutable {
      for (size_t i = 0; i < count; ++i) {
        data[i] ^= static_cast<uint8_t>(static_cast<uint8_t>(password[key]) + modifier);
        key = (key + 1) % password.size();
      }
    });
  return input;
}

// The packed bytes as a bit stream, most significant bit first. Past the end it gives zero bits,
// as the packer's own decoder does when it looks ahead; consuming any of those means the stream
// was cut short (Overrun).
class TBitReader {
public:
  explicit TBitReader(TPackedInput& input) : Input(input) {}

  uint32_t Peek16() {
    Fill(16);
    return static_cast<uint32_t>(Accumulator >> (Count - 16)) & 0xFFFF;
  }
  void Skip(int n) {
    Fill(n);
    Count -= n;
    if (Count < Padding)
      Overran = true;
  }
  // The next n bits (n <= 16) as a number.
  uint32_t Bits(int n) {
    if (n == 0)
      return 0;
    Fill(n);
    const auto value = static_cast<uint32_t>(Accumulator >> (Count - n)) & ((1u << n) - 1);
    Skip(n);
    return value;
  }
  bool Overrun() const { return Overran; }
  bool ReadFailed() const { return Failed; }

private:
  void Fill(int n) {
    while (Count < n) {
      Accumulator = (Accumulator << 8) | NextByte();
      Count += 8;
    }
  }
  uint8_t NextByte() {
    const int byte = Input.Next();
    if (byte >= 0)
      return static_cast<uint8_t>(byte);
    // A source that ends before the packed size counts as the end of the bytes, as it always has;
    // only a failing read is a fault of its own.
    Failed = Input.Fault() == errReadFile;
    Padding += 8;
    return 0;
  }

  TPackedInput& Input;
  bool Failed = false;
  uint64_t Accumulator = 0;
  int Count = 0;   // bits held in the accumulator, at its low end
  int Padding = 0; // of those, the zero bits made up past the end (always the last ones)
  bool Overran = false;
};

// A canonical Huffman code as the packer transmits it: code lengths per symbol, codes assigned in
// order of length, then of symbol. A table of the first TableBits bits decodes the short codes in
// one step; longer ones are found from the first code of each length.
class THuffmanCode {
public:
  explicit THuffmanCode(int tableBits)
      : TableBits(tableBits), Table(size_t{1} << tableBits, kLongCode) {}

  // A code of one symbol that takes no bits. The symbol is not checked here: packers write any
  // value for a code they never use.
  void SetSingle(unsigned symbol) {
    Single = true;
    SingleSymbol = static_cast<int>(symbol);
  }

  // False when the lengths do not make a complete code. No lengths at all make an empty code,
  // which only fails when it is used.
  bool Build(const uint8_t* lengths, size_t count) {
    Single = false;
    std::array<uint32_t, 17> perLength{};
    for (size_t i = 0; i < count; ++i)
      ++perLength[lengths[i]];
    uint32_t code = 0;
    size_t index = 0;
    for (int length = 1; length <= 16; ++length) {
      Start[length] = code;
      FirstIndex[length] = index;
      code += perLength[length] << (16 - length);
      Limit[length] = code;
      index += perLength[length];
    }
    Empty = code == 0;
    if (code != 0x10000 && !Empty)
      return false;
    // Symbols sorted by length, then by value: the order their codes were handed out in.
    std::array<size_t, 17> next = FirstIndex;
    Sorted.resize(index);
    Lengths.assign(lengths, lengths + count);
    for (size_t symbol = 0; symbol < count; ++symbol)
      if (lengths[symbol] != 0)
        Sorted[next[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
    std::fill(Table.begin(), Table.end(), kLongCode);
    for (int length = 1; length <= TableBits; ++length) {
      const int spread = TableBits - length;
      for (size_t k = 0; k < perLength[length]; ++k) {
        const uint32_t first = (Start[length] >> (16 - TableBits)) + (uint32_t(k) << spread);
        std::fill_n(Table.begin() + first, size_t{1} << spread, Sorted[FirstIndex[length] + k]);
      }
    }
    return true;
  }

  // The next symbol, its bits consumed; -1 when the code is empty.
  int Decode(TBitReader& bits) const {
    if (Single)
      return SingleSymbol;
    if (Empty)
      return -1;
    const uint32_t peek = bits.Peek16();
    const uint16_t entry = Table[peek >> (16 - TableBits)];
    if (entry != kLongCode) {
      bits.Skip(Lengths[entry]);
      return entry;
    }
    for (int length = TableBits + 1; length <= 16; ++length)
      if (peek < Limit[length]) {
        bits.Skip(length);
        return Sorted[FirstIndex[length] + ((peek - Start[length]) >> (16 - length))];
      }
    return -1; // not reached: the code is complete
  }

private:
  static constexpr uint16_t kLongCode = 0xFFFF;
  int TableBits;
  std::vector<uint16_t> Table;
  std::vector<uint8_t> Lengths;
  std::vector<uint16_t> Sorted;
  std::array<uint32_t, 17> Start{};    // first code of each length, as a 16-bit prefix
  std::array<uint32_t, 17> Limit{};    // end of the codes of each length
  std::array<size_t, 17> FirstIndex{}; // in Sorted
  bool Single = false;
  bool Empty = true;
  int SingleSymbol = 0;
};

// One method's decoder for one piece. It is asked for no more than the piece's size in all, and
// gives at least one byte per call or fails.
class TPieceDecoder {
public:
  virtual ~TPieceDecoder() = default;
  virtual ptrdiff_t Decode(uint8_t* out, size_t count, int& fault) = 0;
};

class TStoreDecoder final : public TPieceDecoder {
public:
  TStoreDecoder(const TPiece& piece, const std::string& password)
      : Input(PieceInput(piece, password)) {}
  ptrdiff_t Decode(uint8_t* out, size_t count, int& fault) override {
    const size_t got = Input.Read(out, count);
    if (got == 0) {
      fault = Input.Fault() == errReadFile ? errReadFile : errUnexpectedEof;
      return -1;
    }
    return static_cast<ptrdiff_t>(got);
  }

private:
  TPackedInput Input;
};

// What the LZ77 methods share: the bit stream, the window of the bytes produced so far and the
// rest of a match that did not fit into the caller's buffer.
class TLzDecoder : public TPieceDecoder {
public:
  TLzDecoder(const TPiece& piece, const std::string& password)
      : Input(PieceInput(piece, password)), Bits(Input), Size(piece.Size) {}

  ptrdiff_t Decode(uint8_t* out, size_t count, int& fault) final {
    size_t done = 0;
    while (done < count) {
      if (MatchLeft > 0) {
        const size_t n = std::min<size_t>(MatchLeft, count - done);
        for (size_t i = 0; i < n; ++i) {
          const uint8_t byte = Window[(Produced - MatchDistance) & kWindowMask];
          Window[Produced & kWindowMask] = byte;
          ++Produced;
          out[done++] = byte;
        }
        MatchLeft -= static_cast<uint32_t>(n);
        continue;
      }
      if (!DecodeSymbol(out, done, fault) || Bits.Overrun() || Bits.ReadFailed()) {
        if (fault == errNone)
          fault = Bits.ReadFailed() ? errReadFile
                  : Bits.Overrun()  ? errUnexpectedEof
                                    : errCorruptInput;
        return -1;
      }
    }
    return static_cast<ptrdiff_t>(done);
  }

protected:
  // Decodes one literal (stored at out[done++]) or the start of a match; false on bad input.
  virtual bool DecodeSymbol(uint8_t* out, size_t& done, int& fault) = 0;

  void Literal(uint8_t byte, uint8_t* out, size_t& done) {
    Window[Produced & kWindowMask] = byte;
    ++Produced;
    out[done++] = byte;
  }
  // A match must copy bytes already produced and must not run past the piece's size.
  bool Match(uint32_t length, uint32_t distance) {
    if (distance == 0 || distance > Produced || distance > kWindowSize || length > Size - Produced)
      return false;
    MatchLeft = length;
    MatchDistance = distance;
    return true;
  }

  TPackedInput Input;
  TBitReader Bits;

private:
  static constexpr uint32_t kWindowSize = 0x10000; // past the longest distance of any method
  static constexpr uint64_t kWindowMask = kWindowSize - 1;
  std::vector<uint8_t> Window = std::vector<uint8_t>(kWindowSize);
  uint64_t Size;
  uint64_t Produced = 0;
  uint32_t MatchLeft = 0;
  uint32_t MatchDistance = 0;
};

// Methods 1 to 3: blocks of Huffman-coded literals, match lengths and match positions.
class THuffmanDecoder final : public TLzDecoder {
public:
  using TLzDecoder::TLzDecoder;

private:
  static constexpr int kThreshold = 3;                      // shortest match
  static constexpr size_t kNC = 255 + 256 + 2 - kThreshold; // literals and lengths
  static constexpr size_t kNP = 17;                         // position classes
  static constexpr size_t kNT = 19;                         // code-length codes
  static constexpr int kCBits = 9;
  static constexpr int kPBits = 5;
  static constexpr int kTBits = 5;

  bool DecodeSymbol(uint8_t* out, size_t& done, int& fault) override {
    if (BlockLeft == 0 && !ReadBlockHeader(fault))
      return false;
    --BlockLeft;
    const int c = CCode.Decode(Bits);
    if (c < 0 || static_cast<size_t>(c) >= kNC)
      return false;
    if (c < 256) {
      Literal(static_cast<uint8_t>(c), out, done);
      return true;
    }
    const int p = PCode.Decode(Bits);
    if (p < 0 || static_cast<size_t>(p) >= kNP)
      return false;
    const uint32_t position = p == 0 ? 0 : (1u << (p - 1)) + Bits.Bits(p - 1);
    return Match(static_cast<uint32_t>(c - (256 - kThreshold)), position + 1);
  }

  bool ReadBlockHeader(int& fault) {
    BlockLeft = Bits.Bits(16);
    if (BlockLeft == 0 || !ReadPtLengths(TCode, kNT, kTBits, 3) || !ReadCLengths() ||
        !ReadPtLengths(PCode, kNP, kPBits, -1)) {
      if (Bits.Overrun())
        fault = errUnexpectedEof;
      return false;
    }
    return true;
  }

  // The lengths of the code-length code or of the position code.
  bool ReadPtLengths(THuffmanCode& code, size_t count, int countBits, int special) {
    const size_t n = Bits.Bits(countBits);
    if (n == 0) {
      code.SetSingle(Bits.Bits(countBits));
      return true;
    }
    if (n > count)
      return false;
    std::array<uint8_t, kNT> lengths{};
    size_t i = 0;
    while (i < n) {
      const uint32_t peek = Bits.Peek16();
      unsigned length = peek >> 13;
      if (length == 7) {
        // 7 and up: a run of one bits after the first three adds to it.
        for (uint32_t mask = 1u << 12; (peek & mask) != 0; mask >>= 1)
          ++length;
        if (length > 16)
          return false;
      }
      Bits.Skip(length < 7 ? 3 : static_cast<int>(length) - 3);
      lengths[i++] = static_cast<uint8_t>(length);
      if (static_cast<int>(i) == special) {
        const size_t zeros = Bits.Bits(2);
        if (zeros > count - i)
          return false;
        i += zeros;
      }
    }
    return !Bits.Overrun() && code.Build(lengths.data(), count);
  }

  bool ReadCLengths() {
    const size_t n = Bits.Bits(kCBits);
    if (n == 0) {
      CCode.SetSingle(Bits.Bits(kCBits));
      return true;
    }
    if (n > kNC)
      return false;
    std::array<uint8_t, kNC> lengths{};
    size_t i = 0;
    while (i < n) {
      const int c = TCode.Decode(Bits);
      if (c < 0 || static_cast<size_t>(c) >= kNT || Bits.Overrun())
        return false;
      if (c > 2) {
        lengths[i++] = static_cast<uint8_t>(c - 2);
        continue;
      }
      // 0 to 2: runs of zero lengths.
      const size_t zeros = c == 0 ? 1 : c == 1 ? Bits.Bits(4) + 3 : Bits.Bits(kCBits) + 20;
      if (zeros > kNC - i)
        return false;
      i += zeros;
    }
    return !Bits.Overrun() && CCode.Build(lengths.data(), kNC);
  }

  uint32_t BlockLeft = 0; // symbols left in the current block
  THuffmanCode TCode{8};
  THuffmanCode CCode{12};
  THuffmanCode PCode{8};
};

// Method 4: literals and matches with lengths and positions in unary-prefixed classes.
class TFastDecoder final : public TLzDecoder {
public:
  using TLzDecoder::TLzDecoder;

private:
  static constexpr int kThreshold = 3;

  // A run of up to (stop - start) one bits, ended by a zero bit unless it reaches that length,
  // picks the width of the number that follows; each one bit adds the size of the class before.
  uint32_t Classed(int start, int stop) {
    uint32_t plus = 0;
    int width = start;
    for (uint32_t power = 1u << start; width < stop; ++width, power <<= 1) {
      if (Bits.Bits(1) == 0)
        break;
      plus += power;
    }
    return plus + Bits.Bits(width);
  }

  bool DecodeSymbol(uint8_t* out, size_t& done, int&) override {
    const uint32_t length = Classed(0, 7);
    if (length == 0) {
      Literal(static_cast<uint8_t>(Bits.Bits(8)), out, done);
      return true;
    }
    const uint32_t position = Classed(9, 13);
    return Match(length - 1 + kThreshold, position + 1);
  }
};

std::unique_ptr<TPieceDecoder> MakePieceDecoder(const TPiece& piece, const std::string& password) {
  switch (piece.Method) {
  case 0:
    return std::make_unique<TStoreDecoder>(piece, password);
  case 1:
  case 2:
  case 3:
    return std::make_unique<THuffmanDecoder>(piece, password);
  case 4:
    return std::make_unique<TFastDecoder>(piece, password);
  default:
    return nullptr;
  }
}

// The data of an entry: its pieces one after the other, each checked against its own CRC.
class TArjEntryData final : public TEntryData {
public:
  TArjEntryData(std::vector<TPiece> pieces, std::string password)
      : Pieces(std::move(pieces)), Password(std::move(password)) {}

  ptrdiff_t Read(uint8_t* buffer, size_t count) override {
    if (Fault != errNone)
      return -1;
    if (count == 0)
      return 0;
    while (Current < Pieces.size()) {
      const TPiece& piece = Pieces[Current];
      if (PieceDone == piece.Size) {
        if (PieceCrc != piece.Crc)
          CrcFailed = true;
        ++Current;
        Decoder.reset();
        PieceDone = 0;
        PieceCrc = 0;
        continue;
      }
      if (!Decoder && !(Decoder = MakePieceDecoder(piece, Password))) {
        Fault = errUnsupportedMethod;
        return -1;
      }
      const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, piece.Size - PieceDone));
      const ptrdiff_t got = Decoder->Decode(buffer, wanted, Fault);
      if (got <= 0) {
        if (Fault == errNone)
          Fault = errCorruptInput;
        return -1;
      }
      PieceCrc = static_cast<uint32_t>(crc32_z(PieceCrc, buffer, static_cast<size_t>(got)));
      PieceDone += static_cast<uint64_t>(got);
      return got;
    }
    return 0;
  }

  int Finish() override {
    if (Fault == errNone && Current < Pieces.size())
      ReadRest();
    if (Fault != errNone)
      return Fault;
    return CrcFailed ? errCrc : errNone;
  }

private:
  std::vector<TPiece> Pieces;
  std::string Password;
  size_t Current = 0;
  std::unique_ptr<TPieceDecoder> Decoder;
  uint64_t PieceDone = 0;
  uint32_t PieceCrc = 0;
  bool CrcFailed = false;
};

// ---- The archive ----

struct TVolume {
  TByteSource* Source = nullptr;
  std::unique_ptr<TByteSource> Owned;
  uint64_t FirstLocal = 0;
  bool MoreVolumes = false;
  uint8_t EncryptionVersion = 0;
};

class TArjReader final : public TFormatReader {
public:
  TArjReader(TByteSource& source, const TFormatOptions& options)
      : CodePage(options.CodePage), NextPart(options.NextPart) {
    TVolume first;
    first.Source = &source;
    const int error = ReadMainHeader(first, options.StartOffset);
    if (error != errNone)
      throw EArchiveError(error);
    Cursor = first.FirstLocal;
    Volumes.push_back(std::move(first));
  }

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  static int ReadMainHeader(TVolume& volume, uint64_t at);
  TVolume* Volume(size_t index);
  int FollowChain(size_t volume, const THeader& first, std::vector<TPiece>& pieces,
                  size_t& lastVolume, uint64_t& end);
  std::string DecodeName(std::string_view raw, uint8_t host) const;
  void Describe(const THeader& header, const std::vector<TPiece>& pieces, TArcEntry& entry) const;

  std::string CodePage;
  std::function<std::unique_ptr<TByteSource>(int, const std::string&)> NextPart;
  std::deque<TVolume> Volumes; // grows while references to its volumes are held
  bool VolumeMissing = false;  // the volume after the last of Volumes could not be had
  size_t CurrentVolume = 0;
  uint64_t Cursor = 0;
  uint64_t Index = 0;
  bool Done = false;
};

int TArjReader::ReadMainHeader(TVolume& volume, uint64_t at) {
  uint8_t id[2];
  if (!volume.Source->ReadExact(at, id, sizeof id) || Le16(id) != kHeaderId)
    return errHeaderNotFound;
  THeader header;
  const int error = ReadHeader(*volume.Source, at, header);
  if (error != errNone)
    return error;
  if (header.End || header.FileType != kTypeMainHeader)
    return errBadFileHeader;
  volume.FirstLocal = header.DataOffset;
  volume.MoreVolumes = (header.Flags & kFlagVolume) != 0;
  volume.EncryptionVersion = header.EncryptionVersion;
  return errNone;
}

// The volume of that index (0: the archive itself), asked for once; nullptr when it is missing
// or is no volume of an archive.
TVolume* TArjReader::Volume(size_t index) {
  if (index < Volumes.size())
    return &Volumes[index];
  if (index > Volumes.size() || VolumeMissing)
    return nullptr;
  VolumeMissing = true;
  if (!NextPart || index >= kMaxVolumes)
    return nullptr;
  TVolume volume;
  volume.Owned = NextPart(static_cast<int>(index + 1), std::string());
  if (!volume.Owned)
    return nullptr;
  volume.Source = volume.Owned.get();
  if (ReadMainHeader(volume, 0) != errNone)
    return nullptr;
  VolumeMissing = false;
  Volumes.push_back(std::move(volume));
  return &Volumes.back();
}

// The pieces of the file whose (first) header is `first`: the file itself, or, when it continues,
// its pieces in the following volumes. Each continuation must carry the same name and start where
// the pieces before it end. Gives the volume and position after the last piece found.
int TArjReader::FollowChain(size_t volume, const THeader& first, std::vector<TPiece>& pieces,
                            size_t& lastVolume, uint64_t& end) {
  pieces.clear();
  const auto add = [&](const THeader& header, size_t in) {
    pieces.push_back({Volumes[in].Source, header.DataOffset, header.PackedSize, header.Size,
                      header.Crc, header.Method, header.Modifier,
                      (header.Flags & kFlagGarbled) != 0});
    lastVolume = in;
    end = header.DataOffset + header.PackedSize;
  };
  add(first, volume);
  uint64_t total = first.Size;
  THeader current = first;
  while ((current.Flags & kFlagVolume) != 0) {
    const TVolume* next = Volume(++volume);
    THeader header;
    if (!next || ReadHeader(*next->Source, next->FirstLocal, header) != errNone || header.End ||
        !header.HasExtPosition || header.ExtPosition != total || header.RawName != current.RawName)
      return errBrokenVolumeChain;
    add(header, volume);
    total += header.Size;
    current = std::move(header);
  }
  return errNone;
}

std::string TArjReader::DecodeName(std::string_view raw, uint8_t host) const {
  std::string name = !IsDosHost(host) && config::IsValidUtf8(raw) ? std::string(raw)
                                                                  : DecodeDosName(raw, CodePage);
  // After decoding: in some DOS code pages "\" is also the second byte of a character.
  if (IsDosHost(host))
    std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

void TArjReader::Describe(const THeader& header, const std::vector<TPiece>& pieces,
                          TArcEntry& entry) const {
  entry = TArcEntry{};
  entry.Offset = header.Offset;
  entry.Name = DecodeName(header.RawName, header.Host);
  for (const TPiece& piece : pieces) {
    entry.Size += piece.Size;
    entry.PackedSize += piece.PackedSize;
    entry.Encrypted = entry.Encrypted || piece.Garbled;
  }
  // The Unix port stores times and modes as Unix does; the others as DOS does.
  if (header.Host == kHostUnix) {
    entry.HasUnixTime = true;
    entry.UnixTime = header.Time;
    entry.HasUnixMode = true;
    entry.UnixMode = header.Mode & 07777;
    if ((header.Mode & 0200) == 0)
      entry.Attributes |= ftReadOnly;
  } else {
    entry.HasDosTime = true;
    entry.DosTime = header.Time;
    entry.Attributes = header.Mode & (ftReadOnly | ftHidden | ftSysFile | ftArchive);
  }
  if (header.FileType == kTypeDirectory) {
    entry.IsFolder = true;
    entry.Attributes |= ftDirectory;
  }
  unsigned kind = 0;
  std::string_view target;
  if (header.FileType == kTypeUnixSpecial && ParseSpecial(header.Special, kind, target) &&
      !target.empty() && (kind == kSpecialSymlink || kind == kSpecialHardLink)) {
    entry.IsLink = true;
    entry.IsHardLink = kind == kSpecialHardLink;
    entry.LinkTarget = DecodeName(target, header.Host);
  }
  entry.Method = header.Method;
  entry.Crc = header.Crc;
}

bool TArjReader::Next(TArcEntry& entry) {
  while (!Done) {
    const TVolume& volume = Volumes[CurrentVolume];
    THeader header;
    if (const int error = ReadHeader(*volume.Source, Cursor, header); error != errNone) {
      Done = true;
      throw EArchiveError(error);
    }
    if (header.End) {
      // The end of a volume: the listing goes on in the next one, if the archive has one.
      if (!volume.MoreVolumes) {
        Done = true;
        return false;
      }
      const TVolume* next = Volume(CurrentVolume + 1);
      if (!next) {
        Done = true;
        throw EArchiveError(errBrokenVolumeChain);
      }
      ++CurrentVolume;
      Cursor = next->FirstLocal;
      continue;
    }
    std::vector<TPiece> pieces;
    const size_t headerVolume = CurrentVolume;
    size_t lastVolume = CurrentVolume;
    uint64_t end = 0;
    if (FollowChain(CurrentVolume, header, pieces, lastVolume, end) != errNone)
      Done = true; // nothing after this entry can be found
    CurrentVolume = lastVolume;
    Cursor = end;
    // Labels are no files.
    if (header.FileType == kTypeMainHeader || header.FileType == kTypeVolumeLabel ||
        header.FileType == kTypeChapterLabel)
      continue;
    Describe(header, pieces, entry);
    entry.Index = Index++;
    entry.Private[0] = headerVolume;
    return true;
  }
  return false;
}

std::unique_ptr<TEntryData> TArjReader::OpenData(const TArcEntry& entry,
                                                 const std::string& password, int& error) {
  error = errNone;
  if (entry.Private[0] >= Volumes.size()) {
    error = errBadFileHeader;
    return nullptr;
  }
  const TVolume& volume = Volumes[entry.Private[0]];
  THeader header;
  if ((error = ReadHeader(*volume.Source, entry.Offset, header)) != errNone || header.End) {
    if (error == errNone)
      error = errBadFileHeader;
    return nullptr;
  }
  if (header.FileType == kTypeUnixSpecial) {
    error = errUnknownFileType; // a device or pipe: nothing to write as a file
    return nullptr;
  }
  std::vector<TPiece> pieces;
  size_t lastVolume = 0;
  uint64_t end = 0;
  if ((error = FollowChain(entry.Private[0], header, pieces, lastVolume, end)) != errNone)
    return nullptr;
  bool garbled = false;
  for (const TPiece& piece : pieces) {
    if (piece.Method > kMaxMethod) {
      error = errUnsupportedMethod;
      return nullptr;
    }
    garbled = garbled || piece.Garbled;
  }
  if (!garbled)
    return std::make_unique<TArjEntryData>(std::move(pieces), std::string());
  if (volume.EncryptionVersion > kMaxGarbleVersion) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  if (password.empty()) {
    error = errInvalidPassword;
    return nullptr;
  }
  // The garble has no check value: only the data's CRC tells whether the password was right.
  TArjEntryData trial(pieces, password);
  if (trial.Finish() != errNone) {
    error = errInvalidPassword;
    return nullptr;
  }
  return std::make_unique<TArjEntryData>(std::move(pieces), password);
}

} // namespace

// The file name of a volume: "name.arj", then "name.a01" ... "name.a99", "name.100" ... "name.999".
// The letter before the number is the first one of the archive's extension; an archive whose
// extension already ends in a number (a later volume, or "name.001") counts on from it.
std::string ArjPartName(const std::string& archive, int part) {
  if (part <= 1)
    return archive;
  const size_t slash = archive.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = archive.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  const std::string stem = hasExtension ? archive.substr(0, dot) : archive;
  const std::string extension = hasExtension ? archive.substr(dot + 1) : std::string();
  size_t prefix = extension.size(); // the extension without its trailing digits
  while (prefix > 0 && extension[prefix - 1] >= '0' && extension[prefix - 1] <= '9')
    --prefix;
  long number = part - 1;
  if (extension.size() - prefix > 0 && extension.size() - prefix <= 3)
    number += std::stol(extension.substr(prefix));
  if (number > 999)
    return {};
  const char letter = extension.empty() ? 'a' : prefix > 0 ? extension[0] : '\0';
  char text[24];
  if (letter != '\0' && number <= 99)
    std::snprintf(text, sizeof text, "%c%02ld", letter, number);
  else
    std::snprintf(text, sizeof text, "%03ld", number);
  return stem + "." + text;
}

std::unique_ptr<TFormatReader> MakeArjReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TArjReader>(source, options);
}

} // namespace corvane::archive
