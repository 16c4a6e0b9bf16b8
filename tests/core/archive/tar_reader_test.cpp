#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"

#include <gtest/gtest.h>

#include <functional>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

using corvane::test::DecodeEntry;
using corvane::test::TDecoded;

namespace corvane::archive {
namespace {

using test::Pattern;

constexpr int64_t Stamp = 1'600'000'000;

// Writes tar archives block by block: ustar headers with their checksum, GNU long names, pax
// extended headers.
class TTarBuilder {
public:
  void Header(std::string_view name, char type, uint64_t size, uint32_t mode = 0644,
              std::string_view link = "", int64_t mtime = Stamp) {
    char h[512] = {};
    std::memcpy(h, name.data(), std::min<size_t>(name.size(), 100));
    std::snprintf(h + 100, 8, "%07o", mode);
    std::snprintf(h + 108, 8, "%07o", 1000u);
    std::snprintf(h + 116, 8, "%07o", 1000u);
    std::snprintf(h + 124, 12, "%011llo", static_cast<unsigned long long>(size));
    std::snprintf(h + 136, 12, "%011llo", static_cast<unsigned long long>(mtime));
    h[156] = type;
    std::memcpy(h + 157, link.data(), std::min<size_t>(link.size(), 100));
    std::memcpy(h + 257, "ustar", 6);
    std::memcpy(h + 263, "00", 2);
    std::memset(h + 148, ' ', 8);
    unsigned sum = 0;
    for (const char c : h)
      sum += static_cast<unsigned char>(c);
    std::snprintf(h + 148, 8, "%06o", sum);
    Bytes.append(h, sizeof h);
  }
  void Data(std::string_view data) {
    Bytes += data;
    Bytes.append((512 - data.size() % 512) % 512, '\0');
  }
  void File(std::string_view name, std::string_view data, uint32_t mode = 0644) {
    Header(name, '0', data.size(), mode);
    Data(data);
  }
  void LongName(std::string_view name) {
    Header("././@LongLink", 'L', name.size() + 1);
    Data(std::string(name) + '\0');
  }
  void Pax(const std::vector<std::pair<std::string, std::string>>& records) {
    std::string body;
    for (const auto& [key, value] : records) {
      const std::string tail = " " + key + "=" + value + "\n";
      size_t length = tail.size() + 1;
      while (std::to_string(length).size() + tail.size() != length)
        ++length;
      body += std::to_string(length) + tail;
    }
    Header("PaxHeader/entry", 'x', body.size());
    Data(body);
  }
  std::string End() {
    Bytes.append(1024, '\0');
    return Bytes;
  }

  std::string Bytes;
};

// Counts the bytes read, to tell skipped data from read data.
class TCountingSource final : public TByteSource {
public:
  explicit TCountingSource(const std::string& data) : Inner(data.data(), data.size()) {}
  ptrdiff_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    const ptrdiff_t got = Inner.ReadAt(offset, buffer, count);
    if (got > 0)
      Read += static_cast<uint64_t>(got);
    return got;
  }
  uint64_t Size() const override { return Inner.Size(); }
  uint64_t Read = 0;

private:
  TMemoryByteSource Inner;
};

TEST(TarReader, ReportsEachKindOfEntryAsStored) {
  const std::string longName = std::string(150, 'n') + "/" + std::string(80, 'm') + ".txt";
  TTarBuilder tar;
  tar.File("plain.txt", "hello");
  tar.Header("dir/", '5', 0, 0755);
  tar.Header("dir/link", '2', 0, 0777, "../plain.txt");
  tar.Header("hard", '1', 0, 0644, "plain.txt");
  tar.File("readonly.txt", "r", 04444);
  tar.Header("pipe", '6', 0, 0600);
  tar.Header("tty", '3', 0, 0600);
  tar.File("back\\slash.txt", "b");
  tar.File("/etc/passwd", "x");
  tar.File("../../evil", "x");
  tar.LongName(longName);
  tar.File("ignored-short-name", "long");
  tar.Pax({{"path", "pax/a\xcc\x88-name.txt"}, {"mtime", "1234567890"}});
  tar.File("ignored-too", "pax");
  const std::string bytes = tar.End();

  struct TExpected {
    std::string Name;
    bool Folder;
    bool Link;
    std::string Target;
    uint64_t Hard;
    uint64_t Size;
    uint32_t Mode;
    uint32_t Attributes;
  };
  const TExpected expected[] = {
      {"plain.txt", false, false, "", 0, 5, 0644, 0},
      {"dir/", true, false, "", 0, 0, 0755, ftDirectory},
      {"dir/link", false, true, "../plain.txt", 0, 12, 0777, 0},
      {"hard", false, true, "plain.txt", 1, 0, 0644, 0},
      {"readonly.txt", false, false, "", 0, 1, 04444, ftReadOnly},
      {"pipe", false, false, "", 0, 0, 0600, 0},
      {"tty", false, false, "", 0, 0, 0600, 0},
      {"back\\slash.txt", false, false, "", 0, 1, 0644, 0},
      {"/etc/passwd", false, false, "", 0, 1, 0644, 0},
      {"../../evil", false, false, "", 0, 1, 0644, 0},
      {longName, false, false, "", 0, 4, 0644, 0},
      {"pax/a\xcc\x88-name.txt", false, false, "", 0, 3, 0644, 0},
  };
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeTarReader(source, {});
  ASSERT_TRUE(reader);
  TArcEntry entry;
  uint64_t lastOffset = 0;
  for (size_t i = 0; i < std::size(expected); ++i) {
    const auto& e = expected[i];
    ASSERT_TRUE(reader->Next(entry)) << e.Name;
    EXPECT_EQ(entry.Index, i);
    EXPECT_EQ(entry.Name, e.Name);
    EXPECT_EQ(entry.IsFolder, e.Folder) << e.Name;
    EXPECT_EQ(entry.IsLink, e.Link) << e.Name;
    EXPECT_EQ(entry.LinkTarget, e.Target) << e.Name;
    EXPECT_EQ(entry.IsHardLink, e.Hard != 0) << e.Name;
    EXPECT_EQ(entry.Size, e.Size) << e.Name;
    EXPECT_EQ(entry.PackedSize, e.Size) << e.Name;
    EXPECT_TRUE(entry.HasUnixMode);
    EXPECT_EQ(entry.UnixMode, e.Mode) << e.Name;
    EXPECT_EQ(entry.Attributes, e.Attributes) << e.Name;
    EXPECT_TRUE(entry.HasUnixTime);
    EXPECT_EQ(entry.UnixTime, e.Name.starts_with("pax/") ? 1234567890 : Stamp) << e.Name;
    EXPECT_EQ(entry.Offset % 512, 0u);
    if (i > 0) {
      EXPECT_GT(entry.Offset, lastOffset);
    }
    lastOffset = entry.Offset;
  }
  EXPECT_FALSE(reader->Next(entry));
  EXPECT_FALSE(reader->Next(entry));
}

// libarchive turns pax names into the locale's character set; they must stay as stored in a UTF-8
// locale too (no NFC normalisation of the decomposed "a" + diaeresis), as must raw non-UTF-8
// bytes of a ustar name.
// TAR names and link targets end at a NUL in every form they take (header fields, GNU long
// names, pax records): the reader hands over the bytes before it, the name the kernel would see.
TEST(TarReader, ANulByteEndsANameWhereTheKernelWould) {
  using namespace std::string_literals;
  const std::string name = "..\0/x"s;
  const std::string target = "..\0/y"s;
  struct TCase {
    const char* What;
    std::function<void(TTarBuilder&)> Write;
    std::string Name;
    std::string Target;
  };
  const TCase cases[] = {
      {"header name", [&](TTarBuilder& t) { t.File(name, "x"); }, "..", ""},
      {"header link target", [&](TTarBuilder& t) { t.Header("l", '2', 0, 0777, target); }, "l",
       ".."},
      {"gnu long name",
       [&](TTarBuilder& t) {
         t.LongName(name);
         t.File("short", "x");
       },
       "..", ""},
      {"pax path",
       [&](TTarBuilder& t) {
         t.Pax({{"path", name}});
         t.File("short", "x");
       },
       "..", ""},
      {"pax link path",
       [&](TTarBuilder& t) {
         t.Pax({{"linkpath", target}});
         t.Header("l", '2', 0, 0777, "short");
       },
       "l", ".."},
  };
  for (const TCase& c : cases) {
    TTarBuilder tar;
    c.Write(tar);
    const std::string bytes = tar.End();
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeTarReader(source, {});
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry)) << c.What;
    EXPECT_EQ(entry.Name, c.Name) << c.What;
    EXPECT_EQ(entry.LinkTarget, c.Target) << c.What;
  }
}

TEST(TarReader, NamesKeepTheirBytesInAUtf8Locale) {
  TTarBuilder tar;
  tar.Pax({{"path", "a\xcc\x88.txt"}});
  tar.File("x", "1");
  tar.File("latin\xe4.txt", "2");
  const std::string bytes = tar.End();

  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr)
    GTEST_SKIP() << "no C.UTF-8 locale";
  std::vector<std::string> names;
  {
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeTarReader(source, {});
    TArcEntry entry;
    while (reader->Next(entry))
      names.push_back(entry.Name);
  }
  const std::string now = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(now, "C.UTF-8"); // the reader leaves the caller's locale alone
  EXPECT_EQ(names, (std::vector<std::string>{"a\xcc\x88.txt", "latin\xe4.txt"}));
}

TEST(TarReader, DataComesOutWhole) {
  const std::string small = "small file";
  const std::string big = Pattern(2'500'000, 1); // spans several 1 MiB reads
  const std::string odd = Pattern(1537, 2);
  TTarBuilder tar;
  tar.File("small", small);
  tar.File("empty", "");
  tar.File("big", big);
  tar.File("odd", odd);
  const std::string bytes = tar.End();

  for (const size_t step : {size_t{1}, size_t{511}, size_t{65536}}) {
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeTarReader(source, {});
    TArcEntry entry;
    std::map<std::string, std::string> contents;
    while (reader->Next(entry)) {
      if (step == 1 && entry.Size > 100'000)
        continue; // a byte at a time through 2.5 MB adds nothing but time
      const TDecoded got = DecodeEntry(*reader, entry, "", step);
      EXPECT_EQ(got.Error, errNone) << entry.Name;
      contents[entry.Name] = got.Data;
    }
    EXPECT_EQ(contents["small"], small);
    EXPECT_EQ(contents["empty"], "");
    EXPECT_EQ(contents["odd"], odd);
    if (step != 1) {
      EXPECT_TRUE(contents["big"] == big) << "step " << step;
    }
  }
}

TEST(TarReader, ListingSkipsTheData) {
  TTarBuilder tar;
  tar.File("a", Pattern(3'000'000, 3));
  tar.File("b", Pattern(3'000'000, 4));
  tar.File("c", "c");
  const std::string bytes = tar.End();
  TCountingSource source(bytes);
  auto reader = MakeTarReader(source, {});
  TArcEntry entry;
  int count = 0;
  while (reader->Next(entry))
    ++count;
  EXPECT_EQ(count, 3);
  EXPECT_LT(source.Read, 2'500'000u) << "the data of large entries was read while listing";
}

TEST(TarReader, DataOnlyForTheCurrentEntryAndRegularKinds) {
  TTarBuilder tar;
  tar.File("first", "one");
  tar.Header("fifo", '6', 0);
  tar.File("second", "two");
  const std::string bytes = tar.End();
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeTarReader(source, {});
  TArcEntry first, fifo, second;
  ASSERT_TRUE(reader->Next(first));
  int error = errNone;
  auto stale = reader->OpenData(first, "", error);
  ASSERT_TRUE(stale);
  EXPECT_FALSE(reader->OpenData(first, "", error)) << "the data streams past once";
  EXPECT_EQ(error, errSeek);

  ASSERT_TRUE(reader->Next(fifo));
  EXPECT_FALSE(reader->OpenData(fifo, "", error));
  EXPECT_EQ(error, errUnsupportedMethod);
  uint8_t buffer[16];
  EXPECT_EQ(stale->Read(buffer, sizeof buffer), -1) << "data of an entry the reader has left";
  EXPECT_EQ(stale->Error(), errSeek);

  ASSERT_TRUE(reader->Next(second));
  EXPECT_FALSE(reader->OpenData(first, "", error));
  EXPECT_EQ(error, errSeek);
  EXPECT_EQ(DecodeEntry(*reader, second).Data, "two");
}

// A pax 1.0 sparse file: two data runs with holes before, between and after them.
TEST(TarReader, SparseHolesReadAsZeros) {
  TTarBuilder tar;
  tar.Pax({{"GNU.sparse.major", "1"},
           {"GNU.sparse.minor", "0"},
           {"GNU.sparse.name", "sparse.bin"},
           {"GNU.sparse.realsize", "3000"}});
  std::string map = "2\n1000\n10\n2500\n5\n";
  map.resize(512, '\0');
  tar.Header("GNUSparseFile.0/sparse.bin", '0', 512 + 15);
  tar.Data(map + "ABCDEFGHIJvwxyz");
  const std::string bytes = tar.End();

  std::string expected(3000, '\0');
  expected.replace(1000, 10, "ABCDEFGHIJ");
  expected.replace(2500, 5, "vwxyz");
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeTarReader(source, {});
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  EXPECT_EQ(entry.Name, "sparse.bin");
  EXPECT_EQ(entry.Size, 3000u);
  for (const size_t step : {size_t{7}, size_t{4096}}) {
    if (step == 4096) {
      reader = MakeTarReader(source, {});
      ASSERT_TRUE(reader->Next(entry));
    }
    const TDecoded got = DecodeEntry(*reader, entry, "", step);
    EXPECT_EQ(got.Error, errNone);
    EXPECT_TRUE(got.Data == expected) << "step " << step;
  }
}

TEST(TarReader, DamagedArchivesFailCleanly) {
  TTarBuilder good;
  good.File("a", "aaaa");
  good.File("b", "bbbb");
  const std::string bytes = good.End();

  TTarBuilder big;
  big.File("first", "1");
  big.Header("huge", '0', 1'000'000'000);
  big.Data("only a little");
  const std::string sizePastEnd = big.Bytes;

  std::string badSum = bytes;
  badSum[1024 + 100] ^= 1; // the second header's mode field

  struct TCase {
    const char* What;
    std::string Bytes;
    int Entries; // listed before the throw
    int Code;
  };
  const TCase cases[] = {
      {"checksum of the second header", badSum, 1, errBadFileHeader},
      {"entry larger than the rest of the file", sizePastEnd, 2, errUnexpectedEof},
      {"not a tar at all", std::string(2048, 'x'), 0, errBadFileHeader},
      {"half a header", bytes.substr(0, 300), 0, errUnexpectedEof},
  };
  for (const auto& c : cases) {
    TMemoryByteSource source(c.Bytes.data(), c.Bytes.size());
    auto reader = MakeTarReader(source, {});
    TArcEntry entry;
    int listed = 0;
    try {
      while (reader->Next(entry))
        ++listed;
      ADD_FAILURE() << c.What << ": no fault";
    } catch (const EArchiveError& e) {
      EXPECT_EQ(e.Code(), c.Code) << c.What;
    }
    EXPECT_EQ(listed, c.Entries) << c.What;
  }

  // The data of the oversized entry ends with a fault instead of short output.
  TMemoryByteSource source(sizePastEnd.data(), sizePastEnd.size());
  auto reader = MakeTarReader(source, {});
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  ASSERT_TRUE(reader->Next(entry));
  EXPECT_EQ(DecodeEntry(*reader, entry).Error, errUnexpectedEof);
}

// Cut at every byte: listing ends or throws EArchiveError, and data either comes out complete and
// right or reports a fault.
TEST(TarReader, TruncatedAnywhereNeverGivesWrongData) {
  const std::map<std::string, std::string> files = {
      {"one", Pattern(700, 5)}, {"two", "2"}, {"three", Pattern(1100, 6)}};
  TTarBuilder tar;
  tar.Header("dir/", '5', 0, 0755);
  for (const auto& [name, data] : files)
    tar.File(name, data);
  const std::string bytes = tar.End();

  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TMemoryByteSource source(bytes.data(), cut);
    auto reader = MakeTarReader(source, {});
    TArcEntry entry;
    try {
      while (reader->Next(entry)) {
        const TDecoded got = DecodeEntry(*reader, entry, "", 300);
        if (entry.IsFolder)
          continue;
        if (got.Error == errNone) {
          EXPECT_EQ(got.Data, files.at(entry.Name)) << "cut at " << cut;
        } else {
          EXPECT_EQ(got.Error, errUnexpectedEof) << "cut at " << cut;
        }
      }
    } catch (const EArchiveError& e) {
      EXPECT_TRUE(e.Code() == errUnexpectedEof || e.Code() == errBadFileHeader)
          << "cut at " << cut << ": " << e.Code();
    }
  }
}

TEST(TarReader, SamplesListAndDecode) {
  const auto samples = corvane::test::CorpusSamples("tar");
  ASSERT_EQ(samples.size(), 2u);
  for (const auto& [sample, expected] : samples) {
    TFileByteSource source(corvane::test::CorpusPath(sample));
    ASSERT_TRUE(source.Valid()) << sample;
    auto reader = MakeTarReader(source, {});
    TArcEntry entry;
    size_t i = 0;
    while (reader->Next(entry)) {
      ASSERT_LT(i, expected.size()) << sample;
      EXPECT_EQ(entry.Name, expected[i].Name) << sample;
      EXPECT_EQ(entry.IsFolder, expected[i].Folder) << sample;
      EXPECT_EQ(static_cast<int64_t>(entry.Size), expected[i].Size) << sample;
      const TDecoded got = DecodeEntry(*reader, entry);
      EXPECT_EQ(got.Error, errNone) << sample << " " << entry.Name;
      EXPECT_EQ(static_cast<int64_t>(got.Data.size()), expected[i].Size)
          << sample << " " << entry.Name;
      ++i;
    }
    EXPECT_EQ(i, expected.size()) << sample;
  }
}

} // namespace
} // namespace corvane::archive
