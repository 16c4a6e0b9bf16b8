#include "archive/archive_detect.h"
#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

using corvane::test::CorpusPath;
using corvane::test::DecodeEntry;
using corvane::test::TDecoded;

namespace corvane::archive {
namespace {

using test::ListEntries;
using test::Pattern;

constexpr uint32_t Dos2010 = 0x3C21645C; // 2010-01-01 12:34:56
constexpr uint32_t Stamp = 1'600'000'000;

uint16_t Crc16(std::string_view data) {
  uint16_t crc = 0;
  for (const char c : data) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit)
      crc =
          (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

std::string Le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>(value >> (8 * i));
  return out;
}

// One stored entry as the builder writes it. The stated fields default to the true ones.
struct TItem {
  TItem(int level, std::string name, std::string data)
      : Level(level), Name(std::move(name)), Data(std::move(data)),
        Time(level == 2 ? Stamp : Dos2010) {}
  TItem& SetMethod(std::string method) {
    Method = std::move(method);
    return *this;
  }
  TItem& SetAttribute(uint8_t attribute) {
    Attribute = attribute;
    return *this;
  }
  TItem& SetOs(char os) {
    Os = os;
    return *this;
  }
  // An extended header: its type and data.
  TItem& AddExt(uint8_t type, std::string_view data) {
    Ext.push_back(static_cast<char>(type) + std::string(data));
    return *this;
  }
  TItem& SetStatedSize(uint32_t size) {
    StatedSize = size;
    return *this;
  }
  TItem& SetStatedPacked(uint32_t packed) {
    StatedPacked = packed;
    return *this;
  }
  TItem& SetCrc(uint16_t crc) {
    Crc = crc;
    return *this;
  }

  int Level;
  std::string Name; // the name field of level 0/1 headers
  std::string Data;
  uint32_t Time; // DOS time for level 0/1, Unix time for level 2
  std::string Method = "-lh0-";
  uint8_t Attribute = 0x20;
  char Os = 'M';
  std::vector<std::string> Ext;
  int64_t StatedSize = -1;
  int64_t StatedPacked = -1; // of the data alone, without extended headers
  int Crc = -1;
};

// Writes the headers of levels 0, 1 and 2 byte by byte, with their checksum or size fields, and
// the data after them.
std::string Entry(const TItem& item) {
  const uint32_t size = item.StatedSize >= 0 ? static_cast<uint32_t>(item.StatedSize)
                                             : static_cast<uint32_t>(item.Data.size());
  const uint32_t packed = item.StatedPacked >= 0 ? static_cast<uint32_t>(item.StatedPacked)
                                                 : static_cast<uint32_t>(item.Data.size());
  const uint16_t crc = item.Crc >= 0 ? static_cast<uint16_t>(item.Crc) : Crc16(item.Data);
  // Each extended header carries the size of the next one.
  std::string chain;
  for (size_t i = 0; i < item.Ext.size(); ++i) {
    chain += item.Ext[i];
    chain += Le(i + 1 < item.Ext.size() ? static_cast<uint32_t>(item.Ext[i + 1].size() + 2) : 0, 2);
  }
  const std::string firstExtSize =
      Le(item.Ext.empty() ? 0 : static_cast<uint32_t>(item.Ext[0].size() + 2), 2);
  std::string header;
  if (item.Level <= 1) {
    std::string body = item.Method;
    body += Le(packed + (item.Level == 1 ? static_cast<uint32_t>(chain.size()) : 0), 4);
    body += Le(size, 4) + Le(item.Time, 4);
    body += static_cast<char>(item.Attribute);
    body += static_cast<char>(item.Level);
    body += static_cast<char>(item.Name.size()) + item.Name + Le(crc, 2);
    if (item.Level == 1)
      body += item.Os + firstExtSize;
    unsigned sum = 0;
    for (const char c : body)
      sum += static_cast<uint8_t>(c);
    header = static_cast<char>(body.size()) + std::string(1, static_cast<char>(sum)) + body;
    if (item.Level == 1)
      header += chain;
  } else {
    std::string rest = item.Method + Le(packed, 4) + Le(size, 4) + Le(item.Time, 4);
    rest += static_cast<char>(item.Attribute);
    rest += '\x02' + Le(crc, 2) + item.Os + firstExtSize + chain;
    // The first byte of a header is never 0: that byte ends the archive.
    if (((rest.size() + 2) & 0xFF) == 0)
      rest += '\0';
    header = Le(static_cast<uint32_t>(rest.size() + 2), 2) + rest;
  }
  return header + item.Data;
}

std::string Archive(const std::vector<TItem>& items, bool endMarker = true) {
  std::string bytes;
  for (const auto& item : items)
    bytes += Entry(item);
  if (endMarker)
    bytes += '\0';
  return bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(LhaReader, HeaderFieldsAsStored) {
  enum TKind { File, Folder, Link };
  struct TCase {
    TItem Item;
    std::string Name;
    TKind Kind;
    std::string Target; // of a link
    uint32_t Attributes;
    int Mode;     // -1: none stored
    bool DosTime; // else the Unix time Stamp
    uint32_t Method;
  };
  const TCase cases[] = {
      {TItem(0, "DIR\\SUB\\FILE.TXT", "upper"), "DIR/SUB/FILE.TXT", File, "", ftArchive, -1, true,
       0},
      {TItem(0,
             "\x81"
             "ber.txt",
             "cp437")
           .SetAttribute(0x21),
       "\xC3\xBC"
       "ber.txt",
       File, "", ftReadOnly | ftArchive, -1, true, 0},
      {TItem(1, "f.txt", "unix")
           .SetOs('U')
           .AddExt(0x02, "dir\xFFsub\xFF")
           .AddExt(0x50, Le(0100755, 2))
           .AddExt(0x54, Le(Stamp, 4)),
       "dir/sub/f.txt", File, "", ftArchive, 0755, false, 0},
      {TItem(1, "", "").SetMethod("-lhd-").SetAttribute(0x10).AddExt(0x02, "folder\xFF"), "folder/",
       Folder, "", ftDirectory, -1, true, 9},
      {TItem(1, "link|../target", "").SetMethod("-lhd-").SetOs('U').AddExt(0x50, Le(0120777, 2)),
       "link", Link, "../target", ftArchive, 0777, true, 9},
      {TItem(2, "", Pattern(300, 1))
           .AddExt(0x01, "gr\xC3\xB6\xC3\x9F"
                         "e.txt")
           .AddExt(0x02, "a\xFF"
                         "b"),
       "a/b/gr\xC3\xB6\xC3\x9F"
       "e.txt",
       File, "", ftArchive, -1, false, 0},
      // Hostile names come through unchanged: refusing them is the extractor's task.
      {TItem(0, "..\\..\\evil", "x"), "../../evil", File, "", ftArchive, -1, true, 0},
      {TItem(2, "", "x")
           .AddExt(0x01, "passwd")
           .AddExt(0x02, "\xFF"
                         "etc\xFF"),
       "/etc/passwd", File, "", ftArchive, -1, false, 0},
  };

  std::vector<TItem> items;
  for (const auto& c : cases)
    items.push_back(c.Item);
  const std::string bytes = Archive(items);
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeLhaReader(source, {});
  const auto entries = ListEntries(*reader);
  ASSERT_EQ(entries.size(), std::size(cases));
  uint64_t offset = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TCase& c = cases[i];
    const TArcEntry& e = entries[i];
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(e.Index, i);
    EXPECT_EQ(e.Offset, offset);
    offset += Entry(c.Item).size();
    EXPECT_EQ(e.Name, c.Name);
    EXPECT_EQ(e.IsFolder, c.Kind == Folder);
    EXPECT_EQ(e.IsLink, c.Kind == Link);
    EXPECT_EQ(e.LinkTarget, c.Target);
    EXPECT_EQ(e.Attributes, c.Attributes);
    EXPECT_EQ(e.HasUnixMode, c.Mode >= 0);
    if (c.Mode >= 0) {
      EXPECT_EQ(e.UnixMode, static_cast<uint32_t>(c.Mode));
    }
    EXPECT_EQ(e.HasDosTime, c.DosTime);
    EXPECT_EQ(e.HasUnixTime, !c.DosTime);
    EXPECT_EQ(c.DosTime ? e.DosTime : e.UnixTime, c.DosTime ? Dos2010 : Stamp);
    EXPECT_EQ(e.Method, c.Method);
    EXPECT_EQ(e.Size, c.Item.Data.size());
    EXPECT_EQ(e.PackedSize, c.Item.Data.size());
    EXPECT_EQ(e.Crc, Crc16(c.Item.Data));
    const TDecoded got = DecodeEntry(*reader, e, "", 7);
    EXPECT_EQ(got.Error, errNone);
    EXPECT_EQ(got.Data, c.Item.Data);
  }
}

TEST(LhaReader, DosNamesUseTheGivenCodePage) {
  const std::string bytes = Archive({TItem(0, "\x80\xA0.txt", "x")});
  TMemoryByteSource source(bytes.data(), bytes.size());
  TFormatOptions options;
  options.CodePage = "CP866";
  auto reader = MakeLhaReader(source, options);
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  EXPECT_EQ(entry.Name, "\xD0\x90\xD0\xB0.txt"); // Cyrillic "Аа"
}

// A name field padded with zero bytes names the file without them (the kernel sees the same
// name); a zero byte with more name after it is kept for the extractor to refuse.
TEST(LhaReader, ZeroBytesPaddingANameAreDroppedAndOthersKept) {
  const struct {
    std::string Stored;
    std::string Name;
  } cases[] = {
      {std::string("a.txt\0\0", 7), "a.txt"},
      {std::string("a\0b.txt", 7), std::string("a\0b.txt", 7)},
  };
  for (const auto& c : cases) {
    const std::string bytes = Archive({TItem(0, c.Stored, "x")});
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeLhaReader(source, {});
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry));
    EXPECT_EQ(entry.Name, c.Name);
  }
}

// Entries are read from the source by their own offsets: in any order, and after the reader has
// moved on.
TEST(LhaReader, DataOpensInAnyOrder) {
  const std::vector<TItem> items = {TItem(1, "a", Pattern(5000, 2)), TItem(1, "b", "bee"),
                                    TItem(1, "c", Pattern(70000, 3))};
  const std::string bytes = Archive(items);
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeLhaReader(source, {});
  TArcEntry first;
  ASSERT_TRUE(reader->Next(first));
  int error = errNone;
  auto early = reader->OpenData(first, "", error);
  ASSERT_TRUE(early);
  const auto rest = ListEntries(*reader);
  ASSERT_EQ(rest.size(), 2u);
  for (const size_t i : {size_t{1}, size_t{0}}) {
    const TDecoded got = DecodeEntry(*reader, rest[i]);
    EXPECT_EQ(got.Error, errNone);
    EXPECT_TRUE(got.Data == items[i + 1].Data) << items[i + 1].Name;
  }
  std::string data(5000, '\0');
  EXPECT_EQ(early->Read(reinterpret_cast<uint8_t*>(data.data()), data.size()), 5000);
  EXPECT_EQ(early->Read(reinterpret_cast<uint8_t*>(data.data()), data.size()), 0);
  EXPECT_EQ(early->Finish(), errNone);
  EXPECT_TRUE(data == items[0].Data);
}

TEST(LhaReader, DataFaultsAreReported) {
  struct TCase {
    const char* What;
    TItem Item;
    int Error;
    size_t Produced; // bytes read before the fault or the end
  };
  const std::string five = "12345";
  const TCase cases[] = {
      {"wrong CRC", TItem(1, "f", five).SetCrc(Crc16(five) ^ 1), errCrc, 5},
      {"stated size larger than the data", TItem(1, "f", five).SetStatedSize(9), errUnexpectedEof,
       5},
      // Never more than the stated size, even when the packed data goes on.
      {"stated size smaller than the data", TItem(1, "f", five).SetStatedSize(3), errCrc, 3},
      {"method without a decoder", TItem(1, "f", five).SetMethod("-lh2-"), errUnsupportedMethod, 0},
      {"unknown method", TItem(1, "f", five).SetMethod("-lhz-"), errUnsupportedMethod, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string bytes = Archive({c.Item, TItem(1, "after", "next entry")});
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeLhaReader(source, {});
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry));
    const TDecoded got = DecodeEntry(*reader, entry, "", 2);
    EXPECT_EQ(got.Error, c.Error);
    EXPECT_EQ(got.Data, five.substr(0, c.Produced));
    // The packed size was right, so the next entry is where it should be.
    ASSERT_TRUE(reader->Next(entry));
    EXPECT_EQ(DecodeEntry(*reader, entry).Data, "next entry");
  }
}

TEST(LhaReader, DamagedArchivesFailCleanly) {
  const TItem a(1, "a", "aaaa");
  const TItem b(1, "b", "bbbb");
  const std::string good = Archive({a, b});
  std::string badSum = good;
  badSum[Entry(a).size() + 1] ^= 1; // checksum of the second header
  std::string firstBadSum = good;
  firstBadSum[1] ^= 1;
  const std::string longHeader =
      Entry(a) + Le(0x7FF0, 2) + Entry(TItem(2, "", "b").AddExt(0x01, "b")).substr(2);
  const std::string packedPastEnd = Entry(a) + Entry(TItem(1, "cut", "c").SetStatedPacked(1000));

  struct TCase {
    const char* What;
    std::string Bytes;
    size_t Listed; // entries before the end or the throw
    int Code;      // errNone: the listing ends normally
  };
  const TCase cases[] = {
      {"intact", good, 2, errNone},
      {"no end marker", Archive({a, b}, false), 2, errNone},
      {"other bytes after the end marker", good + std::string(100, '\x55'), 2, errNone},
      {"checksum of the second header", badSum, 1, errBadFileHeader},
      {"checksum of the first header", firstBadSum, 0, errBadFileHeader},
      {"header length past the end", longHeader, 1, errBadFileHeader},
      {"packed data past the end", packedPastEnd, 2, errUnexpectedEof},
      {"other bytes instead of the end marker", Archive({a, b}, false) + std::string(40, 'x'), 2,
       errBadFileHeader},
      {"not an archive", std::string(4000, 'x'), 0, errHeaderNotFound},
      {"empty", "", 0, errHeaderNotFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TMemoryByteSource source(c.Bytes.data(), c.Bytes.size());
    auto reader = MakeLhaReader(source, {});
    TArcEntry entry;
    size_t listed = 0;
    int code = errNone;
    try {
      while (reader->Next(entry))
        ++listed;
      EXPECT_FALSE(reader->Next(entry));
    } catch (const EArchiveError& e) {
      code = e.Code();
      // The fault stays: no further entries from a broken archive.
      EXPECT_THROW(reader->Next(entry), EArchiveError);
    }
    EXPECT_EQ(code, c.Code);
    EXPECT_EQ(listed, c.Listed);
  }
}

// Cut at every byte: listing ends or throws EArchiveError, and data either comes out complete and
// right or reports a fault.
void ExpectCutsAreSafe(const std::string& bytes, uint64_t startOffset,
                       const std::map<std::string, std::string>& files, size_t cutStep = 1) {
  for (size_t cut = 0; cut < bytes.size(); cut += cutStep) {
    TMemoryByteSource source(bytes.data(), cut);
    TFormatOptions options;
    options.StartOffset = startOffset;
    auto reader = MakeLhaReader(source, options);
    TArcEntry entry;
    try {
      while (reader->Next(entry)) {
        const TDecoded got = DecodeEntry(*reader, entry, "", 1000);
        if (entry.IsFolder)
          continue;
        if (got.Error == errNone) {
          EXPECT_TRUE(got.Data == files.at(entry.Name)) << "cut at " << cut;
        } else {
          EXPECT_TRUE(got.Error == errUnexpectedEof || got.Error == errCorruptInput ||
                      got.Error == errCrc)
              << "cut at " << cut << ": " << got.Error;
        }
      }
    } catch (const EArchiveError& e) {
      EXPECT_TRUE(e.Code() == errUnexpectedEof || e.Code() == errBadFileHeader ||
                  e.Code() == errHeaderNotFound)
          << "cut at " << cut << ": " << e.Code();
    }
  }
}

TEST(LhaReader, TruncatedAnywhereNeverGivesWrongData) {
  const std::map<std::string, std::string> files = {
      {"zero", Pattern(200, 4)}, {"one", "1"}, {"dir/two", Pattern(300, 5)}};
  const std::string bytes =
      Archive({TItem(0, "zero", files.at("zero")),
               TItem(1, "", "").SetMethod("-lhd-").AddExt(0x02, "dir\xFF"),
               TItem(1, "one", "1").AddExt(0x54, Le(Stamp, 4)),
               TItem(2, "", files.at("dir/two")).AddExt(0x01, "two").AddExt(0x02, "dir")});
  ExpectCutsAreSafe(bytes, 0, files);

  // A compressed stream cut anywhere.
  const std::string lh5 = ReadFile(CorpusPath("archives/lha/lhasa__lha213_lh5.lzh"));
  ASSERT_FALSE(lh5.empty());
  TMemoryByteSource whole(lh5.data(), lh5.size());
  auto reader = MakeLhaReader(whole, {});
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  const TDecoded original = DecodeEntry(*reader, entry);
  ASSERT_EQ(original.Error, errNone);
  ExpectCutsAreSafe(lh5, 0, {{entry.Name, original.Data}}, 7);
}

// Every sample lists as its catalogue says and decodes with a good CRC. Each method packs the same
// text, which must come out identical from all of them.
TEST(LhaReader, SamplesListAndDecode) {
  const auto samples = corvane::test::CorpusSamples("lha");
  ASSERT_EQ(samples.size(), 8u);
  std::map<uint64_t, std::string> contentBySize;
  for (const auto& [sample, expected] : samples) {
    SCOPED_TRACE(sample);
    TFileByteSource source(CorpusPath(sample));
    ASSERT_TRUE(source.Valid());
    const TDetection detection = DetectArchive(source);
    const bool sfx = sample.ends_with(".exe");
    EXPECT_EQ(detection.Type, sfx ? TArcType::atLhaExe : TArcType::atLHA);
    EXPECT_EQ(detection.Offset > 0, sfx);
    TFormatOptions options;
    options.StartOffset = detection.Offset;
    auto reader = MakeLhaReader(source, options);
    const auto entries = ListEntries(*reader);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      const TArcEntry& entry = entries[i];
      std::string name = entry.Name;
      if (entry.IsFolder && name.ends_with('/'))
        name.pop_back();
      EXPECT_EQ(name, expected[i].Name);
      EXPECT_EQ(entry.IsFolder, expected[i].Folder) << entry.Name;
      EXPECT_EQ(static_cast<int64_t>(entry.Size), expected[i].Size) << entry.Name;
      EXPECT_TRUE(entry.HasDosTime || entry.HasUnixTime) << entry.Name;
      const TDecoded got = DecodeEntry(*reader, entry);
      EXPECT_EQ(got.Error, errNone) << entry.Name;
      EXPECT_EQ(static_cast<int64_t>(got.Data.size()), expected[i].Size) << entry.Name;
      auto [known, fresh] = contentBySize.emplace(got.Data.size(), got.Data);
      EXPECT_TRUE(fresh || known->second == got.Data) << entry.Name;
    }
    if (sfx) {
      // liblhasa also finds the archive behind the program by itself.
      TFileByteSource again(CorpusPath(sample));
      auto scanning = MakeLhaReader(again, {});
      const auto found = ListEntries(*scanning);
      ASSERT_EQ(found.size(), 1u);
      EXPECT_EQ(found[0].Offset, detection.Offset);
      EXPECT_EQ(entries[0].Offset, detection.Offset);
    }
  }
}

} // namespace
} // namespace corvane::archive
