// The older ZIP methods: shrink, reduce and implode. Real archives made by the old writers, streams
// from the small encoders below (written from the published format description, independently of
// the decoders: they assign the Shannon-Fano codes the way the description does, not the way the
// decoder reads them), and hostile streams.
#include "archive/archive_format.h"
#include "archive/zip_methods.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvane::archive {
namespace {

using test::BuildZip;
using test::TZipArchive;
using test::TZipItem;

constexpr uint16_t kShrink = 1;
constexpr uint16_t kImplode = 6;
constexpr uint16_t ReduceMethod(unsigned factor) {
  return static_cast<uint16_t>(1 + factor);
}
constexpr uint16_t kImplode8K = zip::kFlagImplode8K;
constexpr uint16_t kImplodeLiterals = zip::kFlagImplodeLiterals;

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

using test::ReadFile;

struct TDecoded {
  std::string Data;
  int Error = errNone; // the first fault of opening, reading or finishing
};

TDecoded Decode(TFormatReader& reader, const TArcEntry& entry, const std::string& password,
                size_t chunk) {
  TDecoded result;
  const auto data = reader.OpenData(entry, password, result.Error);
  if (!data)
    return result;
  std::vector<uint8_t> buffer(chunk);
  for (;;) {
    const ptrdiff_t got = data->Read(buffer.data(), buffer.size());
    if (got < 0) {
      result.Error = data->Error();
      return result;
    }
    if (got == 0)
      break;
    result.Data.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(got));
  }
  result.Error = data->Finish();
  return result;
}

// A packed stream of one of the older methods.
struct TStream {
  uint16_t Method = kShrink;
  uint16_t Flags = 0;
  std::string Bytes;
};

struct TUnpackOptions {
  std::optional<uint64_t> StatedSize; // the original's size unless given
  size_t Chunk = 4093;                // bytes asked for at a time
  std::string Password;
};
TUnpackOptions StatedSize(uint64_t size) {
  TUnpackOptions options;
  options.StatedSize = size;
  return options;
}
TUnpackOptions InChunksOf(size_t chunk) {
  TUnpackOptions options;
  options.Chunk = chunk;
  return options;
}
TUnpackOptions WithPassword(std::string password) {
  TUnpackOptions options;
  options.Password = std::move(password);
  return options;
}

// The stream as the one entry of an archive that declares the original's size and CRC, read
// through the ZIP reader.
TDecoded Unpack(const TStream& stream, std::string_view original,
                const TUnpackOptions& options = {}) {
  TZipItem item("data.bin", stream.Bytes, stream.Method);
  item.Flags = stream.Flags;
  item.StatedSize = options.StatedSize.value_or(original.size());
  item.StatedCrc = Crc(original);
  item.Password = options.Password;
  // With a data descriptor the password check byte comes from the time: the writer would take it
  // from the CRC of the packed bytes.
  item.DataDescriptor = !options.Password.empty();
  const std::string bytes = BuildZip(TZipArchive({item}));
  TMemoryByteSource source(bytes.data(), bytes.size());
  const auto reader = MakeZipReader(source, {});
  TArcEntry entry;
  if (!reader->Next(entry)) {
    ADD_FAILURE() << "no entry";
    return {};
  }
  return Decode(*reader, entry, options.Password, options.Chunk);
}

// Data with repeats near and far, runs longer than any match, every byte value (144, the reduce
// escape, among them) and a block of noise that comes again after more than 4K.
std::string Sample(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"shrink ", "reduce ",      "implode ", "follower ",
                                       "window ", "\x90\x90\x90", "tree\r\n", "a"};
  std::mt19937 rng(seed);
  std::string noise;
  for (int i = 0; i < 300; ++i)
    noise.push_back(static_cast<char>(rng()));
  std::string out = noise;
  while (out.size() < size) {
    switch (rng() % 10) {
    case 0:
      out.append(rng() % 400 + 1, static_cast<char>(rng()));
      break;
    case 1:
      for (unsigned i = rng() % 40; i-- > 0;)
        out.push_back(static_cast<char>(rng()));
      break;
    default:
      out += kWords[rng() % std::size(kWords)];
    }
  }
  out.resize(size);
  return out + noise;
}

// Bits written least significant first, as all three methods read them.
class TBitWriter {
public:
  void Put(uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      if (Used == 0)
        Bytes.push_back(0);
      if ((value >> i) & 1)
        Bytes.back() = static_cast<char>(Bytes.back() | (1 << Used));
      Used = (Used + 1) % 8;
    }
  }
  std::string Bytes;

private:
  unsigned Used = 0;
};

// ---- Test-side encoders ----

// LZ77 for reduce and implode: a literal (Length 0) or a match.
struct TToken {
  uint8_t Byte = 0;
  unsigned Distance = 0;
  unsigned Length = 0;
};

TToken Literal(char byte) {
  return {static_cast<uint8_t>(byte), 0, 0};
}
TToken Match(unsigned distance, unsigned length) {
  return {0, distance, length};
}

// Greedy: at each place the longest match among recent places that start with the same two bytes
// (overlapping ones included), when `usable` accepts it.
std::vector<TToken> FindMatches(std::string_view data, size_t window, size_t minLength,
                                size_t maxLength,
                                const std::function<bool(size_t, size_t)>& usable) {
  std::unordered_map<uint32_t, std::vector<size_t>> places;
  auto key = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(data[at]) << 8 |
                                 static_cast<uint8_t>(data[at + 1]));
  };
  std::vector<TToken> tokens;
  size_t pos = 0;
  auto remember = [&](size_t until) {
    for (; pos < until; ++pos)
      if (pos + 1 < data.size())
        places[key(pos)].push_back(pos);
  };
  while (pos < data.size()) {
    size_t bestLength = 0;
    size_t bestDistance = 0;
    if (pos + 1 < data.size()) {
      const auto found = places.find(key(pos));
      if (found != places.end()) {
        const auto& list = found->second;
        for (size_t i = list.size(), tried = 0; i-- > 0 && tried < 256; ++tried) {
          const size_t distance = pos - list[i];
          if (distance > window)
            break;
          size_t length = 0;
          while (length < maxLength && pos + length < data.size() &&
                 data[pos + length] == data[list[i] + length])
            ++length;
          if (length >= minLength && length > bestLength && usable(distance, length)) {
            bestLength = length;
            bestDistance = distance;
          }
        }
      }
    }
    if (bestLength == 0) {
      tokens.push_back(Literal(data[pos]));
      remember(pos + 1);
    } else {
      tokens.push_back(
          Match(static_cast<unsigned>(bestDistance), static_cast<unsigned>(bestLength)));
      remember(pos + bestLength);
    }
  }
  return tokens;
}

// Shrink: LZW that grows the code size only when a code needs it and, when clearEvery is set,
// clears partially after about that many codes. It clears only right after writing a byte's code,
// so the string the decoder adds next never has a freed prefix.
std::string Shrink(std::string_view data, size_t clearEvery = 0) {
  constexpr unsigned kCodes = 8192;
  constexpr uint16_t kFree = 0xFFFF;
  std::array<uint16_t, kCodes> prefix;
  prefix.fill(kFree);
  std::map<std::pair<unsigned, uint8_t>, unsigned> codes;
  unsigned nextFree = 257;
  unsigned codeSize = 9;
  TBitWriter out;

  auto write = [&](unsigned code) {
    while (code >= (1u << codeSize)) {
      out.Put(256, codeSize);
      out.Put(1, codeSize);
      ++codeSize;
    }
    out.Put(code, codeSize);
  };
  auto findFree = [&](unsigned from) {
    nextFree = from;
    while (nextFree < kCodes && prefix[nextFree] != kFree)
      ++nextFree;
  };
  auto add = [&](unsigned code, uint8_t byte) {
    if (nextFree == kCodes)
      return;
    prefix[nextFree] = static_cast<uint16_t>(code);
    codes[{code, byte}] = nextFree;
    findFree(nextFree + 1);
  };
  auto clear = [&] {
    out.Put(256, codeSize);
    out.Put(2, codeSize);
    std::set<unsigned> parents;
    for (const auto& [string, code] : codes)
      parents.insert(string.first);
    for (auto it = codes.begin(); it != codes.end();) {
      if (parents.count(it->second) == 0) {
        prefix[it->second] = kFree;
        it = codes.erase(it);
      } else {
        ++it;
      }
    }
    findFree(257);
  };

  if (data.empty())
    return {};
  unsigned current = static_cast<uint8_t>(data[0]);
  size_t written = 0;
  for (size_t i = 1; i < data.size(); ++i) {
    const auto byte = static_cast<uint8_t>(data[i]);
    const auto found = codes.find({current, byte});
    if (found != codes.end()) {
      current = found->second;
      continue;
    }
    write(current);
    if (clearEvery != 0 && ++written >= clearEvery && current < 256) {
      clear();
      written = 0;
    }
    add(current, byte);
    current = byte;
  }
  write(current);
  return out.Bytes;
}

TStream ShrinkStream(std::string_view data, size_t clearEvery = 0) {
  return {kShrink, 0, Shrink(data, clearEvery)};
}

// The bytes reduce's first stage makes of tokens: literals with 144 written as 144 0, matches as
// 144 V [L] W.
std::vector<uint8_t> DleBytes(const std::vector<TToken>& tokens, unsigned factor) {
  const unsigned lengthBits = 8 - factor;
  const unsigned mask = (1u << lengthBits) - 1;
  std::vector<uint8_t> out;
  for (const TToken& token : tokens) {
    if (token.Length == 0) {
      out.push_back(token.Byte);
      if (token.Byte == 144)
        out.push_back(0);
      continue;
    }
    const unsigned length = token.Length - 3;
    const unsigned distance = token.Distance - 1;
    out.push_back(144);
    out.push_back(static_cast<uint8_t>((distance >> 8) << lengthBits | std::min(length, mask)));
    if (length >= mask)
      out.push_back(static_cast<uint8_t>(length - mask));
    out.push_back(static_cast<uint8_t>(distance & 0xFF));
  }
  return out;
}

std::vector<TToken> ReduceMatches(std::string_view data, unsigned factor) {
  const unsigned mask = (1u << (8 - factor)) - 1;
  // A 3-byte match within 256 bytes would have V = 0, which means a plain 144.
  return FindMatches(data, size_t{256} << factor, 3, mask + 255 + 3,
                     [](size_t distance, size_t length) { return length > 3 || distance > 256; });
}

// Reduce's second stage: follower sets of varied sizes (0 to 32, the most frequent followers of
// each byte) and each byte coded by the one before it.
std::string Reduce(const std::vector<uint8_t>& bytes) {
  std::array<std::array<unsigned, 256>, 256> counts{};
  uint8_t last = 0;
  for (uint8_t byte : bytes) {
    ++counts[last][byte];
    last = byte;
  }
  std::array<std::vector<uint8_t>, 256> sets;
  for (unsigned before = 0; before < 256; ++before) {
    std::vector<uint8_t> followers;
    for (unsigned byte = 0; byte < 256; ++byte)
      if (counts[before][byte] > 0)
        followers.push_back(static_cast<uint8_t>(byte));
    std::stable_sort(followers.begin(), followers.end(),
                     [&](uint8_t a, uint8_t b) { return counts[before][a] > counts[before][b]; });
    followers.resize(std::min<size_t>(followers.size(), before * 7 % 33));
    sets[before] = followers;
  }
  auto indexBits = [](size_t count) {
    return count > 16 ? 5u : count > 8 ? 4u : count > 4 ? 3u : count > 2 ? 2u : 1u;
  };

  TBitWriter out;
  for (unsigned set = 256; set-- > 0;) {
    out.Put(static_cast<uint32_t>(sets[set].size()), 6);
    for (uint8_t byte : sets[set])
      out.Put(byte, 8);
  }
  last = 0;
  for (uint8_t byte : bytes) {
    const auto& set = sets[last];
    const auto found = std::find(set.begin(), set.end(), byte);
    if (set.empty()) {
      out.Put(byte, 8);
    } else if (found == set.end()) {
      out.Put(1, 1);
      out.Put(byte, 8);
    } else {
      out.Put(0, 1);
      out.Put(static_cast<uint32_t>(found - set.begin()), indexBits(set.size()));
    }
    last = byte;
  }
  return out.Bytes;
}

TStream ReduceStream(std::string_view data, unsigned factor) {
  return {ReduceMethod(factor), 0, Reduce(DleBytes(ReduceMatches(data, factor), factor))};
}

// Huffman code lengths for the weights (all at least 1), none longer than 16: the weights are
// halved until they fit.
std::vector<unsigned> CodeLengths(std::vector<uint64_t> weights) {
  const size_t n = weights.size();
  for (;;) {
    std::vector<size_t> parent(2 * n - 1, 0);
    using TNode = std::pair<uint64_t, size_t>;
    std::priority_queue<TNode, std::vector<TNode>, std::greater<>> queue;
    for (size_t i = 0; i < n; ++i)
      queue.push({weights[i], i});
    size_t next = n;
    while (queue.size() > 1) {
      const TNode a = queue.top();
      queue.pop();
      const TNode b = queue.top();
      queue.pop();
      parent[a.second] = parent[b.second] = next;
      queue.push({a.first + b.first, next++});
    }
    std::vector<unsigned> lengths(n, 0);
    for (size_t i = 0; i < n; ++i)
      for (size_t node = i; node != next - 1; node = parent[node])
        ++lengths[i];
    if (*std::max_element(lengths.begin(), lengths.end()) <= 16)
      return lengths;
    for (uint64_t& weight : weights)
      weight = (weight + 1) / 2;
  }
}

// The codes as the format description assigns them: the symbols sorted by bit length (keeping
// their order within a length), then from the last one back each gets the code before plus
// 2^(16 - bit length of the one before), left-justified in 16 bits, sent from the top bit down.
struct TShannonFano {
  explicit TShannonFano(std::vector<unsigned> lengths) : Lengths(std::move(lengths)) {
    std::vector<size_t> order(Lengths.size());
    for (size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return Lengths[a] < Lengths[b]; });
    Codes.resize(Lengths.size());
    uint32_t code = 0;
    uint32_t increment = 0;
    unsigned lastLength = 0;
    for (size_t i = order.size(); i-- > 0;) {
      code += increment;
      if (Lengths[order[i]] != lastLength) {
        lastLength = Lengths[order[i]];
        increment = 1u << (16 - lastLength);
      }
      Codes[order[i]] = code;
    }
  }
  void PutTree(TBitWriter& out) const {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < Lengths.size();) {
      size_t run = 1;
      while (run < 16 && i + run < Lengths.size() && Lengths[i + run] == Lengths[i])
        ++run;
      bytes.push_back(static_cast<uint8_t>((run - 1) << 4 | (Lengths[i] - 1)));
      i += run;
    }
    out.Put(static_cast<uint32_t>(bytes.size() - 1), 8);
    for (uint8_t byte : bytes)
      out.Put(byte, 8);
  }
  void Put(TBitWriter& out, unsigned symbol) const {
    for (unsigned k = 0; k < Lengths[symbol]; ++k)
      out.Put(Codes[symbol] >> (15 - k) & 1, 1);
  }
  std::vector<unsigned> Lengths;
  std::vector<uint32_t> Codes;
};

struct TImplodeMode {
  bool LiteralTree = false;
  bool LargeWindow = false;
  uint16_t Flags() const {
    return static_cast<uint16_t>((LiteralTree ? kImplodeLiterals : 0) |
                                 (LargeWindow ? kImplode8K : 0));
  }
  unsigned MinLength() const { return LiteralTree ? 3 : 2; }
  unsigned LowBits() const { return LargeWindow ? 7 : 6; }
};

// Implode: trees from the tokens' own frequencies (every symbol at least once, since the trees
// give every symbol a code), then the tokens.
TStream Implode(const std::vector<TToken>& tokens, TImplodeMode mode) {
  std::vector<uint64_t> literals(256, 1);
  std::vector<uint64_t> lengths(64, 1);
  std::vector<uint64_t> distances(64, 1);
  for (const TToken& token : tokens) {
    if (token.Length == 0) {
      ++literals[token.Byte];
    } else {
      ++distances[(token.Distance - 1) >> mode.LowBits()];
      ++lengths[std::min(token.Length - mode.MinLength(), 63u)];
    }
  }
  const TShannonFano literalTree(CodeLengths(literals));
  const TShannonFano lengthTree(CodeLengths(lengths));
  const TShannonFano distanceTree(CodeLengths(distances));
  TBitWriter out;
  if (mode.LiteralTree)
    literalTree.PutTree(out);
  lengthTree.PutTree(out);
  distanceTree.PutTree(out);
  for (const TToken& token : tokens) {
    if (token.Length == 0) {
      out.Put(1, 1);
      if (mode.LiteralTree)
        literalTree.Put(out, token.Byte);
      else
        out.Put(token.Byte, 8);
      continue;
    }
    const unsigned distance = token.Distance - 1;
    const unsigned length = token.Length - mode.MinLength();
    out.Put(0, 1);
    out.Put(distance & ((1u << mode.LowBits()) - 1), mode.LowBits());
    distanceTree.Put(out, distance >> mode.LowBits());
    lengthTree.Put(out, std::min(length, 63u));
    if (length >= 63)
      out.Put(length - 63, 8);
  }
  return {kImplode, mode.Flags(), out.Bytes};
}

TStream ImplodeData(std::string_view data, TImplodeMode mode) {
  const size_t window = mode.LargeWindow ? 8192 : 4096;
  const size_t minLength = mode.MinLength();
  return Implode(FindMatches(data, window, minLength, minLength + 63 + 255,
                             [](size_t, size_t) { return true; }),
                 mode);
}

// ---- Real archives ----

struct TSampleCase {
  const char* File;
  std::set<uint32_t> Methods; // of its entries
};

TEST(ZipMethodSamples, DecodeWithGoodCrcsToTheOriginals) {
  const std::string corpus = CORVANE_SOURCE_DIR "/tests/corpus/archives/";
  const std::map<std::string, std::string> originals = {
      {"test.exe", ReadFile(corpus + "_originals/sharpcompress/test.exe")},
      {"test.jpg", ReadFile(corpus + "_originals/sharpcompress/test.jpg")},
  };
  ASSERT_EQ(originals.at("test.exe").size(), 45056u);
  ASSERT_EQ(originals.at("test.jpg").size(), 40372u);
  const TSampleCase cases[] = {
      {"sharpcompress__Zip.shrink.zip", {0, 1}},
      {"sharpcompress__Zip.reduce1.zip", {1, 2}},
      {"sharpcompress__Zip.reduce4.zip", {1, 5}},
      {"sharpcompress__Zip.implode.zip", {0, 6}},
  };
  for (const TSampleCase& sample : cases) {
    SCOPED_TRACE(sample.File);
    const std::string bytes = ReadFile(corpus + "zip/" + sample.File);
    TMemoryByteSource source(bytes.data(), bytes.size());
    const auto reader = MakeZipReader(source, {});
    std::set<uint32_t> methods;
    size_t compared = 0;
    TArcEntry entry;
    while (reader->Next(entry)) {
      SCOPED_TRACE(entry.Name);
      methods.insert(entry.Method);
      // An odd chunk size makes the decoders stop and resume in the middle of strings and matches.
      const TDecoded decoded = Decode(*reader, entry, "", 1000);
      EXPECT_EQ(decoded.Error, errNone);
      EXPECT_EQ(decoded.Data.size(), entry.Size);
      std::string base = entry.Name.substr(entry.Name.rfind('/') + 1);
      std::transform(base.begin(), base.end(), base.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      const auto original = originals.find(base);
      if (original != originals.end()) {
        EXPECT_TRUE(decoded.Data == original->second);
        ++compared;
      }
    }
    EXPECT_EQ(methods, sample.Methods);
    EXPECT_EQ(compared, 2u);
  }
}

// ---- Round trips through the encoders above ----

struct TRoundTrip {
  const char* Name;
  const std::string& Data;
  TStream Stream;
  size_t Chunk; // bytes asked for at a time: 1 makes the decoders stop after every byte
};

TEST(ZipMethodRoundTrip, DecodersGiveTheOriginalBack) {
  const std::string sample = Sample(6000, 1);
  // Enough codes to fill the shrink table, with and without clearing it.
  const std::string large = Sample(60000, 2);
  const std::string runs = std::string(700, 'z') + "zy" + std::string(300, '\x90') + "end";
  const TRoundTrip cases[] = {
      {"shrink", sample, ShrinkStream(sample), 4093},
      {"shrink, partial clears", sample, ShrinkStream(sample, 150), 1},
      {"shrink, full table", large, ShrinkStream(large), 65536},
      {"shrink, full table and clears", large, ShrinkStream(large, 3000), 65536},
      {"shrink, runs", runs, ShrinkStream(runs), 7},
      {"reduce 1", sample, ReduceStream(sample, 1), 4093},
      {"reduce 2", sample, ReduceStream(sample, 2), 4093},
      {"reduce 3", sample, ReduceStream(sample, 3), 4093},
      {"reduce 4", sample, ReduceStream(sample, 4), 1},
      {"reduce 1, runs", runs, ReduceStream(runs, 1), 7},
      {"reduce 4, runs", runs, ReduceStream(runs, 4), 7},
      {"implode 4K", sample, ImplodeData(sample, {false, false}), 4093},
      {"implode 8K", sample, ImplodeData(sample, {false, true}), 1},
      {"implode 4K, literal tree", sample, ImplodeData(sample, {true, false}), 4093},
      {"implode 8K, literal tree", sample, ImplodeData(sample, {true, true}), 4093},
      {"implode 4K, runs", runs, ImplodeData(runs, {false, false}), 7},
      {"implode 8K, literal tree, runs", runs, ImplodeData(runs, {true, true}), 7},
  };
  for (const TRoundTrip& round : cases) {
    SCOPED_TRACE(round.Name);
    ASSERT_LT(round.Stream.Bytes.size(), round.Data.size()); // the encoders did find repeats
    const TDecoded decoded = Unpack(round.Stream, round.Data, InChunksOf(round.Chunk));
    EXPECT_EQ(decoded.Error, errNone);
    EXPECT_TRUE(decoded.Data == round.Data);
  }
}

TEST(ZipMethodRoundTrip, EncryptedEntriesAreDecryptedFirst) {
  const std::string data = Sample(2000, 4);
  for (const TStream& stream :
       {ShrinkStream(data, 100), ReduceStream(data, 2), ImplodeData(data, {true, false})}) {
    SCOPED_TRACE(stream.Method);
    const TDecoded decoded = Unpack(stream, data, WithPassword("old"));
    EXPECT_EQ(decoded.Error, errNone);
    EXPECT_TRUE(decoded.Data == data);
  }
}

// ---- Streams written by hand ----

struct THandCase {
  const char* Name;
  TStream Stream;
  std::string Expected; // the output, when Error is errNone
  int Error = errNone;
};

void CheckHandCases(const std::vector<THandCase>& cases) {
  for (const THandCase& hand : cases) {
    SCOPED_TRACE(hand.Name);
    // A faulty stream is given room to go on past its fault.
    const TDecoded decoded = hand.Error == errNone ? Unpack(hand.Stream, hand.Expected)
                                                   : Unpack(hand.Stream, "", StatedSize(64));
    EXPECT_EQ(decoded.Error, hand.Error);
    if (hand.Error == errNone) {
      EXPECT_EQ(decoded.Data, hand.Expected);
    }
  }
}

// Shrink codes at the current code size; kGrow and kClear write 256 1 and 256 2.
constexpr int kGrow = -1;
constexpr int kClear = -2;
constexpr int kBadControl = -3; // 256 3
TStream ShrinkCodes(std::initializer_list<int> codes) {
  TBitWriter out;
  unsigned size = 9;
  for (int code : codes) {
    if (code < 0) {
      out.Put(256, size);
      out.Put(code == kGrow ? 1 : code == kClear ? 2 : 3, size);
      if (code == kGrow)
        ++size;
    } else {
      out.Put(static_cast<uint32_t>(code), size);
    }
  }
  return {kShrink, 0, out.Bytes};
}

TEST(ZipMethodShrink, CodesWrittenByHand) {
  CheckHandCases({
      // A code used in the step that defines it: the previous string plus its first byte.
      {"KwKwK", ShrinkCodes({'a', 257}), "aaa"},
      {"13-bit codes", ShrinkCodes({'a', kGrow, kGrow, kGrow, kGrow, 'b', 257, 258}), "ababba"},
      // 'x' 'a' 'b' 'c' make 257..259, 258 adds 260; the clear frees all four, including the
      // previous code 258. The next string added, 257, is 258 + 'z' and means something only
      // once 258 is defined again: by 'q', as "zq".
      {"prefix freed, then defined again",
       ShrinkCodes({'x', 'a', 'b', 'c', 258, kClear, 'z', 'q', 257}), "xabcabzqzqz"},
      // ... or by the use of 257 itself, which defines 258 in the same step.
      {"prefix freed, defined by its use", ShrinkCodes({'x', 'a', 'b', 'c', 258, kClear, 'z', 257}),
       "xabcabzzzz"},
      {"string first", ShrinkCodes({257}), "", errCorruptInput},
      {"undefined code", ShrinkCodes({'a', 'b', 300}), "", errCorruptInput},
      // 257 "ab" and 258 "bc" are freed; the next code to define is 257, so 258 means nothing.
      {"freed code", ShrinkCodes({'a', 'b', 'c', kClear, 258}), "", errCorruptInput},
      // The clear frees the previous code 257, so the next string added there is 257 + 'x': its
      // own prefix.
      {"string that is its own prefix", ShrinkCodes({'a', 'b', 257, kClear, 'x', 257}), "",
       errCorruptInput},
      {"codes wider than 13 bits", ShrinkCodes({'a', kGrow, kGrow, kGrow, kGrow, kGrow, 'b'}), "",
       errCorruptInput},
      {"unknown control code", ShrinkCodes({'a', kBadControl, 'b'}), "", errCorruptInput},
  });
}

TEST(ZipMethodReduce, StreamsWrittenByHand) {
  auto dle = [](std::vector<uint8_t> bytes) { return TStream{ReduceMethod(1), 0, Reduce(bytes)}; };
  auto raw = [](const std::function<void(TBitWriter&)>& write) {
    TBitWriter out;
    write(out);
    return TStream{ReduceMethod(1), 0, out.Bytes};
  };
  CheckHandCases({
      {"escaped 144", dle({'a', 144, 0, 'b'}), std::string("a") + '\x90' + 'b'},
      // 144 V W: length 3 + 1, distance (V >> 7) * 256 + W + 1 = 10, before the first byte.
      {"match before the start", dle({'a', 144, 1, 9}), std::string("a\0\0\0\0", 5)},
      {"overlapping match", dle({'a', 'b', 144, 2, 1}), "abababa"},
      // A last match longer than the entry is cut at its end.
      {"match past the end", dle({'a', 144, 50, 0}), "aaaaaaaa"},
      {"follower set of 33", raw([](TBitWriter& out) { out.Put(33, 6); }), "", errCorruptInput},
      {"follower index beyond the set", raw([](TBitWriter& out) {
         for (int set = 255; set > 0; --set)
           out.Put(0, 6);
         out.Put(3, 6);
         for (char byte : {'a', 'b', 'c'})
           out.Put(static_cast<uint8_t>(byte), 8);
         out.Put(0, 1);
         out.Put(3, 2);
       }),
       "", errCorruptInput},
  });
}

TEST(ZipMethodImplode, StreamsWrittenByHand) {
  const TImplodeMode literals{true, false};
  const TImplodeMode plain{false, true};
  // Trees of one bit length for all symbols: a run byte per 16 symbols.
  auto trees = [](std::initializer_list<std::pair<unsigned, unsigned>> lengthsAndCounts) {
    TBitWriter out;
    for (auto [length, count] : lengthsAndCounts) {
      out.Put((count + 15) / 16 - 1, 8);
      for (unsigned left = count; left > 0; left -= std::min(left, 16u))
        out.Put((std::min(left, 16u) - 1) << 4 | (length - 1), 8);
    }
    out.Put(0, 32);
    return out.Bytes;
  };
  constexpr int kAmbiguous = zip::errAmbiguousShannonFanoTree;
  CheckHandCases({
      {"match before the start", Implode({Match(5, 3), Literal('a')}, literals),
       std::string("\0\0\0a", 4)},
      {"overlapping match", Implode({Literal('a'), Literal('b'), Match(2, 320)}, plain),
       [] {
         std::string text;
         while (text.size() < 322)
           text += "ab";
         return text;
       }()},
      {"match past the end", Implode({Literal('a'), Match(1, 40)}, literals), "aaaaa"},
      {"oversubscribed", TStream{kImplode, 0, trees({{5, 64}, {6, 64}})}, "", kAmbiguous},
      {"incomplete", TStream{kImplode, 0, trees({{7, 64}, {6, 64}})}, "", kAmbiguous},
      {"incomplete distances", TStream{kImplode, 0, trees({{6, 64}, {7, 64}})}, "", kAmbiguous},
      {"oversubscribed literals", TStream{kImplode, kImplodeLiterals, trees({{7, 256}})}, "",
       kAmbiguous},
      {"more lengths than symbols", TStream{kImplode, 0, trees({{6, 65}})}, "", errCorruptInput},
      {"fewer lengths than symbols", TStream{kImplode, 0, trees({{6, 48}, {6, 64}})}, "",
       errCorruptInput},
  });
}

// ---- Hostile input ----

struct THostileCase {
  const char* Name;
  TStream Stream;
};

std::vector<THostileCase> HostileCases(const std::string& data) {
  return {
      {"shrink", ShrinkStream(data, 200)},
      {"reduce 1", ReduceStream(data, 1)},
      {"reduce 4", ReduceStream(data, 4)},
      {"implode 4K", ImplodeData(data, {false, false})},
      {"implode 8K, literal tree", ImplodeData(data, {true, true})},
  };
}

TEST(ZipMethodHostile, TruncatedStreamsEndEarly) {
  const std::string data = Sample(3000, 5);
  for (const THostileCase& hostile : HostileCases(data)) {
    SCOPED_TRACE(hostile.Name);
    const std::string& full = hostile.Stream.Bytes;
    for (size_t cut = 0; cut < full.size(); cut += std::max<size_t>(1, full.size() / 150)) {
      SCOPED_TRACE(cut);
      TStream cutStream = hostile.Stream;
      cutStream.Bytes = full.substr(0, cut);
      EXPECT_EQ(Unpack(cutStream, data).Error, errUnexpectedEof);
    }
    // More bytes stated than the stream holds.
    EXPECT_EQ(Unpack(hostile.Stream, data, StatedSize(data.size() + 1000)).Error, errUnexpectedEof);
  }
}

TEST(ZipMethodHostile, FlippedBitsGiveAFaultOrTheOriginal) {
  const std::string data = Sample(3000, 6);
  std::mt19937 rng(7);
  for (const THostileCase& hostile : HostileCases(data)) {
    SCOPED_TRACE(hostile.Name);
    int faults = 0;
    for (int trial = 0; trial < 200; ++trial) {
      TStream damaged = hostile.Stream;
      for (unsigned flips = 1 + rng() % 3; flips-- > 0;) {
        const size_t bit = rng() % (damaged.Bytes.size() * 8);
        damaged.Bytes[bit / 8] = static_cast<char>(damaged.Bytes[bit / 8] ^ (1 << (bit % 8)));
      }
      const TDecoded decoded = Unpack(damaged, data);
      EXPECT_TRUE(decoded.Error != errNone || decoded.Data == data) << "trial " << trial;
      faults += decoded.Error != errNone;
    }
    EXPECT_GT(faults, 100);
  }
}

} // namespace
} // namespace corvane::archive
