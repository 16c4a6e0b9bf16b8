#include "archive/archive_format.h"
#include "archive_samples.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <optional>

using corvane::test::DecodeEntry;
using corvane::test::TDecoded;
using corvane::test::TDecodeStage;

namespace corvane::archive {
namespace {

using namespace std::string_literals;

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t Crc32(std::string_view data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The system data of a Unix file: type 2, mode, owner and group.
std::string UnixSystem(uint32_t mode) {
  std::string out = "\x02"s;
  Put16(out, mode);
  Put16(out, 1000);
  Put16(out, 1000);
  return out;
}

// One file as the test writer stores it.
struct THaFile {
  std::string Content{};
  uint8_t Method = 0;
  std::string Folder{}; // "/" between its components, written as 0xFF
  std::string Name = "file.txt";
  std::string System = UnixSystem(0100644);
  uint8_t Version = 2;
  bool Deleted = false;
  std::optional<uint32_t> Size{};
  std::optional<uint32_t> Crc{};
  uint32_t Time = 1'700'000'000;
};

std::string HaArchive(const std::vector<THaFile>& files, std::optional<uint16_t> count = {}) {
  std::string out = "HA";
  Put16(out, count.value_or(static_cast<uint16_t>(
                 std::count_if(files.begin(), files.end(), [](auto& f) { return !f.Deleted; }))));
  for (const auto& f : files) {
    out += static_cast<char>(f.Deleted ? 0xFF : f.Version << 4 | f.Method);
    Put32(out, static_cast<uint32_t>(f.Content.size()));
    Put32(out, f.Size.value_or(static_cast<uint32_t>(f.Content.size())));
    Put32(out, f.Crc.value_or(Crc32(f.Content)));
    Put32(out, f.Time);
    std::string folder = f.Folder;
    std::replace(folder.begin(), folder.end(), '/', '\xFF');
    out += folder + '\0' + f.Name + '\0';
    out += static_cast<char>(f.System.size());
    out += f.System;
    out += f.Content;
  }
  return out;
}

TEST(HaReader, ListsNamesTimesAndAttributes) {
  struct TCase {
    const char* What;
    THaFile File;
    const char* Name;
    uint32_t Attributes;
    std::optional<uint32_t> Mode;
    bool Folder = false;
    std::optional<std::string> Link{};
  };
  const TCase cases[] = {
      {"plain", {.Content = "abc"}, "file.txt", 0, 0644},
      {"folder", {.Folder = "src/lib"}, "src/lib/file.txt", 0, 0644},
      {"folder ending in its separator", {.Folder = "src/"}, "src/file.txt", 0, 0644},
      {"read-only Unix file", {.System = UnixSystem(0100444)}, "file.txt", ftReadOnly, 0444},
      {"DOS attributes", {.System = "\x01\x21"s}, "file.txt", ftReadOnly | ftArchive, {}},
      {"no system data", {.System = ""}, "file.txt", 0, {}},
      {"system data too short", {.System = "\x02\x01"s}, "file.txt", 0, {}},
      {"DOS code page",
       {.Name = "\x81"
                "ber.txt",
        .System = "\x01\x20"s},
       "\xc3\xbc"
       "ber.txt",
       ftArchive,
       {}},
      {"UTF-8", {.Name = "gr\xc3\xbc\xc3\x9f"}, "gr\xc3\xbc\xc3\x9f", 0, 0644},
      {"folder entry",
       {.Method = 14, .Folder = "docs", .Name = "old", .System = UnixSystem(040755)},
       "docs/old",
       ftDirectory,
       0755,
       true},
      {"DOS folder entry",
       {.Method = 14, .Name = "old", .System = "\x01\x10"s},
       "old",
       ftDirectory,
       {},
       true},
      {"link",
       {.Content = "../target\0"s, .Method = 15, .System = UnixSystem(0120777)},
       "file.txt",
       0,
       0777,
       false,
       "../target"},
  };
  for (const auto& c : cases) {
    const std::string bytes = HaArchive({c.File});
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeHaReader(source, {});
    TArcEntry e;
    ASSERT_TRUE(reader->Next(e)) << c.What;
    EXPECT_EQ(e.Name, c.Name) << c.What;
    EXPECT_EQ(e.Offset, 4u) << c.What;
    EXPECT_EQ(e.Method, c.File.Method) << c.What;
    EXPECT_EQ(e.Size, c.File.Content.size()) << c.What;
    EXPECT_EQ(e.PackedSize, c.File.Content.size()) << c.What;
    EXPECT_EQ(e.Crc, Crc32(c.File.Content)) << c.What;
    EXPECT_TRUE(e.HasUnixTime) << c.What;
    EXPECT_EQ(e.UnixTime, 1'700'000'000) << c.What;
    EXPECT_FALSE(e.HasDosTime) << c.What;
    EXPECT_EQ(e.Attributes, c.Attributes) << c.What;
    EXPECT_EQ(e.HasUnixMode, c.Mode.has_value()) << c.What;
    EXPECT_EQ(e.UnixMode, c.Mode.value_or(0)) << c.What;
    EXPECT_EQ(e.IsFolder, c.Folder) << c.What;
    EXPECT_EQ(e.IsLink, c.Link.has_value()) << c.What;
    EXPECT_EQ(e.LinkTarget, c.Link.value_or("")) << c.What;
    EXPECT_FALSE(reader->Next(e)) << c.What;
  }
}

TEST(HaReader, DecodesStoredDataOnly) {
  const std::string text = "stored text of an HA archive\n";
  struct TCase {
    const char* What;
    THaFile File;
    int Error;
    TDecodeStage Stage;
  };
  const TCase cases[] = {
      {"stored", {.Content = text}, errNone, TDecodeStage::Finish},
      {"stored, empty", {.Content = ""}, errNone, TDecodeStage::Finish},
      {"CRC does not match",
       {.Content = text, .Crc = Crc32(text) ^ 1},
       errCrc,
       TDecodeStage::Finish},
      {"size larger than the data",
       {.Content = text, .Size = 100},
       errUnexpectedEof,
       TDecodeStage::Read},
      {"data beyond the size", {.Content = text, .Size = 10}, errCorruptInput, TDecodeStage::Read},
      {"ASC", {.Content = text, .Method = 1}, errUnsupportedMethod, TDecodeStage::Open},
      {"HSC", {.Content = text, .Method = 2}, errUnsupportedMethod, TDecodeStage::Open},
      {"unknown method", {.Content = text, .Method = 7}, errUnsupportedMethod, TDecodeStage::Open},
      {"folder", {.Method = 14}, errUnsupportedMethod, TDecodeStage::Open},
  };
  for (const auto& c : cases) {
    // A second file after it shows that its data is where the header says.
    const std::string bytes = HaArchive({c.File, {.Content = "second", .Name = "b"}});
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeHaReader(source, {});
    TArcEntry first, second;
    ASSERT_TRUE(reader->Next(first)) << c.What;
    ASSERT_TRUE(reader->Next(second)) << c.What;
    for (const size_t chunk : {size_t{1}, size_t{65536}}) {
      const TDecoded got = DecodeEntry(*reader, first, "", chunk);
      EXPECT_EQ(got.Error, c.Error) << c.What;
      EXPECT_EQ(got.Stage, c.Stage) << c.What;
      if (c.Error == errNone || c.Error == errCrc) {
        EXPECT_EQ(got.Data, c.File.Content) << c.What;
      }
    }
    EXPECT_EQ(DecodeEntry(*reader, second).Data, "second") << c.What;
  }
}

TEST(HaReader, SkipsDeletedFiles) {
  const std::string bytes = HaArchive({{.Content = "1", .Name = "one"},
                                       {.Content = "gone", .Name = "gone", .Deleted = true},
                                       {.Content = "3", .Name = "three"}});
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeHaReader(source, {});
  TArcEntry e;
  ASSERT_TRUE(reader->Next(e));
  EXPECT_EQ(e.Name, "one");
  ASSERT_TRUE(reader->Next(e));
  EXPECT_EQ(e.Name, "three");
  EXPECT_EQ(e.Index, 1u);
  EXPECT_EQ(DecodeEntry(*reader, e).Data, "3");
  EXPECT_FALSE(reader->Next(e));
}

TEST(HaReader, RefusesBrokenArchives) {
  const std::vector<THaFile> two = {{.Content = "first", .Name = "a"},
                                    {.Content = "second", .Name = "b"}};
  const std::string good = HaArchive(two);
  struct TCase {
    const char* What;
    std::string Bytes;
    size_t Listed;
    int Error; // thrown after the listed entries; errNone: the listing ends normally
  };
  const TCase cases[] = {
      {"intact", good, 2, errNone},
      {"count smaller than the files", HaArchive(two, 1), 1, errNone},
      {"count 0", HaArchive(two, 0), 0, errNone},
      {"count larger than the files", HaArchive(two, 3), 2, errUnexpectedEof},
      {"count far beyond the size", HaArchive(two, 65535), 2, errUnexpectedEof},
      {"newer version", HaArchive({{.Version = 3}}), 0, errUnsupportedVersion},
      {"name without its end", good.substr(0, 4 + 17 + 1 + 1), 0, errUnexpectedEof},
      {"system data past the end", good.substr(0, 4 + 17 + 1 + 2 + 3), 0, errUnexpectedEof},
      {"name longer than any name", HaArchive({{.Folder = std::string(70'000, 'f')}}), 0,
       errBadFileHeader},
      {"data of the last file cut", good.substr(0, good.size() - 1), 2, errNone},
  };
  for (const auto& c : cases) {
    TMemoryByteSource source(c.Bytes.data(), c.Bytes.size());
    auto reader = MakeHaReader(source, {});
    size_t listed = 0;
    int error = errNone;
    try {
      TArcEntry entry;
      while (reader->Next(entry))
        ++listed;
    } catch (const EArchiveError& e) {
      error = e.Code();
    }
    EXPECT_EQ(listed, c.Listed) << c.What;
    EXPECT_EQ(error, c.Error) << c.What;
  }

  for (const std::string& bytes : {""s, "HA\x01"s, "AH\x01\x00"s}) {
    TMemoryByteSource source(bytes.data(), bytes.size());
    try {
      MakeHaReader(source, {});
      ADD_FAILURE() << "accepted " << bytes.size() << " bytes";
    } catch (const EArchiveError& e) {
      EXPECT_EQ(e.Code(), errHeaderNotFound);
    }
  }
}

// Lists and decodes everything; true when a fault was thrown or reported.
bool ReadsWithFault(const std::string& bytes) {
  TMemoryByteSource source(bytes.data(), bytes.size());
  bool fault = false;
  try {
    auto reader = MakeHaReader(source, {});
    TArcEntry entry;
    while (reader->Next(entry))
      if (entry.Method == 0)
        fault |= DecodeEntry(*reader, entry).Error != errNone;
  } catch (const EArchiveError&) {
    fault = true;
  }
  return fault;
}

TEST(HaReader, SurvivesTruncationAndBitFlips) {
  const std::string bytes =
      HaArchive({{.Content = "stored one", .Folder = "d/e", .Name = "one"},
                 {.Method = 14, .Name = "dir", .System = UnixSystem(040755)},
                 {.Content = "x\0"s, .Method = 15, .Name = "l", .System = UnixSystem(0120777)},
                 {.Content = "stored two", .Name = "two", .System = "\x01\x20"s}});
  ASSERT_FALSE(ReadsWithFault(bytes));
  // A cut archive never reads as whole.
  for (size_t size = 0; size < bytes.size(); ++size)
    EXPECT_TRUE(ReadsWithFault(bytes.substr(0, size))) << "cut at " << size;
  for (size_t i = 0; i < bytes.size(); ++i)
    for (int bit = 0; bit < 8; ++bit) {
      std::string flipped = bytes;
      flipped[i] = static_cast<char>(flipped[i] ^ (1 << bit));
      ReadsWithFault(flipped);
    }
}

} // namespace
} // namespace corvane::archive
