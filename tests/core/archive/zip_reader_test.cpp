#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"
#include "zip_writer.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using corvane::test::DecodeEntry;
using corvane::test::TDecoded;
using corvane::test::TDecodeStage;

namespace corvane::archive {
namespace {

using test::BuildZip;
using test::TZipArchive;
using test::TZipItem;
using test::zipDeflate;
using test::zipHostDos;
using test::zipHostNtfs;
using test::zipHostUnix;

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// Text that compresses, but not so well that its packed form fits in one input buffer.
std::string Letters(size_t size, uint32_t seed) {
  std::string text(size, ' ');
  for (char& c : text) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>('a' + (seed >> 16) % 26);
  }
  return text;
}

// An archive in memory and its reader.
struct TOpened : test::TOpenedArchive {
  explicit TOpened(std::string bytes, const TFormatOptions& options = {})
      : TOpenedArchive(std::move(bytes), MakeZipReader, options) {}
};

// The code MakeZipReader throws, or errNone.
int OpenError(const std::string& bytes, const TFormatOptions& options = {}) {
  return test::ThrownCode([&] { TOpened zip(bytes, options); });
}

// Where the n-th occurrence of a signature starts in the bytes.
size_t Find(const std::string& bytes, std::string_view signature, int n = 0) {
  size_t at = bytes.find(signature);
  while (n-- > 0 && at != std::string::npos)
    at = bytes.find(signature, at + 1);
  EXPECT_NE(at, std::string::npos);
  return at;
}
constexpr std::string_view kLocal("PK\3\4", 4);
constexpr std::string_view kCentral("PK\1\2", 4);
constexpr std::string_view kEnd("PK\5\6", 4);

void Set16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
void Set32(std::string& bytes, size_t at, uint32_t value) {
  Set16(bytes, at, value & 0xFFFF);
  Set16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// ---- Well-formed archives ----

struct TItemCase {
  TItemCase(TZipItem item, std::string name, bool folder = false, uint32_t attributes = 0,
            std::optional<uint32_t> unixMode = std::nullopt, bool link = false)
      : Item(std::move(item)), Name(std::move(name)), Folder(folder), Attributes(attributes),
        UnixMode(unixMode), Link(link) {}
  TZipItem Item;
  std::string Name; // as listed
  bool Folder;
  uint32_t Attributes;
  std::optional<uint32_t> UnixMode;
  bool Link; // the data is the link's target
};

std::vector<TItemCase> ItemCases() {
  return {
      {TZipItem("plain.txt", "stored text").WithAttributes(0x21), "plain.txt", false, 0x21},
      {TZipItem("big.txt", Letters(300000, 7), zipDeflate), "big.txt"},
      {TZipItem("empty", ""), "empty"},
      {TZipItem("empty.z", "", zipDeflate), "empty.z"},
      {TZipItem("docs/", "").WithAttributes(0x10), "docs/", true, 0x10},
      {TZipItem("old", "").WithAttributes(0x10), "old", true, 0x10},
      {TZipItem("тест.txt", "utf8").WithFlags(test::zipFlagUtf8), "тест.txt"},
      {TZipItem("\x81"
                "ber.txt",
                "cp437"),
       "über.txt"},
      {TZipItem("dir\\sub\\f.txt", "dos"), "dir/sub/f.txt"},
      {TZipItem("nt\\f.txt", "ntfs").WithHost(zipHostNtfs), "nt/f.txt"},
      {TZipItem("back\\slash", "unix").WithHost(zipHostUnix), "back\\slash"},
      {TZipItem("naïve.txt", "unix utf8").WithHost(zipHostUnix), "naïve.txt"},
      {TZipItem("\x81.txt", "unix cp437").WithHost(zipHostUnix), "ü.txt"},
      {TZipItem("run.sh", "#!/bin/sh\n").WithUnixMode(0100750), "run.sh", false, 0, 0750},
      {TZipItem("suid", "x").WithUnixMode(0104755), "suid", false, 0, 04755},
      {TZipItem("bin", "").WithUnixMode(040711), "bin", true, 0x10, 0711},
      {TZipItem("link", "../target/file").WithUnixMode(0120777), "link", false, 0, 0777, true},
      {TZipItem("packed-link", "somewhere/else", zipDeflate).WithUnixMode(0120755), "packed-link",
       false, 0, 0755, true},
      {TZipItem("wide.bin", Letters(5000, 3), zipDeflate).WithZip64(), "wide.bin"},
      {TZipItem("streamed.txt", Letters(1000, 5), zipDeflate).WithDataDescriptor(), "streamed.txt"},
      {TZipItem("secret.txt", Letters(700, 9), zipDeflate).WithPassword("pw"), "secret.txt"},
      {TZipItem("TECT.TXT", "unicode path")
           .WithExtra(test::UnicodePathExtra("TECT.TXT", "тест.txt")),
       "тест.txt"},
      // The name was changed after the Unicode path was written: the stale field is not used.
      {TZipItem("new.txt", "stale").WithExtra(test::UnicodePathExtra("old.txt", "old.txt")),
       "new.txt"},
      // An extra field claiming more bytes than its block has ends the walk, nothing else.
      {TZipItem("odd-extra", "x").WithExtra(std::string("\x75\x70\xF0\x00\x01", 5)), "odd-extra"},
  };
}

TEST(ZipReader, ListsAndReadsEveryKindOfEntryInEveryContainer) {
  const std::vector<TItemCase> cases = ItemCases();
  std::vector<TZipItem> items;
  for (const TItemCase& c : cases)
    items.push_back(c.Item);
  const std::string stub = test::ExeStub(1500);
  struct Container {
    const char* Label;
    std::function<void(TZipArchive&)> Change;
  };
  const Container containers[] = {
      {"plain", [](TZipArchive&) {}},
      {"comment holding an end signature",
       [](TZipArchive& a) {
         a.Comment = std::string("see PK\5\6 here", 14) + std::string(40, 'x');
       }},
      {"self-extractor", [&](TZipArchive& a) { a.Stub = stub; }},
      {"self-extractor with adjusted offsets",
       [&](TZipArchive& a) {
         a.Stub = stub;
         a.OffsetsIncludeStub = true;
       }},
      {"zip64 end record", [](TZipArchive& a) { a.Zip64End = true; }},
      {"zip64 self-extractor",
       [&](TZipArchive& a) {
         a.Stub = stub;
         a.Zip64End = true;
       }},
  };
  for (const Container& container : containers) {
    SCOPED_TRACE(container.Label);
    TZipArchive archive(items);
    container.Change(archive);
    TOpened zip(BuildZip(archive));
    const std::vector<TArcEntry> entries = zip.List();
    ASSERT_EQ(entries.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
      const TItemCase& c = cases[i];
      const TArcEntry& e = entries[i];
      SCOPED_TRACE(c.Name);
      EXPECT_EQ(e.Index, i);
      EXPECT_EQ(e.Offset, Find(zip.Bytes, kLocal, static_cast<int>(i)));
      EXPECT_EQ(e.Name, c.Name);
      EXPECT_EQ(e.IsFolder, c.Folder);
      EXPECT_EQ(e.Attributes, c.Attributes);
      EXPECT_EQ(e.HasUnixMode, c.UnixMode.has_value());
      EXPECT_EQ(e.UnixMode, c.UnixMode.value_or(0));
      EXPECT_EQ(e.IsLink, c.Link);
      EXPECT_EQ(e.LinkTarget, c.Link ? c.Item.Data : "");
      EXPECT_EQ(e.Size, c.Item.Data.size());
      if (c.Item.Method == test::zipStore) {
        EXPECT_EQ(e.PackedSize, e.Size + (c.Item.Password.empty() ? 0 : 12));
      }
      EXPECT_TRUE(e.HasDosTime);
      EXPECT_EQ(e.DosTime, c.Item.DosTime);
      EXPECT_EQ(e.Encrypted, !c.Item.Password.empty());
      EXPECT_EQ(e.Method, c.Item.Method);
      EXPECT_EQ(e.Crc, Crc(c.Item.Data));
    }
    // Any listed entry opens, in any order.
    for (size_t i = cases.size(); i-- > 0;) {
      SCOPED_TRACE(cases[i].Name);
      const TDecoded decoded = DecodeEntry(*zip.Reader, entries[i], cases[i].Item.Password);
      EXPECT_EQ(decoded.Error, errNone);
      EXPECT_TRUE(decoded.Data == cases[i].Item.Data);
    }
  }
}

TEST(ZipReader, SmallReadsGiveTheSameBytes) {
  const std::string big = Letters(150000, 11);
  TOpened zip(BuildZip(TZipArchive(
      {TZipItem("s", big), TZipItem("d", big, zipDeflate), TZipItem("e", big).WithPassword("k")})));
  const auto entries = zip.List();
  for (size_t chunk : {1, 7, 4096}) {
    for (const TArcEntry& entry : entries) {
      SCOPED_TRACE(entry.Name + " by " + std::to_string(chunk));
      const TDecoded decoded = DecodeEntry(*zip.Reader, entry, "k", chunk);
      EXPECT_EQ(decoded.Error, errNone);
      EXPECT_TRUE(decoded.Data == big);
    }
  }
}

TEST(ZipReader, TraditionalEncryptionChecksThePassword) {
  // With a data descriptor the check byte comes from the time, not from the CRC.
  struct Case {
    uint16_t Method;
    bool Descriptor;
  };
  for (const Case c : {Case{test::zipStore, false}, Case{test::zipStore, true},
                       Case{zipDeflate, false}, Case{zipDeflate, true}}) {
    SCOPED_TRACE(std::to_string(c.Method) + (c.Descriptor ? " with descriptor" : ""));
    const std::string text = Letters(2000, 1);
    TZipItem item =
        TZipItem("s.txt", text, c.Method).WithPassword("Open sesame").WithTime(0x5A8B7C21);
    item.DataDescriptor = c.Descriptor;
    TOpened zip(BuildZip(TZipArchive({item})));
    const auto entries = zip.List();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].Encrypted);
    const TDecoded right = DecodeEntry(*zip.Reader, entries[0], "Open sesame");
    EXPECT_EQ(right.Error, errNone);
    EXPECT_TRUE(right.Data == text);
    for (const char* wrong : {"", "open sesame", "Open sesame!"}) {
      SCOPED_TRACE(wrong);
      const TDecoded decoded = DecodeEntry(*zip.Reader, entries[0], wrong);
      EXPECT_EQ(decoded.Stage, TDecodeStage::Open);
      EXPECT_EQ(decoded.Error, errInvalidPassword);
    }
  }
}

TEST(ZipReader, RefusesWhatItCannotDecode) {
  struct Case {
    const char* Label;
    TZipItem Item;
    int Error;
  };
  const Case cases[] = {
      {"deflate64", TZipItem("a", "raw", 9), errUnsupportedMethod},
      {"bzip2", TZipItem("a", "raw", 12), errUnsupportedMethod},
      {"lzma", TZipItem("a", "raw", 14), errUnsupportedMethod},
      {"strong encryption", TZipItem("a", "data").WithFlags(0x41), errUnsupportedMethod},
      {"local header of another method", TZipItem("a", "data", zipDeflate).WithLocalMethod(0),
       errInconsistentLocalHeader},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    TOpened zip(BuildZip(TZipArchive({c.Item})));
    const auto entries = zip.List();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Method, c.Item.Method);
    const TDecoded decoded = DecodeEntry(*zip.Reader, entries[0], "pw");
    EXPECT_EQ(decoded.Stage, TDecodeStage::Open);
    EXPECT_EQ(decoded.Error, c.Error);
  }
}

TEST(ZipReader, EndRecordSearch) {
  const TZipArchive archive({TZipItem("a.txt", "a")});
  // Not an archive at all.
  for (const std::string& bytes :
       {std::string(), std::string(21, '\0'), Letters(5000, 2), BuildZip(archive).substr(0, 60)})
    EXPECT_EQ(OpenError(bytes), errHeaderNotFound);
  // An empty archive, alone and behind a stub.
  TZipArchive empty;
  EXPECT_TRUE(TOpened(BuildZip(empty)).List().empty());
  empty.Stub = test::ExeStub(300);
  EXPECT_TRUE(TOpened(BuildZip(empty)).List().empty());

  // The end record is searched for within the comment buffer only.
  TZipArchive commented = archive;
  commented.Comment = std::string(3000, 'c');
  const std::string longComment = BuildZip(commented);
  EXPECT_EQ(OpenError(longComment), errHeaderNotFound);
  TFormatOptions wide;
  wide.ZipCmntBufSize = 3000;
  EXPECT_EQ(TOpened(longComment, wide).List().size(), 1u);
}

// ---- Hostile archives ----

TEST(ZipHostile, SizesThatLieAreFaults) {
  const std::string text = Letters(100000, 4);
  struct Case {
    const char* Label;
    TZipItem Item;
    int Error;
    TDecodeStage Stage;
  };
  const TZipItem stored = TZipItem("lie", text).WithZip64(); // room for sizes beyond 32 bits
  const TZipItem deflated = TZipItem("lie", text, zipDeflate).WithZip64();
  const uint64_t far = uint64_t{1} << 40;
  const Case cases[] = {
      {"stored, size too big", stored.WithStatedSize(150000), errUnexpectedEof,
       TDecodeStage::Finish},
      {"stored, size too small", stored.WithStatedSize(50000), errCorruptInput, TDecodeStage::Read},
      {"deflated, size too big", deflated.WithStatedSize(100001), errUnexpectedEof,
       TDecodeStage::Finish},
      {"deflated, size far too big", deflated.WithStatedSize(far), errUnexpectedEof,
       TDecodeStage::Finish},
      {"deflated, size too small", deflated.WithStatedSize(99999), errCorruptInput,
       TDecodeStage::Read},
      {"deflated, size zero", deflated.WithStatedSize(0), errCorruptInput, TDecodeStage::Read},
      {"stored, wrong CRC", stored.WithStatedCrc(0x12345678), errCrc, TDecodeStage::Finish},
      {"deflated, wrong CRC", deflated.WithStatedCrc(1), errCrc, TDecodeStage::Finish},
      {"deflated, packed size too small", deflated.WithStatedPackedSize(1000), errUnexpectedEof,
       TDecodeStage::Read},
      {"stored, packed size too big", stored.WithStatedPackedSize(200000), errCorruptInput,
       TDecodeStage::Read},
      {"stored, both sizes past the end of the source",
       stored.WithStatedSize(far).WithStatedPackedSize(far), errUnexpectedEof, TDecodeStage::Read},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    TOpened zip(BuildZip(TZipArchive({c.Item})));
    const auto entries = zip.List();
    ASSERT_EQ(entries.size(), 1u);
    const TDecoded decoded = DecodeEntry(*zip.Reader, entries[0]);
    EXPECT_EQ(decoded.Error, c.Error);
    EXPECT_EQ(decoded.Stage, c.Stage);
  }
}

TEST(ZipHostile, BrokenRecordsThrowOrFailCleanly) {
  const TZipArchive archive({TZipItem("one.txt", "first"),
                             TZipItem("two.txt", Letters(500, 8), zipDeflate),
                             TZipItem("three.txt", "third")});
  const std::string good = BuildZip(archive);
  const size_t end = Find(good, kEnd);
  const auto central = [&](int n) { return Find(good, kCentral, n); };
  const auto local = [&](int n) { return Find(good, kLocal, n); };
  using TPatch = std::function<void(std::string&)>;

  // A broken end record leaves nothing to list.
  struct EndCase {
    const char* Label;
    TPatch Patch;
    int Error;
  };
  const EndCase endCases[] = {
      {"no end record", [&](std::string& b) { b[end] = 'X'; }, errHeaderNotFound},
      {"directory offset past the end", [&](std::string& b) { Set32(b, end + 16, 0xFFFFFF00); },
       errBadFileHeader},
      {"directory size past the start", [&](std::string& b) { Set32(b, end + 12, 0xFFFFFF00); },
       errBadFileHeader},
      {"entry count beyond the directory", [&](std::string& b) { Set16(b, end + 10, 0xFFFF); },
       errBadFileHeader},
  };
  for (const EndCase& c : endCases) {
    SCOPED_TRACE(c.Label);
    std::string bytes = good;
    c.Patch(bytes);
    EXPECT_EQ(OpenError(bytes), c.Error);
  }

  // A broken directory record: the entries before it are listed, then Next throws. A broken local
  // header: that entry does not open.
  struct RecordCase {
    const char* Label;
    TPatch Patch;
    size_t Listed;
    int ListError;    // thrown by Next, or errNone
    size_t DataEntry; // the entry opened afterwards
    int DataError;
  };
  const RecordCase recordCases[] = {
      {"directory cut short",
       [&](std::string& b) { Set32(b, end + 12, static_cast<uint32_t>(end - central(0) - 10)); }, 2,
       errBadFileHeader, 0, errNone},
      {"name length past the directory", [&](std::string& b) { Set16(b, central(1) + 28, 0xFFFF); },
       1, errBadFileHeader, 0, errNone},
      {"extra length past the directory",
       [&](std::string& b) { Set16(b, central(1) + 30, 0xFFFF); }, 1, errBadFileHeader, 0, errNone},
      {"comment length past the directory",
       [&](std::string& b) { Set16(b, central(2) + 32, 0xFFFF); }, 2, errBadFileHeader, 1, errNone},
      {"second record not a record", [&](std::string& b) { b[central(1) + 2] = 'X'; }, 1,
       errBadFileHeader, 0, errNone},
      {"local offset past the end", [&](std::string& b) { Set32(b, central(0) + 42, 0xFFFFFFF0); },
       3, errNone, 0, errBadFileHeader},
      {"local header signature", [&](std::string& b) { b[local(0) + 3] = 9; }, 3, errNone, 0,
       errBadFileHeader},
      {"local name length past the end", [&](std::string& b) { Set16(b, local(2) + 26, 0xFFFF); },
       3, errNone, 2, errBadFileHeader},
      {"local extra length past the end", [&](std::string& b) { Set16(b, local(2) + 28, 0xFFFF); },
       3, errNone, 2, errBadFileHeader},
  };
  for (const RecordCase& c : recordCases) {
    SCOPED_TRACE(c.Label);
    std::string bytes = good;
    c.Patch(bytes);
    TOpened zip(bytes);
    std::vector<TArcEntry> entries;
    int listError = errNone;
    try {
      TArcEntry entry;
      while (zip.Reader->Next(entry))
        entries.push_back(entry);
    } catch (const EArchiveError& error) {
      listError = error.Code();
    }
    EXPECT_EQ(entries.size(), c.Listed);
    EXPECT_EQ(listError, c.ListError);
    ASSERT_LT(c.DataEntry, entries.size());
    EXPECT_EQ(DecodeEntry(*zip.Reader, entries[c.DataEntry]).Error, c.DataError);
  }
}

// Every prefix of a small archive and every byte of it changed: the reader throws
// EArchiveError or reports faults, and whatever it decodes without a fault is the true data.
TEST(ZipHostile, EveryTruncationAndEveryChangedByteFailsCleanly) {
  TZipArchive archive({TZipItem("s.txt", "stored data"),
                       TZipItem("d.txt", Letters(300, 6), zipDeflate),
                       TZipItem("e.txt", "secret").WithPassword("pw").WithDataDescriptor(),
                       TZipItem("w.bin", Letters(40, 2), zipDeflate).WithZip64(),
                       TZipItem("l", "target").WithUnixMode(0120777)});
  archive.Comment = "comment";
  archive.Zip64End = true;
  const std::string good = BuildZip(archive);
  const auto check = [&](const std::string& bytes) {
    try {
      TOpened zip(bytes);
      TArcEntry entry;
      while (zip.Reader->Next(entry)) {
        const TDecoded decoded = DecodeEntry(*zip.Reader, entry, "pw");
        if (decoded.Error == errNone && entry.Index < archive.Items.size()) {
          EXPECT_TRUE(decoded.Data == archive.Items[entry.Index].Data) << entry.Index;
        }
      }
    } catch (const EArchiveError&) {
    }
  };
  for (size_t size = 0; size < good.size(); ++size)
    check(good.substr(0, size));
  for (size_t at = 0; at < good.size(); ++at) {
    for (char value : {'\0', '\xFF'}) {
      std::string bytes = good;
      bytes[at] = value;
      SCOPED_TRACE(at);
      check(bytes);
    }
  }
}

// ---- The sample archives ----

const std::map<std::string, std::string>& SamplePasswords() {
  static const std::map<std::string, std::string> passwords = {
      {"archives/zip/sharpcompress__zipcrypto.zip", "test"},
      {"archives/zip/libarchive__test_read_format_zip_traditional_encryption_data.zip",
       "12345678"}};
  return passwords;
}

TEST(ZipCorpus, SamplesListAndDecodeAsExpected) {
  const auto samples = corvane::test::CorpusSamples("zip");
  ASSERT_EQ(samples.size(), 9u);
  // The names expected.tsv only describes.
  const std::map<std::string, std::string> nonAscii = {
      {"archives/zip/sharpcompress__Zip.zip64.zip", "тест.txt"},
      {"archives/zip/sharpcompress__Zip.implode.zip", "ΓÑßΓ.txt"}};
  for (const auto& [sample, expected] : samples) {
    SCOPED_TRACE(sample);
    TFileByteSource source(corvane::test::CorpusPath(sample));
    ASSERT_TRUE(source.Valid());
    const auto reader = MakeZipReader(source, {});
    std::vector<TArcEntry> entries;
    TArcEntry entry;
    while (reader->Next(entry))
      entries.push_back(entry);
    ASSERT_EQ(entries.size(), expected.size());
    const auto password = SamplePasswords().find(sample);
    for (size_t i = 0; i < entries.size(); ++i) {
      const TArcEntry& e = entries[i];
      SCOPED_TRACE(e.Name);
      const bool described = expected[i].Name.starts_with("(non-ASCII");
      EXPECT_EQ(e.Name, described ? nonAscii.at(sample) : expected[i].Name);
      EXPECT_EQ(e.IsFolder, expected[i].Folder);
      EXPECT_EQ(static_cast<int64_t>(e.Size), expected[i].Size);
      EXPECT_EQ(e.Encrypted, password != SamplePasswords().end());
      const TDecoded decoded =
          DecodeEntry(*reader, e, password != SamplePasswords().end() ? password->second : "");
      if (e.Method <= 6 || e.Method == 8) {
        EXPECT_EQ(decoded.Error, errNone);
        EXPECT_EQ(decoded.Data.size(), e.Size);
      } else {
        EXPECT_EQ(decoded.Error, errUnsupportedMethod);
      }
    }
    if (password != SamplePasswords().end()) {
      EXPECT_EQ(DecodeEntry(*reader, entries[0], "wrong").Error, errInvalidPassword);
    }
  }
}

} // namespace
} // namespace corvane::archive
