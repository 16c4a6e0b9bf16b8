#include "archive/archive_detect.h"
#include "archive/archive_format.h"
#include "archive/archive_libraries.h"
#include "archive_samples.h"
#include "library_override.h"
#include "reader_harness.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <map>
#include <optional>

namespace corvane::archive {
namespace {

using test::Pattern;

using test::ReadFile;

using test::TLibraryOverride;

// RAR 4 archives with stored entries, written block by block for what the samples do not show:
// volumes, hosts, encryption flags, a wrong CRC. (Nothing here writes RAR archives otherwise.)
constexpr uint16_t mainVolume = 0x0001;
constexpr uint16_t mainNewNumbering = 0x0010;
constexpr uint16_t mainFirstVolume = 0x0100;
constexpr uint16_t mainPassword = 0x0080;
constexpr uint16_t fileSplitBefore = 0x0001;
constexpr uint16_t fileSplitAfter = 0x0002;
constexpr uint16_t filePassword = 0x0004;
constexpr uint16_t fileDirectory = 0x00E0;
constexpr uint16_t endNextVolume = 0x0001;
constexpr uint8_t hostDos = 0;
constexpr uint8_t hostWin32 = 2;
constexpr uint8_t hostUnix = 3;
constexpr uint32_t DosStamp = 0x5A8B6000; // 2025-04-11 12:00:00

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

struct TRarFile {
  TRarFile(std::string name, std::string data, uint16_t flags = 0, uint8_t host = hostUnix,
           uint32_t attributes = 0100644, std::optional<uint32_t> size = {},
           std::optional<uint32_t> fileCrc = {})
      : Name(std::move(name)), Data(std::move(data)), Flags(flags), Host(host),
        Attributes(attributes), Size(size), FileCrc(fileCrc) {}
  std::string Name;
  std::string Data; // of this part
  uint16_t Flags = 0;
  uint8_t Host = hostUnix;
  uint32_t Attributes = 0100644;
  std::optional<uint32_t> Size; // of the whole file, when this is a part
  std::optional<uint32_t> FileCrc;
};

class TRar4Builder {
public:
  explicit TRar4Builder(uint16_t mainFlags = 0) {
    Bytes.assign("Rar!\x1A\x07\x00", 7);
    Block(0x73, mainFlags, std::string(6, '\0'));
  }
  TRar4Builder& File(const TRarFile& f) {
    std::string body;
    Put32(body, static_cast<uint32_t>(f.Data.size()));
    Put32(body, f.Size.value_or(static_cast<uint32_t>(f.Data.size())));
    body += static_cast<char>(f.Host);
    Put32(body, f.FileCrc.value_or(Crc(f.Data)));
    Put32(body, DosStamp);
    body += static_cast<char>(29);   // version needed: 2.9
    body += static_cast<char>(0x30); // stored
    Put16(body, static_cast<uint32_t>(f.Name.size()));
    Put32(body, f.Attributes);
    body += f.Name;
    Block(0x74, f.Flags | 0x8000, body);
    Bytes += f.Data;
    return *this;
  }
  std::string End(uint16_t flags = 0) {
    Block(0x7B, flags, "");
    return Bytes;
  }

private:
  void Block(uint8_t type, uint32_t flags, const std::string& body) {
    std::string rest;
    rest += static_cast<char>(type);
    Put16(rest, flags);
    Put16(rest, static_cast<uint32_t>(7 + body.size()));
    rest += body;
    Put16(Bytes, Crc(rest) & 0xFFFF);
    Bytes += rest;
  }

  std::string Bytes;
};

// Every entry with its decoded data; the listing ends or throws EArchiveError (its code in Thrown).
struct TWalk {
  std::vector<TArcEntry> Entries;
  std::vector<test::TDecoded> Data;
  int Thrown = errNone;
};

TWalk Walk(TByteSource& source, const TFormatOptions& options = {}) {
  TWalk walk;
  try {
    auto reader = MakeRarReader(source, options);
    TArcEntry entry;
    while (reader->Next(entry)) {
      walk.Entries.push_back(entry);
      walk.Data.push_back(test::DecodeEntry(*reader, entry));
    }
  } catch (const EArchiveError& e) {
    walk.Thrown = e.Code();
  }
  return walk;
}

TWalk WalkFile(const std::string& path) {
  TFileByteSource source(path);
  EXPECT_TRUE(source.Valid()) << path;
  TFormatOptions options;
  options.StartOffset = DetectArchive(source).Offset;
  return Walk(source, options);
}

bool IsNonAscii(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; });
}

TEST(RarReader, SamplesListAndDecode) {
  const auto samples = test::CorpusSamples("rar");
  ASSERT_EQ(samples.size(), 6u);
  // The same three files are in the RAR 2.9, RAR 5 and RAR 1.5 samples.
  std::map<uint64_t, std::string> decodedBySize;
  for (const auto& [sample, expected] : samples) {
    const bool rar15 = sample.find("Rar15") != std::string::npos;
    const TWalk walk = WalkFile(test::CorpusPath(sample));
    EXPECT_EQ(walk.Thrown, errNone) << sample;
    ASSERT_EQ(walk.Entries.size(), expected.size()) << sample;
    for (size_t i = 0; i < expected.size(); ++i) {
      std::string name = expected[i].Name;
      while (name.size() > 1 && name.back() == '/')
        name.pop_back();
      const bool folder = expected[i].Folder;
      const int64_t size = expected[i].Size;
      const TArcEntry& entry = walk.Entries[i];
      const test::TDecoded& data = walk.Data[i];
      if (name == "(non-ASCII name, DOS code page)") {
        EXPECT_TRUE(IsNonAscii(entry.Name)) << sample << ": " << entry.Name;
      } else {
        EXPECT_EQ(entry.Name, name) << sample;
      }
      EXPECT_EQ(entry.IsFolder, folder) << sample << " " << name;
      EXPECT_EQ((entry.Attributes & ftDirectory) != 0, folder) << sample << " " << name;
      if (size >= 0) {
        EXPECT_EQ(entry.Size, static_cast<uint64_t>(size)) << sample << " " << name;
      }
      EXPECT_TRUE(entry.HasUnixTime) << sample << " " << name;
      EXPECT_FALSE(entry.Encrypted);
      if (folder)
        continue;
      if (rar15) {
        // libarchive cannot decode RAR 1.5 data: a code, never bytes that pass for good.
        EXPECT_EQ(data.Error, errUnsupportedMethod) << sample << " " << name;
        continue;
      }
      EXPECT_EQ(data.Error, errNone) << sample << " " << name;
      EXPECT_EQ(data.Data.size(), entry.Size) << sample << " " << name;
      if (sample.find("sharpcompress") != std::string::npos) {
        auto [it, first] = decodedBySize.emplace(entry.Size, data.Data);
        EXPECT_TRUE(first || it->second == data.Data) << sample << " " << name;
      }
    }
  }
  EXPECT_EQ(decodedBySize.size(), 3u);
}

TEST(RarReader, SelfExtractorFoundFromTheDetectedOffsetOrItsStart) {
  const std::string path =
      test::CorpusPath("archives/rar/libarchive__test_read_format_rar_sfx.exe");
  TFileByteSource source(path);
  const TDetection detection = DetectArchive(source);
  ASSERT_EQ(detection.Type, TArcType::atRarExe);
  ASSERT_GT(detection.Offset, 0u);
  for (const uint64_t start : {detection.Offset, uint64_t{0}}) {
    TFormatOptions options;
    options.StartOffset = start;
    const TWalk walk = Walk(source, options);
    ASSERT_EQ(walk.Entries.size(), 5u) << start;
    EXPECT_EQ(walk.Entries[0].Name, "test.txt");
    if (start > 0) {
      EXPECT_EQ(walk.Entries[0].Offset, detection.Offset);
    }
    EXPECT_EQ(walk.Data[0].Error, errNone);
    EXPECT_EQ(walk.Data[0].Data.size(), 16u);
  }
}

// What the headers say beyond libarchive: the host decides between DOS attributes and a Unix mode.
TEST(RarReader, AttributesFollowTheHostThatMadeTheEntry) {
  const std::string bytes = TRar4Builder()
                                .File({"unix/tool", "#!/bin/sh\n", 0, hostUnix, 0100755})
                                .File({"unix/locked", "l", 0, hostUnix, 0100444})
                                .File({"dos\x82.txt", "d", 0, hostDos, 0x21})
                                .File({"win\\hidden.sys", "w", 0, hostWin32, 0x26})
                                .File({"win", "", fileDirectory, hostWin32, 0x10})
                                .File({"utf\xc3\xa9.txt", "u", 0, hostUnix, 0100600})
                                .End();
  struct TExpected {
    std::string Name;
    bool Folder;
    bool HasMode;
    uint32_t Mode;
    uint32_t Attributes;
  };
  const TExpected expected[] = {
      {"unix/tool", false, true, 0755, 0},
      {"unix/locked", false, true, 0444, ftReadOnly},
      {"dos\xc3\xa9.txt", false, false, 0, ftReadOnly | ftArchive},
      {"win/hidden.sys", false, false, 0, ftHidden | ftSysFile | ftArchive},
      {"win", true, false, 0, ftDirectory},
      {"utf\xc3\xa9.txt", false, true, 0600, 0},
  };
  TMemoryByteSource source(bytes.data(), bytes.size());
  TFormatOptions options;
  options.CodePage = "IBM437";
  const TWalk walk = Walk(source, options);
  EXPECT_EQ(walk.Thrown, errNone);
  ASSERT_EQ(walk.Entries.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const TArcEntry& entry = walk.Entries[i];
    const TExpected& e = expected[i];
    EXPECT_EQ(entry.Name, e.Name);
    EXPECT_EQ(entry.IsFolder, e.Folder) << e.Name;
    EXPECT_EQ(entry.HasUnixMode, e.HasMode) << e.Name;
    if (e.HasMode) {
      EXPECT_EQ(entry.UnixMode, e.Mode) << e.Name;
    }
    EXPECT_EQ(entry.Attributes, e.Attributes) << e.Name;
    EXPECT_EQ(entry.Index, i);
    if (!e.Folder) {
      EXPECT_EQ(walk.Data[i].Error, errNone) << e.Name;
    }
  }
  EXPECT_EQ(walk.Data[0].Data, "#!/bin/sh\n");
}

// RAR 2.9 and RAR 5 store what they compress: PackedSize comes from the header.
// A stored name (its field has a length) and a link target (the link's data) holding a NUL byte
// come out of the library cut at the NUL: the name the kernel would see.
TEST(RarReader, ANulByteEndsANameWhereTheKernelWould) {
  using namespace std::string_literals;
  const std::string bytes = TRar4Builder()
                                .File(TRarFile("..\0/x"s, "x"))
                                .File(TRarFile("l", "..\0/y"s, 0, hostUnix, 0120777))
                                .End();
  TMemoryByteSource source(bytes.data(), bytes.size());
  const TWalk walk = Walk(source);
  ASSERT_EQ(walk.Entries.size(), 2u);
  EXPECT_EQ(walk.Entries[0].Name, "..");
  EXPECT_EQ(walk.Entries[1].Name, "l");
  EXPECT_TRUE(walk.Entries[1].IsLink);
  EXPECT_EQ(walk.Entries[1].LinkTarget, "..");
}

TEST(RarReader, PackedSizeComesFromTheHeader) {
  for (const char* sample :
       {"archives/rar/sharpcompress__Rar.rar", "archives/rar/sharpcompress__Rar5.rar"}) {
    const TWalk walk = WalkFile(test::CorpusPath(sample));
    uint64_t packed = 0;
    for (const TArcEntry& entry : walk.Entries) {
      if (entry.IsFolder)
        continue;
      EXPECT_GT(entry.PackedSize, 0u) << sample << " " << entry.Name;
      EXPECT_LT(entry.PackedSize, entry.Size) << sample << " " << entry.Name;
      packed += entry.PackedSize;
    }
    EXPECT_LT(packed, ReadFile(test::CorpusPath(sample)).size()) << sample;
  }
}

TEST(RarReader, VolumesAreFedInOrder) {
  const std::string a = Pattern(1000, 1), b = Pattern(700, 2), c = Pattern(300, 3);
  const uint16_t first = mainVolume | mainNewNumbering | mainFirstVolume;
  const uint16_t later = mainVolume | mainNewNumbering;
  const auto size = [](const std::string& s) { return static_cast<uint32_t>(s.size()); };
  const std::string notAVolume = TRar4Builder().File({"x", "x"}).End();
  // b split across the first two volumes.
  const std::vector<std::string> split = {
      TRar4Builder(first)
          .File({"a.txt", a})
          .File({"b.txt", b.substr(0, 200), fileSplitAfter, hostUnix, 0100644, size(b)})
          .End(endNextVolume),
      TRar4Builder(later)
          .File({"b.txt", b.substr(200), fileSplitBefore, hostUnix, 0100644, size(b), Crc(b)})
          .File({"c.txt", c})
          .End(),
  };

  struct TCase {
    const char* What;
    std::vector<std::string> Volumes; // the first, then what NextPart gives (nothing past them)
    std::vector<std::string> Names;
    std::vector<int> Results;
    int Asked; // parts asked for
  };
  const TCase cases[] = {
      {"a file split across volumes", split, {"a.txt", "b.txt", "c.txt"}, {0, 0, 0}, 1},
      {"a volume ending between files",
       {TRar4Builder(first).File({"a.txt", a}).End(endNextVolume),
        TRar4Builder(later).File({"b.txt", b}).File({"c.txt", c}).End()},
       {"a.txt", "b.txt", "c.txt"},
       {0, 0, 0},
       1},
      {"a file over three volumes",
       {TRar4Builder(first)
            .File({"a.txt", a})
            .File({"b.txt", b.substr(0, 100), fileSplitAfter, hostUnix, 0100644, size(b)})
            .End(endNextVolume),
        TRar4Builder(later)
            .File({"b.txt", b.substr(100, 300), fileSplitBefore | fileSplitAfter, hostUnix, 0100644,
                   size(b)})
            .End(endNextVolume),
        TRar4Builder(later)
            .File({"b.txt", b.substr(400), fileSplitBefore, hostUnix, 0100644, size(b), Crc(b)})
            .File({"c.txt", c})
            .End()},
       {"a.txt", "b.txt", "c.txt"},
       {0, 0, 0},
       2},
      {"a split stored file with a wrong CRC",
       {split[0],
        TRar4Builder(later)
            .File({"b.txt", b.substr(200), fileSplitBefore, hostUnix, 0100644, size(b), Crc(b) ^ 1})
            .File({"c.txt", c})
            .End()},
       {"a.txt", "b.txt", "c.txt"},
       {errNone, errCrc, errNone},
       1},
      {"the next volume missing",
       {split[0]},
       {"a.txt", "b.txt"},
       {errNone, errBrokenVolumeChain},
       1},
      {"the next part not a volume",
       {split[0], notAVolume},
       {"a.txt", "b.txt"},
       {errNone, errBrokenVolumeChain},
       1},
  };
  const std::map<std::string, std::string> contents = {{"a.txt", a}, {"b.txt", b}, {"c.txt", c}};
  for (const TCase& c : cases) {
    std::vector<int> asked;
    TFormatOptions options;
    options.NextPart = [&](int part, const std::string& storedName) {
      EXPECT_EQ(storedName, "") << c.What;
      asked.push_back(part);
      const size_t i = static_cast<size_t>(part - 1);
      return i < c.Volumes.size()
                 ? std::make_unique<TMemoryByteSource>(c.Volumes[i].data(), c.Volumes[i].size())
                 : nullptr;
    };
    TMemoryByteSource source(c.Volumes[0].data(), c.Volumes[0].size());
    const TWalk walk = Walk(source, options);
    EXPECT_EQ(walk.Thrown, errNone) << c.What;
    std::vector<std::string> names;
    std::vector<int> results;
    for (size_t i = 0; i < walk.Entries.size(); ++i) {
      names.push_back(walk.Entries[i].Name);
      results.push_back(walk.Data[i].Error);
      EXPECT_EQ(walk.Entries[i].Size, contents.at(walk.Entries[i].Name).size()) << c.What;
      if (walk.Data[i].Error == errNone) {
        EXPECT_EQ(walk.Data[i].Data, contents.at(walk.Entries[i].Name)) << c.What;
      }
    }
    EXPECT_EQ(names, c.Names) << c.What;
    EXPECT_EQ(results, c.Results) << c.What;
    std::vector<int> expectedAsks;
    for (int part = 2; part < 2 + c.Asked; ++part)
      expectedAsks.push_back(part);
    EXPECT_EQ(asked, expectedAsks) << c.What << ": each part is asked for once, in order";
  }
}

TEST(RarReader, PartNamesFollowBothSchemes) {
  const struct {
    const char* Archive;
    int Part;
    const char* Expected;
  } cases[] = {
      {"/a/set.part1.rar", 2, "/a/set.part2.rar"},
      {"/a/set.part01.rar", 2, "/a/set.part02.rar"},
      {"/a/set.part01.rar", 12, "/a/set.part12.rar"},
      {"/a/set.part1.rar", 10, "/a/set.part10.rar"},
      {"/a/set.part001.rar", 100, "/a/set.part100.rar"},
      {"SET.PART1.RAR", 3, "SET.PART3.RAR"},
      {"/a/sfx.part1.exe", 2, "/a/sfx.part2.rar"},
      {"/a/old.rar", 2, "/a/old.r00"},
      {"/a/old.rar", 11, "/a/old.r09"},
      {"/a/old.rar", 101, "/a/old.r99"},
      {"/a/old.rar", 102, "/a/old.s00"},
      {"/a/OLD.RAR", 2, "/a/OLD.R00"},
      {"/a/old.exe", 3, "/a/old.r01"},
      {"/a/my.part.rar", 2, "/a/my.part.r00"},
      {"/a.b/noext", 2, "/a.b/noext.r00"},
      {"/a/old.rar", 1, "/a/old.rar"},
      {"/a/old.rar", 902, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RarPartName(c.Archive, c.Part), c.Expected) << c.Archive << " part " << c.Part;
}

// libarchive cannot decrypt RAR: an encrypted entry is listed, its data refused with a code that
// says whether a password was given; the entries after it are read as usual.
TEST(RarReader, EncryptedEntriesAreRefusedWithACode) {
  const std::string bytes = TRar4Builder()
                                .File({"secret.txt", Pattern(64, 7), filePassword})
                                .File({"plain.txt", "plain"})
                                .End();
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeRarReader(source, {});
  TArcEntry secret, plain;
  ASSERT_TRUE(reader->Next(secret));
  EXPECT_TRUE(secret.Encrypted);
  int error = errNone;
  EXPECT_FALSE(reader->OpenData(secret, "", error));
  EXPECT_EQ(error, errPasswordProtected);
  EXPECT_FALSE(reader->OpenData(secret, "guess", error));
  EXPECT_EQ(error, errInvalidPassword);
  ASSERT_TRUE(reader->Next(plain));
  EXPECT_FALSE(plain.Encrypted);
  EXPECT_EQ(test::DecodeEntry(*reader, plain).Data, "plain");
  EXPECT_FALSE(reader->OpenData(secret, "", error)) << "only the current entry";
  EXPECT_EQ(error, errSeek);
  EXPECT_FALSE(reader->Next(plain));

  // Encrypted headers hide even the names.
  const std::string hidden = TRar4Builder(mainPassword).File({"x", "x"}).End();
  TMemoryByteSource hiddenSource(hidden.data(), hidden.size());
  EXPECT_EQ(Walk(hiddenSource).Thrown, errPasswordProtected);
}

TEST(RarReader, DataFaultsComeWithTheirCode) {
  const std::string good = Pattern(500, 9);
  const std::string bytes =
      TRar4Builder()
          .File({"bad-crc.bin", good, 0, hostUnix, 0100644, {}, Crc(good) ^ 1})
          .File({"good.bin", good})
          .End();
  TMemoryByteSource source(bytes.data(), bytes.size());
  const TWalk walk = Walk(source);
  ASSERT_EQ(walk.Entries.size(), 2u);
  EXPECT_EQ(walk.Data[0].Error, errCrc);
  EXPECT_EQ(walk.Data[1].Error, errNone);
  EXPECT_EQ(walk.Data[1].Data, good);
}

// Cut short or with a byte changed anywhere: the listing ends or throws EArchiveError, and data
// either comes out exactly as from the whole sample or fails with a code.
TEST(RarReader, DamagedSamplesNeverGiveWrongData) {
  const std::string samples[] = {
      "archives/rar/libarchive__test_read_format_rar_windows.rar",
      "archives/rar/libarchive__test_read_format_rar5_win32.rar",
      "archives/rar/sharpcompress__Rar.rar",
      "archives/rar/sharpcompress__Rar5.rar",
      "archives/rar/sharpcompress__Rar15.rar",
  };
  for (const std::string& sample : samples) {
    const std::string bytes = ReadFile(test::CorpusPath(sample));
    TMemoryByteSource whole(bytes.data(), bytes.size());
    std::map<std::string, std::string> good;
    const TWalk reference = Walk(whole);
    for (size_t i = 0; i < reference.Entries.size(); ++i)
      if (reference.Data[i].Error == errNone)
        good[reference.Entries[i].Name] = reference.Data[i].Data;

    const auto check = [&](const std::string& damaged, const std::string& what) {
      TMemoryByteSource source(damaged.data(), damaged.size());
      const TWalk walk = Walk(source);
      for (size_t i = 0; i < walk.Entries.size(); ++i) {
        if (walk.Data[i].Error != errNone || walk.Entries[i].IsFolder)
          continue;
        const auto it = good.find(walk.Entries[i].Name);
        EXPECT_TRUE(it != good.end() && it->second == walk.Data[i].Data)
            << sample << " " << what << ": " << walk.Entries[i].Name;
      }
    };
    const size_t step = std::max<size_t>(1, bytes.size() / 150);
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 200 ? 1 : step)
      check(bytes.substr(0, cut), "cut at " + std::to_string(cut));
    for (size_t at = 0; at < bytes.size(); at += step) {
      std::string flipped = bytes;
      flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
      check(flipped, "changed at " + std::to_string(at));
    }
  }
}

TEST(RarReader, MissingLibraryFailsRarAlone) {
  const std::string zip =
      test::BuildZip(test::TZipArchive(std::vector<test::TZipItem>{{"z.txt", "zip still works"}}));
  const std::string rar =
      ReadFile(test::CorpusPath("archives/rar/libarchive__test_read_format_rar_windows.rar"));
  // "none" switches the library off; a library without the functions counts as missing.
  for (const char* value : {"none", "/nonexistent/libx.so", "libz.so.1"}) {
    TLibraryOverride off("CORVANE_LIB_RAR", value);
    EXPECT_FALSE(RarLibraryPresent()) << value;
    TMemoryByteSource rarSource(rar.data(), rar.size());
    try {
      (void)MakeFormatReader(TArcType::atRAR, rarSource, {});
      ADD_FAILURE() << value << ": no fault";
    } catch (const EArchiveError& e) {
      EXPECT_EQ(e.Code(), errUnrarMissing) << value;
    }
    TMemoryByteSource zipSource(zip.data(), zip.size());
    auto reader = MakeFormatReader(TArcType::atZIP, zipSource, {});
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry));
    EXPECT_EQ(test::DecodeEntry(*reader, entry).Data, "zip still works");
  }
  // Another name for the library is used as given.
  TLibraryOverride other("CORVANE_LIB_RAR", "libarchive.so");
  TMemoryByteSource rarSource(rar.data(), rar.size());
  EXPECT_EQ(Walk(rarSource).Entries.size(), 5u);
}

} // namespace
} // namespace corvane::archive
