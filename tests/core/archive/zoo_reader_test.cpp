#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

using corvane::test::CorpusPath;
using corvane::test::CorpusSamples;
using corvane::test::DecodeEntry;
using corvane::test::TDecoded;
using corvane::test::TDecodeStage;

namespace corvane::archive {
namespace {

using test::ListEntries;
using test::Pattern;

using namespace std::string_literals;

constexpr uint32_t kTag = 0xFDC4A7DC;
constexpr size_t kArchiveHeaderSize = 42;
constexpr size_t kClosingEntrySize = 56;

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Patch32(std::string& bytes, size_t at, uint32_t v) {
  std::string field;
  Put32(field, v);
  bytes.replace(at, 4, field);
}

uint16_t Crc16(std::string_view data) {
  uint16_t crc = 0;
  for (const char c : data) {
    crc ^= static_cast<uint8_t>(c);
    for (int k = 0; k < 8; ++k)
      crc =
          (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

// Text-like data: words from a small vocabulary, so LZW finds long strings and fills its table.
std::string Words(size_t size, unsigned seed) {
  static const char* const words[] = {"zoo ",  "archive ", "entry ", "chain ", "lzw ", "table\n",
                                      "code ", "clear ",   "the ",   "of ",    "and ", "bits "};
  std::string text;
  uint32_t x = seed;
  while (text.size() < size) {
    x = x * 1103515245u + 12345u;
    text += words[(x >> 16) % std::size(words)];
  }
  text.resize(size);
  return text;
}

class TBitWriter {
public:
  void Put(uint32_t code, unsigned bits) {
    Buffer |= code << Count;
    Count += bits;
    while (Count >= 8) {
      Out += static_cast<char>(Buffer & 0xFF);
      Buffer >>= 8;
      Count -= 8;
    }
  }
  std::string Finish() {
    if (Count > 0)
      Out += static_cast<char>(Buffer & 0xFF);
    return Out;
  }

private:
  std::string Out;
  uint32_t Buffer = 0;
  unsigned Count = 0;
};

// ZOO's LZW as its writer produces it: a clear code first, the code width grown after the table
// passes a power of two, the table cleared once it has reached 8192 strings, the end code last.
std::string ZooLzw(std::string_view data) {
  TBitWriter out;
  std::map<std::pair<uint32_t, uint8_t>, uint32_t> table;
  unsigned bits = 9;
  uint32_t maxCode = 512;
  uint32_t freeCode = 258;
  out.Put(256, bits);
  if (data.empty()) {
    out.Put(257, bits);
    return out.Finish();
  }
  uint32_t prefix = static_cast<uint8_t>(data[0]);
  for (size_t i = 1; i < data.size(); ++i) {
    const auto k = static_cast<uint8_t>(data[i]);
    if (const auto found = table.find({prefix, k}); found != table.end()) {
      prefix = found->second;
      continue;
    }
    if (freeCode <= 8192)
      table[{prefix, k}] = freeCode++;
    out.Put(prefix, bits);
    prefix = k;
    if (freeCode <= maxCode)
      continue;
    if (bits >= 13) {
      out.Put(256, bits);
      table.clear();
      bits = 9;
      maxCode = 512;
      freeCode = 258;
    } else {
      ++bits;
      maxCode <<= 1;
    }
  }
  out.Put(prefix, bits);
  out.Put(257, bits);
  return out.Finish();
}

// Codes as given, all 9 bits wide.
std::string NineBitCodes(std::initializer_list<uint32_t> codes) {
  TBitWriter out;
  for (const uint32_t code : codes)
    out.Put(code, 9);
  return out.Finish();
}

// The lh5 data of the LHA sample (the GPL-2 text), for a ZOO entry of method 2.
struct TLh5Sample {
  std::string Packed;
  uint32_t Size = 0;
  uint16_t Crc = 0;
};

const TLh5Sample& Lh5Sample() {
  static const TLh5Sample sample = [] {
    std::ifstream file(CorpusPath("archives/lha/lhasa__lha213_lh5.lzh"), std::ios::binary);
    std::ostringstream all;
    all << file.rdbuf();
    const std::string bytes = all.str();
    TLh5Sample result;
    // A level-1 header without extended headers: the data follows the base header.
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_GT(bytes.size(), 32u);
    EXPECT_EQ(bytes.substr(2, 5), "-lh5-");
    EXPECT_EQ(p[20], 1);
    const size_t headerEnd = 2 + p[0];
    EXPECT_EQ(Le16(p + headerEnd - 2), 0);
    result.Packed = bytes.substr(headerEnd, Le32(p + 7));
    result.Size = Le32(p + 11);
    result.Crc = Le16(p + 22 + p[21]);
    return result;
  }();
  return sample;
}

// One member as the test writer stores it.
struct TZooMember {
  std::string Content{};
  uint8_t Method = 0;
  std::optional<std::string> Packed{}; // instead of the content, stored or LZW-packed
  std::string ShortName = "FILE.TXT";
  std::optional<std::string> LongName{};
  std::optional<std::string> Folder{};
  uint16_t System = 0;
  uint32_t Attributes = 0; // the 24-bit field
  uint8_t Type = 2;
  bool Deleted = false;
  std::optional<uint32_t> Size{};
  std::optional<uint16_t> Crc{};
  std::optional<uint32_t> DataOffset{};
  uint16_t Date = (44 << 9) | (3 << 5) | 15; // 2024-03-15
  uint16_t Time = (12 << 11) | (30 << 5);    // 12:30:00

  std::string PackedBytes() const {
    if (Packed)
      return *Packed;
    return Method == 1 ? ZooLzw(Content) : Content;
  }
};

std::string DirectoryEntry(const TZooMember& m, uint32_t next, uint32_t dataOffset,
                           uint32_t packedSize, bool closing = false) {
  std::string out;
  Put32(out, kTag);
  out += static_cast<char>(m.Type);
  out += static_cast<char>(m.Method);
  Put32(out, next);
  Put32(out, dataOffset);
  Put16(out, m.Date);
  Put16(out, m.Time);
  Put16(out, m.Crc.value_or(Crc16(m.Content)));
  Put32(out, m.Size.value_or(static_cast<uint32_t>(m.Content.size())));
  Put32(out, packedSize);
  out += "\x02\x01"s;                                // version needed
  out += static_cast<char>(m.Deleted ? 1 : 0);       // deleted
  out += '\0';                                       // structure
  Put32(out, 0);                                     // comment
  Put16(out, 0);                                     // comment length
  std::string shortName = m.ShortName.substr(0, 12); // 13 bytes with its NUL
  out += shortName + std::string(13 - shortName.size(), '\0');
  if (m.Type != 2)
    return out;
  std::string variable;
  if (!closing) {
    const std::string longName = m.LongName ? *m.LongName + '\0' : "";
    const std::string folder = m.Folder ? *m.Folder + '\0' : "";
    variable += static_cast<char>(longName.size());
    variable += static_cast<char>(folder.size());
    variable += longName + folder;
    Put16(variable, m.System);
    variable += static_cast<char>(m.Attributes & 0xFF);
    Put16(variable, m.Attributes >> 8);
    variable += '\0'; // version flags
    Put16(variable, 0);
  }
  Put16(out, static_cast<uint32_t>(variable.size()));
  out += '\x7F'; // time zone unknown
  Put16(out, 0); // entry CRC, filled in below
  out += variable;
  const uint16_t entryCrc = Crc16(out);
  out[54] = static_cast<char>(entryCrc & 0xFF);
  out[55] = static_cast<char>(entryCrc >> 8);
  return out;
}

// An archive of the members, each entry followed by its data, closed by the empty entry.
std::string ZooArchive(const std::vector<TZooMember>& members) {
  std::string out = "ZOO 2.10 Archive.\x1A";
  out.resize(20, '\0');
  Put32(out, kTag);
  Put32(out, kArchiveHeaderSize);
  Put32(out, 0u - static_cast<uint32_t>(kArchiveHeaderSize));
  out += "\x02\x00\x01"s; // version, header type
  Put32(out, 0);          // archive comment
  Put16(out, 0);
  out += '\0';
  for (const auto& m : members) {
    const std::string packed = m.PackedBytes();
    const size_t entrySize = DirectoryEntry(m, 0, 0, 0).size();
    const auto dataOffset = static_cast<uint32_t>(out.size() + entrySize + 5);
    const auto next = static_cast<uint32_t>(dataOffset + packed.size());
    out += DirectoryEntry(m, next, m.DataOffset.value_or(dataOffset),
                          static_cast<uint32_t>(packed.size()));
    out += "@)#("s + '\0';
    out += packed;
  }
  TZooMember closing;
  closing.ShortName.clear();
  out += DirectoryEntry(closing, 0, 0, 0, true);
  return out;
}

TEST(ZooReader, NamesEntriesFromTheirShortLongAndFolderNames) {
  struct TCase {
    const char* What;
    TZooMember Member;
    const char* Name;
  };
  const TCase cases[] = {
      {"type 1: short name only", {.ShortName = "README.DOC", .Type = 1}, "README.DOC"},
      {"type 2 without a long name", {.ShortName = "A.C"}, "A.C"},
      {"long name", {.ShortName = "LONGNA~1.TXT", .LongName = "long name.txt"}, "long name.txt"},
      {"folder", {.ShortName = "X.C", .Folder = "src/lib"}, "src/lib/X.C"},
      {"folder and long name",
       {.ShortName = "X.C", .LongName = "x_long.c", .Folder = "src/"},
       "src/x_long.c"},
      {"DOS folder", {.ShortName = "A.TXT", .Folder = "DOCS\\OLD", .System = 1}, "DOCS/OLD/A.TXT"},
      {"backslash of a Unix name stays", {.LongName = "a\\b"}, "a\\b"},
      {"UTF-8 stays", {.LongName = "gr\xc3\xbc\xc3\x9f.txt"}, "gr\xc3\xbc\xc3\x9f.txt"},
      // Each name field ends at its NUL, where the kernel would end it.
      {"a NUL inside the long name", {.LongName = "..\0/x"s}, ".."},
      {"a NUL inside the folder", {.ShortName = "A.C", .Folder = "..\0/up"s}, "../A.C"},
      {"DOS code page",
       {.ShortName = "\x81"
                     "BER.TXT",
        .Type = 1},
       "\xc3\xbc"
       "BER.TXT"},
  };
  for (const auto& c : cases) {
    const std::string bytes = ZooArchive({c.Member});
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeZooReader(source, {});
    const auto entries = ListEntries(*reader);
    ASSERT_EQ(entries.size(), 1u) << c.What;
    EXPECT_EQ(entries[0].Name, c.Name) << c.What;
  }
}

TEST(ZooReader, ListsSizesTimesCrcAndUnixMode) {
  struct TCase {
    const char* What;
    uint8_t Type;
    uint32_t Attributes;
    bool HasMode;
    uint32_t Mode;
    uint32_t Dos;
  };
  const TCase cases[] = {
      {"writable", 2, 0x400000 | 0644, true, 0644, 0},
      {"read-only", 2, 0x400000 | 0444, true, 0444, ftReadOnly},
      {"no attributes", 2, 0, false, 0, 0},
      {"another attribute format", 2, 0x800000 | 0444, false, 0, 0},
      {"type 1 has no attributes", 1, 0, false, 0, 0},
  };
  for (const auto& c : cases) {
    TZooMember member{.Content = Words(3000, 1), .Method = 1, .Type = c.Type};
    member.Attributes = c.Attributes;
    const std::string bytes = ZooArchive({member});
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeZooReader(source, {});
    const auto entries = ListEntries(*reader);
    ASSERT_EQ(entries.size(), 1u) << c.What;
    const TArcEntry& e = entries[0];
    EXPECT_EQ(e.Offset, kArchiveHeaderSize) << c.What;
    EXPECT_EQ(e.Size, 3000u) << c.What;
    EXPECT_EQ(e.PackedSize, member.PackedBytes().size()) << c.What;
    EXPECT_LT(e.PackedSize, e.Size) << c.What;
    EXPECT_TRUE(e.HasDosTime);
    EXPECT_EQ(e.DosTime, static_cast<uint32_t>(member.Date) << 16 | member.Time);
    EXPECT_EQ(e.Method, 1u);
    EXPECT_EQ(e.Crc, Crc16(member.Content));
    EXPECT_EQ(e.HasUnixMode, c.HasMode) << c.What;
    EXPECT_EQ(e.UnixMode, c.Mode) << c.What;
    EXPECT_EQ(e.Attributes, c.Dos) << c.What;
    EXPECT_FALSE(e.IsFolder);
  }
}

TEST(ZooReader, DecodesEveryMethod) {
  const TLh5Sample& lh5 = Lh5Sample();
  struct TCase {
    const char* What;
    TZooMember Member;
  };
  const TCase cases[] = {
      {"stored", {.Content = Pattern(5000, 2)}},
      {"stored, empty", {.Content = ""}},
      {"LZW, empty", {.Content = "", .Method = 1}},
      {"LZW, one byte", {.Content = "x", .Method = 1}},
      {"LZW, a run (strings defined by their own use)",
       {.Content = std::string(5000, 'a'), .Method = 1}},
      {"LZW, text", {.Content = Words(20'000, 3), .Method = 1}},
      // Wide codes and many clears of the full table.
      {"LZW, noise and text", {.Content = Pattern(30'000, 4) + Words(200'000, 5), .Method = 1}},
      {"lh5", {.Content = "", .Method = 2, .Packed = lh5.Packed, .Size = lh5.Size, .Crc = lh5.Crc}},
  };
  for (const auto& c : cases) {
    const std::string bytes = ZooArchive({c.Member, {.Content = "after", .ShortName = "NEXT"}});
    for (const size_t chunk : {size_t{1}, size_t{4093}, size_t{65536}}) {
      if (chunk == 1 && bytes.size() > 50'000)
        continue;
      TMemoryByteSource source(bytes.data(), bytes.size());
      auto reader = MakeZooReader(source, {});
      const auto entries = ListEntries(*reader);
      ASSERT_EQ(entries.size(), 2u) << c.What;
      const TDecoded got = DecodeEntry(*reader, entries[0], "", chunk);
      EXPECT_EQ(got.Error, errNone) << c.What << ", pieces of " << chunk;
      if (c.Member.Method == 2) {
        EXPECT_EQ(got.Data.size(), lh5.Size);
        EXPECT_NE(got.Data.find("GNU GENERAL PUBLIC LICENSE"), std::string::npos);
      } else {
        EXPECT_TRUE(got.Data == c.Member.Content) << c.What << ", pieces of " << chunk;
      }
      // Entries open in any order.
      EXPECT_EQ(DecodeEntry(*reader, entries[1]).Data, "after") << c.What;
    }
  }
}

TEST(ZooReader, SkipsDeletedEntries) {
  const std::string bytes = ZooArchive({{.Content = "one", .ShortName = "ONE"},
                                        {.Content = "gone", .ShortName = "GONE", .Deleted = true},
                                        {.Content = "three", .Method = 1, .ShortName = "THREE"}});
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeZooReader(source, {});
  const auto entries = ListEntries(*reader);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Name, "ONE");
  EXPECT_EQ(entries[1].Name, "THREE");
  EXPECT_EQ(entries[1].Index, 1u);
  EXPECT_EQ(DecodeEntry(*reader, entries[1]).Data, "three");
}

TEST(ZooReader, ReadsTheSampleArchives) {
  const auto samples = CorpusSamples("zoo");
  ASSERT_FALSE(samples.empty());
  for (const auto& [sample, expected] : samples) {
    TFileByteSource source(CorpusPath(sample));
    ASSERT_TRUE(source.Valid()) << sample;
    auto reader = MakeZooReader(source, {});
    const auto entries = ListEntries(*reader);
    ASSERT_EQ(entries.size(), expected.size()) << sample;
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].Name, expected[i].Name) << sample;
      EXPECT_EQ(static_cast<int64_t>(entries[i].Size), expected[i].Size) << sample;
      const TDecoded got = DecodeEntry(*reader, entries[i]);
      EXPECT_EQ(got.Error, errNone) << sample << ": " << entries[i].Name;
      EXPECT_EQ(got.Data.size(), entries[i].Size) << sample << ": " << entries[i].Name;
    }
  }
}

TEST(ZooReader, ReportsFaultsOfTheData) {
  const std::string text = Words(4000, 7);
  const std::string lzw = ZooLzw(text);
  const TLh5Sample& lh5 = Lh5Sample();
  struct TCase {
    const char* What;
    TZooMember Member;
    int Error;
    TDecodeStage Stage;
  };
  const TCase cases[] = {
      {"CRC does not match",
       {.Content = text, .Crc = static_cast<uint16_t>(Crc16(text) ^ 1)},
       errCrc,
       TDecodeStage::Finish},
      {"LZW, CRC does not match",
       {.Content = text, .Method = 1, .Crc = static_cast<uint16_t>(Crc16(text) ^ 0x8000)},
       errCrc,
       TDecodeStage::Finish},
      {"unknown method", {.Content = text, .Method = 3}, errUnsupportedMethod, TDecodeStage::Open},
      {"data offset past the end",
       {.Content = text, .DataOffset = 0x7FFFFFFF},
       errBadFileHeader,
       TDecodeStage::Open},
      {"stored, size larger than the data",
       {.Content = text, .Size = 5000},
       errUnexpectedEof,
       TDecodeStage::Finish},
      {"stored, data beyond the size",
       {.Content = text, .Size = 3999},
       errCorruptInput,
       TDecodeStage::Read},
      {"LZW cut before its end code",
       {.Content = text, .Method = 1, .Packed = lzw.substr(0, lzw.size() - 2)},
       errUnexpectedEof,
       TDecodeStage::Read},
      {"LZW, size larger than the stream",
       {.Content = text, .Method = 1, .Size = 4100},
       errUnexpectedEof,
       TDecodeStage::Finish},
      {"LZW, stream beyond the size",
       {.Content = text, .Method = 1, .Size = 3990},
       errCorruptInput,
       TDecodeStage::Read},
      {"LZW, code not yet defined",
       {.Content = "ab", .Method = 1, .Packed = NineBitCodes({256, 'a', 'b', 300, 257})},
       errCorruptInput,
       TDecodeStage::Read},
      {"LZW, a string code right after a clear",
       {.Content = "ab", .Method = 1, .Packed = NineBitCodes({256, 258, 257})},
       errCorruptInput,
       TDecodeStage::Read},
      {"lh5 cut short",
       {.Method = 2,
        .Packed = lh5.Packed.substr(0, lh5.Packed.size() / 2),
        .Size = lh5.Size,
        .Crc = lh5.Crc},
       errUnexpectedEof,
       TDecodeStage::Read},
      {"lh5, size larger than the stream",
       {.Method = 2, .Packed = lh5.Packed, .Size = lh5.Size + 5000, .Crc = lh5.Crc},
       errUnexpectedEof,
       TDecodeStage::Read},
  };
  for (const auto& c : cases) {
    const std::string bytes = ZooArchive({c.Member});
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeZooReader(source, {});
    const auto entries = ListEntries(*reader);
    ASSERT_EQ(entries.size(), 1u) << c.What;
    const TDecoded got = DecodeEntry(*reader, entries[0]);
    EXPECT_EQ(got.Error, c.Error) << c.What;
    EXPECT_EQ(got.Stage, c.Stage) << c.What;
  }
}

TEST(ZooReader, RefusesBrokenChainsAndHeaders) {
  const std::string good =
      ZooArchive({{.Content = "one", .ShortName = "ONE"}, {.Content = "two", .ShortName = "TWO"}});
  const size_t first = kArchiveHeaderSize;
  const size_t second = Le32(reinterpret_cast<const uint8_t*>(good.data()) + first + 6);
  const size_t closing = good.size() - kClosingEntrySize;
  struct TCase {
    const char* What;
    std::function<void(std::string&)> Change;
    size_t Listed;
    int Error; // thrown after the listed entries; errNone: the listing ends normally
  };
  const TCase cases[] = {
      {"intact", [](std::string&) {}, 2, errNone},
      {"next leads back to the first", [&](std::string& b) { Patch32(b, second + 6, first); }, 2,
       errBadFileHeader},
      {"next leads to itself", [&](std::string& b) { Patch32(b, first + 6, first); }, 1,
       errBadFileHeader},
      {"next past the end", [&](std::string& b) { Patch32(b, first + 6, 0x10000000); }, 1,
       errUnexpectedEof},
      {"next to bytes that are no entry", [&](std::string& b) { Patch32(b, first + 6, 21); }, 1,
       errBadFileHeader},
      {"closing entry missing", [&](std::string& b) { b.resize(closing); }, 2, errUnexpectedEof},
      {"start damaged, its negated copy intact", [](std::string& b) { Patch32(b, 24, 1000); }, 2,
       errNone},
  };
  for (const auto& c : cases) {
    std::string bytes = good;
    c.Change(bytes);
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeZooReader(source, {});
    size_t listed = 0;
    int error = errNone;
    try {
      TArcEntry entry;
      while (reader->Next(entry))
        ++listed;
      // The end stays the end.
      EXPECT_FALSE(reader->Next(entry)) << c.What;
    } catch (const EArchiveError& e) {
      error = e.Code();
    }
    EXPECT_EQ(listed, c.Listed) << c.What;
    EXPECT_EQ(error, c.Error) << c.What;
  }

  struct THeaderCase {
    const char* What;
    std::string Bytes;
    int Error;
  };
  std::string bothStarts = good;
  Patch32(bothStarts, 24, 1000);
  Patch32(bothStarts, 28, 0);
  std::string wrongTag = good;
  wrongTag[20] ^= 1;
  const THeaderCase headers[] = {
      {"empty", "", errHeaderNotFound},
      {"header cut", good.substr(0, 30), errHeaderNotFound},
      {"no tag", wrongTag, errHeaderNotFound},
      {"both starts damaged", bothStarts, errBadFileHeader},
  };
  for (const auto& c : headers) {
    TMemoryByteSource source(c.Bytes.data(), c.Bytes.size());
    try {
      MakeZooReader(source, {});
      ADD_FAILURE() << c.What << ": accepted";
    } catch (const EArchiveError& e) {
      EXPECT_EQ(e.Code(), c.Error) << c.What;
    }
  }
}

// Lists and decodes everything; true when a fault was thrown or reported.
bool ReadsWithFault(const std::string& bytes) {
  TMemoryByteSource source(bytes.data(), bytes.size());
  bool fault = false;
  try {
    auto reader = MakeZooReader(source, {});
    TArcEntry entry;
    while (reader->Next(entry))
      fault |= DecodeEntry(*reader, entry, "", 7000).Error != errNone;
  } catch (const EArchiveError&) {
    fault = true;
  }
  return fault;
}

TEST(ZooReader, SurvivesTruncationAndBitFlips) {
  const TLh5Sample& lh5 = Lh5Sample();
  const std::string small = ZooArchive(
      {{.Content = "stored data", .ShortName = "S", .LongName = "stored", .Folder = "d"},
       {.Content = Words(1500, 9), .Method = 1, .ShortName = "L", .Attributes = 0x400644}});
  const std::string withLh5 =
      ZooArchive({{.Content = Words(300, 10), .Method = 1},
                  {.Method = 2, .Packed = lh5.Packed, .Size = lh5.Size, .Crc = lh5.Crc}});
  // Every offset of the headers and the LZW data; inside the long lh5 stream every 97th, which
  // keeps the run short.
  const size_t lh5Start = withLh5.find(lh5.Packed);
  ASSERT_NE(lh5Start, std::string::npos);
  const auto nextOffset = [&](const std::string& archive, size_t i) {
    const bool insideLh5 =
        &archive == &withLh5 && i > lh5Start && i + 97 < lh5Start + lh5.Packed.size();
    return i + (insideLh5 ? 97 : 1);
  };
  for (const std::string* archive : {&small, &withLh5}) {
    ASSERT_FALSE(ReadsWithFault(*archive));
    // Cut anywhere before the closing entry's link, the archive never reads as whole.
    const size_t closingLink = archive->size() - kClosingEntrySize + 10;
    for (size_t size = 0; size < archive->size(); size = nextOffset(*archive, size)) {
      const bool fault = ReadsWithFault(archive->substr(0, size));
      if (size < closingLink) {
        EXPECT_TRUE(fault) << "cut at " << size;
      }
    }
    for (size_t i = 0; i < archive->size(); i = nextOffset(*archive, i)) {
      std::string flipped = *archive;
      flipped[i] = static_cast<char>(flipped[i] ^ (1 << (i % 8)));
      ReadsWithFault(flipped);
    }
  }
}

} // namespace
} // namespace corvane::archive
