#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using corvane::test::CorpusPath;
using corvane::test::CorpusSamples;
using corvane::test::DecodeEntry;
using corvane::test::TDecoded;
using corvane::test::TDecodeStage;

namespace corvane::archive {
namespace {

using namespace std::string_literals;

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file) << path;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Fixture(const std::string& name) {
  return ReadWhole(CORVANE_SOURCE_DIR "/tests/core/archive/fixtures/arj/" + name);
}

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// ---- The contents of the fixtures, made by the same generators as make_fixtures.sh ----

class TLcg {
public:
  explicit TLcg(uint32_t seed) : State(seed) {}
  uint32_t Next() {
    State = State * 1103515245u + 12345u;
    return State >> 16;
  }

private:
  uint32_t State;
};

const char* const kWords[] = {"panel", "folder",  "archive", "volume", "header", "window",
                              "match", "literal", "block",   "table",  "copy",   "move"};

std::string BigText() {
  TLcg lcg(1);
  std::vector<std::string> paragraph;
  for (int i = 0; i < 500; ++i)
    paragraph.push_back(kWords[lcg.Next() % 12]);
  std::string text;
  for (int c = 0; c < 21; ++c) {
    std::vector<std::string> words = paragraph;
    char mark[16];
    std::snprintf(mark, sizeof mark, "copy%02d", c);
    words[(c * 37) % words.size()] = mark;
    char title[32];
    std::snprintf(title, sizeof title, "== section %02d ==\n", c);
    text += title;
    for (size_t i = 0; i < words.size(); ++i)
      text += (i ? " " : "") + words[i];
    text += "\n";
  }
  return text;
}

std::string DataBin() {
  TLcg lcg(2);
  std::string data;
  for (int i = 0; i < 3000; ++i)
    data += static_cast<char>((i / 64) % 3 == 0 ? lcg.Next() & 0xFF : (i * 7) & 0xFF);
  return data;
}

std::string SplitText() {
  TLcg lcg(3);
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    const std::string word = std::string(kWords[lcg.Next() % 12]).substr(0, 2);
    const uint32_t high = lcg.Next();
    const uint32_t low = lcg.Next();
    text += (i ? " " : "") + word + std::to_string(high * 32 + low % 32);
  }
  return text;
}

std::string SmallText() {
  std::string text;
  for (int i = 0; i < 20; ++i)
    text += "small file\n";
  return text;
}

constexpr int64_t kFixtureTime = 1614834368; // 2021-03-04 05:06:08 UTC

// ---- Archives made by hand ----

void Put16(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<uint16_t>(value >> 16));
}

// One header with its data, stored (method 0) unless Packed is given.
struct TArjItem {
  explicit TArjItem(std::string name, std::string data = {})
      : Name(std::move(name)), Data(std::move(data)) {}
  TArjItem& WithHost(uint8_t host) {
    Host = host;
    return *this;
  }
  TArjItem& WithType(uint8_t type) {
    FileType = type;
    return *this;
  }
  TArjItem& WithMode(uint16_t mode) {
    Mode = mode;
    return *this;
  }
  TArjItem& WithExtended(std::string data) {
    Extended.push_back(std::move(data));
    return *this;
  }

  std::string Name; // the bytes as stored
  std::string Data;
  uint8_t Host = 0;
  uint8_t Flags = 0;
  uint8_t Method = 0;
  uint8_t FileType = 0;
  uint32_t Time = 0x52345678;
  uint16_t Mode = 0x20;
  std::optional<std::string> Packed;
  std::optional<uint32_t> StatedSize; // instead of the right ones
  std::optional<uint32_t> StatedCrc;
  std::vector<std::string> Extended;

  std::string Bytes() const {
    const std::string packed = Packed.value_or(Data);
    std::string basic;
    basic += static_cast<char>(30);
    basic += "\x0b\x01"s;
    basic += static_cast<char>(Host);
    basic += static_cast<char>(Flags);
    basic += static_cast<char>(Method);
    basic += static_cast<char>(FileType);
    basic += '\0';
    Put32(basic, Time);
    Put32(basic, static_cast<uint32_t>(packed.size()));
    Put32(basic, StatedSize.value_or(static_cast<uint32_t>(Data.size())));
    Put32(basic, StatedCrc.value_or(Crc(Data)));
    Put16(basic, 0);
    Put16(basic, Mode);
    Put16(basic, 0);
    basic += Name + '\0' + '\0';
    std::string out = "\x60\xea"s;
    Put16(out, static_cast<uint16_t>(basic.size()));
    out += basic;
    Put32(out, Crc(basic));
    for (const std::string& extended : Extended) {
      Put16(out, static_cast<uint16_t>(extended.size()));
      out += extended;
      Put32(out, Crc(extended));
    }
    Put16(out, 0);
    return out + packed;
  }
};

std::string BuildArj(const std::vector<TArjItem>& items, uint8_t host = 0) {
  std::string out = TArjItem("HAND.ARJ").WithHost(host).WithType(2).Bytes();
  for (const TArjItem& item : items)
    out += item.Bytes();
  return out + "\x60\xea\x00\x00"s;
}

// Replaces a field of the basic header at `header` and puts the header's CRC right again.
void PatchHeader(std::string& bytes, uint64_t header, size_t field, std::string_view value) {
  const size_t basic = static_cast<size_t>(header) + 4;
  const size_t size = static_cast<uint8_t>(bytes[basic - 2]) |
                      static_cast<size_t>(static_cast<uint8_t>(bytes[basic - 1])) << 8;
  bytes.replace(basic + field, value.size(), value);
  std::string crc;
  Put32(crc, Crc(std::string_view(bytes).substr(basic, size)));
  bytes.replace(basic + size, 4, crc);
}
std::string Le32Bytes(uint32_t value) {
  std::string out;
  Put32(out, value);
  return out;
}
constexpr size_t kFieldMethod = 5;
constexpr size_t kFieldPackedSize = 12;
constexpr size_t kFieldSize = 16;
constexpr size_t kFieldCrc = 20;

// Where the data after the header at `header` starts, in an archive without extended headers.
size_t DataStart(const std::string& bytes, uint64_t header) {
  const size_t basic = static_cast<size_t>(header) + 4;
  const size_t size = static_cast<uint8_t>(bytes[basic - 2]) |
                      static_cast<size_t>(static_cast<uint8_t>(bytes[basic - 1])) << 8;
  return basic + size + 4 + 2;
}

// ---- Reading ----

struct TOpened : test::TOpenedArchive {
  explicit TOpened(std::string bytes, const TFormatOptions& options = {})
      : TOpenedArchive(std::move(bytes), MakeArjReader, options) {}
};

// The code a reader throws while it is made or walked, or errNone.
int ListError(const std::string& bytes, const TFormatOptions& options = {}) {
  return test::ThrownCode([&] { TOpened(bytes, options).List(); });
}

// Later volumes from memory, counting the requests.
struct TVolumeSet {
  std::vector<std::optional<std::string>> Bytes; // volume 2, 3, ...; nullopt: missing
  std::vector<std::pair<int, std::string>> Asked;
  TFormatOptions Options() {
    TFormatOptions options;
    options.NextPart = [this](int part, const std::string& stored) -> std::unique_ptr<TByteSource> {
      Asked.emplace_back(part, stored);
      const size_t index = static_cast<size_t>(part - 2);
      if (part < 2 || index >= Bytes.size() || !Bytes[index])
        return nullptr;
      return std::make_unique<TMemoryByteSource>(Bytes[index]->data(), Bytes[index]->size());
    };
    return options;
  }
};

// ---- Well-formed archives ----

TEST(ArjReader, CorpusSamplesListAndDecodeAsCatalogued) {
  const auto samples = CorpusSamples("arj");
  ASSERT_EQ(samples.size(), 3u);
  const std::map<std::string, std::string> originals = {
      {"EXE/TEST.EXE", ReadWhole(CorpusPath("archives/_originals/sharpcompress/test.exe"))},
      {"JPG/TEST.JPG", ReadWhole(CorpusPath("archives/_originals/sharpcompress/test.jpg"))}};
  std::map<std::string, std::string> text; // TECT.TXT, which has no original: the same in all
  for (const auto& [sample, expected] : samples) {
    SCOPED_TRACE(sample);
    TOpened arj(ReadWhole(CorpusPath(sample)));
    const auto entries = arj.List();
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      const TArcEntry& entry = entries[i];
      EXPECT_EQ(entry.Index, i);
      EXPECT_EQ(entry.Name, expected[i].Name);
      EXPECT_EQ(entry.IsFolder, expected[i].Folder) << entry.Name;
      EXPECT_EQ(static_cast<int64_t>(entry.Size), expected[i].Size) << entry.Name;
      EXPECT_TRUE(entry.HasDosTime) << entry.Name;
      if (entry.IsFolder) {
        EXPECT_EQ(entry.Attributes, ftDirectory);
        continue;
      }
      EXPECT_EQ(entry.Attributes, ftArchive) << entry.Name;
      const TDecoded decoded = DecodeEntry(*arj.Reader, entry);
      EXPECT_EQ(decoded.Error, errNone) << entry.Name;
      if (const auto original = originals.find(entry.Name); original != originals.end())
        EXPECT_TRUE(decoded.Data == original->second) << entry.Name;
      else
        text[sample] = decoded.Data;
    }
  }
  ASSERT_EQ(text.size(), 3u);
  for (const auto& [sample, data] : text)
    EXPECT_TRUE(data == text.begin()->second) << sample;
  EXPECT_EQ(text.begin()->second.size(), 15498u);

  // A DOS time as the listing of the archive's maker shows it: 2022-08-01 19:23:04.
  TOpened store(ReadWhole(CorpusPath("archives/arj/sharpcompress__Arj.store.arj")));
  TArcEntry entry;
  ASSERT_TRUE(store.Reader->Next(entry));
  EXPECT_EQ(entry.DosTime, (42u << 25) | (8u << 21) | (1u << 16) | (19u << 11) | (23u << 5) | 2u);
}

TEST(ArjReader, EachMethodDecodesItsFixture) {
  struct TExpected {
    const char* Name;
    bool Folder;
    std::string Data;
    uint32_t Mode;
  };
  const std::string big = BigText();
  const std::string data = DataBin();
  ASSERT_EQ(big.size(), 68366u);
  for (int method = 0; method <= 4; ++method) {
    SCOPED_TRACE("method " + std::to_string(method));
    std::vector<TExpected> expected;
    if (method > 0)
      expected.push_back({"big.txt", false, big, 0644});
    expected.push_back({"sub/data.bin", false, data, 0644});
    expected.push_back({"sub/empty.txt", false, "", 0600});
    expected.push_back({"sub/deeper", true, "", 0755});

    TOpened arj(Fixture("methods_m" + std::to_string(method) + ".arj"));
    const auto entries = arj.List();
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      const TArcEntry& entry = entries[i];
      EXPECT_EQ(entry.Name, expected[i].Name);
      EXPECT_EQ(entry.IsFolder, expected[i].Folder) << entry.Name;
      EXPECT_EQ(entry.Attributes & ftDirectory, expected[i].Folder ? ftDirectory : 0u);
      EXPECT_EQ(entry.Size, expected[i].Data.size()) << entry.Name;
      EXPECT_TRUE(entry.HasUnixTime && !entry.HasDosTime) << entry.Name;
      EXPECT_EQ(entry.UnixTime, kFixtureTime) << entry.Name;
      EXPECT_TRUE(entry.HasUnixMode) << entry.Name;
      EXPECT_EQ(entry.UnixMode, expected[i].Mode) << entry.Name;
      if (entry.IsFolder)
        continue;
      if (entry.Size > 0) {
        EXPECT_EQ(entry.Method, static_cast<uint32_t>(method)) << entry.Name;
      }
      // Small reads end in the middle of matches; large ones span the whole window.
      for (const size_t chunk : {size_t{65536}, size_t{7}}) {
        const TDecoded decoded = DecodeEntry(*arj.Reader, entry, "", chunk);
        EXPECT_EQ(decoded.Error, errNone) << entry.Name << " in reads of " << chunk;
        EXPECT_TRUE(decoded.Data == expected[i].Data) << entry.Name << " in reads of " << chunk;
      }
    }
  }
}

TEST(ArjReader, UnixLinksAreLinks) {
  TOpened arj(Fixture("links.arj"));
  const auto entries = arj.List();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].Name, "links/symlink");
  EXPECT_TRUE(entries[0].IsLink);
  EXPECT_FALSE(entries[0].IsHardLink);
  EXPECT_EQ(entries[0].LinkTarget, "file.bin");
  // The packer stored the data under one name and made the other a hard link to it.
  EXPECT_EQ(entries[1].Name, "links/hardlink");
  EXPECT_FALSE(entries[1].IsLink);
  EXPECT_TRUE(DecodeEntry(*arj.Reader, entries[1]).Data == DataBin());
  EXPECT_EQ(entries[2].Name, "links/file.bin");
  EXPECT_TRUE(entries[2].IsLink && entries[2].IsHardLink);
  EXPECT_EQ(entries[2].LinkTarget, "links/hardlink");
}

TEST(ArjReader, GarbledFilesNeedTheirPassword) {
  TOpened arj(Fixture("garbled.arj"));
  const auto entries = arj.List();
  ASSERT_EQ(entries.size(), 2u);
  const std::string contents[] = {DataBin(), BigText()};
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_TRUE(entries[i].Encrypted) << entries[i].Name;
    for (const char* wrong : {"", "secreT", "secret2"}) {
      const TDecoded refused = DecodeEntry(*arj.Reader, entries[i], wrong);
      EXPECT_EQ(refused.Stage, TDecodeStage::Open) << wrong;
      EXPECT_EQ(refused.Error, errInvalidPassword) << wrong;
    }
    const TDecoded decoded = DecodeEntry(*arj.Reader, entries[i], "secret");
    EXPECT_EQ(decoded.Error, errNone) << entries[i].Name;
    EXPECT_TRUE(decoded.Data == contents[i]) << entries[i].Name;
  }

  // Later encryption versions need modules of their own.
  std::string stronger = Fixture("garbled.arj");
  PatchHeader(stronger, 0, 28, "\x02");
  TOpened refused(stronger);
  TArcEntry entry;
  ASSERT_TRUE(refused.Reader->Next(entry));
  EXPECT_EQ(DecodeEntry(*refused.Reader, entry, "secret").Error, errUnsupportedMethod);
}

TEST(ArjReader, FileSplitAcrossVolumes) {
  const std::string first = Fixture("volumes.arj");
  const std::string second = Fixture("volumes.a01");
  const std::string split = SplitText();

  TVolumeSet volumes;
  volumes.Bytes = {second};
  TOpened arj(first, volumes.Options());
  const auto entries = arj.List();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Name, "split.txt");
  EXPECT_EQ(entries[0].Size, split.size());
  EXPECT_EQ(entries[1].Name, "small.txt");
  EXPECT_EQ(entries[1].Size, SmallText().size());
  for (const size_t chunk : {size_t{65536}, size_t{1000}}) {
    const TDecoded whole = DecodeEntry(*arj.Reader, entries[0], "", chunk);
    EXPECT_EQ(whole.Error, errNone);
    EXPECT_TRUE(whole.Data == split);
  }
  EXPECT_TRUE(DecodeEntry(*arj.Reader, entries[1]).Data == SmallText());
  // The second volume was asked for once, by number, without a name of its own.
  ASSERT_EQ(volumes.Asked.size(), 1u);
  EXPECT_EQ(volumes.Asked[0], std::make_pair(2, std::string()));

  // A later volume opened by itself gives the rest of the split file as a file of its own.
  TOpened later(second);
  const auto rest = later.List();
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_LT(rest[0].Size, split.size());
  const TDecoded tail = DecodeEntry(*later.Reader, rest[0]);
  EXPECT_EQ(tail.Error, errNone);
  EXPECT_EQ(tail.Data.size(), rest[0].Size);
  EXPECT_TRUE(split.ends_with(tail.Data));
}

TEST(ArjReader, BrokenVolumeChains) {
  const std::string first = Fixture("volumes.arj");
  const std::string second = Fixture("volumes.a01");
  const size_t piece = second.find("\x60\xea"s, 4); // the rest of split.txt
  std::string elsewhere = second;
  PatchHeader(elsewhere, piece, 30, Le32Bytes(1000)); // where the piece starts in the file
  std::string renamed = second;
  PatchHeader(renamed, piece, 46, "S");
  struct TCase {
    const char* What;
    std::optional<std::string> Volume;
  };
  const TCase cases[] = {
      {"missing", std::nullopt},
      {"a piece that starts elsewhere in the file", elsewhere},
      {"a piece of another file", renamed},
      {"another archive", Fixture("methods_m1.arj")},
      {"the first volume again", first},
      {"not an archive", std::string(200, 'x')},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TVolumeSet volumes;
    volumes.Bytes = {c.Volume};
    TOpened arj(first, volumes.Options());
    // The split file is listed; nothing after it can be found.
    const auto entries = arj.List();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, "split.txt");
    const TDecoded decoded = DecodeEntry(*arj.Reader, entries[0]);
    EXPECT_EQ(decoded.Error, errBrokenVolumeChain);
    EXPECT_EQ(decoded.Stage, TDecodeStage::Open);
    EXPECT_EQ(volumes.Asked.size(), 1u);
  }
  // Without any way to ask for volumes.
  TOpened alone(first);
  const auto entries = alone.List();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(DecodeEntry(*alone.Reader, entries[0]).Error, errBrokenVolumeChain);

  // A volume set that breaks between two files: nothing lists the missing ones, so Next says so.
  std::string volume = BuildArj({TArjItem("A.TXT", "a")});
  PatchHeader(volume, 0, 4, "\x04"); // the main header's "more volumes follow"
  TVolumeSet none;
  none.Bytes = {std::nullopt};
  EXPECT_EQ(ListError(volume, none.Options()), errBrokenVolumeChain);
}

TEST(ArjReader, NamesTimesAndAttributesFollowTheHost) {
  struct TCase {
    TArjItem Item;
    const char* Name;
    bool DosTime;
    uint32_t Attributes;
    std::optional<uint32_t> UnixMode;
    bool Folder;
  };
  const TCase cases[] = {
      // DOS: the code page, "\" separates folders, the mode is the attribute byte.
      {TArjItem("DIR\\F\x81R.TXT").WithMode(0x21), "DIR/F\xc3\xbcR.TXT", true, 0x21, std::nullopt,
       false},
      {TArjItem("W\\X.TXT").WithHost(11).WithMode(0x26), "W/X.TXT", true, 0x26, std::nullopt,
       false},
      {TArjItem("OLD").WithType(3).WithMode(0x10), "OLD", true, 0x10, std::nullopt, true},
      // Unix: UTF-8 names when they are UTF-8, "\" is a character, times and modes as Unix's.
      {TArjItem("d/a\\b \xc3\xa9").WithHost(2).WithMode(0x1000 | 0750), "d/a\\b \xc3\xa9", false, 0,
       0750, false},
      {TArjItem("d/\x81.txt").WithHost(2).WithMode(0x1000 | 0444), "d/\xc3\xbc.txt", false,
       ftReadOnly, 0444, false},
      {TArjItem("dir").WithHost(2).WithType(3).WithMode(0x2000 | 0711), "dir", false, ftDirectory,
       0711, true},
      // The name ends at its NUL (what follows is the comment), where the kernel would end it.
      {TArjItem("..\0/x"s).WithHost(2).WithMode(0x1000 | 0644), "..", false, 0, 0644, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TArjItem item = c.Item;
    item.Data = c.Folder ? "" : "data";
    TOpened arj(BuildArj({item}));
    const auto entries = arj.List();
    ASSERT_EQ(entries.size(), 1u);
    const TArcEntry& entry = entries[0];
    EXPECT_EQ(entry.Name, c.Name);
    EXPECT_EQ(entry.IsFolder, c.Folder);
    EXPECT_EQ(entry.HasDosTime, c.DosTime);
    EXPECT_EQ(entry.HasUnixTime, !c.DosTime);
    EXPECT_EQ(c.DosTime ? entry.DosTime : static_cast<uint32_t>(entry.UnixTime), item.Time);
    EXPECT_EQ(entry.Attributes, c.Attributes);
    EXPECT_EQ(entry.HasUnixMode, c.UnixMode.has_value());
    EXPECT_EQ(entry.UnixMode, c.UnixMode.value_or(0));
    EXPECT_EQ(DecodeEntry(*arj.Reader, entry).Data, item.Data);
  }
}

TEST(ArjReader, LabelsAreSkippedAndExtendedHeadersPassed) {
  const std::vector<TArjItem> items = {
      TArjItem("LABEL").WithType(4),
      TArjItem("ONE.TXT", "one").WithExtended("X").WithExtended(std::string(300, 'e')),
      TArjItem("CHAPTER").WithType(5),
      TArjItem("TWO.TXT", "two"),
  };
  TOpened arj(BuildArj(items));
  const auto entries = arj.List();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Name, "ONE.TXT");
  EXPECT_EQ(entries[0].Index, 0u);
  EXPECT_EQ(DecodeEntry(*arj.Reader, entries[0]).Data, "one");
  EXPECT_EQ(entries[1].Name, "TWO.TXT");
  EXPECT_EQ(entries[1].Index, 1u);
  EXPECT_EQ(DecodeEntry(*arj.Reader, entries[1]).Data, "two");
}

TEST(ArjReader, VolumeNames) {
  const std::pair<std::pair<const char*, int>, const char*> cases[] = {
      {{"/x/set.arj", 1}, "/x/set.arj"},   {{"/x/set.arj", 2}, "/x/set.a01"},
      {{"/x/SET.ARJ", 3}, "/x/SET.A02"},   {{"/x/set.arj", 100}, "/x/set.a99"},
      {{"/x/set.arj", 101}, "/x/set.100"}, {{"/x/set.arj", 1000}, "/x/set.999"},
      {{"/x/set.arj", 1001}, ""},          {{"/x/set.a05", 2}, "/x/set.a06"},
      {{"/x/set.001", 2}, "/x/set.002"},   {{"/x/set.foo", 2}, "/x/set.f01"},
      {{"/x/set", 2}, "/x/set.a01"},       {{"/x.d/set", 2}, "/x.d/set.a01"},
  };
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(ArjPartName(input.first, input.second), expected)
        << input.first << " volume " << input.second;
}

// ---- Hostile input ----

TEST(ArjHostile, BrokenHeadersThrow) {
  const TArjItem item("A.TXT", "some data");
  const std::string good = BuildArj({item});
  const size_t local = good.find("\x60\xea"s, 4);
  struct TCase {
    const char* What;
    std::function<void(std::string&)> Change;
    int Error;
  };
  const TCase cases[] = {
      {"not an archive", [](std::string& b) { b = "MZ" + b; }, errHeaderNotFound},
      {"empty", [](std::string& b) { b.clear(); }, errHeaderNotFound},
      {"main header CRC", [](std::string& b) { b[10] ^= 1; }, errHeaderCrc},
      {"local header CRC", [&](std::string& b) { b[local + 20] ^= 1; }, errHeaderCrc},
      {"basic header over 2600",
       [&](std::string& b) {
         b[local + 2] = '\x29';
         b[local + 3] = '\x0a';
       },
       errBadFileHeader},
      {"basic header past the end",
       [&](std::string& b) {
         b[local + 2] = '\x00';
         b[local + 3] = '\x0a';
       },
       errUnexpectedEof},
      {"first header size below its fields",
       [&](std::string& b) { PatchHeader(b, local, 0, "\x10"); }, errBadFileHeader},
      {"first header size past the basic header",
       [&](std::string& b) { PatchHeader(b, local, 0, "\xff"); }, errBadFileHeader},
      {"no header id", [&](std::string& b) { b[local] = 'x'; }, errBadFileHeader},
      {"main header is a file", [](std::string& b) { PatchHeader(b, 0, 6, "\x00"s); },
       errBadFileHeader},
      {"no end header", [](std::string& b) { b.resize(b.size() - 4); }, errUnexpectedEof},
      {"data past the end", [](std::string& b) { b.resize(b.size() - 6); }, errUnexpectedEof},
      {"packed size past the end",
       [&](std::string& b) { PatchHeader(b, local, kFieldPackedSize, Le32Bytes(0xFFFFFF00)); },
       errUnexpectedEof},
  };
  for (const TCase& c : cases) {
    std::string bytes = good;
    c.Change(bytes);
    EXPECT_EQ(ListError(bytes), c.Error) << c.What;
  }

  // Extended headers: their lengths and CRCs are checked too.
  TArjItem extended = item;
  extended.WithExtended("EXT");
  std::string bytes = BuildArj({extended});
  const size_t ext = bytes.find("EXT");
  std::string badCrc = bytes;
  badCrc[ext + 3] ^= 1;
  EXPECT_EQ(ListError(badCrc), errHeaderCrc);
  std::string tooLong = bytes;
  tooLong[ext - 2] = '\xff';
  EXPECT_EQ(ListError(tooLong), errUnexpectedEof);
}

TEST(ArjHostile, SizesAndMethodsThatLieAreFaults) {
  struct TCase {
    const char* What;
    int Method;
    size_t Field;
    std::function<std::string(const TArcEntry&)> Value;
    int Error;
    TDecodeStage Stage;
  };
  const auto less = [](const TArcEntry& e) { return Le32Bytes(static_cast<uint32_t>(e.Size / 2)); };
  const auto more = [](const TArcEntry& e) { return Le32Bytes(static_cast<uint32_t>(e.Size * 3)); };
  const auto huge = [](const TArcEntry&) { return Le32Bytes(0xFFFFFFF0); };
  const auto packedLess = [](const TArcEntry& e) {
    return Le32Bytes(static_cast<uint32_t>(e.PackedSize / 2));
  };
  const auto crc = [](const TArcEntry& e) { return Le32Bytes(e.Crc ^ 1); };
  const TCase cases[] = {
      {"stored, size larger than the data", 0, kFieldSize, more, errUnexpectedEof,
       TDecodeStage::Read},
      {"stored, size smaller", 0, kFieldSize, less, errCrc, TDecodeStage::Finish},
      {"stored, wrong CRC", 0, kFieldCrc, crc, errCrc, TDecodeStage::Finish},
      {"method 1, size larger than the stream", 1, kFieldSize, huge, errUnexpectedEof,
       TDecodeStage::Read},
      {"method 1, size three times the stream's", 1, kFieldSize, more, errUnexpectedEof,
       TDecodeStage::Read},
      {"method 1, stream cut short", 1, kFieldPackedSize, packedLess, errUnexpectedEof,
       TDecodeStage::Read},
      {"method 1, wrong CRC", 1, kFieldCrc, crc, errCrc, TDecodeStage::Finish},
      {"method 4, size larger than the stream", 4, kFieldSize, huge, errUnexpectedEof,
       TDecodeStage::Read},
      {"method 4, stream cut short", 4, kFieldPackedSize, packedLess, errUnexpectedEof,
       TDecodeStage::Read},
      {"method 9", 1, kFieldMethod, [](const TArcEntry&) { return "\x09"s; }, errUnsupportedMethod,
       TDecodeStage::Open},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    std::string bytes = Fixture("methods_m" + std::to_string(c.Method) + ".arj");
    TArcEntry data; // sub/data.bin: its data is followed by the other entries
    {
      TOpened arj(bytes);
      for (const TArcEntry& entry : arj.List())
        if (entry.Name == "sub/data.bin")
          data = entry;
    }
    ASSERT_EQ(data.Name, "sub/data.bin");
    PatchHeader(bytes, data.Offset, c.Field, c.Value(data));
    TOpened arj(bytes);
    TArcEntry entry;
    do
      ASSERT_TRUE(arj.Reader->Next(entry));
    while (entry.Name != "sub/data.bin");
    const TDecoded decoded = DecodeEntry(*arj.Reader, entry);
    EXPECT_EQ(decoded.Error, c.Error);
    EXPECT_EQ(decoded.Stage, c.Stage);
  }
}

// Decodes everything an archive lists; true when any step reported a fault.
bool WalkAndDecode(const std::string& bytes, const TFormatOptions& options = {}) {
  bool fault = false;
  try {
    TOpened arj(bytes, options);
    TArcEntry entry;
    while (arj.Reader->Next(entry)) {
      if (entry.IsFolder || entry.IsLink)
        continue;
      const TDecoded decoded = DecodeEntry(*arj.Reader, entry, "secret", 4096);
      fault = fault || decoded.Error != errNone;
    }
  } catch (const EArchiveError& error) {
    EXPECT_NE(error.Code(), errNone);
    fault = true;
  }
  return fault;
}

TEST(ArjHostile, EveryTruncationFailsCleanly) {
  for (const char* name : {"methods_m1.arj", "methods_m4.arj", "garbled.arj", "links.arj"}) {
    const std::string bytes = Fixture(name);
    ASSERT_FALSE(WalkAndDecode(bytes)) << name;
    const size_t step = std::max<size_t>(1, bytes.size() / 400);
    for (size_t cut = 0; cut < bytes.size(); cut += step)
      EXPECT_TRUE(WalkAndDecode(bytes.substr(0, cut))) << name << " cut at " << cut;
  }
}

TEST(ArjHostile, ChangedPackedBytesNeverGiveWrongData) {
  // Bytes all over the packed data of big.txt changed in one bit or in all of them: the decoder
  // must fail cleanly or (where the change only hits unused bits) give the right data.
  const std::string big = BigText();
  for (const int method : {1, 3, 4}) {
    const std::string bytes = Fixture("methods_m" + std::to_string(method) + ".arj");
    TArcEntry entry;
    {
      TOpened arj(bytes);
      ASSERT_TRUE(arj.Reader->Next(entry));
    }
    const size_t start = DataStart(bytes, entry.Offset);
    const size_t step = std::max<size_t>(1, entry.PackedSize / 150);
    int faults = 0;
    for (size_t at = start; at < start + entry.PackedSize; at += step) {
      for (const uint8_t mask : {uint8_t{0x10}, uint8_t{0xFF}}) {
        std::string changed = bytes;
        changed[at] = static_cast<char>(changed[at] ^ mask);
        TOpened arj(changed);
        TArcEntry first;
        ASSERT_TRUE(arj.Reader->Next(first));
        const TDecoded decoded = DecodeEntry(*arj.Reader, first);
        if (decoded.Error == errNone)
          EXPECT_TRUE(decoded.Data == big) << "method " << method << " byte " << at;
        else
          ++faults;
      }
    }
    EXPECT_GT(faults, 0) << "method " << method;
  }
}

} // namespace
} // namespace corvane::archive
