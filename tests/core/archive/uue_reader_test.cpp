#include "archive/archive_format.h"
#include "archive_samples.h"
#include "reader_harness.h"

#include <gtest/gtest.h>

#include <cstdio>

using corvane::test::DecodeEntry;
using corvane::test::TDecoded;

namespace corvane::archive {
namespace {

using test::Pattern;

enum class TCoding { Uu, Xx };

const char XxAlphabet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

char EncodeChar(TCoding coding, unsigned value) {
  if (coding == TCoding::Xx)
    return XxAlphabet[value & 0x3F];
  return value == 0 ? '`' : static_cast<char>(0x20 + (value & 0x3F));
}

// The data lines of `data`, 45 bytes to a line, ending with the line of zero bytes.
std::vector<std::string> EncodeLines(std::string_view data, TCoding coding) {
  std::vector<std::string> lines;
  for (size_t at = 0;; at += 45) {
    const size_t n = at < data.size() ? std::min<size_t>(45, data.size() - at) : 0;
    std::string line(1, EncodeChar(coding, static_cast<unsigned>(n)));
    for (size_t g = 0; g < n; g += 3) {
      uint8_t b[3] = {};
      for (size_t i = 0; i < 3 && g + i < n; ++i)
        b[i] = static_cast<uint8_t>(data[at + g + i]);
      line += EncodeChar(coding, b[0] >> 2);
      line += EncodeChar(coding, (b[0] << 4 | b[1] >> 4) & 0x3F);
      line += EncodeChar(coding, (b[1] << 2 | b[2] >> 6) & 0x3F);
      line += EncodeChar(coding, b[2] & 0x3F);
    }
    lines.push_back(line);
    if (n == 0)
      return lines;
  }
}

std::string Section(std::string_view name, std::string_view data, TCoding coding = TCoding::Uu,
                    const char* mode = "644", const char* eol = "\n") {
  std::string text = "begin " + std::string(mode) + " " + std::string(name) + eol;
  for (const auto& line : EncodeLines(data, coding))
    text += line + eol;
  return text + "end" + eol;
}

// Every entry of a text with what its data gave.
struct TListed {
  TArcEntry Entry;
  TDecoded Decoded;
};

std::vector<TListed> ListAndDecode(const std::string& text, const TFormatOptions& options = {}) {
  TMemoryByteSource source(text.data(), text.size());
  auto reader = MakeUueReader(source, options);
  std::vector<TListed> all;
  TArcEntry entry;
  while (reader->Next(entry))
    all.push_back({entry, {}});
  for (auto& listed : all)
    listed.Decoded = DecodeEntry(*reader, listed.Entry, "", 100);
  return all;
}

int NoBeginCode(const std::string& text, int maxHeaderLines = 100) {
  TMemoryByteSource source(text.data(), text.size());
  TFormatOptions options;
  options.MaxHeaderLines = maxHeaderLines;
  auto reader = MakeUueReader(source, options);
  TArcEntry entry;
  try {
    reader->Next(entry);
  } catch (const EArchiveError& e) {
    return e.Code();
  }
  return errNone;
}

TEST(UueReader, DecodesBothEncodingsAtAnySize) {
  for (const TCoding coding : {TCoding::Uu, TCoding::Xx}) {
    for (const char* eol : {"\n", "\r\n"}) {
      for (const size_t size : {0, 1, 2, 3, 44, 45, 46, 1000, 4096}) {
        const std::string data = Pattern(size, static_cast<unsigned>(size));
        const auto all = ListAndDecode(Section("file.bin", data, coding, "640", eol));
        const std::string what = std::string(coding == TCoding::Uu ? "uu " : "xx ") +
                                 std::to_string(size) + (eol[0] == '\r' ? " CRLF" : " LF");
        ASSERT_EQ(all.size(), 1u) << what;
        const TArcEntry& e = all[0].Entry;
        EXPECT_EQ(e.Name, "file.bin") << what;
        EXPECT_EQ(e.Size, size) << what;
        EXPECT_TRUE(e.HasUnixMode);
        EXPECT_EQ(e.UnixMode, 0640u) << what;
        EXPECT_EQ(all[0].Decoded.Error, errNone) << what;
        EXPECT_TRUE(all[0].Decoded.Data == data) << what;
      }
    }
  }
}

TEST(UueReader, FindsTheBeginLineOnlyWithinTheHeaderLines) {
  const std::string section = Section("x", "data");
  std::string mail;
  for (int i = 0; i < 5; ++i)
    mail += "Header-" + std::to_string(i) + ": value\n";
  struct TCase {
    const char* What;
    std::string Text;
    int MaxHeaderLines;
    int Code; // errNone: found
  };
  const TCase cases[] = {
      {"at the top", section, 100, errNone},
      {"after mail headers", mail + "\n" + section, 100, errNone},
      {"begin as line 6 of 6 searched", mail + section, 6, errNone},
      {"begin as line 6 of 5 searched", mail + section, 5, errNoBeginLine},
      {"a long line counts once", std::string(100'000, 'z') + "\n" + section, 2, errNone},
      {"empty", "", 100, errNoBeginLine},
      {"text only", "just some text\nand more\n", 100, errNoBeginLine},
      {"base64 is another format", "begin-base64 644 x\nAAAA\n====\n", 100, errNoBeginLine},
      {"mode not octal", "begin 6x4 name\n`\nend\n", 100, errNoBeginLine},
      {"no name", "begin 644\n`\nend\n", 100, errNoBeginLine},
      {"capitalised", "Begin 644 name\n`\nend\n", 100, errNoBeginLine},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NoBeginCode(c.Text, c.MaxHeaderLines), c.Code) << c.What;
}

TEST(UueReader, EverySectionIsAnEntry) {
  const std::string first = Pattern(500, 1);
  const std::string second = Pattern(77, 2);
  const std::string third = "third";
  std::string text = "Subject: files\n\n" + Section("one.bin", first);
  for (int i = 0; i < 300; ++i)
    text += "a line of text between the sections\n";
  text += Section("../../etc/evil", second, TCoding::Xx, "4755");
  text += Section("\x84rger.txt", third, TCoding::Uu, "600");
  text += "trailing text\n";
  TFormatOptions options;
  options.CodePage = "IBM437";
  const auto all = ListAndDecode(text, options);
  ASSERT_EQ(all.size(), 3u);
  struct TExpected {
    std::string Name;
    uint32_t Mode;
    std::string Data;
  };
  const TExpected expected[] = {
      {"one.bin", 0644, first},
      {"../../etc/evil", 0755, second}, // reported as stored; set-id bits never
      {"\xc3\xa4rger.txt", 0600, third},
  };
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(all[i].Entry.Index, i);
    EXPECT_EQ(all[i].Entry.Name, expected[i].Name);
    EXPECT_EQ(all[i].Entry.UnixMode, expected[i].Mode) << expected[i].Name;
    EXPECT_EQ(all[i].Entry.Size, expected[i].Data.size()) << expected[i].Name;
    EXPECT_EQ(all[i].Decoded.Error, errNone) << expected[i].Name;
    EXPECT_TRUE(all[i].Decoded.Data == expected[i].Data) << expected[i].Name;
    EXPECT_EQ(text.compare(all[i].Entry.Offset, 6, "begin "), 0) << expected[i].Name;
  }
}

TEST(UueReader, DamagedSectionsReportTheirFault) {
  const std::string data = Pattern(200, 3); // 4 full lines of 45 bytes and one of 20
  const auto lines = EncodeLines(data, TCoding::Uu);
  const auto join = [&](size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to; ++i)
      text += lines[i] + "\n";
    return text;
  };
  const std::string begin = "begin 644 f\n";
  std::string shortLine = lines[2];
  shortLine.resize(20); // its count still says 45 bytes
  std::string badChar = lines[2];
  badChar[10] = '~';

  struct TCase {
    const char* What;
    std::string Text;
    bool WithNextPart; // a NextPart that has no part to give
    uint64_t ListedSize;
    int Result;
  };
  const TCase cases[] = {
      {"begin and nothing else", begin, false, 0, errUnexpectedEof},
      {"begin and nothing else, parts asked", begin, true, 0, errBrokenVolumeChain},
      {"no end line", begin + join(0, 3), false, 135, errUnexpectedEof},
      {"no end line, text after", begin + join(0, 3) + "-- \nsignature\n", false, 135,
       errUnexpectedEof},
      {"no end line, parts asked", begin + join(0, 3), true, 135, errBrokenVolumeChain},
      {"count beyond the line",
       begin + join(0, 2) + shortLine + "\n" + join(3, lines.size()) + "end\n", false, 90,
       errCorruptInput},
      {"illegal character", begin + join(0, 2) + badChar + "\n" + join(3, lines.size()) + "end\n",
       false, 90, errCorruptInput},
      {"blank lines are empty data lines",
       begin + join(0, 2) + "\n \n" + join(2, lines.size()) + "end\n", false, 200, errNone},
  };
  for (const auto& c : cases) {
    TFormatOptions options;
    int asked = 0;
    if (c.WithNextPart)
      options.NextPart = [&asked](int, const std::string&) -> std::unique_ptr<TByteSource> {
        ++asked;
        return nullptr;
      };
    const auto all = ListAndDecode(c.Text, options);
    ASSERT_EQ(all.size(), 1u) << c.What;
    EXPECT_EQ(all[0].Entry.Size, c.ListedSize) << c.What;
    EXPECT_EQ(all[0].Decoded.Error, c.Result) << c.What;
    if (c.Result == errNone) {
      EXPECT_TRUE(all[0].Decoded.Data == data) << c.What;
    }
    EXPECT_EQ(asked, c.WithNextPart ? 1 : 0) << c.What << ": parts are asked for once";
  }

  // A damaged section does not hide the next one.
  const std::string next = Section("g", "after the damage");
  const auto all = ListAndDecode(begin + join(0, 2) + shortLine + "\n" + next);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Decoded.Error, errCorruptInput);
  EXPECT_EQ(all[1].Entry.Name, "g");
  EXPECT_EQ(all[1].Decoded.Data, "after the damage");
}

TEST(UueReader, ContinuesInTheFollowingVolumes) {
  const std::string data = Pattern(2000, 4);
  for (const TCoding coding : {TCoding::Uu, TCoding::Xx}) {
    const auto lines = EncodeLines(data, coding);
    std::string parts[3];
    parts[0] = "begin 644 big.bin\n";
    for (size_t i = 0; i < lines.size(); ++i) {
      const size_t part = i < 15 ? 0 : i < 30 ? 1 : 2;
      if (i == 15 || i == 30)
        parts[part] =
            "From: sender@example.org\nSubject: big.bin (" + std::to_string(part + 1) + "/3)\n\n";
      parts[part] += lines[i] + "\n";
    }
    parts[0] += "\n-- \nA. Sender\n"; // text after the data of a part
    parts[2] += "end\n";

    for (const bool complete : {true, false}) {
      std::vector<int> asked;
      TFormatOptions options;
      options.NextPart = [&](int number, const std::string&) -> std::unique_ptr<TByteSource> {
        asked.push_back(number);
        if (number > 3 || (!complete && number == 3))
          return nullptr;
        const std::string& text = parts[number - 1];
        return std::make_unique<TMemoryByteSource>(text.data(), text.size());
      };
      const auto all = ListAndDecode(parts[0], options);
      const char* what = complete ? "all parts" : "part 3 missing";
      ASSERT_EQ(all.size(), 1u) << what;
      if (complete) {
        EXPECT_EQ(all[0].Entry.Size, data.size());
        EXPECT_EQ(all[0].Decoded.Error, errNone);
        EXPECT_TRUE(all[0].Decoded.Data == data);
      } else {
        EXPECT_EQ(all[0].Entry.Size, 30u * 45u) << "the size decoded before the gap";
        EXPECT_EQ(all[0].Decoded.Error, errBrokenVolumeChain);
      }
      // Each part is asked for once, listing and extraction together; none after the "end".
      EXPECT_EQ(asked, (std::vector<int>{2, 3})) << what;
    }
  }
}

// Cut at every byte: no begin line, or entries whose data is either right or a fault.
TEST(UueReader, TruncatedAnywhereNeverGivesWrongData) {
  const std::string data = Pattern(100, 5);
  const std::string text = "header\n" + Section("f.bin", data) + "after\n";
  for (size_t cut = 0; cut < text.size(); ++cut) {
    TMemoryByteSource source(text.data(), cut);
    auto reader = MakeUueReader(source, {});
    TArcEntry entry;
    try {
      while (reader->Next(entry)) {
        const TDecoded got = DecodeEntry(*reader, entry, "", 7);
        if (got.Error == errNone) {
          EXPECT_TRUE(got.Data == data) << "cut at " << cut;
        } else {
          EXPECT_EQ(got.Error, errUnexpectedEof) << "cut at " << cut;
        }
      }
    } catch (const EArchiveError& e) {
      EXPECT_EQ(e.Code(), errNoBeginLine) << "cut at " << cut;
    }
  }
}

TEST(UueReader, SampleDecodesToAZipFile) {
  TFileByteSource source(CORVANE_SOURCE_DIR
                         "/tests/corpus/archives/uue/libarchive__test_compat_zip_1.zip.uu");
  ASSERT_TRUE(source.Valid());
  auto reader = MakeUueReader(source, {});
  TArcEntry entry;
  ASSERT_TRUE(reader->Next(entry));
  EXPECT_EQ(entry.Name, "test_compat_zip_1.zip");
  EXPECT_EQ(entry.Size, 492u);
  EXPECT_EQ(entry.UnixMode, 0644u);
  const TDecoded got = DecodeEntry(*reader, entry);
  EXPECT_EQ(got.Error, errNone);
  ASSERT_EQ(got.Data.size(), 492u);
  EXPECT_EQ(got.Data.substr(0, 4), "PK\x03\x04");
  // The end-of-central-directory record and its comment end exactly at the end of the data.
  const size_t end = got.Data.rfind("PK\x05\x06");
  ASSERT_NE(end, std::string::npos);
  ASSERT_LE(end + 22, got.Data.size());
  EXPECT_EQ(end + 22 + Le16(reinterpret_cast<const uint8_t*>(got.Data.data()) + end + 20),
            got.Data.size());
  EXPECT_FALSE(reader->Next(entry));
}

} // namespace
} // namespace corvane::archive
