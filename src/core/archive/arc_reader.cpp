// The ARC and PAK reader. An archive is a plain sequence of members, each a header followed by its
// packed bytes:
//
//   0x1A, method, name (13 bytes, NUL-terminated), packed size (4), DOS date (2), DOS time (2),
//   CRC-16 (2), original size (4; absent for method 1)
//
// and ends with 0x1A 0x00. Numbers are little-endian. The methods:
//
//   1, 2   stored (1 has the short header)
//   3      packed: run-length coding with the escape byte 0x90
//   4      squeezed: Huffman coding of the packed bytes
//   5      crunched: LZW with fixed 12-bit codes, table places found by hashing
//   6, 7   the same over packed bytes; 7 with the faster hash
//   8      crunched: LZW with 9- to 12-bit codes and table resets, over packed bytes
//   9      squashed: the same with up to 13-bit codes, without run-length coding
//   10     crushed (PAK): LZW with up to 13-bit codes whose table, once full, reuses its least
//          used strings
//   11     distilled (PAK): LZ77 over an 8 KiB window with a stored Huffman code
//
// Later versions add records that are not files: methods 20 to 29 (and anything from 32 on) carry
// comments and other information and are skipped by their packed size; method 30 is a
// subdirectory whose packed bytes are themselves a sequence of members, closed by 0x1A 0x00 or
// 0x1A 0x1F (its entries are listed under the folder's name). Names are DOS names in the archive's
// code page; ARC stores no attributes.
#include "archive/archive_format.h"
#include "archive/crc16.h"
#include "archive/packed_input.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace corvane::archive {
namespace {

constexpr uint8_t kMarker = 0x1A;
constexpr size_t kOldHeaderSize = 25; // method 1 lacks the original size
constexpr size_t kHeaderSize = 29;
constexpr size_t kNameSize = 13;

constexpr uint8_t kEnd = 0;
constexpr uint8_t kStoredOld = 1;
constexpr uint8_t kStored = 2;
constexpr uint8_t kPacked = 3;
constexpr uint8_t kSqueezed = 4;
constexpr uint8_t kCrunchedBare = 5;
constexpr uint8_t kCrunchedPacked = 6;
constexpr uint8_t kCrunchedFastHash = 7;
constexpr uint8_t kCrunched = 8;
constexpr uint8_t kSquashed = 9;
constexpr uint8_t kCrushed = 10;
constexpr uint8_t kDistilled = 11;
constexpr uint8_t kFirstInformation = 20;
constexpr uint8_t kFolder = 30;
constexpr uint8_t kFolderEnd = 31;

constexpr size_t kMaxFolderDepth = 32;
constexpr uint8_t kRunEscape = 0x90;

// ---- Packed bytes ----

// Bits of the packed bytes, each byte's lowest bit first.
class TLowBits {
public:
  explicit TLowBits(TPackedInput& input) : Input(input) {}

  // count bits (at most 24), the first one read in the lowest place; -1 when the bytes end first.
  int32_t Get(int count) {
    while (Count < count) {
      const int byte = Input.Next();
      if (byte < 0)
        return -1;
      Bits |= static_cast<uint32_t>(byte) << Count;
      Count += 8;
    }
    const uint32_t value = Bits & ((uint32_t{1} << count) - 1);
    Bits >>= count;
    Count -= count;
    return static_cast<int32_t>(value);
  }

  bool Skip(uint64_t count) {
    for (; count > 16; count -= 16)
      if (Get(16) < 0)
        return false;
    return Get(static_cast<int>(count)) >= 0;
  }

private:
  TPackedInput& Input;
  uint32_t Bits = 0;
  int Count = 0;
};

// ---- Decoding stages ----

// One step of a method: the bytes of the member after it. Methods that run-length code before
// compressing put a TRunLengthStage after their own.
class TStage {
public:
  virtual ~TStage() = default;
  // Up to count bytes (count > 0); 0 when the stream has ended; -1 on a fault, with fault set.
  virtual ptrdiff_t Produce(uint8_t* out, size_t count, int& fault) = 0;
};

// Output strings that did not fit into the caller's buffer wait here.
class TPending {
public:
  explicit TPending(size_t capacity) : Bytes(capacity) {}
  bool Empty() const { return Begin == End; }
  // Moves what fits to out; returns the number moved.
  size_t Drain(uint8_t* out, size_t room) {
    const size_t n = std::min(room, End - Begin);
    std::memcpy(out, &Bytes[Begin], n);
    Begin += n;
    return n;
  }
  // A string is written from its end towards its start: Reset, then Prepend byte by byte.
  void Reset() { Begin = End = Bytes.size(); }
  bool Prepend(uint8_t byte) {
    if (Begin == 0)
      return false;
    Bytes[--Begin] = byte;
    return true;
  }
  uint8_t First() const { return Bytes[Begin]; }
  // Replaces the last byte (used for the string that ends in its own first byte).
  void SetLast(uint8_t byte) { Bytes[End - 1] = byte; }

private:
  std::vector<uint8_t> Bytes;
  size_t Begin = 0;
  size_t End = 0;
};

// The output loop of the stages that decode one code at a time: waiting bytes first, then the
// string of the next code, until count bytes are out or the stream ends. `next` gives the next
// code, negative at the end of the stream; `decode` puts a code's string into `pending`, false on
// a fault.
template <class TNext, class TDecode>
ptrdiff_t ProduceByCodes(TPending& pending, bool& ended, uint8_t* out, size_t count, int& fault,
                         TNext next, TDecode decode) {
  size_t done = 0;
  while (done < count) {
    if (!pending.Empty()) {
      done += pending.Drain(out + done, count - done);
      continue;
    }
    if (ended)
      break;
    const int32_t code = next();
    if (code < 0) {
      ended = true;
      break;
    }
    if (!decode(code, fault))
      return -1;
  }
  return static_cast<ptrdiff_t>(done);
}

class TStoredStage final : public TStage {
public:
  explicit TStoredStage(TPackedInput& input) : Input(input) {}
  ptrdiff_t Produce(uint8_t* out, size_t count, int&) override {
    return static_cast<ptrdiff_t>(Input.Read(out, count));
  }

private:
  TPackedInput& Input;
};

// Run-length decoding: 0x90 n repeats the last byte until it has appeared n times in all; 0x90 0
// stands for 0x90 itself, which does not become the byte a later run repeats.
class TRunLengthStage final : public TStage {
public:
  explicit TRunLengthStage(std::unique_ptr<TStage> upstream)
      : Upstream(std::move(upstream)), In(8192) {}

  ptrdiff_t Produce(uint8_t* out, size_t count, int& fault) override {
    size_t done = 0;
    while (done < count) {
      if (Repeat > 0) {
        const size_t n = std::min<size_t>(Repeat, count - done);
        std::memset(out + done, Last, n);
        done += n;
        Repeat -= static_cast<uint32_t>(n);
        continue;
      }
      if (InCursor == InFilled) {
        if (UpstreamEnded)
          break;
        const ptrdiff_t got = Upstream->Produce(In.data(), In.size(), fault);
        if (got < 0)
          return -1;
        if (got == 0) {
          UpstreamEnded = true;
          break;
        }
        InCursor = 0;
        InFilled = static_cast<size_t>(got);
        continue;
      }
      const uint8_t c = In[InCursor++];
      if (Escaped) {
        Escaped = false;
        if (c == 0)
          out[done++] = kRunEscape;
        else
          Repeat = c - 1u;
      } else if (c == kRunEscape) {
        Escaped = true;
      } else {
        out[done++] = Last = c;
      }
    }
    return static_cast<ptrdiff_t>(done);
  }

private:
  std::unique_ptr<TStage> Upstream;
  std::vector<uint8_t> In;
  size_t InCursor = 0;
  size_t InFilled = 0;
  bool UpstreamEnded = false;
  bool Escaped = false;
  uint8_t Last = 0;
  uint32_t Repeat = 0;
};

// Squeezed: a node count, that many nodes of two 16-bit children (a child >= 0 is a node, a
// child < 0 is the leaf -(value + 1)), then the codes; leaf 256 ends the stream.
class TSqueezeStage final : public TStage {
public:
  explicit TSqueezeStage(TPackedInput& input) : Input(input), Bits(input) {}

  ptrdiff_t Produce(uint8_t* out, size_t count, int& fault) override {
    if (!Started && !ReadTree(fault))
      return -1;
    size_t done = 0;
    while (done < count && !Ended) {
      int node = 0;
      int16_t child = 0;
      for (;;) {
        const int32_t bit = Bits.Get(1);
        if (bit < 0) {
          Ended = true;
          return static_cast<ptrdiff_t>(done);
        }
        child = Nodes[static_cast<size_t>(node)][static_cast<size_t>(bit)];
        if (child < 0)
          break;
        node = child;
      }
      const int value = -(child + 1);
      if (value == kEndOfStream) {
        Ended = true;
        break;
      }
      out[done++] = static_cast<uint8_t>(value);
    }
    return static_cast<ptrdiff_t>(done);
  }

private:
  static constexpr int kEndOfStream = 256;
  static constexpr int kMaxNodes = 256;

  int32_t Read16() {
    const int low = Input.Next();
    const int high = low < 0 ? -1 : Input.Next();
    return high < 0 ? -1 : low | high << 8;
  }

  bool ReadTree(int& fault) {
    Started = true;
    const int32_t count = Read16();
    if (count < 0) {
      Ended = true; // no bytes at all: an empty stream
      return true;
    }
    if (count > kMaxNodes) {
      fault = errCorruptInput;
      return false;
    }
    // With no nodes the tree is a root whose both children end the stream.
    Nodes[0][0] = Nodes[0][1] = static_cast<int16_t>(-(kEndOfStream + 1));
    for (int32_t i = 0; i < count; ++i) {
      for (int side = 0; side < 2; ++side) {
        const int32_t raw = Read16();
        if (raw < 0) {
          fault = errUnexpectedEof;
          return false;
        }
        const auto child = static_cast<int16_t>(static_cast<uint16_t>(raw));
        if (child >= count || child < -(kEndOfStream + 1)) {
          fault = errCorruptInput;
          return false;
        }
        Nodes[static_cast<size_t>(i)][static_cast<size_t>(side)] = child;
      }
    }
    return true;
  }

  TPackedInput& Input;
  TLowBits Bits;
  std::array<std::array<int16_t, 2>, kMaxNodes> Nodes{};
  bool Started = false;
  bool Ended = false;
};

// The older crunching: 12-bit codes, two to three bytes with the high bits first. The table has
// 4096 places; a string's place comes from a hash of its prefix's code and its last byte, the
// collisions chained and then searched linearly from 101 places further on. The first 256 places
// taken are the single bytes (their prefix is "none", 0xFFFF). A code not yet in the table is the
// previous string followed by its own first byte.
class TOldCrunchStage final : public TStage {
public:
  TOldCrunchStage(TPackedInput& input, bool fastHash)
      : Input(input), FastHash(fastHash), Pending(kTableSize + 2) {
    for (unsigned byte = 0; byte < 256; ++byte)
      Add(kNone, static_cast<uint8_t>(byte));
    Pending.Reset();
  }

  ptrdiff_t Produce(uint8_t* out, size_t count, int& fault) override {
    return ProduceByCodes(
        Pending, Ended, out, count, fault, [this] { return NextCode(); },
        [this](int32_t code, int& error) { return Decode(code, error); });
  }

private:
  static constexpr int kTableSize = 4096;
  static constexpr int kNone = -1;

  struct TSlot {
    int16_t Parent = kNone;
    uint16_t Next = 0; // the next place of the collision chain; 0 ends it
    uint8_t Byte = 0;
    bool Used = false;
  };

  int NextCode() {
    if (HalfByte < 0) {
      const int high = Input.Next();
      const int low = high < 0 ? -1 : Input.Next();
      if (low < 0)
        return -1;
      HalfByte = low & 0x0F;
      return high << 4 | low >> 4;
    }
    const int low = Input.Next();
    const int high = HalfByte;
    HalfByte = -1;
    return low < 0 ? -1 : high << 8 | low;
  }

  unsigned Hash(int parent, uint8_t byte) const {
    // The arithmetic of the 16-bit original.
    const uint32_t key = (static_cast<uint32_t>(parent) + byte) & 0xFFFF;
    if (FastHash)
      return (key * 15073u) & 0x0FFF;
    const uint32_t mixed = key | 0x0800;
    return ((mixed * mixed) >> 6) & 0x0FFF;
  }

  // Only called while FreeCodes > 0, so a free place exists and the search ends.
  void Add(int parent, uint8_t byte) {
    unsigned place = Hash(parent, byte);
    if (Table[place].Used) {
      // A chain only ever links to places taken later, so it ends.
      while (Table[place].Next != 0)
        place = Table[place].Next;
      unsigned free = (place + 101) & 0x0FFF;
      while (Table[free].Used)
        free = (free + 1) & 0x0FFF;
      Table[place].Next = static_cast<uint16_t>(free);
      place = free;
    }
    Table[place] = {static_cast<int16_t>(parent), 0, byte, true};
    --FreeCodes;
  }

  bool Decode(int code, int& fault) {
    Pending.Reset();
    if (Last == kNone) {
      // The first code is a single byte.
      if (!Table[static_cast<size_t>(code)].Used ||
          Table[static_cast<size_t>(code)].Parent != kNone) {
        fault = errCorruptInput;
        return false;
      }
      LastByte = Table[static_cast<size_t>(code)].Byte;
      Pending.Prepend(LastByte);
      Last = code;
      return true;
    }
    int walk = code;
    if (!Table[static_cast<size_t>(code)].Used) {
      walk = Last;
      Pending.Prepend(LastByte);
    }
    // Strings are chains of parents; a chain longer than the table is a loop of a broken stream.
    while (Table[static_cast<size_t>(walk)].Parent != kNone) {
      if (!Pending.Prepend(Table[static_cast<size_t>(walk)].Byte)) {
        fault = errCorruptInput;
        return false;
      }
      walk = Table[static_cast<size_t>(walk)].Parent;
    }
    const uint8_t first = Table[static_cast<size_t>(walk)].Byte;
    if (!Pending.Prepend(first)) {
      fault = errCorruptInput;
      return false;
    }
    if (FreeCodes > 0)
      Add(Last, first);
    Last = code;
    LastByte = first;
    return true;
  }

  TPackedInput& Input;
  bool FastHash;
  std::array<TSlot, kTableSize> Table{};
  int FreeCodes = kTableSize;
  int HalfByte = -1; // the low half of a byte shared by two codes
  int Last = kNone;
  uint8_t LastByte = 0;
  TPending Pending;
  bool Ended = false;
};

// The LZW of methods 8 and 9: codes of 9 bits growing to the maximum, low bits first; code 256
// clears the table. Codes come in groups of eight (a group is as many bytes as a code has bits);
// after a clear the rest of the group is padding.
class TLzwStage final : public TStage {
public:
  TLzwStage(TPackedInput& input, int maxBits, bool bitsByte)
      : Input(input), Bits(input), MaxCodes(1 << maxBits), MaxBits(maxBits), BitsByte(bitsByte),
        Parent(static_cast<size_t>(MaxCodes)), Byte(static_cast<size_t>(MaxCodes)),
        Pending(static_cast<size_t>(MaxCodes) + 2) {
    for (int i = 0; i < 256; ++i)
      Byte[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    Pending.Reset();
  }

  ptrdiff_t Produce(uint8_t* out, size_t count, int& fault) override {
    if (!Started) {
      Started = true;
      if (BitsByte) {
        // Crunched members name their maximum code size first; only 12 was ever written.
        const int stated = Input.Next();
        if (stated < 0)
          Ended = true;
        else if (stated != MaxBits) {
          fault = errCorruptInput;
          return -1;
        }
      }
    }
    return ProduceByCodes(
        Pending, Ended, out, count, fault, [this] { return NextCode(); },
        [this](int32_t code, int& error) { return Decode(code, error); });
  }

private:
  static constexpr int kClear = 256;
  static constexpr int kFirstFree = 257;

  int32_t NextCode() {
    for (;;) {
      const int32_t code = Bits.Get(CodeBits);
      if (code < 0)
        return -1;
      ++CodesInGroup;
      if (code != kClear)
        return code;
      if (CodesInGroup % 8 != 0 &&
          !Bits.Skip(static_cast<uint64_t>(CodeBits) * (8 - CodesInGroup % 8)))
        return -1;
      CodesInGroup = 0;
      CodeBits = 9;
      Count = kFirstFree;
      Previous = -1;
    }
  }

  bool Decode(int32_t code, int& fault) {
    Pending.Reset();
    if (Previous < 0) {
      if (code >= 256) {
        fault = errCorruptInput;
        return false;
      }
      Pending.Prepend(static_cast<uint8_t>(code));
      Previous = code;
      return true;
    }
    // Parents always have lower codes than their children, so the walks end.
    int32_t walk = code;
    if (code >= Count) {
      if (code != Count || Count == MaxCodes) {
        fault = errCorruptInput;
        return false;
      }
      walk = Previous;
      Pending.Prepend(0); // the first byte, set below
    }
    while (walk >= 256) {
      Pending.Prepend(Byte[static_cast<size_t>(walk)]);
      walk = Parent[static_cast<size_t>(walk)];
    }
    Pending.Prepend(static_cast<uint8_t>(walk));
    const uint8_t first = Pending.First();
    if (code == Count)
      Pending.SetLast(first);
    if (Count < MaxCodes) {
      Parent[static_cast<size_t>(Count)] = static_cast<uint16_t>(Previous);
      Byte[static_cast<size_t>(Count)] = first;
      ++Count;
      if (Count < MaxCodes && (Count & (Count - 1)) == 0)
        ++CodeBits;
    }
    Previous = code;
    return true;
  }

  TPackedInput& Input;
  TLowBits Bits;
  int32_t MaxCodes;
  int MaxBits;
  bool BitsByte;
  std::vector<uint16_t> Parent;
  std::vector<uint8_t> Byte;
  TPending Pending;
  int32_t Count = kFirstFree;
  int32_t Previous = -1;
  int CodeBits = 9;
  uint64_t CodesInGroup = 0;
  bool Started = false;
  bool Ended = false;
};

// Crushed: LZW with codes of up to 13 bits, low bits first; code 256 ends the stream. While
// literals are frequent (fewer than 375 strings among the last 500 codes) each code is led by a
// bit: 0 for an 8-bit literal, 1 for a string code of the current size counted from 256. Otherwise
// all codes have the current size and literals are stored with their bits inverted. The current
// size grows with the table; the point depends on the mode. Every code marks its string and the
// string's prefixes as recently used (4); a new string starts at 2. Once all 8192 places are
// taken, the next string replaces the least used one found by a sweep that ages each place it
// passes and stops at the first place that comes to 0.
class TCrushStage final : public TStage {
public:
  explicit TCrushStage(TPackedInput& input) : Bits(input), Pending(kMaxCodes + 2) {
    Parent.fill(-1);
    for (int i = 0; i < 256; ++i)
      Byte[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    Pending.Reset();
  }

  ptrdiff_t Produce(uint8_t* out, size_t count, int& fault) override {
    return ProduceByCodes(
        Pending, Ended, out, count, fault,
        [this] {
          const int32_t code = NextCode();
          return code == kEndOfStream ? -1 : code;
        },
        [this](int32_t code, int& error) { return Decode(code, error); });
  }

private:
  static constexpr int kMaxCodes = 8192;
  static constexpr int kEndOfStream = 256;
  static constexpr int kFirstFree = 257;
  static constexpr int kWindow = 500;
  static constexpr int kManyStrings = 375;

  int32_t NextCode() {
    if (LiteralBit) {
      const int32_t isString = Bits.Get(1);
      if (isString < 0)
        return -1;
      if (isString == 0)
        return Bits.Get(8);
      const int32_t code = Bits.Get(CodeBits);
      return code < 0 ? -1 : code + 256;
    }
    const int32_t code = Bits.Get(CodeBits);
    return code < 0 ? -1 : code < 256 ? code ^ 0xFF : code;
  }

  // The first byte of a string; false when the parents loop.
  bool FirstByte(int32_t code, uint8_t& first) const {
    for (int steps = 0; Parent[static_cast<size_t>(code)] >= 0; ++steps) {
      if (steps > kMaxCodes)
        return false;
      code = Parent[static_cast<size_t>(code)];
    }
    first = Byte[static_cast<size_t>(code)];
    return true;
  }

  bool Decode(int32_t code, int& fault) {
    const bool full = Count == kMaxCodes;
    if (Previous < 0 ? code >= 256 : full ? code >= kMaxCodes : code > Count) {
      fault = errCorruptInput;
      return false;
    }
    // A code not yet in the table has no parents to mark.
    int steps = 0;
    for (int32_t mark = code; mark >= 0; mark = Parent[static_cast<size_t>(mark)]) {
      if (++steps > kMaxCodes) {
        fault = errCorruptInput;
        return false;
      }
      Usage[static_cast<size_t>(mark)] = 4;
    }

    if (Recent[static_cast<size_t>(RingIndex)])
      --RecentStrings;
    Recent[static_cast<size_t>(RingIndex)] = code >= 256;
    if (code >= 256)
      ++RecentStrings;
    RingIndex = (RingIndex + 1) % kWindow;
    const bool manyLiterals = RecentStrings < kManyStrings;
    if (manyLiterals != LiteralBit) {
      LiteralBit = manyLiterals;
      SetNextGrowth();
    }

    if (Previous >= 0) {
      const int32_t place = full ? LeastUsed() : Count;
      Parent[static_cast<size_t>(place)] = static_cast<int16_t>(Previous);
      uint8_t first = 0;
      // For a new code the string is the previous one and its own first byte; a replaced place
      // may be the code itself, which then reads the same way.
      if (!FirstByte(code == Count && !full ? Previous : code, first)) {
        fault = errCorruptInput;
        return false;
      }
      Byte[static_cast<size_t>(place)] = first;
      Usage[static_cast<size_t>(place)] = 2;
      if (!full)
        ++Count;
    }
    Previous = code;

    Pending.Reset();
    steps = 0;
    for (int32_t walk = code; walk >= 0; walk = Parent[static_cast<size_t>(walk)]) {
      if (++steps > kMaxCodes || !Pending.Prepend(Byte[static_cast<size_t>(walk)])) {
        fault = errCorruptInput;
        return false;
      }
    }
    if (Count - kFirstFree >= NextGrowth) {
      ++CodeBits;
      SetNextGrowth();
    }
    return true;
  }

  void SetNextGrowth() {
    NextGrowth = 1 << CodeBits;
    if (!LiteralBit)
      NextGrowth -= 256;
  }

  int32_t LeastUsed() {
    int32_t least = Sweep;
    int lowest = 256;
    int32_t place = Sweep;
    do {
      if (++place == kMaxCodes)
        place = kFirstFree;
      uint8_t& usage = Usage[static_cast<size_t>(place)];
      if (usage < lowest) {
        least = place;
        lowest = usage;
      }
      if (--usage == 0)
        break;
    } while (place != Sweep);
    Sweep = place;
    return least;
  }

  TLowBits Bits;
  std::array<int16_t, kMaxCodes> Parent{};
  std::array<uint8_t, kMaxCodes> Byte{};
  std::array<uint8_t, kMaxCodes> Usage{};
  std::array<bool, kWindow> Recent{};
  TPending Pending;
  int32_t Count = kFirstFree;
  int32_t Previous = -1;
  int CodeBits = 1;
  int NextGrowth = 2;
  bool LiteralBit = true;
  int RecentStrings = 0;
  int RingIndex = 0;
  int32_t Sweep = kFirstFree;
  bool Ended = false;
};

// Distilled: a node count (16 bits), a width (8 bits), then that many nodes of that many bits
// (low bits first, as everything after). Nodes come in pairs; the root pair is the last one. A
// node below the count is the index of another pair, from the count on it is a symbol: a literal,
// 256 for the end, or a match of length symbol - 254. A match's distance is a 6-bit class from a
// fixed code followed by as many low bits as the output so far makes useful (0 at the start, 7
// from 4036 bytes on).
class TDistillStage final : public TStage {
public:
  explicit TDistillStage(TPackedInput& input) : Input(input), Bits(input) {}

  ptrdiff_t Produce(uint8_t* out, size_t count, int& fault) override {
    if (!Started && !ReadTree(fault))
      return -1;
    size_t done = 0;
    while (done < count) {
      if (MatchLeft > 0) {
        const uint8_t byte = Window[static_cast<size_t>(Position - Distance) & kWindowMask];
        Emit(out[done++] = byte);
        --MatchLeft;
        continue;
      }
      if (Ended)
        break;
      int32_t symbol = NodeCount - 2;
      for (;;) {
        const int32_t bit = Bits.Get(1);
        if (bit < 0) {
          Ended = true;
          return static_cast<ptrdiff_t>(done);
        }
        if (symbol + bit >= NodeCount) {
          fault = errCorruptInput;
          return -1;
        }
        symbol = Nodes[static_cast<size_t>(symbol + bit)];
        if (symbol >= NodeCount)
          break;
      }
      symbol -= NodeCount;
      if (symbol < 256) {
        Emit(out[done++] = static_cast<uint8_t>(symbol));
        continue;
      }
      if (symbol == kEndOfStream) {
        Ended = true;
        break;
      }
      if (symbol >= kSymbols) {
        fault = errCorruptInput;
        return -1;
      }
      const int32_t distanceClass = NextDistanceClass();
      const int extraBits = ExtraBits();
      const int32_t extra = distanceClass < 0 ? -1 : Bits.Get(extraBits);
      if (extra < 0) {
        Ended = true;
        return static_cast<ptrdiff_t>(done);
      }
      // Distances reach at most the window; before the start the window holds zeros.
      Distance =
          (static_cast<uint64_t>(distanceClass) << extraBits) + static_cast<uint64_t>(extra) + 1;
      MatchLeft = static_cast<uint32_t>(symbol - 0x101 + 3);
    }
    return static_cast<ptrdiff_t>(done);
  }

private:
  static constexpr int kEndOfStream = 256;
  static constexpr int kSymbols = 0x13A;         // literals, the end and the match lengths 3..59
  static constexpr int kMaxNodes = 2 * kSymbols; // a full binary tree over all symbols
  static constexpr size_t kWindowSize = 8192;
  static constexpr size_t kWindowMask = kWindowSize - 1;

  void Emit(uint8_t byte) { Window[static_cast<size_t>(Position++) & kWindowMask] = byte; }

  bool ReadTree(int& fault) {
    Started = true;
    const int low = Input.Next();
    const int high = low < 0 ? -1 : Input.Next();
    const int width = high < 0 ? -1 : Input.Next();
    if (low < 0) {
      Ended = true; // no bytes at all: an empty stream
      return true;
    }
    if (width < 0) {
      fault = errUnexpectedEof;
      return false;
    }
    NodeCount = low | high << 8;
    // Node values stay below NodeCount + kSymbols, under 1024: no tree has wider fields than 16.
    if (NodeCount < 2 || NodeCount > kMaxNodes || width > 16) {
      fault = errCorruptInput;
      return false;
    }
    for (int32_t i = 0; i < NodeCount; ++i) {
      const int32_t value = Bits.Get(width);
      if (value < 0) {
        fault = errUnexpectedEof;
        return false;
      }
      Nodes[static_cast<size_t>(i)] = value;
    }
    return true;
  }

  // The distance classes' code: class i has the code kDistanceCodes[i] of kDistanceLengths[i]
  // bits, its first bit in the lowest place.
  int32_t NextDistanceClass() {
    static constexpr std::array<uint8_t, 64> kDistanceLengths = {
        3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
        6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
        7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
    static constexpr std::array<uint8_t, 64> kDistanceCodes = {
        0x00, 0x02, 0x04, 0x0c, 0x01, 0x06, 0x0a, 0x0e, 0x11, 0x16, 0x1a, 0x1e, 0x05,
        0x09, 0x0d, 0x15, 0x19, 0x1d, 0x25, 0x29, 0x2d, 0x35, 0x39, 0x3d, 0x03, 0x07,
        0x0b, 0x13, 0x17, 0x1b, 0x23, 0x27, 0x2b, 0x33, 0x37, 0x3b, 0x43, 0x47, 0x4b,
        0x53, 0x57, 0x5b, 0x63, 0x67, 0x6b, 0x73, 0x77, 0x7b, 0x0f, 0x1f, 0x2f, 0x3f,
        0x4f, 0x5f, 0x6f, 0x7f, 0x8f, 0x9f, 0xaf, 0xbf, 0xcf, 0xdf, 0xef, 0xff};
    uint32_t code = 0;
    for (int length = 1; length <= 8; ++length) {
      const int32_t bit = Bits.Get(1);
      if (bit < 0)
        return -1;
      code |= static_cast<uint32_t>(bit) << (length - 1);
      for (size_t i = 0; i < kDistanceCodes.size(); ++i)
        if (kDistanceLengths[i] == length && kDistanceCodes[i] == code)
          return static_cast<int32_t>(i);
    }
    return -1; // the code is complete: eight bits always name a class
  }

  int ExtraBits() const {
    static constexpr std::array<uint64_t, 7> kFrom = {0x40 - 0x3c,  0x80 - 0x3c,  0x100 - 0x3c,
                                                      0x200 - 0x3c, 0x400 - 0x3c, 0x800 - 0x3c,
                                                      0x1000 - 0x3c};
    int bits = 0;
    while (bits < 7 && Position >= kFrom[static_cast<size_t>(bits)])
      ++bits;
    return bits;
  }

  TPackedInput& Input;
  TLowBits Bits;
  std::array<int32_t, kMaxNodes> Nodes{};
  int32_t NodeCount = 0;
  std::array<uint8_t, kWindowSize> Window{};
  uint64_t Position = 0; // bytes put out so far
  uint64_t Distance = 0;
  uint32_t MatchLeft = 0;
  bool Started = false;
  bool Ended = false;
};

// The stages of a method, or nullptr when the method is not supported.
std::unique_ptr<TStage> MakeStages(uint32_t method, TPackedInput& input) {
  const auto packed = [](std::unique_ptr<TStage> stage) {
    return std::make_unique<TRunLengthStage>(std::move(stage));
  };
  switch (method) {
  case kStoredOld:
  case kStored:
    return std::make_unique<TStoredStage>(input);
  case kPacked:
    return packed(std::make_unique<TStoredStage>(input));
  case kSqueezed:
    return packed(std::make_unique<TSqueezeStage>(input));
  case kCrunchedBare:
    return std::make_unique<TOldCrunchStage>(input, false);
  case kCrunchedPacked:
    return packed(std::make_unique<TOldCrunchStage>(input, false));
  case kCrunchedFastHash:
    return packed(std::make_unique<TOldCrunchStage>(input, true));
  case kCrunched:
    return packed(std::make_unique<TLzwStage>(input, 12, true));
  case kSquashed:
    return std::make_unique<TLzwStage>(input, 13, false);
  case kCrushed:
    return std::make_unique<TCrushStage>(input);
  case kDistilled:
    return std::make_unique<TDistillStage>(input);
  default:
    return nullptr;
  }
}

class TArcEntryData final : public TEntryData {
public:
  TArcEntryData(std::unique_ptr<TPackedInput> input, uint32_t method, uint64_t size, uint16_t crc)
      : Input(std::move(input)), Stages(MakeStages(method, *Input)), Size(size), ExpectedCrc(crc) {}
  bool Valid() const { return Stages != nullptr; }

  ptrdiff_t Read(uint8_t* buffer, size_t count) override {
    if (Fault != errNone)
      return -1;
    if (Ended || count == 0)
      return 0;
    if (Produced == Size)
      return CheckEnd();
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, Size - Produced));
    const ptrdiff_t got = Produce(buffer, wanted);
    if (got <= 0) {
      Ended = got == 0;
      return got;
    }
    Crc = Crc16(Crc, buffer, static_cast<size_t>(got));
    Produced += static_cast<uint64_t>(got);
    return got;
  }

  int Finish() override {
    if (!Ended && Fault == errNone)
      ReadRest();
    if (Fault != errNone)
      return Fault;
    if (Produced != Size)
      return errUnexpectedEof;
    return Crc == ExpectedCrc ? errNone : errCrc;
  }

private:
  // The stages' bytes; a source that ended early or failed is the fault whatever they made of it.
  ptrdiff_t Produce(uint8_t* buffer, size_t count) {
    const ptrdiff_t got = Stages->Produce(buffer, count, Fault);
    if (Input->Fault() != errNone)
      Fault = Input->Fault();
    else if (got < 0 && Fault == errNone)
      Fault = errCorruptInput;
    return Fault != errNone ? -1 : got;
  }

  // All stated bytes are out: the stream must end here, not go on beyond the member's size.
  ptrdiff_t CheckEnd() {
    uint8_t probe = 0;
    const ptrdiff_t got = Produce(&probe, 1);
    if (got < 0)
      return -1;
    if (got > 0) {
      Fault = errCorruptInput;
      return -1;
    }
    Ended = true;
    return 0;
  }

  std::unique_ptr<TPackedInput> Input;
  std::unique_ptr<TStage> Stages;
  uint64_t Size;
  uint16_t ExpectedCrc;
  uint64_t Produced = 0;
  uint16_t Crc = 0;
  bool Ended = false;
};

// ---- The archive ----

class TArcReader final : public TFormatReader {
public:
  TArcReader(TByteSource& source, const TFormatOptions& options)
      : Source(source), CodePage(options.CodePage), Position(options.StartOffset) {
    uint8_t marker = 0;
    if (Position >= Source.Size() || !Source.ReadExact(Position, &marker, 1) || marker != kMarker)
      throw EArchiveError(errHeaderNotFound);
  }

  bool Next(TArcEntry& entry) override {
    if (Done)
      return false;
    try {
      return NextEntry(entry);
    } catch (const EArchiveError&) {
      Done = true; // nothing after a broken record can be trusted
      throw;
    }
  }
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  bool NextEntry(TArcEntry& entry);

  // A subdirectory being read: its members lie before End.
  struct TFolderScope {
    uint64_t End;
    std::string Prefix; // "NAME/" of this folder and those around it
    bool Cut;           // its stated size went past the end of what holds it
  };

  uint64_t Limit() const { return Folders.empty() ? Source.Size() : Folders.back().End; }
  // Leaves the innermost folder, its members all read.
  void CloseFolder() {
    const bool cut = Folders.back().Cut;
    Position = Folders.back().End;
    Folders.pop_back();
    if (cut)
      throw EArchiveError(errUnexpectedEof);
  }

  TByteSource& Source;
  std::string CodePage;
  uint64_t Position;
  uint64_t Index = 0;
  std::vector<TFolderScope> Folders;
  bool Done = false;
  int PendingFault = errNone; // found after the last entry returned, thrown by the next call
};

bool TArcReader::NextEntry(TArcEntry& entry) {
  if (PendingFault != errNone)
    throw EArchiveError(PendingFault);
  while (!Done) {
    const uint64_t limit = Limit();
    if (Position >= limit) {
      // Members may end without their end marker: the archive at the end of the source, a folder
      // at the end of its stated size.
      if (Folders.empty()) {
        Done = true;
        break;
      }
      CloseFolder();
      continue;
    }
    uint8_t header[kHeaderSize];
    const uint64_t available = limit - Position;
    if (!Source.ReadExact(Position, header, static_cast<size_t>(std::min<uint64_t>(available, 2))))
      throw EArchiveError(errReadFile);
    if (header[0] != kMarker)
      throw EArchiveError(errBadFileHeader);
    if (available < 2)
      throw EArchiveError(errUnexpectedEof);
    const uint8_t method = header[1];
    if (method == kEnd || method == kFolderEnd) {
      if (Folders.empty()) {
        Done = true;
        break;
      }
      CloseFolder();
      continue;
    }
    const size_t headerSize = method == kStoredOld ? kOldHeaderSize : kHeaderSize;
    if (available < headerSize)
      throw EArchiveError(errUnexpectedEof);
    if (!Source.ReadExact(Position, header, headerSize))
      throw EArchiveError(errReadFile);
    const uint64_t packedSize = Le32(header + 15);
    const uint64_t dataStart = Position + headerSize;
    const bool cut = packedSize > limit - dataStart;
    const uint64_t dataEnd = cut ? limit : dataStart + packedSize;

    if (method >= kFirstInformation && method != kFolder) {
      // Comments and other information: nothing to list.
      if (cut)
        throw EArchiveError(errUnexpectedEof);
      Position = dataEnd;
      continue;
    }

    const auto* rawName = reinterpret_cast<const char*>(header + 2);
    const std::string_view name(rawName, strnlen(rawName, kNameSize));
    entry = TArcEntry{};
    entry.Index = Index++;
    entry.Offset = Position;
    entry.Name = Folders.empty() ? std::string() : Folders.back().Prefix;
    std::string decoded = DecodeDosName(name, CodePage);
    // After decoding: in some DOS code pages "\" is also the second byte of a character.
    std::replace(decoded.begin(), decoded.end(), '\\', '/');
    entry.Name += decoded;
    entry.PackedSize = packedSize;
    entry.HasDosTime = true;
    entry.DosTime = static_cast<uint32_t>(Le16(header + 19)) << 16 | Le16(header + 21);
    entry.Method = method;
    entry.Private[0] = dataStart;

    if (method == kFolder) {
      if (Folders.size() >= kMaxFolderDepth)
        throw EArchiveError(errTooManyNestedDirs);
      entry.IsFolder = true;
      entry.Attributes = ftDirectory;
      Folders.push_back({dataEnd, entry.Name + "/", cut});
      Position = dataStart;
      return true;
    }
    entry.Size = method == kStoredOld ? packedSize : Le32(header + 25);
    entry.Crc = Le16(header + 23);
    Position = dataEnd;
    if (cut)
      PendingFault = errUnexpectedEof;
    return true;
  }
  return false;
}

std::unique_ptr<TEntryData> TArcReader::OpenData(const TArcEntry& entry, const std::string&,
                                                 int& error) {
  error = errNone;
  const uint64_t packedSize = entry.IsFolder ? 0 : entry.PackedSize;
  auto data = std::make_unique<TArcEntryData>(
      std::make_unique<TPackedInput>(Source, entry.Private[0], packedSize),
      entry.IsFolder ? kStored : entry.Method, entry.IsFolder ? 0 : entry.Size,
      static_cast<uint16_t>(entry.IsFolder ? 0 : entry.Crc));
  if (!data->Valid()) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  return data;
}

} // namespace

std::unique_ptr<TFormatReader> MakeArcReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TArcReader>(source, options);
}

} // namespace corvane::archive
