// The viewed file: lines found forward and back the same way (also in UTF-16 and across the cut
// of an over-long line), going to a line, search across chunk boundaries, and what happens to
// files that are no files, cannot be read, or change while shown.
#include "temp_folder.h"
#include "viewer/byte_search.h"
#include "viewer/text_lines.h"
#include "viewer/view_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace corvane::viewer {
namespace {

using namespace std::string_literals;

TViewFile Opened(const std::string& path) {
  TViewFile file;
  EXPECT_EQ(file.Open(path), TOpenStatus::Opened) << path;
  return file;
}

std::vector<uint64_t> StartsForward(TViewFile& file, TCodePage page) {
  std::vector<uint64_t> starts;
  for (uint64_t at = 0; at < file.Size(); at = NextLineStart(file, at, page))
    starts.push_back(at);
  return starts;
}

std::vector<uint64_t> StartsBackward(TViewFile& file, TCodePage page) {
  std::vector<uint64_t> starts;
  uint64_t at = LineStartAt(file, file.Size() - 1, page);
  while (true) {
    starts.insert(starts.begin(), at);
    if (at == 0)
      break;
    at = PreviousLineStart(file, at, page);
  }
  return starts;
}

TEST(ViewLines, WalkingForwardAndBackFindsTheSameLineStarts) {
  test::TTempFolder folder;
  const std::string longLine(MaxLineBytes * 2 + 100, 'x');
  struct TCase {
    const char* Name;
    std::string Bytes;
    TCodePage Page;
    std::vector<uint64_t> Starts;
  };
  const TCase cases[] = {
      {"lf", "ab\ncd\r\n\nlast", TCodePage::Utf8, {0, 3, 7, 8}},
      {"final newline", "one\ntwo\n", TCodePage::Utf8, {0, 4}},
      // "\n\0" at an odd offset is no newline in UTF-16LE: U+0A41 is one character.
      {"utf16",
       "\xFF\xFE"
       "a\0\n\0"s +
           "\x41\x0A\x00\x0B"
           "\n\0"s +
           "c\0"s,
       TCodePage::Utf16Le,
       {0, 6, 12}},
      {"utf16 odd", "x\n\0a\0"s, TCodePage::Utf16Le, {0}},
      {"long",
       "ab\n" + longLine + "\nz",
       TCodePage::Utf8,
       {0, 3, MaxLineBytes, 2 * MaxLineBytes, 3 + longLine.size() + 1}},
  };
  for (const TCase& c : cases) {
    const std::string path = folder.Native(c.Name);
    test::WriteFile(path, c.Bytes);
    TViewFile file = Opened(path);
    EXPECT_EQ(StartsForward(file, c.Page), c.Starts) << c.Name;
    EXPECT_EQ(StartsBackward(file, c.Page), c.Starts) << c.Name;
  }
}

TEST(ViewLines, GoingToALineCountsNewlinesAndStopsWhenAsked) {
  test::TTempFolder folder;
  const std::string path = folder.Native("lines");
  test::WriteFile(path, "one\ntwo\nthree\n");
  TViewFile file = Opened(path);
  EXPECT_EQ(OffsetOfLine(file, 1, TCodePage::Utf8, {}), 0u);
  EXPECT_EQ(OffsetOfLine(file, 3, TCodePage::Utf8, {}), 8u);
  EXPECT_EQ(OffsetOfLine(file, 99, TCodePage::Utf8, {}), 8u); // past the end: the last line
  EXPECT_FALSE(OffsetOfLine(file, 3, TCodePage::Utf8, [](uint64_t, uint64_t) { return false; }));
  EXPECT_EQ(WithoutLineEnd("text\r\n", TCodePage::Utf8), "text");
  EXPECT_EQ(WithoutLineEnd("t\0\r\0\n\0"s, TCodePage::Utf16Le), "t\0"s);
}

// Searches run with a chunk of 16 bytes, so these small files have many boundaries.
class ViewSearch : public ::testing::Test {
protected:
  void SetUp() override { Previous = ReplaceSearchChunk(16); }
  void TearDown() override { ReplaceSearchChunk(Previous); }
  size_t Previous = 0;
  test::TTempFolder Folder;
};

TEST_F(ViewSearch, FindsMatchesThatStraddleChunksForwardAndBack) {
  // "needle" starts at 13 and 45: across the boundaries at 16 and 48.
  const std::string bytes =
      std::string(13, '.') + "needle" + std::string(26, '.') + "NEEDLE" + std::string(10, '.');
  const std::string path = Folder.Native("hay");
  test::WriteFile(path, bytes);
  TViewFile file = Opened(path);
  const TSearchPattern exact = BytePattern("needle");
  const auto folded = TextPattern(
      {{"n", "N"}, {"e", "E"}, {"e", "E"}, {"d", "D"}, {"l", "L"}, {"e", "E"}}, TCodePage::Utf8);
  ASSERT_TRUE(folded);
  struct TCase {
    const TSearchPattern* Pattern;
    bool Backward;
    uint64_t From;
    TSearchResult Result;
    uint64_t Offset;
  };
  const TCase cases[] = {
      {&exact, false, 0, TSearchResult::Found, 13},
      {&exact, false, 14, TSearchResult::NotFound, 0},
      {&exact, true, bytes.size(), TSearchResult::Found, 13},
      {&*folded, false, 14, TSearchResult::Found, 45},
      {&*folded, true, bytes.size(), TSearchResult::Found, 45},
      {&*folded, true, 45, TSearchResult::Found, 13},
      {&*folded, true, 13, TSearchResult::NotFound, 0},
  };
  for (const TCase& c : cases) {
    const TFindOutcome found =
        c.Backward ? FindBackward(file, *c.Pattern, c.From) : FindForward(file, *c.Pattern, c.From);
    EXPECT_EQ(found.Result, c.Result) << c.From << " " << c.Backward;
    if (c.Result == TSearchResult::Found) {
      EXPECT_EQ(found.Offset, c.Offset) << c.From << " " << c.Backward;
      EXPECT_EQ(found.Length, 6u);
    }
  }
}

TEST_F(ViewSearch, HexBytesAndUtf16AlignmentAndStopping) {
  const std::string bytes = "\xFF\xFE"
                            "a\0b\0"s +
                            std::string(20, 'z') + "q\x0D\x00\x0A\x00q"s + "\x0D\x00\x0A\x00"s;
  const std::string path = Folder.Native("bin");
  test::WriteFile(path, bytes);
  TViewFile file = Opened(path);
  const std::optional<std::string> lf = ParseHexBytes("0a 00");
  ASSERT_TRUE(lf);
  EXPECT_EQ(*lf, "\n\0"s);
  EXPECT_EQ(FindForward(file, BytePattern(*lf), 0).Offset, 29u);
  EXPECT_EQ(ParseHexBytes("0D0a"), "\r\n");
  EXPECT_FALSE(ParseHexBytes("0d 0"));
  EXPECT_FALSE(ParseHexBytes("xy"));
  EXPECT_FALSE(ParseHexBytes(""));
  // As UTF-16 text, "\r\n" stands at the even offset 32; the bytes at the odd 27 are no match.
  const auto text = TextPattern({{"\r"}, {"\n"}}, TCodePage::Utf16Le);
  ASSERT_TRUE(text);
  EXPECT_EQ(FindForward(file, *text, 0).Offset, 32u);
  EXPECT_EQ(FindBackward(file, *text, 32).Result, TSearchResult::NotFound);
  EXPECT_EQ(
      FindForward(file, BytePattern("nothing"), 0, [](uint64_t, uint64_t) { return false; }).Result,
      TSearchResult::Stopped);
  // A character the page cannot hold makes no pattern.
  EXPECT_FALSE(TextPattern({{"п"}}, TCodePage::Cp1252));
}

TEST(ViewFile, ThingsThatAreNoFilesAreRefusedWithoutBeingOpened) {
  test::TTempFolder folder;
  const std::string fifo = folder.Native("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TViewFile file;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(file.Open(fifo), TOpenStatus::NotRegular); // and it did not wait for a writer
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(file.Open("/dev/zero"), TOpenStatus::NotRegular);
  EXPECT_EQ(file.Open(folder.Path()), TOpenStatus::Folder);
  EXPECT_EQ(file.Open(folder.Native("none")), TOpenStatus::Missing);
  EXPECT_EQ(file.Open(folder.File("empty")), TOpenStatus::Opened);
  EXPECT_EQ(file.Size(), 0u);
  EXPECT_EQ(file.Read(0, 100), "");
}

int OpenAsNobody(void* path) {
  TViewFile file;
  return static_cast<int>(file.Open(*static_cast<std::string*>(path)));
}

TEST(ViewFile, AFileWeMayNotReadIsToldSo) {
  test::TTempFolder folder;
  folder.Chmod("", 0755);
  std::string path = folder.File("secret", 10);
  folder.Chmod("secret", 0); // nobody may read it, its owner neither
  EXPECT_EQ(test::RunUnprivileged(OpenAsNobody, &path), static_cast<int>(TOpenStatus::Unreadable));
}

TEST(ViewFile, AFileThatChangesWhileShownIsFollowed) {
  test::TTempFolder folder;
  const std::string path = folder.Native("log");
  test::WriteFile(path, "first\n");
  TViewFile file = Opened(path);
  EXPECT_FALSE(file.Refresh().Grew);
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "second\n", 7), 7);
    ::close(fd);
  }
  EXPECT_TRUE(file.Refresh().Grew);
  EXPECT_EQ(file.Read(0, 100), "first\nsecond\n");
  ASSERT_EQ(::truncate(path.c_str(), 3), 0);
  EXPECT_EQ(file.Read(0, 100), "fir"); // a cut file reads short and its size follows
  EXPECT_EQ(file.Size(), 3u);
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_TRUE(file.Refresh().Removed);
  EXPECT_EQ(file.Read(0, 100), "fir"); // what was shown can still be read
}

} // namespace
} // namespace corvane::viewer
