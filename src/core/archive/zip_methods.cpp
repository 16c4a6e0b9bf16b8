// Decoders of the older ZIP methods: shrink (dynamic LZW with partial clearing), reduce (follower
// sets over a DLE-escaped LZ77 stream) and implode (LZ77 with Shannon-Fano coded lengths and
// distances). All three read their bits least significant first and have no end marker, so each
// produces exactly the entry's size and treats running out of packed bytes before that as a
// fault. Every table index that comes from the data is checked before use, and every loop consumes
// input, produces output or is bounded by the size of a table, so a hostile stream ends in a
// fault, never in a hang.
#include "archive/zip_methods.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace corvane::archive::zip {
namespace {

// Thrown inside a decoder when the data cannot be decoded; Decode turns it into the entry's fault.
struct TDataFault {
  int Code;
};

[[noreturn]] void Fail(int code = errCorruptInput) {
  throw TDataFault{code};
}

// The packed bytes as a stream of bits, least significant bit of each byte first.
class TBitInput {
public:
  void Bind(TPackedInput& input) { Input = &input; }

  // The next count bits (count <= 16) as a number, the first bit read in the lowest place.
  uint32_t Bits(unsigned count) {
    while (Available < count) {
      const int byte = Input->Next();
      if (byte < 0)
        // A failing source, or a stream that needs more bits than the entry's packed bytes hold.
        Fail(Input->Fault() != errNone ? Input->Fault() : errUnexpectedEof);
      Held |= static_cast<uint32_t>(byte) << Available;
      Available += 8;
    }
    const uint32_t value = Held & ((uint32_t{1} << count) - 1);
    Held >>= count;
    Available -= count;
    return value;
  }

private:
  TPackedInput* Input = nullptr;
  uint32_t Held = 0; // bits taken from the input but not yet used: at most 23
  unsigned Available = 0;
};

// What reduce and implode copy their matches from: the last 8K of output. A match reaching back
// before the first byte of output copies zeros.
class TWindow {
public:
  uint8_t Put(uint8_t byte) {
    Bytes[Total & kMask] = byte;
    ++Total;
    return byte;
  }
  uint8_t CopyFrom(uint32_t distance) {
    return Put(distance > Total ? 0 : Bytes[(Total - distance) & kMask]);
  }

  static constexpr uint32_t kSize = 8192; // the largest distance of both methods

private:
  static constexpr uint64_t kMask = kSize - 1;
  std::array<uint8_t, kSize> Bytes{};
  uint64_t Total = 0;
};

// The frame the three decoders share: output counted against the entry's size, the packed bytes
// as bits, and faults that stay.
class TOlderMethodDecoder : public TMethodDecoder {
public:
  explicit TOlderMethodDecoder(const TMethodParams& params) : Size(params.Size) {}

  ptrdiff_t Decode(TPackedInput& input, uint8_t* out, size_t count, int& fault) final {
    if (Fault != errNone) {
      fault = Fault;
      return -1;
    }
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, Size - Produced));
    if (wanted == 0)
      return 0;
    In.Bind(input);
    try {
      Produce(out, wanted);
    } catch (const TDataFault& failure) {
      Fault = failure.Code;
      fault = Fault;
      return -1;
    }
    Produced += wanted;
    return static_cast<ptrdiff_t>(wanted);
  }

protected:
  // Exactly count bytes of output, or throws TDataFault. What a last match would give beyond the
  // entry's size is never asked for.
  virtual void Produce(uint8_t* out, size_t count) = 0;

  TBitInput In;

private:
  uint64_t Size;
  uint64_t Produced = 0;
  int Fault = errNone;
};

// ---- Shrink ----
//
// Codes of 9 bits at first, up to 13. 0..255 are bytes, 256 is followed by a control code (1: the
// code size grows by one bit, 2: partial clear), 257..8191 are strings: a prefix code and one
// byte. Each code read after the first adds the previous code's string plus the first byte of the
// current one at the lowest free code. A partial clear frees every string that is no other
// string's prefix; the freed codes are used again from the lowest up.
//
// After a partial clear the previous code may itself be free, and the string added next then has a
// prefix that means nothing until that code is used again. Such strings are kept, as the writers
// made them; using one whose prefix chain still reaches a free code, or whose chain loops, is a
// fault.
class TShrinkDecoder final : public TOlderMethodDecoder {
public:
  explicit TShrinkDecoder(const TMethodParams& params) : TOlderMethodDecoder(params) {
    Prefix.fill(kFree);
  }

private:
  static constexpr unsigned kControl = 256;
  static constexpr unsigned kFirstString = 257;
  static constexpr unsigned kCodes = 8192;
  static constexpr unsigned kMaxCodeSize = 13;
  static constexpr uint16_t kFree = 0xFFFF;

  void Produce(uint8_t* out, size_t count) override {
    size_t done = 0;
    while (done < count) {
      if (Pending == kCodes)
        DecodeCode();
      const size_t n = std::min<size_t>(count - done, kCodes - Pending);
      std::memcpy(out + done, &String[Pending], n);
      Pending += static_cast<unsigned>(n);
      done += n;
    }
  }

  // The next code that stands for data, after acting on the control codes before it.
  unsigned ReadCode() {
    for (;;) {
      const unsigned code = In.Bits(CodeSize);
      if (code != kControl)
        return code;
      switch (In.Bits(CodeSize)) {
      case 1:
        if (CodeSize == kMaxCodeSize)
          Fail();
        ++CodeSize;
        break;
      case 2:
        PartialClear();
        break;
      default:
        Fail();
      }
    }
  }

  bool IsDefined(unsigned code) const { return code < kControl || Prefix[code] != kFree; }

  // The string of the next code into String[Pending..kCodes).
  void DecodeCode() {
    const unsigned code = ReadCode();
    if (!HasPrevious) {
      if (code >= kControl)
        Fail(); // nothing is defined yet
      String[kCodes - 1] = static_cast<uint8_t>(code);
      Pending = kCodes - 1;
      HasPrevious = true;
      Previous = code;
      PreviousFirst = static_cast<uint8_t>(code);
      return;
    }
    const bool room = NextFree < kCodes;
    // A code may be used in the very step that defines it (the KwKwK case): it is then the
    // previous string plus that string's first byte. Defining it ahead covers that, also when it
    // appears inside another code's chain; a code nothing uses yet is not changed by it.
    if (room && IsDefined(Previous)) {
      Prefix[NextFree] = static_cast<uint16_t>(Previous);
      Suffix[NextFree] = PreviousFirst;
    }
    // Walk the prefix chain back to its byte. No valid chain is longer than the table, so a longer
    // one is a loop.
    unsigned at = kCodes;
    unsigned link = code;
    while (link >= kControl) {
      if (link == kControl || Prefix[link] == kFree || at == 1)
        Fail();
      String[--at] = Suffix[link];
      link = Prefix[link];
    }
    String[--at] = static_cast<uint8_t>(link);
    Pending = at;

    const auto first = static_cast<uint8_t>(link);
    if (room) {
      Prefix[NextFree] = static_cast<uint16_t>(Previous);
      Suffix[NextFree] = first;
      FindNextFree(NextFree + 1);
    }
    Previous = code;
    PreviousFirst = first;
  }

  void FindNextFree(unsigned from) {
    NextFree = from;
    while (NextFree < kCodes && Prefix[NextFree] != kFree)
      ++NextFree;
  }

  void PartialClear() {
    std::array<bool, kCodes> isPrefix{};
    for (unsigned code = kFirstString; code < kCodes; ++code)
      if (Prefix[code] != kFree)
        isPrefix[Prefix[code]] = true;
    for (unsigned code = kFirstString; code < kCodes; ++code)
      if (!isPrefix[code])
        Prefix[code] = kFree;
    FindNextFree(kFirstString);
  }

  std::array<uint16_t, kCodes> Prefix; // kFree for codes that are not defined
  std::array<uint8_t, kCodes> Suffix{};
  std::array<uint8_t, kCodes> String{}; // the current string, at the end
  unsigned Pending = kCodes;            // where its bytes not yet given out start
  unsigned CodeSize = 9;
  unsigned NextFree = kFirstString;
  bool HasPrevious = false;
  unsigned Previous = 0;
  uint8_t PreviousFirst = 0;
};

// ---- Reduce ----
//
// The bytes of an LZ77 stream, each coded by the byte before it: when that byte has a follower
// set, a 0 bit and an index into the set, or a 1 bit and the byte itself; without one, the byte.
// The 256 follower sets come first, from that of 255 down to that of 0: 6 bits of count (up to
// 32) and the bytes. In the stream, DLE (144) starts a match: DLE 0 is a plain 144; DLE V [L] W is
// a match whose low 8 - factor bits of V give the length minus 3 (with L added when they are all
// ones) and whose high bits, with W, give the distance minus 1.
class TReduceDecoder final : public TOlderMethodDecoder {
public:
  TReduceDecoder(const TMethodParams& params, unsigned factor)
      : TOlderMethodDecoder(params), LengthBits(8 - factor), LengthMask((1u << (8 - factor)) - 1) {}

private:
  static constexpr uint8_t kDle = 144;
  static constexpr unsigned kMaxFollowers = 32;

  void Produce(uint8_t* out, size_t count) override {
    if (!SetsRead) {
      ReadFollowerSets();
      SetsRead = true;
    }
    size_t done = 0;
    while (done < count) {
      if (CopyLeft > 0) {
        const size_t n = std::min<size_t>(count - done, CopyLeft);
        for (size_t i = 0; i < n; ++i)
          out[done++] = Window.CopyFrom(CopyDistance);
        CopyLeft -= static_cast<unsigned>(n);
        continue;
      }
      const uint8_t byte = NextByte();
      if (byte != kDle) {
        out[done++] = Window.Put(byte);
        continue;
      }
      const uint8_t v = NextByte();
      if (v == 0) {
        out[done++] = Window.Put(kDle);
        continue;
      }
      unsigned length = v & LengthMask;
      if (length == LengthMask)
        length += NextByte();
      const uint8_t w = NextByte();
      CopyDistance = ((static_cast<uint32_t>(v) >> LengthBits) << 8) + w + 1;
      CopyLeft = length + 3;
    }
  }

  void ReadFollowerSets() {
    for (unsigned set = 256; set-- > 0;) {
      const unsigned count = In.Bits(6);
      if (count > kMaxFollowers)
        Fail();
      FollowerCount[set] = static_cast<uint8_t>(count);
      for (unsigned i = 0; i < count; ++i)
        Followers[set][i] = static_cast<uint8_t>(In.Bits(8));
    }
  }

  // Bits of an index into a follower set of count bytes: enough for count - 1, at least 1.
  static unsigned IndexBits(unsigned count) {
    unsigned bits = 1;
    while ((1u << bits) < count)
      ++bits;
    return bits;
  }

  uint8_t NextByte() {
    const unsigned count = FollowerCount[Last];
    if (count == 0 || In.Bits(1) == 1) {
      Last = static_cast<uint8_t>(In.Bits(8));
    } else {
      const unsigned index = In.Bits(IndexBits(count));
      if (index >= count)
        Fail();
      Last = Followers[Last][index];
    }
    return Last;
  }

  const unsigned LengthBits;
  const unsigned LengthMask;
  bool SetsRead = false;
  std::array<std::array<uint8_t, kMaxFollowers>, 256> Followers{};
  std::array<uint8_t, 256> FollowerCount{};
  uint8_t Last = 0;
  TWindow Window;
  unsigned CopyLeft = 0;
  uint32_t CopyDistance = 0;
};

// ---- Implode ----

// A Shannon-Fano tree as implode stores it: a byte holding the number of bytes that follow, minus
// one, then bytes of a bit length (low 4 bits, plus one) and how many symbols in a row have it
// (high 4 bits, plus one). The codes go to the symbols sorted by bit length, longest first,
// counting up from zero, and are read first bit first. That is a canonical prefix code with every
// bit inverted, so it is decoded as one on the inverted bits.
class TShannonFanoTree {
public:
  void Read(TBitInput& in, unsigned symbols) {
    std::array<uint8_t, 256> lengths{};
    const unsigned bytes = in.Bits(8) + 1;
    unsigned filled = 0;
    for (unsigned i = 0; i < bytes; ++i) {
      const unsigned byte = in.Bits(8);
      const unsigned length = (byte & 0x0F) + 1;
      const unsigned run = (byte >> 4) + 1;
      if (run > symbols - filled)
        Fail(); // more lengths than symbols
      for (unsigned k = 0; k < run; ++k)
        lengths[filled++] = static_cast<uint8_t>(length);
    }
    if (filled != symbols)
      Fail();

    Count.fill(0);
    for (unsigned s = 0; s < symbols; ++s)
      ++Count[lengths[s]];
    // Exactly complete: an oversubscribed code is ambiguous, an incomplete one leaves bit strings
    // that stand for nothing.
    int open = 1;
    for (unsigned length = 1; length <= kMaxLength; ++length) {
      open = open * 2 - Count[length];
      if (open < 0)
        Fail(errAmbiguousShannonFanoTree);
    }
    if (open != 0)
      Fail(errAmbiguousShannonFanoTree);

    std::array<uint16_t, kMaxLength + 2> offset{};
    for (unsigned length = 1; length <= kMaxLength; ++length)
      offset[length + 1] = static_cast<uint16_t>(offset[length] + Count[length]);
    for (unsigned s = 0; s < symbols; ++s)
      Symbol[offset[lengths[s]]++] = static_cast<uint8_t>(s);
  }

  unsigned Decode(TBitInput& in) const {
    int code = 0;  // the bits so far
    int first = 0; // the first code of the current length
    int index = 0; // of that code in Symbol
    for (unsigned length = 1; length <= kMaxLength; ++length) {
      code |= static_cast<int>(in.Bits(1) ^ 1);
      const int count = Count[length];
      if (code - first < count)
        return Symbol[index + code - first];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    Fail(); // not reached with a complete code
  }

private:
  static constexpr unsigned kMaxLength = 16;
  std::array<uint16_t, kMaxLength + 1> Count{};
  std::array<uint8_t, 256> Symbol{};
};

// After the trees (literals when flag bit 2 is set, then lengths and distances, 64 symbols each),
// a 1 bit starts a literal: its code in the literal tree, or 8 bits without one. A 0 bit starts a
// match: the low 6 bits of the distance minus 1 (7 with the 8K window), the high 6 from the
// distance tree, then the length minus the minimum match (3 with a literal tree, 2 without) from
// the length tree, plus 8 more bits when that gives 63.
class TImplodeDecoder final : public TOlderMethodDecoder {
public:
  explicit TImplodeDecoder(const TMethodParams& params)
      : TOlderMethodDecoder(params), HasLiteralTree((params.Flags & kFlagImplodeLiterals) != 0),
        DistanceLowBits((params.Flags & kFlagImplode8K) != 0 ? 7 : 6),
        MinMatch(HasLiteralTree ? 3 : 2) {}

private:
  void Produce(uint8_t* out, size_t count) override {
    if (!TreesRead) {
      if (HasLiteralTree)
        Literals.Read(In, 256);
      Lengths.Read(In, 64);
      Distances.Read(In, 64);
      TreesRead = true;
    }
    size_t done = 0;
    while (done < count) {
      if (CopyLeft > 0) {
        const size_t n = std::min<size_t>(count - done, CopyLeft);
        for (size_t i = 0; i < n; ++i)
          out[done++] = Window.CopyFrom(CopyDistance);
        CopyLeft -= static_cast<unsigned>(n);
        continue;
      }
      if (In.Bits(1) == 1) {
        const unsigned literal = HasLiteralTree ? Literals.Decode(In) : In.Bits(8);
        out[done++] = Window.Put(static_cast<uint8_t>(literal));
        continue;
      }
      const uint32_t low = In.Bits(DistanceLowBits);
      const uint32_t high = Distances.Decode(In);
      CopyDistance = (high << DistanceLowBits | low) + 1;
      const unsigned symbol = Lengths.Decode(In);
      CopyLeft = symbol + MinMatch;
      if (symbol == 63)
        CopyLeft += In.Bits(8);
    }
  }

  const bool HasLiteralTree;
  const unsigned DistanceLowBits;
  const unsigned MinMatch;
  bool TreesRead = false;
  TShannonFanoTree Literals;
  TShannonFanoTree Lengths;
  TShannonFanoTree Distances;
  TWindow Window;
  unsigned CopyLeft = 0;
  uint32_t CopyDistance = 0;
};

} // namespace

std::unique_ptr<TMethodDecoder> MakeShrinkDecoder(const TMethodParams& params) {
  if (params.Method != 1)
    return nullptr;
  return std::make_unique<TShrinkDecoder>(params);
}

std::unique_ptr<TMethodDecoder> MakeReduceDecoder(const TMethodParams& params) {
  if (params.Method < 2 || params.Method > 5)
    return nullptr;
  return std::make_unique<TReduceDecoder>(params, params.Method - 1);
}

std::unique_ptr<TMethodDecoder> MakeImplodeDecoder(const TMethodParams& params) {
  if (params.Method != 6)
    return nullptr;
  return std::make_unique<TImplodeDecoder>(params);
}

uint32_t TCrc32::Update(uint32_t crc, const uint8_t* data, size_t count) {
  return static_cast<uint32_t>(crc32_z(crc, data, count));
}

} // namespace corvane::archive::zip
