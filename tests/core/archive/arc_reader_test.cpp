// Tests of the ARC and PAK reader: archives built here by small writers of every method, the
// archives the arc program made (fixtures/arc, made by make_fixtures.py there), the sample archives
// of the corpus, and broken archives.
#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvane::archive {
namespace {

using test::DecodeEntry;
using test::TDecoded;
using test::TDecodeStage;

constexpr uint32_t kDos2024 = 0x58A63905; // 2024-05-06 07:08:10, the time of the fixtures
const std::string kEnd("\x1A\0", 2);

uint16_t Crc16(std::string_view data) {
  uint16_t crc = 0;
  for (const char c : data) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
  }
  return crc;
}

std::string Le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>(value >> (8 * i));
  return out;
}

uint32_t NextRandom(uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return seed >> 16;
}

// Text of words: it compresses, and at its longer sizes it fills every LZW table.
std::string Words(size_t size, uint32_t seed) {
  static const char* const words[] = {"archive ", "folder ", "panel ",  "cursor ", "copy ",
                                      "move ",    "delete ", "rename ", "view ",   "edit ",
                                      "select ",  "sort ",   "drive ",  "ARC ",    "\r\n"};
  std::string text;
  while (text.size() < size)
    text += words[NextRandom(seed) % std::size(words)];
  text.resize(size);
  return text;
}

// Bytes of every value, runs among them (of 0x90 too).
std::string Mixed(size_t size, uint32_t seed) {
  std::string bytes;
  while (bytes.size() < size) {
    const auto byte = static_cast<char>(NextRandom(seed) % 5 == 0 ? 0x90 : NextRandom(seed));
    bytes.append(NextRandom(seed) % 4 == 0 ? 1 + NextRandom(seed) % 300 : 1, byte);
  }
  bytes.resize(size);
  return bytes;
}

// Bytes with next to no repetition.
std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes)
    byte = static_cast<char>(NextRandom(seed));
  return bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file.good()) << path;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// ---- Writers of the methods ----

// Bits, each byte filled from its lowest bit.
class TBitWriter {
public:
  void Put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      Current |= ((value >> i) & 1) << Filled;
      if (++Filled == 8)
        Flush();
    }
  }
  std::string Finish() {
    if (Filled > 0)
      Flush();
    return std::move(Bytes);
  }

private:
  void Flush() {
    Bytes += static_cast<char>(Current);
    Current = 0;
    Filled = 0;
  }
  std::string Bytes;
  uint32_t Current = 0;
  int Filled = 0;
};

// Run-length coding as arc writes it: runs of three or more become byte, 0x90, count; 0x90 itself
// is always written 0x90 0.
std::string PackRuns(std::string_view data) {
  std::string out;
  for (size_t at = 0; at < data.size();) {
    size_t run = 1;
    while (at + run < data.size() && data[at + run] == data[at])
      ++run;
    at += run;
    if (data[at - run] == '\x90') {
      for (size_t i = 0; i < run; ++i)
        out += std::string("\x90\0", 2);
      continue;
    }
    for (; run > 0;) {
      const size_t piece = std::min<size_t>(run, 255);
      out += data[at - 1];
      if (piece >= 3)
        out += "\x90" + std::string(1, static_cast<char>(piece));
      else if (piece == 2)
        out += data[at - 1];
      run -= piece;
    }
  }
  return out;
}

// Squeezing (method 4) with the simplest tree: a chain whose n-th node leads to the n-th byte value
// of the data (in order of first appearance) or to the next node; the last node's other side ends
// the stream.
std::string SqueezeChain(std::string_view data) {
  std::vector<uint8_t> order;
  std::array<int, 256> rank{};
  rank.fill(-1);
  for (const char c : data) {
    const auto byte = static_cast<uint8_t>(c);
    if (rank[byte] < 0) {
      rank[byte] = static_cast<int>(order.size());
      order.push_back(byte);
    }
  }
  const auto leaf = [](int value) { return Le(static_cast<uint16_t>(-(value + 1)), 2); };
  std::string out = Le(static_cast<uint32_t>(order.size()), 2);
  for (size_t i = 0; i < order.size(); ++i)
    out +=
        leaf(order[i]) + (i + 1 < order.size() ? Le(static_cast<uint32_t>(i + 1), 2) : leaf(256));
  TBitWriter bits;
  const auto put = [&](size_t ones, bool last) {
    for (size_t i = 0; i < ones; ++i)
      bits.Put(1, 1);
    if (!last)
      bits.Put(0, 1);
  };
  for (const char c : data)
    put(static_cast<size_t>(rank[static_cast<uint8_t>(c)]), false);
  if (!order.empty())
    put(order.size(), true);
  return out + bits.Finish();
}

// The older crunching (methods 5 to 7): 12-bit codes for places chosen by hashing.
std::string CrunchOld(std::string_view data, bool fastHash) {
  struct TSlot {
    bool Used = false;
    unsigned Next = 0;
  };
  std::vector<TSlot> table(4096);
  std::map<std::pair<int, int>, unsigned> places;
  int free = 4096;
  const auto add = [&](int parent, int byte) {
    const uint32_t key = (static_cast<uint32_t>(parent) + static_cast<uint32_t>(byte)) & 0xFFFF;
    unsigned place =
        fastHash ? (key * 15073u) & 0xFFF : (((key | 0x800) * (key | 0x800)) >> 6) & 0xFFF;
    if (table[place].Used) {
      while (table[place].Next != 0)
        place = table[place].Next;
      unsigned next = (place + 101) & 0xFFF;
      while (table[next].Used)
        next = (next + 1) & 0xFFF;
      table[place].Next = next;
      place = next;
    }
    table[place].Used = true;
    places[{parent, byte}] = place;
    --free;
  };
  for (int byte = 0; byte < 256; ++byte)
    add(-1, byte);

  std::vector<unsigned> codes;
  int current = -1;
  for (const char c : data) {
    const auto byte = static_cast<uint8_t>(c);
    if (current < 0) {
      current = static_cast<int>(places.at({-1, byte}));
      continue;
    }
    const auto known = places.find({current, byte});
    if (known != places.end()) {
      current = static_cast<int>(known->second);
      continue;
    }
    codes.push_back(static_cast<unsigned>(current));
    if (free > 0)
      add(current, byte);
    current = static_cast<int>(places.at({-1, byte}));
  }
  if (current >= 0)
    codes.push_back(static_cast<unsigned>(current));

  std::string out;
  for (size_t i = 0; i < codes.size(); i += 2) {
    out += static_cast<char>(codes[i] >> 4);
    const unsigned second = i + 1 < codes.size() ? codes[i + 1] : 0;
    out += static_cast<char>((codes[i] & 0x0F) << 4 | second >> 8);
    if (i + 1 < codes.size())
      out += static_cast<char>(second & 0xFF);
  }
  return out;
}

// LZW as methods 8 and 9 write it; clearEvery > 0 clears the table after that many codes.
std::string Compress(std::string_view data, int maxBits, size_t clearEvery = 0) {
  const int maxCodes = 1 << maxBits;
  TBitWriter bits;
  std::map<std::pair<int, int>, int> strings;
  int next = 257;     // the writer's next entry
  int readerNext = 0; // the reader's table size after the code just written
  int width = 9;
  size_t inGroup = 0;
  size_t sinceClear = 0;
  const auto put = [&](int code) {
    bits.Put(static_cast<uint32_t>(code), width);
    ++inGroup;
    // The reader adds an entry for every code but the first after a clear, and widens its codes
    // when its table reaches a power of two.
    if (++sinceClear == 1) {
      readerNext = 257;
    } else if (readerNext < maxCodes && ++readerNext < maxCodes &&
               (readerNext & (readerNext - 1)) == 0) {
      ++width;
    }
  };
  int current = -1;
  for (const char c : data) {
    const auto byte = static_cast<uint8_t>(c);
    if (current < 0) {
      current = byte;
      continue;
    }
    const auto known = strings.find({current, byte});
    if (known != strings.end()) {
      current = known->second;
      continue;
    }
    put(current);
    if (next < maxCodes)
      strings[{current, byte}] = next++;
    current = byte;
    if (clearEvery > 0 && sinceClear >= clearEvery) {
      bits.Put(256, width);
      ++inGroup;
      if (inGroup % 8 != 0)
        for (size_t i = inGroup % 8; i < 8; ++i)
          bits.Put(0, width);
      inGroup = 0;
      sinceClear = 0;
      width = 9;
      strings.clear();
      next = 257;
    }
  }
  if (current >= 0)
    put(current);
  return bits.Finish();
}

// Crushing (method 10). The writer keeps the reader's table as the reader will have it: the longest
// string found there is written, and the table then changes as the reader changes it.
class TCrushWriter {
public:
  TCrushWriter() {
    Parent.fill(-1);
    for (int i = 0; i < 256; ++i)
      Byte[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  }

  std::string Encode(std::string_view data) {
    for (size_t at = 0; at < data.size();) {
      std::vector<int> path{static_cast<uint8_t>(data[at])};
      while (at + path.size() < data.size()) {
        const auto child =
            Children.find({path.back(), static_cast<uint8_t>(data[at + path.size()])});
        if (child == Children.end())
          break;
        path.push_back(child->second);
      }
      while (!Fits(path.back()))
        path.pop_back();
      const int code = path.back();
      Put(code);
      const std::string out = Update(code);
      if (data.substr(at, out.size()) != out)
        throw std::logic_error("crush writer: a replaced string changed the code's meaning");
      at += out.size();
    }
    if (LiteralBit) {
      Bits.Put(1, 1);
      Bits.Put(0, Width);
    } else {
      Bits.Put(256, Width);
    }
    return Bits.Finish();
  }

private:
  static constexpr int kMax = 8192;

  bool Fits(int code) const {
    if (LiteralBit)
      return code < 256 || code - 256 < (1 << Width);
    return (code < 256 ? code ^ 0xFF : code) < (1 << Width);
  }

  void Put(int code) {
    if (!LiteralBit) {
      Bits.Put(static_cast<uint32_t>(code < 256 ? code ^ 0xFF : code), Width);
    } else if (code < 256) {
      Bits.Put(0, 1);
      Bits.Put(static_cast<uint32_t>(code), 8);
    } else {
      Bits.Put(1, 1);
      Bits.Put(static_cast<uint32_t>(code - 256), Width);
    }
  }

  std::string StringOf(int code) const {
    std::string text;
    for (int steps = 0; code >= 0; code = Parent[static_cast<size_t>(code)]) {
      if (++steps > kMax)
        throw std::logic_error("crush writer: the table loops");
      text.insert(text.begin(), static_cast<char>(Byte[static_cast<size_t>(code)]));
    }
    return text;
  }

  std::string Update(int code) {
    const bool full = Count == kMax;
    for (int mark = code; mark >= 0; mark = Parent[static_cast<size_t>(mark)])
      Usage[static_cast<size_t>(mark)] = 4;
    if (Recent[static_cast<size_t>(RingAt)])
      --Strings;
    Recent[static_cast<size_t>(RingAt)] = code >= 256;
    Strings += code >= 256 ? 1 : 0;
    RingAt = (RingAt + 1) % 500;
    if ((Strings < 375) != LiteralBit) {
      LiteralBit = Strings < 375;
      Growth = (1 << Width) - (LiteralBit ? 0 : 256);
    }
    if (Previous >= 0) {
      int place = Count;
      if (full) {
        int lowest = 256;
        int at = Sweep;
        do {
          if (++at == kMax)
            at = 257;
          if (Usage[static_cast<size_t>(at)] < lowest) {
            place = at;
            lowest = Usage[static_cast<size_t>(at)];
          }
        } while (--Usage[static_cast<size_t>(at)] != 0 && at != Sweep);
        Sweep = at;
        const auto old =
            Children.find({Parent[static_cast<size_t>(place)], Byte[static_cast<size_t>(place)]});
        if (old != Children.end() && old->second == place)
          Children.erase(old);
      }
      Parent[static_cast<size_t>(place)] = static_cast<int16_t>(Previous);
      const auto first = static_cast<uint8_t>(StringOf(code)[0]);
      Byte[static_cast<size_t>(place)] = first;
      Usage[static_cast<size_t>(place)] = 2;
      Children[{Previous, first}] = place;
      if (!full)
        ++Count;
    }
    Previous = code;
    const std::string out = StringOf(code);
    if (Count - 257 >= Growth) {
      ++Width;
      Growth = (1 << Width) - (LiteralBit ? 0 : 256);
    }
    return out;
  }

  TBitWriter Bits;
  std::array<int16_t, kMax> Parent{};
  std::array<uint8_t, kMax> Byte{};
  std::array<uint8_t, kMax> Usage{};
  std::array<bool, 500> Recent{};
  std::map<std::pair<int, int>, int> Children;
  int Count = 257;
  int Previous = -1;
  int Width = 1;
  int Growth = 2;
  bool LiteralBit = true;
  int Strings = 0;
  int RingAt = 0;
  int Sweep = 257;
};

// Distilling (method 11): a greedy LZ77 parse, one Huffman code for literals, the end and the
// match lengths, and the fixed code of the distance classes.
constexpr std::array<uint8_t, 64> kDistanceLengths = {
    3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
constexpr std::array<uint8_t, 64> kDistanceCodes = {
    0x00, 0x02, 0x04, 0x0c, 0x01, 0x06, 0x0a, 0x0e, 0x11, 0x16, 0x1a, 0x1e, 0x05, 0x09, 0x0d, 0x15,
    0x19, 0x1d, 0x25, 0x29, 0x2d, 0x35, 0x39, 0x3d, 0x03, 0x07, 0x0b, 0x13, 0x17, 0x1b, 0x23, 0x27,
    0x2b, 0x33, 0x37, 0x3b, 0x43, 0x47, 0x4b, 0x53, 0x57, 0x5b, 0x63, 0x67, 0x6b, 0x73, 0x77, 0x7b,
    0x0f, 0x1f, 0x2f, 0x3f, 0x4f, 0x5f, 0x6f, 0x7f, 0x8f, 0x9f, 0xaf, 0xbf, 0xcf, 0xdf, 0xef, 0xff};

int DistanceExtraBits(size_t position) {
  int bits = 0;
  while (bits < 7 && position >= (size_t{0x40} << bits) - 0x3c)
    ++bits;
  return bits;
}

// A tree as distilled members store it: pairs of nodes, the root pair last; a node below the
// node count names a pair, from the count on a symbol.
struct TDistillTree {
  std::vector<uint32_t> Nodes;
  std::map<int, std::vector<int>> Codes; // symbol -> its bits from the root
};

TDistillTree BuildDistillTree(const std::map<int, uint64_t>& frequencies) {
  struct TNode {
    int Symbol;
    int Left = -1;
    int Right = -1;
  };
  std::vector<TNode> nodes;
  using TItem = std::pair<uint64_t, int>;
  std::priority_queue<TItem, std::vector<TItem>, std::greater<>> queue;
  for (const auto& [symbol, weight] : frequencies) {
    nodes.push_back({symbol});
    queue.push({weight, static_cast<int>(nodes.size()) - 1});
  }
  while (queue.size() > 1) {
    const auto a = queue.top();
    queue.pop();
    const auto b = queue.top();
    queue.pop();
    nodes.push_back({-1, a.second, b.second});
    queue.push({a.first + b.first, static_cast<int>(nodes.size()) - 1});
  }
  TDistillTree tree;
  const auto count = static_cast<uint32_t>(2 * (frequencies.size() - 1));
  tree.Nodes.resize(count);
  uint32_t nextPair = 0;
  std::vector<int> path;
  const std::function<uint32_t(int)> place = [&](int index) -> uint32_t {
    const TNode& node = nodes[static_cast<size_t>(index)];
    if (node.Left < 0) {
      tree.Codes[node.Symbol] = path;
      return count + static_cast<uint32_t>(node.Symbol);
    }
    path.push_back(0);
    const uint32_t left = place(node.Left);
    path.back() = 1;
    const uint32_t right = place(node.Right);
    path.pop_back();
    const uint32_t pair = nextPair;
    nextPair += 2;
    tree.Nodes[pair] = left;
    tree.Nodes[pair + 1] = right;
    return pair;
  };
  place(static_cast<int>(nodes.size()) - 1);
  return tree;
}

std::string Distill(std::string_view data) {
  struct TToken {
    int Symbol;
    size_t Distance = 0;
    size_t Position = 0;
  };
  std::vector<TToken> tokens;
  std::unordered_map<uint32_t, std::vector<size_t>> seen;
  const auto key = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(data[at])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(data[at + 1])) << 8 |
           static_cast<uint8_t>(data[at + 2]);
  };
  for (size_t at = 0; at < data.size();) {
    size_t bestLength = 0;
    size_t bestDistance = 0;
    if (at + 3 <= data.size()) {
      const size_t reach = std::min<size_t>(8192, size_t{64} << DistanceExtraBits(at));
      const auto& earlier = seen[key(at)];
      for (size_t i = earlier.size(), tried = 0; i-- > 0 && tried < 64; ++tried) {
        const size_t distance = at - earlier[i];
        if (distance > reach)
          break;
        size_t length = 0;
        while (length < 59 && at + length < data.size() &&
               data[at + length] == data[at + length - distance])
          ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = distance;
        }
      }
    }
    const size_t step = bestLength >= 3 ? bestLength : 1;
    tokens.push_back(bestLength >= 3
                         ? TToken{static_cast<int>(bestLength) - 3 + 0x101, bestDistance, at}
                         : TToken{static_cast<uint8_t>(data[at])});
    for (size_t i = at; i < at + step && i + 3 <= data.size(); ++i)
      seen[key(i)].push_back(i);
    at += step;
  }
  tokens.push_back({256});

  std::map<int, uint64_t> frequencies;
  for (const TToken& token : tokens)
    ++frequencies[token.Symbol];
  if (frequencies.size() < 2)
    frequencies[0] += 0; // a tree needs two leaves
  const TDistillTree tree = BuildDistillTree(frequencies);
  const auto count = static_cast<uint32_t>(tree.Nodes.size());
  int width = 1;
  while ((uint32_t{1} << width) <= count + 0x139)
    ++width;

  TBitWriter bits;
  bits.Put(count, 16);
  bits.Put(static_cast<uint32_t>(width), 8);
  for (const uint32_t node : tree.Nodes)
    bits.Put(node, width);
  for (const TToken& token : tokens) {
    for (const int bit : tree.Codes.at(token.Symbol))
      bits.Put(static_cast<uint32_t>(bit), 1);
    if (token.Symbol <= 256)
      continue;
    const int extra = DistanceExtraBits(token.Position);
    const size_t value = token.Distance - 1;
    const size_t distanceClass = value >> extra;
    bits.Put(kDistanceCodes[distanceClass], kDistanceLengths[distanceClass]);
    bits.Put(static_cast<uint32_t>(value & ((size_t{1} << extra) - 1)), extra);
  }
  return bits.Finish();
}

// The packed bytes of a method as the writers above make them.
std::string PackWith(uint8_t method, std::string_view data) {
  switch (method) {
  case 1:
  case 2:
    return std::string(data);
  case 3:
    return PackRuns(data);
  case 4:
    return SqueezeChain(PackRuns(data));
  case 5:
    return CrunchOld(data, false);
  case 6:
    return CrunchOld(PackRuns(data), false);
  case 7:
    return CrunchOld(PackRuns(data), true);
  case 8:
    return "\x0C" + Compress(PackRuns(data), 12);
  case 9:
    return Compress(data, 13);
  case 10:
    return TCrushWriter().Encode(data);
  case 11:
    return Distill(data);
  default:
    throw std::invalid_argument("no writer of this method");
  }
}

// ---- Archives ----

// One member; the stated fields default to the true ones.
struct TMember {
  TMember(std::string name, uint8_t method, std::string data, std::string packed = {})
      : Name(std::move(name)), Method(method), Data(std::move(data)), Packed(std::move(packed)) {}

  std::string Name;
  uint8_t Method = 2;
  std::string Data;   // what it holds
  std::string Packed; // as stored
  uint32_t DosTime = kDos2024;
  std::optional<uint32_t> StatedSize;
  std::optional<uint32_t> StatedPacked;
  std::optional<uint16_t> StatedCrc;

  static TMember Encoded(std::string name, uint8_t method, std::string data) {
    TMember member{std::move(name), method, std::move(data)};
    member.Packed = PackWith(method, member.Data);
    return member;
  }
  // A member that is not a file: its bytes follow the header as they are.
  static TMember Record(std::string name, uint8_t method, std::string bytes) {
    TMember member{std::move(name), method, {}, std::move(bytes)};
    member.StatedSize = 0;
    member.StatedCrc = 0;
    return member;
  }

  std::string Header() const {
    std::string name = Name;
    name.resize(13, '\0');
    std::string header = std::string(1, '\x1A') + static_cast<char>(Method) + name +
                         Le(StatedPacked.value_or(static_cast<uint32_t>(Packed.size())), 4) +
                         Le(DosTime >> 16, 2) + Le(DosTime & 0xFFFF, 2) +
                         Le(StatedCrc.value_or(Crc16(Data)), 2);
    if (Method != 1)
      header += Le(StatedSize.value_or(static_cast<uint32_t>(Data.size())), 4);
    return header;
  }
  std::string Bytes() const { return Header() + Packed; }
};

std::string Archive(const std::vector<TMember>& members, const std::string& tail = kEnd) {
  std::string bytes;
  for (const TMember& member : members)
    bytes += member.Bytes();
  return bytes + tail;
}

// A subdirectory member holding members of its own.
TMember Folder(std::string name, const std::vector<TMember>& members,
               const std::string& tail = kEnd) {
  return TMember::Record(std::move(name), 30, Archive(members, tail));
}

// An archive in memory and its reader.
struct TOpened : test::TOpenedArchive {
  explicit TOpened(std::string bytes, const TFormatOptions& options = {})
      : TOpenedArchive(std::move(bytes), MakeArcReader, options) {}
};

// The entries listed until the end or a throw, and the code thrown.
struct TListing {
  std::vector<TArcEntry> Entries;
  int Error = errNone;
};

TListing ListAll(TFormatReader& reader) {
  TListing listing;
  try {
    TArcEntry entry;
    while (reader.Next(entry))
      listing.Entries.push_back(entry);
  } catch (const EArchiveError& error) {
    listing.Error = error.Code();
  }
  return listing;
}

int OpenError(const std::string& bytes, const TFormatOptions& options = {}) {
  return test::ThrownCode([&] { TOpened arc(bytes, options); });
}

// ---- Well-formed archives ----

struct TContent {
  const char* Label;
  std::string Data;
};

std::vector<TContent> Contents() {
  return {
      {"empty", ""},
      {"one byte", "x"},
      {"one long run", std::string(1000, 'a')},
      {"escape bytes", std::string(600, '\x90') + "A\x90\x90" + "BBBB\x90"},
      {"words", Words(40000, 1)},
      {"mixed bytes", Mixed(20000, 2)},
      // Strings met again once the tables are full, the last ones added among them.
      {"repeated noise", Noise(5000, 3) + Noise(5000, 3) + Noise(5000, 3) + Noise(5000, 3)},
  };
}

TEST(ArcReader, EveryMethodDecodesWhatItsWriterWrote) {
  const uint8_t methods[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  std::vector<TMember> members;
  for (const uint8_t method : methods)
    for (const TContent& content : Contents())
      members.push_back(
          TMember::Encoded(std::to_string(method) + "." + content.Label, method, content.Data));
  // Table clears amid the codes, and a group cut short by each clear.
  TMember cleared{"8.clears", 8, Words(30000, 3)};
  cleared.Packed = "\x0C" + Compress(PackRuns(cleared.Data), 12, 700);
  members.push_back(cleared);
  TMember squashCleared{"9.clears", 9, Mixed(30000, 4)};
  squashCleared.Packed = Compress(squashCleared.Data, 13, 3001);
  members.push_back(squashCleared);
  // Full tables: squashing's 8192 codes, and crushing's reuse of its least used strings, here after
  // text (where strings outnumber literals and codes lose their leading bit) and then among bytes
  // of no repetition (where the bit comes back).
  members.push_back(TMember::Encoded("9.full table", 9, Noise(20000, 5)));
  members.push_back(TMember::Encoded("10.full table", 10, Words(30000, 8) + Noise(20000, 5)));

  TOpened arc(Archive(members));
  const auto entries = arc.List();
  ASSERT_EQ(entries.size(), members.size());
  uint64_t offset = 0;
  for (size_t i = 0; i < members.size(); ++i) {
    const TMember& m = members[i];
    const TArcEntry& e = entries[i];
    SCOPED_TRACE(m.Name);
    EXPECT_EQ(e.Index, i);
    EXPECT_EQ(e.Offset, offset);
    EXPECT_EQ(e.Name, m.Name.substr(0, 13)); // names fill their field without a NUL
    EXPECT_FALSE(e.IsFolder);
    EXPECT_EQ(e.Size, m.Data.size());
    EXPECT_EQ(e.PackedSize, m.Packed.size());
    EXPECT_TRUE(e.HasDosTime);
    EXPECT_EQ(e.DosTime, kDos2024);
    EXPECT_EQ(e.Attributes, 0u);
    EXPECT_EQ(e.Method, m.Method);
    EXPECT_EQ(e.Crc, Crc16(m.Data));
    offset += m.Bytes().size();
    // Small reads cross every place where a decoder keeps output for the next call.
    for (const size_t chunk : {size_t{65536}, size_t{1}, size_t{7}}) {
      SCOPED_TRACE(chunk);
      const TDecoded decoded = DecodeEntry(*arc.Reader, e, "", chunk);
      EXPECT_EQ(decoded.Error, errNone);
      EXPECT_TRUE(decoded.Data == m.Data);
    }
  }
}

// What arc itself does with run-length codes nothing writes (checked with arc 5.21): 0x90 0 does
// not become the byte a run repeats, a count of 1 repeats nothing, and a run before any byte
// repeats a zero byte.
TEST(ArcReader, RunLengthCodesDecodeAsArcDecodesThem) {
  struct Case {
    const char* Label;
    std::string Packed;
    std::string Data;
  };
  const Case cases[] = {
      {"run after an escaped 0x90", {'A', '\x90', '\0', '\x90', '\3'}, {'A', '\x90', 'A', 'A'}},
      {"run of one", {'A', '\x90', '\1', 'B'}, "AB"},
      {"run before any byte", {'\x90', '\3', 'A'}, {'\0', '\0', 'A'}},
      {"escape at the very end", "AB\x90", "AB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    TMember member{"R", 3, c.Data, c.Packed};
    TOpened arc(Archive({member}));
    const auto entries = arc.List();
    ASSERT_EQ(entries.size(), 1u);
    const TDecoded decoded = DecodeEntry(*arc.Reader, entries[0]);
    EXPECT_EQ(decoded.Error, errNone);
    EXPECT_EQ(decoded.Data, c.Data);
  }
}

TEST(ArcReader, ReadsTheArchivesArcMakes) {
  const std::string folder = CORVANE_SOURCE_DIR "/tests/core/archive/fixtures/arc/";
  struct Expected {
    const char* Name;
    uint32_t Method;
  };
  const std::map<std::string, std::vector<Expected>> archives = {
      {"made.arc",
       {{"crunched.txt", 8},
        {"dle.bin", 8},
        {"empty.txt", 2},
        {"packed.bin", 3},
        {"squeezed.bin", 4},
        {"stored.bin", 2}}},
      {"squashed.arc", {{"crunched.txt", 9}, {"dle.bin", 9}}},
  };
  for (const auto& [archive, expected] : archives) {
    SCOPED_TRACE(archive);
    TFileByteSource source(folder + archive);
    ASSERT_TRUE(source.Valid());
    const auto reader = MakeArcReader(source, {});
    const TListing listing = ListAll(*reader);
    EXPECT_EQ(listing.Error, errNone);
    ASSERT_EQ(listing.Entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const TArcEntry& e = listing.Entries[i];
      SCOPED_TRACE(e.Name);
      const std::string original = ReadFile(folder + "files/" + expected[i].Name);
      EXPECT_EQ(e.Name, expected[i].Name);
      EXPECT_EQ(e.Method, expected[i].Method);
      EXPECT_EQ(e.Size, original.size());
      EXPECT_EQ(e.DosTime, kDos2024);
      const TDecoded decoded = DecodeEntry(*reader, e);
      EXPECT_EQ(decoded.Error, errNone);
      EXPECT_TRUE(decoded.Data == original);
    }
  }
}

TEST(ArcCorpus, SamplesListAndDecodeAsExpected) {
  struct TExpected {
    std::string Name;
    uint64_t Size;
  };
  std::map<std::string, std::vector<TExpected>> samples;
  std::ifstream file(CORVANE_SOURCE_DIR "/tests/corpus/expected.tsv");
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("archives/arc/", 0) != 0)
      continue;
    std::istringstream fields(line);
    std::string sample, name, folder, size;
    std::getline(fields, sample, '\t');
    std::getline(fields, name, '\t');
    std::getline(fields, folder, '\t');
    std::getline(fields, size, '\t');
    EXPECT_EQ(folder, "0");
    samples[sample].push_back({name, std::stoull(size)});
  }
  ASSERT_EQ(samples.size(), 4u);
  // The originals of some members, by their names in the samples.
  const std::map<std::string, std::string> originals = {{"TEST.EXE", "test.exe"},
                                                        {"TEST.JPG", "test.jpg"}};
  for (const auto& [sample, expected] : samples) {
    SCOPED_TRACE(sample);
    TFileByteSource source(CORVANE_SOURCE_DIR "/tests/corpus/" + sample);
    ASSERT_TRUE(source.Valid());
    const auto reader = MakeArcReader(source, {});
    const TListing listing = ListAll(*reader);
    EXPECT_EQ(listing.Error, errNone);
    ASSERT_EQ(listing.Entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const TArcEntry& e = listing.Entries[i];
      SCOPED_TRACE(e.Name);
      EXPECT_EQ(e.Name, expected[i].Name);
      EXPECT_EQ(e.Size, expected[i].Size);
      const TDecoded decoded = DecodeEntry(*reader, e);
      EXPECT_EQ(decoded.Error, errNone);
      EXPECT_EQ(decoded.Data.size(), e.Size);
      const auto original = originals.find(e.Name);
      if (original != originals.end()) {
        EXPECT_TRUE(decoded.Data == ReadFile(CORVANE_SOURCE_DIR
                                             "/tests/corpus/archives/_originals/sharpcompress/" +
                                             original->second));
      }
    }
  }
}

TEST(ArcReader, ListsFoldersAndSkipsInformationRecords) {
  const TMember oldStored{"OLD.TXT", 1, "old header", "old header"};
  const TMember a = TMember::Encoded("A.TXT", 8, Words(3000, 5));
  const TMember b = TMember::Encoded("B.TXT", 3, "bee bee");
  const TMember c = TMember::Encoded("C.TXT", 11, Words(500, 6));
  const TMember d = TMember::Encoded("D.TXT", 2, "dee");
  const std::string comment = Le(12, 2) + '\0' + "a comment";
  const std::vector<TMember> members = {
      TMember::Record("", 20, comment), // the archive's comment
      oldStored,
      TMember::Record("A.TXT", 21, comment), // a file's comment
      a,
      Folder("SUB", {b, TMember::Record("X", 22, "anything"),
                     Folder("DEEP", {c}, std::string("\x1A\x1F", 2))}),
      // A folder whose members end with its stated size, without an end record.
      Folder("OPEN", {d}, ""),
      TMember::Record("LATER", 40, "information of a later version"),
      TMember::Encoded("LAST.TXT", 9, "the last one"),
  };
  struct Expected {
    std::string Name;
    bool Folder;
    const TMember* Member;
  };
  const TMember last = members.back();
  const Expected expected[] = {
      {"OLD.TXT", false, &oldStored}, {"A.TXT", false, &a},        {"SUB", true, nullptr},
      {"SUB/B.TXT", false, &b},       {"SUB/DEEP", true, nullptr}, {"SUB/DEEP/C.TXT", false, &c},
      {"OPEN", true, nullptr},        {"OPEN/D.TXT", false, &d},   {"LAST.TXT", false, &last},
  };
  const std::string bytes = Archive(members);
  TOpened arc(bytes);
  const auto entries = arc.List();
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) {
    const TArcEntry& e = entries[i];
    SCOPED_TRACE(expected[i].Name);
    EXPECT_EQ(e.Index, i);
    EXPECT_EQ(e.Name, expected[i].Name);
    EXPECT_EQ(e.IsFolder, expected[i].Folder);
    EXPECT_EQ(e.Attributes, expected[i].Folder ? ftDirectory : 0u);
    EXPECT_EQ(bytes.compare(e.Offset, 2, "\x1A" + std::string(1, static_cast<char>(e.Method))), 0);
    const TDecoded decoded = DecodeEntry(*arc.Reader, e);
    EXPECT_EQ(decoded.Error, errNone);
    if (expected[i].Folder) {
      EXPECT_EQ(e.Method, 30u);
      EXPECT_EQ(e.Size, 0u);
      EXPECT_TRUE(decoded.Data.empty());
    } else {
      EXPECT_EQ(e.Method, expected[i].Member->Method);
      EXPECT_EQ(e.Size, expected[i].Member->Data.size());
      EXPECT_EQ(e.PackedSize, expected[i].Member->Packed.size());
      EXPECT_EQ(e.Crc, Crc16(expected[i].Member->Data));
      EXPECT_TRUE(decoded.Data == expected[i].Member->Data);
    }
  }
}

TEST(ArcReader, ContainersAroundTheMembers) {
  const std::vector<TMember> members = {TMember::Encoded("ONE.TXT", 2, "first"),
                                        TMember::Encoded("TWO.TXT", 10, Words(2000, 9))};
  const std::string plain = Archive(members);
  const std::string stub = "MZ" + std::string(500, '\x1A') + Mixed(1000, 3);
  struct Case {
    const char* Label;
    std::string Bytes;
    uint64_t Start;
  };
  const Case cases[] = {
      {"plain", plain, 0},
      {"self-extractor", stub + plain, stub.size()},
      {"no end record", Archive(members, ""), 0},
      {"padding after the end record", plain + std::string(100, '\x1A'), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    TFormatOptions options;
    options.StartOffset = c.Start;
    TOpened arc(c.Bytes, options);
    const auto entries = arc.List();
    ASSERT_EQ(entries.size(), members.size());
    for (size_t i = 0; i < members.size(); ++i) {
      EXPECT_EQ(entries[i].Offset, c.Start + (i == 0 ? 0 : members[0].Bytes().size()));
      EXPECT_TRUE(DecodeEntry(*arc.Reader, entries[i]).Data == members[i].Data);
    }
  }
  // An empty archive is its end record alone.
  EXPECT_TRUE(TOpened(kEnd).List().empty());
}

TEST(ArcReader, NamesAreDosNames) {
  struct Case {
    const char* CodePage;
    std::string Stored;
    std::string Listed;
  };
  const Case cases[] = {
      {"IBM437", "\x81" + std::string("BER.TXT"), "\xC3\xBC" + std::string("BER.TXT")}, // "übER"
      {"CP866", "\x80\xA0.TXT", "\xD0\x90\xD0\xB0.TXT"}, // Cyrillic "Аа"
      {"IBM437", "DIR\\F.TXT", "DIR/F.TXT"},
      {"IBM437", "TWELVE.CHARS", "TWELVE.CHARS"},
      // The name ends at its NUL, where the kernel would end it.
      {"IBM437", std::string("..\0/X", 5), ".."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Listed);
    TFormatOptions options;
    options.CodePage = c.CodePage;
    TOpened arc(Archive({TMember::Encoded(c.Stored, 2, "x")}), options);
    const auto entries = arc.List();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, c.Listed);
  }
  // A name filling all 13 bytes of its field, without its NUL.
  std::string full = Archive({TMember::Encoded("X", 2, "x")});
  std::fill_n(full.begin() + 2, 13, 'N');
  const auto entries = TOpened(full).List();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Name, std::string(13, 'N'));
}

TEST(ArcReader, UnknownMethodsAreListedButNotDecoded) {
  for (const uint8_t method : {12, 15, 19}) {
    SCOPED_TRACE(static_cast<int>(method));
    TMember member{"NEW.TXT", method, "data", "packed"};
    TOpened arc(Archive({member, TMember::Encoded("NEXT.TXT", 2, "next")}));
    const auto entries = arc.List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Method, method);
    const TDecoded decoded = DecodeEntry(*arc.Reader, entries[0]);
    EXPECT_EQ(decoded.Stage, TDecodeStage::Open);
    EXPECT_EQ(decoded.Error, errUnsupportedMethod);
    EXPECT_EQ(DecodeEntry(*arc.Reader, entries[1]).Data, "next");
  }
}

// ---- Hostile archives ----

TEST(ArcHostile, HeadersThatLieAreFaults) {
  const std::string text = Words(20000, 7);
  struct Case {
    const char* Label;
    TMember Member;
    int Error;
    TDecodeStage Stage;
  };
  const auto with = [](TMember member, const std::function<void(TMember&)>& change) {
    change(member);
    return member;
  };
  const TMember stored = TMember::Encoded("S", 2, text);
  const TMember crunched = TMember::Encoded("C", 8, text);
  const TMember squashed = TMember::Encoded("Q", 9, text);
  const TMember crushed = TMember::Encoded("K", 10, text);
  const TMember distilled = TMember::Encoded("D", 11, text);
  const Case cases[] = {
      {"stored, size too big", with(stored, [](TMember& m) { m.StatedSize = 20001; }),
       errUnexpectedEof, TDecodeStage::Finish},
      {"stored, size too small", with(stored, [](TMember& m) { m.StatedSize = 19999; }),
       errCorruptInput, TDecodeStage::Read},
      {"crunched, size too big", with(crunched, [](TMember& m) { m.StatedSize = 0xFFFFFFFF; }),
       errUnexpectedEof, TDecodeStage::Finish},
      {"squashed, size too small", with(squashed, [](TMember& m) { m.StatedSize = 100; }),
       errCorruptInput, TDecodeStage::Read},
      {"crushed, size zero", with(crushed, [](TMember& m) { m.StatedSize = 0; }), errCorruptInput,
       TDecodeStage::Read},
      {"distilled, size too small", with(distilled, [](TMember& m) { m.StatedSize = 19999; }),
       errCorruptInput, TDecodeStage::Read},
      {"squashed, wrong CRC", with(squashed, [](TMember& m) { m.StatedCrc = 0x1234; }), errCrc,
       TDecodeStage::Finish},
      {"distilled, wrong CRC", with(distilled, [](TMember& m) { m.StatedCrc = 1; }), errCrc,
       TDecodeStage::Finish},
      {"crushed, packed bytes cut short",
       with(crushed, [](TMember& m) { m.Packed.resize(m.Packed.size() / 2); }), errUnexpectedEof,
       TDecodeStage::Finish},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    TOpened arc(Archive({c.Member}));
    const auto entries = arc.List();
    ASSERT_EQ(entries.size(), 1u);
    const TDecoded decoded = DecodeEntry(*arc.Reader, entries[0]);
    EXPECT_EQ(decoded.Error, c.Error);
    EXPECT_EQ(decoded.Stage, c.Stage);
  }
}

TEST(ArcHostile, BrokenStreamsAreFaults) {
  // A distilled stream with the given tree: two leaves, the first a literal.
  const auto distilled = [](uint32_t count, uint32_t width, uint32_t secondLeaf) {
    TBitWriter bits;
    bits.Put(count, 16);
    bits.Put(width, 8);
    bits.Put(count + 'x', width);
    bits.Put(secondLeaf, width);
    for (int i = 0; i < 16; ++i)
      bits.Put(1, 1);
    return bits.Finish();
  };
  struct Case {
    const char* Label;
    uint8_t Method;
    std::string Packed;
    int Error;
  };
  const Case cases[] = {
      {"crunched with 13-bit codes", 8, "\x0D" + Compress(PackRuns("text"), 12), errCorruptInput},
      {"LZW starting with a string code", 9, Le(300, 2), errCorruptInput},
      {"LZW code beyond the table", 9, Le('a' | 300 << 9, 3), errCorruptInput},
      {"squeezed with too many nodes", 4, Le(300, 2) + std::string(1200, '\0'), errCorruptInput},
      {"squeezed node beyond the tree", 4, Le(2, 2) + Le(1, 2) + Le(5, 2) + Le(0xFFFF, 4),
       errCorruptInput},
      {"squeezed leaf beyond 256", 4, Le(1, 2) + Le(0xFEFE, 2) + Le(0xFFFF, 2), errCorruptInput},
      {"squeezed tree cut short", 4, Le(3, 2) + Le(0xFFFF, 4), errUnexpectedEof},
      {"crunched (old) starting with no byte's code", 5, "\xFF\xF0", errCorruptInput},
      {"crushed starting with a string code", 10, "\x03", errCorruptInput},
      {"distilled with one node", 11, distilled(1, 10, 0), errCorruptInput},
      {"distilled with too many nodes", 11, distilled(700, 11, 0), errCorruptInput},
      {"distilled with too wide nodes", 11, distilled(2, 20, 0), errCorruptInput},
      {"distilled node beyond the tree", 11, distilled(2, 10, 1), errCorruptInput},
      {"distilled symbol beyond the lengths", 11, distilled(2, 10, 2 + 0x13A), errCorruptInput},
      {"distilled tree cut short", 11, Le(40, 2) + "\x0A\xFF", errUnexpectedEof},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    TMember member{"B", c.Method, "unknowable", c.Packed};
    TOpened arc(Archive({member}));
    const auto entries = arc.List();
    ASSERT_EQ(entries.size(), 1u);
    const TDecoded decoded = DecodeEntry(*arc.Reader, entries[0]);
    EXPECT_EQ(decoded.Error, c.Error);
    EXPECT_EQ(decoded.Stage, TDecodeStage::Read);
  }
}

TEST(ArcHostile, BrokenRecordsThrowOrFailCleanly) {
  const TMember one = TMember::Encoded("ONE", 2, "first");
  const TMember two = TMember::Encoded("TWO", 8, Words(300, 1));
  const std::string good = Archive({one, two});
  const size_t second = one.Bytes().size();

  // Nothing that starts like an archive.
  for (const std::string& bytes : {std::string(), std::string("\x1B\x02", 2), Words(100, 1)})
    EXPECT_EQ(OpenError(bytes), errHeaderNotFound);
  TFormatOptions beyond;
  beyond.StartOffset = good.size() + 10;
  EXPECT_EQ(OpenError(good, beyond), errHeaderNotFound);

  struct Case {
    const char* Label;
    std::string Bytes;
    size_t Listed;
    int ListError;
    int FirstDataError; // of the first entry listed
  };
  std::string badMarker = good;
  badMarker[second] = 'X';
  std::string pastTheEnd = good;
  pastTheEnd.replace(second + 15, 4, Le(0x7FFFFFFF, 4));
  const std::string deep = [] {
    TMember folder = TMember::Encoded("F.TXT", 2, "f");
    for (int i = 0; i < 40; ++i)
      folder = Folder("D", {folder});
    return Archive({folder});
  }();
  const Case cases[] = {
      {"second header without its marker", badMarker, 1, errBadFileHeader, errNone},
      {"header cut short", good.substr(0, second + 20), 1, errUnexpectedEof, errNone},
      {"marker alone at the end", good.substr(0, second + 1), 1, errUnexpectedEof, errNone},
      {"packed size past the end", pastTheEnd, 2, errUnexpectedEof, errNone},
      {"first packed size past the end", good.substr(0, second - 2), 1, errUnexpectedEof,
       errUnexpectedEof},
      {"information record past the end", Archive({TMember::Record("", 20, "info")}).substr(0, 31),
       0, errUnexpectedEof, errNone},
      {"folder past the end", Archive({Folder("SUB", {one, two})}).substr(0, 29 + second + 40), 3,
       errUnexpectedEof, errNone},
      {"folders nested too deep", deep, 32, errTooManyNestedDirs, errNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    TOpened arc(c.Bytes);
    const TListing listing = ListAll(*arc.Reader);
    EXPECT_EQ(listing.Entries.size(), c.Listed);
    EXPECT_EQ(listing.Error, c.ListError);
    if (!listing.Entries.empty()) {
      EXPECT_EQ(DecodeEntry(*arc.Reader, listing.Entries[0]).Error, c.FirstDataError);
    }
    // Once it has thrown, the reader stays at its end.
    TArcEntry entry;
    EXPECT_FALSE(arc.Reader->Next(entry));
  }
}

// Every prefix of a small archive of every method, and every byte of it changed: the reader throws
// EArchiveError or reports faults, never reads past its buffers or hangs, and whatever it decodes
// without a fault is the true data.
TEST(ArcHostile, EveryTruncationAndEveryChangedByteFailsCleanly) {
  std::vector<TMember> members;
  for (const uint8_t method : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})
    members.push_back(TMember::Encoded("M" + std::to_string(method), method,
                                       Words(120, method) + "\x90\x90\x90"));
  const TMember inner = TMember::Encoded("IN", 3, "aaaaaaaa");
  std::vector<TMember> all = members;
  all.push_back(Folder("SUB", {inner}));
  const std::string good = Archive(all);
  // The true data by where its header starts and the name there: a changed byte may well name
  // another member.
  std::map<std::pair<uint64_t, std::string>, std::string> truth;
  uint64_t offset = 0;
  for (const TMember& m : members) {
    truth[{offset, m.Name}] = m.Data;
    offset += m.Bytes().size();
  }
  truth[{offset + 29, "SUB/IN"}] = inner.Data;
  const auto check = [&](const std::string& bytes) {
    try {
      TOpened arc(bytes);
      TArcEntry entry;
      for (int count = 0; count < 100 && arc.Reader->Next(entry); ++count) {
        const TDecoded decoded = DecodeEntry(*arc.Reader, entry);
        const auto known = truth.find({entry.Offset, entry.Name});
        if (decoded.Error == errNone && known != truth.end()) {
          EXPECT_TRUE(decoded.Data == known->second) << entry.Name;
        }
      }
    } catch (const EArchiveError&) {
    }
  };
  for (size_t size = 0; size < good.size(); ++size)
    check(good.substr(0, size));
  for (size_t at = 0; at < good.size(); ++at) {
    SCOPED_TRACE(at);
    for (const char value : {'\0', '\xFF', static_cast<char>(good[at] ^ 0x10)}) {
      std::string bytes = good;
      bytes[at] = value;
      check(bytes);
    }
  }
}

} // namespace
} // namespace corvane::archive
