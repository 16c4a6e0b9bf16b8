#include "archive/archive_component.h"
#include "archive/archive_format.h"
#include "archive/archive_libraries.h"
#include "archive_samples.h"
#include "library_override.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

namespace corvane::archive {
namespace {

using test::ReadFile;

std::string Fixture(const std::string& name) {
  return ReadFile(CORVANE_SOURCE_DIR "/tests/core/archive/fixtures/cab/" + name);
}

std::string Sample(const std::string& name) {
  return ReadFile(test::CorpusPath("archives/cab/" + name));
}

// Every entry with its decoded data; the listing ends or throws EArchiveError (its code in Thrown).
struct TWalk {
  std::vector<TArcEntry> Entries;
  std::vector<test::TDecoded> Data;
  int Thrown = errNone;
};

TWalk Walk(const std::string& bytes, const TFormatOptions& options = {}) {
  TWalk walk;
  TMemoryByteSource source(bytes.data(), bytes.size());
  try {
    auto reader = MakeCabReader(source, options);
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

std::vector<std::string> Names(const TWalk& walk) {
  std::vector<std::string> names;
  for (const TArcEntry& entry : walk.Entries)
    names.push_back(entry.Name);
  return names;
}

std::vector<int> Results(const TWalk& walk) {
  std::vector<int> results;
  for (const test::TDecoded& data : walk.Data)
    results.push_back(data.Error);
  return results;
}

// The members the fixture script put into store.cab and mszip.cab; noise.bin is random.
std::map<std::string, std::string> FixtureMembers() {
  std::string numbers;
  for (int i = 1; i < 4000; ++i)
    numbers += std::to_string(i) + "\r\n";
  return {{"readme.txt", "Cabinet fixture for the CAB reader.\r\n"},
          {"empty.txt", ""},
          {"sub/deeper/numbers.txt", numbers},
          {"sub/caf\xc3\xa9.txt", "accent\r\n"}};
}

// 2020-09-13 12:26:40, the time of every fixture member.
constexpr uint32_t FixtureTime =
    ((40u << 9 | 9u << 5 | 13u) << 16) | (12u << 11 | 26u << 5 | 40u / 2);

TEST(CabReader, SamplesListAndDecode) {
  const auto samples = test::CorpusSamples("cab");
  ASSERT_EQ(samples.size(), 3u);
  std::map<std::string, std::string> seen; // the same members in each sample
  for (const auto& [sample, expected] : samples) {
    const TWalk walk = Walk(ReadFile(test::CorpusPath(sample)));
    EXPECT_EQ(walk.Thrown, errNone) << sample;
    ASSERT_EQ(walk.Entries.size(), expected.size()) << sample;
    for (size_t i = 0; i < walk.Entries.size(); ++i) {
      const TArcEntry& entry = walk.Entries[i];
      EXPECT_EQ(entry.Name, expected[i].Name) << sample;
      EXPECT_FALSE(entry.IsFolder);
      EXPECT_EQ(static_cast<int64_t>(entry.Size), expected[i].Size) << sample << " " << entry.Name;
      EXPECT_EQ(entry.PackedSize, entry.Size);
      EXPECT_TRUE(entry.HasDosTime);
      EXPECT_EQ(walk.Data[i].Error, errNone) << sample << " " << entry.Name;
      auto [it, first] = seen.emplace(entry.Name, walk.Data[i].Data);
      EXPECT_TRUE(first || it->second == walk.Data[i].Data) << sample << " " << entry.Name;
    }
  }
  EXPECT_EQ(seen["zero"], std::string(33000, '\0'));
  EXPECT_NE(seen["dir1/file1"].find("file 1 contents\n"), std::string::npos);
}

// gcab's cabinets, stored and MSZIP: names with folders, a UTF-8 name, an empty member, data over
// more than one block; entries decode in any order.
TEST(CabReader, FixturesListAndDecodeInAnyOrder) {
  const auto members = FixtureMembers();
  const std::vector<std::string> names = {"readme.txt", "empty.txt", "sub/noise.bin",
                                          "sub/deeper/numbers.txt", "sub/caf\xc3\xa9.txt"};
  std::string noise;
  for (const auto& [fixture, method] : {std::pair{"store.cab", 0u}, std::pair{"mszip.cab", 1u}}) {
    const std::string bytes = Fixture(fixture);
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeCabReader(source, {});
    std::vector<TArcEntry> entries;
    TArcEntry entry;
    while (reader->Next(entry))
      entries.push_back(entry);
    ASSERT_EQ(entries.size(), names.size()) << fixture;
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].Name, names[i]) << fixture;
      EXPECT_EQ(entries[i].Index, i);
      EXPECT_EQ(entries[i].Method, method) << fixture;
      EXPECT_EQ(entries[i].DosTime, FixtureTime) << fixture << " " << names[i];
      EXPECT_EQ(entries[i].Attributes, ftArchive) << fixture << " " << names[i];
    }
    // Backwards, then the first again: the folder is decoded afresh where needed.
    for (size_t k = entries.size() + 1; k-- > 0;) {
      const TArcEntry& e = entries[k % entries.size()];
      const test::TDecoded got = test::DecodeEntry(*reader, e, "", 1000);
      EXPECT_EQ(got.Error, errNone) << fixture << " " << e.Name;
      EXPECT_EQ(got.Data.size(), e.Size) << fixture << " " << e.Name;
      if (members.contains(e.Name)) {
        EXPECT_TRUE(got.Data == members.at(e.Name)) << fixture << " " << e.Name;
      } else if (noise.empty()) {
        noise = got.Data;
      } else {
        EXPECT_TRUE(got.Data == noise) << fixture << ": stored and MSZIP differ";
      }
    }
  }
  EXPECT_EQ(noise.size(), 20000u);
}

TEST(CabReader, DosNamesFollowTheCodePage) {
  const struct {
    const char* CodePage;
    const char* Name;
  } cases[] = {
      {"IBM437", "caf\xc3\xa9.txt"},
      {"CP1251", "caf\xe2\x80\x9a.txt"},
  };
  for (const auto& c : cases) {
    TFormatOptions options;
    options.CodePage = c.CodePage;
    const TWalk walk = Walk(Fixture("dosname.cab"), options);
    ASSERT_EQ(walk.Entries.size(), 1u);
    EXPECT_EQ(walk.Entries[0].Name, c.Name) << c.CodePage;
    EXPECT_EQ(walk.Entries[0].Attributes, ftReadOnly | ftHidden | ftSysFile | ftArchive);
    EXPECT_EQ(walk.Data[0].Data, "DOS name\r\n");
  }
}

// 3 MiB in one entry, more than the reader keeps in memory.
TEST(CabReader, LargeEntryComesOutWhole) {
  std::string expected;
  for (int i = 0; i < 768; ++i) {
    char piece[16];
    std::snprintf(piece, sizeof piece, "piece %06d ", i);
    std::string block(piece);
    block.resize(4096, '.');
    expected += block;
  }
  const TWalk walk = Walk(Fixture("big.cab"));
  ASSERT_EQ(walk.Entries.size(), 1u);
  EXPECT_EQ(walk.Entries[0].Size, expected.size());
  EXPECT_EQ(walk.Data[0].Error, errNone);
  EXPECT_TRUE(walk.Data[0].Data == expected);
}

// set1.cab goes on in set2.cab: one.txt is in the first, two.txt across both, three.txt in the
// second.
TEST(CabReader, CabinetSets) {
  std::string one, two;
  for (int i = 0; i < 20000; ++i)
    one += static_cast<char>((31 * i + 7) % 256);
  for (int i = 0; i < 30000; ++i)
    two += static_cast<char>((17 * i + 3) % 251);
  std::string three;
  for (int i = 0; i < 700; ++i)
    three += "three\r\n";
  const std::map<std::string, std::string> contents = {
      {"one.txt", one}, {"two.txt", two}, {"three.txt", three}};
  const std::string set1 = Fixture("set1.cab"), set2 = Fixture("set2.cab");
  const std::string other = Fixture("store.cab");

  struct TCase {
    const char* What;
    const std::string* First;
    const std::string* Next; // what NextPart gives, nullptr for nothing
    std::vector<std::string> Names;
    std::vector<int> Results;
  };
  const TCase cases[] = {
      {"the whole set", &set1, &set2, {"one.txt", "two.txt", "three.txt"}, {0, 0, 0}},
      {"the next cabinet missing",
       &set1,
       nullptr,
       {"one.txt", "two.txt"},
       {errNone, errBrokenVolumeChain}},
      {"a cabinet of another set", &set1, &other, {"one.txt", "two.txt"}, {errNone, 25904}},
      {"the set opened at its second cabinet",
       &set2,
       nullptr,
       {"two.txt", "three.txt"},
       {25901, errNone}},
  };
  for (const TCase& c : cases) {
    std::vector<std::pair<int, std::string>> asked;
    TFormatOptions options;
    options.NextPart = [&](int part, const std::string& storedName) {
      asked.emplace_back(part, storedName);
      return c.Next != nullptr && part == 2
                 ? std::make_unique<TMemoryByteSource>(c.Next->data(), c.Next->size())
                 : nullptr;
    };
    const TWalk walk = Walk(*c.First, options);
    EXPECT_EQ(walk.Thrown, errNone) << c.What;
    EXPECT_EQ(Names(walk), c.Names) << c.What;
    EXPECT_EQ(Results(walk), c.Results) << c.What;
    for (size_t i = 0; i < walk.Entries.size(); ++i) {
      EXPECT_EQ(walk.Entries[i].Size, contents.at(walk.Entries[i].Name).size()) << c.What;
      if (walk.Data[i].Error == errNone) {
        EXPECT_TRUE(walk.Data[i].Data == contents.at(walk.Entries[i].Name))
            << c.What << " " << walk.Entries[i].Name;
      }
    }
    const std::vector<std::pair<int, std::string>> expectedAsks =
        c.First == &set1 ? std::vector<std::pair<int, std::string>>{{2, "set2.cab"}}
                         : std::vector<std::pair<int, std::string>>{};
    EXPECT_EQ(asked, expectedAsks) << c.What;
  }
}

void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// The listing, then the code of each entry decoded alone by a reader of its own, so that a fault
// of one entry does not hide what the next would give.
TWalk WalkEachAlone(const std::string& bytes) {
  TWalk walk = Walk(bytes);
  for (size_t i = 0; i < walk.Entries.size(); ++i) {
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeCabReader(source, {});
    TArcEntry entry;
    for (size_t k = 0; k <= i; ++k)
      EXPECT_TRUE(reader->Next(entry));
    walk.Data[i] = test::DecodeEntry(*reader, entry);
  }
  return walk;
}

// Headers whose numbers point past the end or past what they describe, a changed data byte: the
// listing throws a code or the entries fail with one.
TEST(CabReader, DamagedHeadersAndData) {
  const std::string store = Fixture("store.cab");
  const uint32_t dataAt = Le32(reinterpret_cast<const uint8_t*>(store.data()) + 36);
  const auto patched = [&](auto patch) {
    std::string bytes = store;
    patch(bytes);
    return bytes;
  };
  struct TCase {
    const char* What;
    std::string Bytes;
    int Thrown;
    std::vector<int> Results; // of the five entries, when listed
  };
  const TCase cases[] = {
      {"cabinet size past the end",
       patched([](std::string& b) { Put32(b, 8, 0xFFFFFFF0); }),
       errNone,
       {0, 0, 0, 0, 0}},
      {"folder data past the end",
       patched([](std::string& b) { Put32(b, 36, 0x7FFFFFF0); }),
       errNone,
       {errUnexpectedEof, errNone, errUnexpectedEof, errUnexpectedEof, errUnexpectedEof}},
      {"more files than stored",
       patched([](std::string& b) { Put16(b, 28, 0xFFFF); }),
       errCorruptInput,
       {}},
      {"a file longer than its folder",
       patched([](std::string& b) { Put32(b, 44, 0x7FFFFF00); }),
       errNone,
       {errCorruptInput, 0, 0, 0, 0}},
      {"a data block longer than the file",
       patched([&](std::string& b) { Put16(b, dataAt + 4, 0xFFFF); }),
       errNone,
       {errCorruptInput, errNone, errCorruptInput, errCorruptInput, errCorruptInput}},
      {"a changed data byte",
       patched(
           [&](std::string& b) { b[dataAt + 8 + 100] = static_cast<char>(b[dataAt + 108] ^ 1); }),
       errNone,
       {errCrc, errNone, errCrc, errCrc, errCrc}},
      {"half a header", store.substr(0, 30), errUnexpectedEof, {}},
  };
  for (const TCase& c : cases) {
    const TWalk walk = WalkEachAlone(c.Bytes);
    EXPECT_EQ(walk.Thrown, c.Thrown) << c.What;
    EXPECT_EQ(Results(walk), c.Results) << c.What;
  }
}

// A fault the cabinet library reports carries its text: the library's error code and what kind of
// work failed (1 opening the cabinet, 2 extracting a file), both where one entry fails and where
// the whole cabinet does.
TEST(CabReader, LibraryFaultsCarryTheCabinetErrorText) {
  const std::string store = Fixture("store.cab");
  const uint32_t dataAt = Le32(reinterpret_cast<const uint8_t*>(store.data()) + 36);
  std::string changedByte = store;
  changedByte[dataAt + 108] = static_cast<char>(changedByte[dataAt + 108] ^ 1);
  std::string tooManyFiles = store;
  Put16(tooManyFiles, 28, 0xFFFF);
  // libmspack's codes: 3 a read fault, 8 a bad data format, 9 a checksum mismatch.
  const struct {
    const char* What;
    std::string Bytes;
    std::vector<std::pair<int, std::string>> Errors; // OnError's code and text, in order
    std::string Thrown;                              // the exception's text
  } cases[] = {
      // The first file of the folder fails its checksum; the library then refuses the rest of
      // that folder.
      {"a changed data byte",
       changedByte,
       {{errCrc, "Cabinet error 9 (type 2)"},
        {errCorruptInput, "Cabinet error 8 (type 2)"},
        {errCorruptInput, "Cabinet error 8 (type 2)"},
        {errCorruptInput, "Cabinet error 8 (type 2)"}},
       ""},
      {"more files than stored",
       tooManyFiles,
       {{errCorruptInput, "Cabinet error 8 (type 1)"}},
       "Cabinet error 8 (type 1)"},
      {"half a header",
       store.substr(0, 30),
       {{errUnexpectedEof, "Cabinet error 3 (type 1)"}},
       "Cabinet error 3 (type 1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    test::TTempFolder folder;
    const std::string path = folder.Native("damaged.cab");
    test::WriteFile(path, c.Bytes);
    TUnCAB uncab;
    std::vector<std::pair<int, std::string>> errors;
    uncab.OnError = [&](TAwkMain*, const std::string&, const std::string& text, const std::string&,
                        int code) { errors.emplace_back(code, text); };
    uncab.ExtractDir = folder.Native("out");
    uncab.SetArchiveFile(path);
    ASSERT_EQ(uncab.ArcType(), TArcType::atCAB);
    std::string thrown;
    try {
      uncab.Extract();
    } catch (const EArchiveError& e) {
      thrown = e.what();
    }
    EXPECT_EQ(errors, c.Errors);
    EXPECT_EQ(thrown, c.Thrown);
  }
}

// Cut short anywhere: the listing throws a code or ends, and data comes out exactly as from the
// whole cabinet or fails with a code.
TEST(CabReader, TruncatedAnywhereNeverGivesWrongData) {
  std::vector<std::string> cabinets = {Fixture("store.cab"), Fixture("mszip.cab"),
                                       Fixture("set1.cab")};
  for (const char* sample :
       {"libarchive__test_read_format_cab_1.cab", "libarchive__test_read_format_cab_2.cab",
        "libarchive__test_read_format_cab_3.cab"})
    cabinets.push_back(Sample(sample));
  for (const std::string& bytes : cabinets) {
    std::map<std::string, std::string> good;
    const TWalk whole = Walk(bytes);
    for (size_t i = 0; i < whole.Entries.size(); ++i)
      good[whole.Entries[i].Name] = whole.Data[i].Data;
    const size_t step = std::max<size_t>(1, bytes.size() / 200);
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 400 ? 1 : step) {
      const TWalk walk = Walk(bytes.substr(0, cut));
      for (size_t i = 0; i < walk.Entries.size(); ++i) {
        if (walk.Data[i].Error != errNone)
          continue;
        const auto it = good.find(walk.Entries[i].Name);
        EXPECT_TRUE(it != good.end() && it->second == walk.Data[i].Data)
            << "cut at " << cut << ": " << walk.Entries[i].Name;
      }
    }
  }
}

using test::TLibraryOverride;

TEST(CabReader, MissingLibraryFailsCabAlone) {
  const std::string zip =
      test::BuildZip(test::TZipArchive(std::vector<test::TZipItem>{{"z.txt", "zip still works"}}));
  const std::string cab = Fixture("store.cab");
  // "none" switches the library off; a library without the functions counts as missing.
  for (const char* value : {"/nonexistent/libx.so", "none", "libz.so.1"}) {
    TLibraryOverride off("CORVANE_LIB_CAB", value);
    EXPECT_FALSE(CabLibraryPresent()) << value;
    TMemoryByteSource cabSource(cab.data(), cab.size());
    try {
      (void)MakeFormatReader(TArcType::atCAB, cabSource, {});
      ADD_FAILURE() << value << ": no fault";
    } catch (const EArchiveError& e) {
      EXPECT_EQ(e.Code(), errCabinetMissing) << value;
    }
    TMemoryByteSource zipSource(zip.data(), zip.size());
    auto reader = MakeFormatReader(TArcType::atZIP, zipSource, {});
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry));
    EXPECT_EQ(test::DecodeEntry(*reader, entry).Data, "zip still works");
  }
  TLibraryOverride other("CORVANE_LIB_CAB", "libmspack.so");
  EXPECT_EQ(Walk(cab).Entries.size(), 5u);
}

} // namespace
} // namespace corvane::archive
