#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>

using corvane::test::DecodeEntry;
// A GZIP stores its size modulo 4 GiB at its end: the listed size is what that says, not a bound.
using corvane::test::TDecoded;

namespace corvane::archive {
namespace {

using test::Pattern;

using namespace std::string_literals;

std::string RawDeflate(const std::string& data) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void PutLe32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out += static_cast<char>(v >> (8 * i));
}

// One gzip member written by hand around zlib's raw deflate.
struct TMember {
  std::string Content;
  std::optional<std::string> Name; // FNAME bytes
  std::optional<std::string> Comment;
  std::optional<std::string> Extra;
  bool HeaderCrc = false;
  uint32_t MTime = 0;
  uint8_t Method = 8;
  uint8_t MoreFlags = 0;
  std::optional<std::string> Body; // instead of the deflated content
  std::optional<uint32_t> Crc;     // instead of the right ones
  std::optional<uint32_t> Isize;

  std::string Bytes() const {
    std::string out = "\x1f\x8b";
    out += static_cast<char>(Method);
    out += static_cast<char>((Extra ? 4 : 0) | (Name ? 8 : 0) | (Comment ? 16 : 0) |
                             (HeaderCrc ? 2 : 0) | MoreFlags);
    PutLe32(out, MTime);
    out += "\x00\x03"s;
    if (Extra) {
      out += static_cast<char>(Extra->size() & 0xFF);
      out += static_cast<char>(Extra->size() >> 8);
      out += *Extra;
    }
    if (Name)
      out += *Name + '\0';
    if (Comment)
      out += *Comment + '\0';
    if (HeaderCrc) {
      const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data()), out.size());
      out += static_cast<char>(crc & 0xFF);
      out += static_cast<char>((crc >> 8) & 0xFF);
    }
    out += Body ? *Body : RawDeflate(Content);
    PutLe32(out, Crc ? *Crc
                     : static_cast<uint32_t>(crc32(
                           0, reinterpret_cast<const Bytef*>(Content.data()), Content.size())));
    PutLe32(out, Isize ? *Isize : static_cast<uint32_t>(Content.size()));
    return out;
  }
};

TEST(GzipReader, NamesItsEntryFromTheHeaderOrTheArchive) {
  struct TCase {
    std::optional<std::string> Stored;
    const char* ArchiveName;
    const char* Name;
  };
  const TCase cases[] = {
      {"report.txt", "/x/any.gz", "report.txt"},
      // A stored path must not name a place: only its last component counts.
      {"../../etc/passwd", "/x/a.gz", "passwd"},
      {"/etc/shadow", "/x/a.gz", "shadow"},
      {"dir\\sub\\file.c", "/x/a.gz", "file.c"},
      {"..", "/x/fallback.txt.gz", "fallback.txt"},
      {"dir/", "/x/fallback.txt.gz", "fallback.txt"},
      {"", "/x/fallback.txt.gz", "fallback.txt"},
      // ISO-8859-1 by the RFC; UTF-8 as today's gzip writes it stays UTF-8.
      {"gr\xfc\xdf.txt", "/x/a.gz", "gr\xc3\xbc\xc3\x9f.txt"},
      {"gr\xc3\xbc\xc3\x9f.txt", "/x/a.gz", "gr\xc3\xbc\xc3\x9f.txt"},
      // Without a stored name: the archive's name less its extension.
      {std::nullopt, "/home/u/data.txt.gz", "data.txt"},
      {std::nullopt, "/home/u/DATA.TXT.GZ", "DATA.TXT"},
      {std::nullopt, "/home/u/src.tgz", "src.tar"},
      {std::nullopt, "/home/u/SRC.TAZ", "SRC.TAR"},
      {std::nullopt, "/home/u/file-gz", "file"},
      {std::nullopt, "/home/u/file_z", "file"},
      {std::nullopt, "/home/u/file.z", "file"},
      {std::nullopt, "/home/u/plain", "plain"},
      {std::nullopt, "/home/u/.gz", "unnamed"},
  };
  for (const auto& c : cases) {
    TMember member;
    member.Content = "x";
    member.Name = c.Stored;
    const std::string bytes = member.Bytes();
    TMemoryByteSource source(bytes.data(), bytes.size());
    TFormatOptions options;
    options.ArchiveName = c.ArchiveName;
    auto reader = MakeGzipReader(source, options);
    ASSERT_TRUE(reader);
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry));
    EXPECT_EQ(entry.Name, c.Name) << c.Stored.value_or("(none)") << " in " << c.ArchiveName;
  }
}

TEST(GzipReader, ListsAndDecodesWithAnyOptionalFields) {
  const std::string content = "The quick brown fox\n" + Pattern(5000, 1);
  struct TCase {
    const char* What;
    bool Extra, Comment, HeaderCrc;
    uint32_t MTime;
    size_t Prefix; // bytes before the archive (self-extractor stub)
  };
  const TCase cases[] = {
      {"bare", false, false, false, 0, 0},
      {"extra field", true, false, false, 1'700'000'000, 0},
      {"comment", false, true, false, 1, 0},
      {"header CRC", false, false, true, 42, 0},
      {"everything", true, true, true, 1'700'000'000, 0},
      {"after a stub", true, false, true, 7, 100},
  };
  for (const auto& c : cases) {
    TMember member;
    member.Content = content;
    member.Name = "n.bin";
    if (c.Extra)
      member.Extra = std::string("AB\x04\x00wxyz", 8);
    if (c.Comment)
      member.Comment = "a comment";
    member.HeaderCrc = c.HeaderCrc;
    member.MTime = c.MTime;
    const std::string body = member.Bytes();
    const std::string bytes = std::string(c.Prefix, 'S') + body;
    TMemoryByteSource source(bytes.data(), bytes.size());
    TFormatOptions options;
    options.StartOffset = c.Prefix;
    auto reader = MakeGzipReader(source, options);
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry)) << c.What;
    EXPECT_EQ(entry.Index, 0u);
    EXPECT_EQ(entry.Offset, c.Prefix) << c.What;
    EXPECT_EQ(entry.Name, "n.bin") << c.What;
    EXPECT_EQ(entry.Size, content.size()) << c.What;
    EXPECT_EQ(entry.PackedSize, RawDeflate(content).size()) << c.What;
    EXPECT_EQ(entry.Crc, crc32(0, reinterpret_cast<const Bytef*>(content.data()), content.size()));
    EXPECT_EQ(entry.HasUnixTime, c.MTime != 0) << c.What;
    EXPECT_EQ(entry.UnixTime, c.MTime) << c.What;
    EXPECT_FALSE(entry.IsFolder);
    const TDecoded got = DecodeEntry(*reader, entry, "", 333, false);
    EXPECT_EQ(got.Error, errNone) << c.What;
    EXPECT_TRUE(got.Data == content) << c.What;
    EXPECT_FALSE(reader->Next(entry)) << c.What;
  }
}

TEST(GzipReader, DecodesLargeDataInAnyPieceSize) {
  std::string content;
  for (int i = 0; i < 40; ++i)
    content += Pattern(50'000, i) + std::string(50'000, static_cast<char>('a' + i % 26));
  TMember member;
  member.Content = content;
  const std::string bytes = member.Bytes();
  for (const size_t step : {size_t{1000}, size_t{65536}, size_t{3'000'000}}) {
    TMemoryByteSource source(bytes.data(), bytes.size());
    auto reader = MakeGzipReader(source, {});
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry));
    const TDecoded got = DecodeEntry(*reader, entry, "", step, false);
    EXPECT_EQ(got.Error, errNone) << step;
    EXPECT_TRUE(got.Data == content) << step;
  }

  // Finish checks the whole stream even when the caller stops at the listed size.
  TMemoryByteSource source(bytes.data(), bytes.size());
  auto reader = MakeGzipReader(source, {});
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  int error;
  auto data = reader->OpenData(entry, "", error);
  ASSERT_TRUE(data);
  uint8_t buffer[100];
  ASSERT_EQ(data->Read(buffer, sizeof buffer), 100);
  EXPECT_EQ(data->Finish(), errNone);
}

TEST(GzipReader, DataFaults) {
  const std::string content = Pattern(3000, 9) + "tail";
  TMember good;
  good.Content = content;
  TMember badCrc = good;
  badCrc.Crc = 0x12345678;
  TMember lyingSize = good;
  lyingSize.Isize = 0xFFFFFFF0u;
  TMember corrupt = good;
  corrupt.Body = std::string("\x07\x00\x00\x00", 4); // a block of the undefined type 3
  TMember second;
  second.Content = "second member";
  const std::string whole = good.Bytes();

  struct TCase {
    const char* What;
    std::string Bytes;
    int Result;
    std::optional<uint64_t> ListedSize; // ISIZE of the last bytes, whatever they are
  };
  const TCase cases[] = {
      {"single member", whole, errNone, content.size()},
      {"CRC does not match", badCrc.Bytes(), errCrc, content.size()},
      {"ISIZE lies", lyingSize.Bytes(), errCrc, 0xFFFFFFF0u},
      {"corrupt deflate", corrupt.Bytes(), errCorruptInput, content.size()},
      {"second member", whole + second.Bytes(), errMultiPartGzip, second.Content.size()},
      {"second member after padding", whole + std::string(700, '\0') + second.Bytes(),
       errMultiPartGzip, second.Content.size()},
      {"zero padding", whole + std::string(1000, '\0'), errNone, 0},
      {"trailing garbage", whole + "garbage\n", errNone, 0x0a656761u},
      {"trailer cut off", whole.substr(0, whole.size() - 3), errUnexpectedEof, std::nullopt},
  };
  for (const auto& c : cases) {
    TMemoryByteSource source(c.Bytes.data(), c.Bytes.size());
    auto reader = MakeGzipReader(source, {});
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry)) << c.What;
    if (c.ListedSize) {
      EXPECT_EQ(entry.Size, *c.ListedSize) << c.What;
    }
    const TDecoded got = DecodeEntry(*reader, entry, "", 65536, false);
    EXPECT_EQ(got.Error, c.Result) << c.What;
    if (c.Result != errCorruptInput && c.Result != errUnexpectedEof) {
      EXPECT_TRUE(got.Data == content) << c.What;
    }
    EXPECT_FALSE(reader->Next(entry)) << c.What;
  }
}

TEST(GzipReader, HeaderFaults) {
  TMember valid;
  valid.Content = "abc";
  valid.Name = "name";
  const std::string bytes = valid.Bytes();
  TMember reserved = valid;
  reserved.MoreFlags = 0x20;
  TMember headerCrc = valid;
  headerCrc.HeaderCrc = true;
  std::string badHeaderCrc = headerCrc.Bytes();
  badHeaderCrc[10] ^= 1; // a byte of the name, covered by the header CRC
  TMember longExtra = valid;
  longExtra.Name.reset();
  longExtra.Extra = std::string(100, 'e');
  std::string extraPastEnd = longExtra.Bytes().substr(0, 50);

  struct TCase {
    const char* What;
    std::string Bytes;
    int Code;
  };
  const TCase cases[] = {
      {"empty", "", errBadFileHeader},
      {"wrong magic", "\x1f\x8c" + bytes.substr(2), errBadFileHeader},
      {"reserved flags", reserved.Bytes(), errBadFileHeader},
      {"header CRC does not match", badHeaderCrc, errHeaderCrc},
      {"fixed header cut", bytes.substr(0, 6), errUnexpectedEof},
      {"extra field past the end", extraPastEnd, errUnexpectedEof},
      {"name without its end", bytes.substr(0, 13), errUnexpectedEof},
  };
  for (const auto& c : cases) {
    TMemoryByteSource source(c.Bytes.data(), c.Bytes.size());
    auto reader = MakeGzipReader(source, {});
    TArcEntry entry;
    try {
      reader->Next(entry);
      ADD_FAILURE() << c.What << ": no fault";
    } catch (const EArchiveError& e) {
      EXPECT_EQ(e.Code(), c.Code) << c.What;
    }
  }

  // An unknown method is listed; only its data is refused.
  TMember stored = valid;
  stored.Method = 7;
  const std::string unknown = stored.Bytes();
  TMemoryByteSource source(unknown.data(), unknown.size());
  auto reader = MakeGzipReader(source, {});
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  EXPECT_EQ(entry.Method, 7u);
  EXPECT_EQ(DecodeEntry(*reader, entry, "", 65536, false).Error, errUnsupportedMethod);
}

// Cut at every byte, a gzip file never decodes without a fault.
TEST(GzipReader, TruncatedAnywhereIsAFault) {
  TMember member;
  member.Content = Pattern(600, 3) + std::string(600, 'z');
  member.Name = "file.bin";
  member.Comment = "c";
  member.HeaderCrc = true;
  const std::string bytes = member.Bytes();
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TMemoryByteSource source(bytes.data(), cut);
    auto reader = MakeGzipReader(source, {});
    TArcEntry entry;
    try {
      ASSERT_TRUE(reader->Next(entry));
      const TDecoded got = DecodeEntry(*reader, entry, "", 100, false);
      EXPECT_TRUE(got.Error == errUnexpectedEof) << "cut at " << cut << ": " << got.Error;
    } catch (const EArchiveError& e) {
      EXPECT_TRUE(e.Code() == errUnexpectedEof || e.Code() == errBadFileHeader)
          << "cut at " << cut << ": " << e.Code();
    }
  }
}

TEST(GzipReader, Samples) {
  std::map<std::string, std::pair<std::string, uint64_t>> expected;
  std::ifstream file(CORVANE_SOURCE_DIR "/tests/corpus/expected.tsv");
  for (std::string line; std::getline(file, line);) {
    std::istringstream fields(line);
    std::string sample, name, folder, size;
    if (std::getline(fields, sample, '\t') && std::getline(fields, name, '\t') &&
        std::getline(fields, folder, '\t') && std::getline(fields, size, '\t') &&
        sample.starts_with("archives/gzip/"))
      expected[sample] = {name, std::stoull(size)};
  }
  ASSERT_EQ(expected.size(), 2u);
  for (const auto& [sample, want] : expected) {
    const std::string path = CORVANE_SOURCE_DIR "/tests/corpus/" + sample;
    TFileByteSource source(path);
    ASSERT_TRUE(source.Valid()) << sample;
    TFormatOptions options;
    options.ArchiveName = path;
    auto reader = MakeGzipReader(source, options);
    TArcEntry entry;
    ASSERT_TRUE(reader->Next(entry)) << sample;
    EXPECT_EQ(entry.Name, want.first);
    EXPECT_EQ(entry.Size, want.second);
    const TDecoded got = DecodeEntry(*reader, entry, "", 65536, false);
    EXPECT_EQ(got.Error, errNone) << sample;
    EXPECT_EQ(got.Data.size(), want.second) << sample;
    EXPECT_FALSE(reader->Next(entry));
  }

  // Eight members: listed as the first, refused when extracted.
  const std::string path =
      CORVANE_SOURCE_DIR "/tests/corpus/archives/gzip/libarchive__test_compat_gzip_1.tgz";
  TFileByteSource source(path);
  ASSERT_TRUE(source.Valid());
  auto reader = MakeGzipReader(source, {});
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  EXPECT_EQ(entry.Name, "test-split.taraa");
  EXPECT_FALSE(reader->Next(entry));
  reader = MakeGzipReader(source, {});
  ASSERT_TRUE(reader->Next(entry));
  EXPECT_EQ(DecodeEntry(*reader, entry, "", 65536, false).Error, errMultiPartGzip);
}

} // namespace
} // namespace corvane::archive
