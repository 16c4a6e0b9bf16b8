// Detection by content: each format's signature, the near misses that must not count, the
// self-extracting executables, and every sample archive.
#include "archive/archive_component.h"
#include "archive/archive_detect.h"
#include "archive/entry_path.h"
#include "hostile_archives.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>

using namespace corvane::archive;
using corvane::test::TTempFolder;
using corvane::test::WriteFile;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values)
    out += static_cast<char>(v);
  return out;
}

void PutLe16(std::string& s, size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

void PutLe32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string ArjHeader(bool goodCrc) {
  std::string basic(30, '\0');
  basic[0] = 30; // first header size
  basic.replace(30 - 6, 6, std::string("A.TXT") + '\0');
  std::string header = Bytes({0x60, 0xEA}) + std::string(2, '\0') + basic + std::string(4, '\0');
  PutLe16(header, 2, static_cast<unsigned>(basic.size()));
  const uint32_t crc =
      crc32(0, reinterpret_cast<const Bytef*>(basic.data()), static_cast<uInt>(basic.size()));
  PutLe32(header, 4 + basic.size(), goodCrc ? crc : crc ^ 1);
  return header;
}

std::string LhaHeader(bool goodSum) {
  std::string h(24, '\0');
  h[0] = 22;
  h.replace(2, 5, "-lh5-");
  h[20] = 0; // level 0
  h[21] = 1; // name length
  h[22] = 'a';
  unsigned sum = 0;
  for (size_t i = 2; i < 24; ++i)
    sum += static_cast<unsigned char>(h[i]);
  h[1] = static_cast<char>(goodSum ? sum & 0xFF : (sum + 1) & 0xFF);
  return h + std::string(16, 'x');
}

std::string ArcHeader(int method, const std::string& name) {
  std::string h(29, '\0');
  h[0] = 0x1A;
  h[1] = static_cast<char>(method);
  h.replace(2, name.size(), name);
  return h + Bytes({0x1A, 0});
}

std::string TarHeader() {
  std::string h(1024, '\0');
  h.replace(0, 5, "a.txt");
  h.replace(100, 7, "0000644");
  h.replace(124, 11, "00000000000");
  h[156] = '0';
  h.replace(257, 6, std::string("ustar") + '\0');
  unsigned sum = 0;
  for (size_t i = 0; i < 512; ++i)
    sum += i >= 148 && i < 156 ? ' ' : static_cast<unsigned char>(h[i]);
  char field[8];
  std::snprintf(field, sizeof field, "%06o", sum);
  h.replace(148, 7, std::string(field, 6) + '\0');
  h[155] = ' ';
  return h;
}

// A TAR archive whose first member, an empty file, has this name.
std::string TarNamed(const std::string& name) {
  return corvane::test::TarHeader(name, 0) + std::string(1024, '\0');
}

// An empty ZIP: only the end of the directory.
std::string ZipEnd(const std::string& comment = "") {
  std::string end = Bytes({'P', 'K', 5, 6}) + std::string(18, '\0');
  PutLe16(end, 20, static_cast<unsigned>(comment.size()));
  return end + comment;
}

struct TDetectCase {
  const char* Label;
  std::string Content;
  TArcType Expected;
};

} // namespace

TEST(ArchiveDetect, SignaturesAndNearMisses) {
  const std::string mz = "MZ" + std::string(300, '\x90');
  const TDetectCase cases[] = {
      {"zip local header", Bytes({'P', 'K', 3, 4}) + std::string(40, '\0'), TArcType::atZIP},
      {"empty zip", ZipEnd(), TArcType::atZIP},
      {"text starting PK", "PK is a text file, not an archive\n", TArcType::atUnknown},
      {"rar 1.5-4", std::string("Rar!\x1A\x07\x00", 7) + std::string(20, '\0'), TArcType::atRAR},
      {"rar 5", std::string("Rar!\x1A\x07\x01\x00", 8) + std::string(20, '\0'), TArcType::atRAR},
      {"text starting Ra", "Rabbits are not archives\n", TArcType::atUnknown},
      {"cabinet",
       std::string("MSCF\0\0\0\0", 8) + std::string(16, '\0') + Bytes({3, 1}) +
           std::string(10, '\0'),
       TArcType::atCAB},
      {"arj", ArjHeader(true), TArcType::atARJ},
      {"arj with a bad header crc", ArjHeader(false), TArcType::atUnknown},
      {"lha level 0", LhaHeader(true), TArcType::atLHA},
      {"lha with a bad checksum", LhaHeader(false), TArcType::atUnknown},
      {"gzip", Bytes({0x1F, 0x8B, 8, 0}) + std::string(20, '\0'), TArcType::atGZip},
      {"arc stored", ArcHeader(2, "A.TXT"), TArcType::atARC},
      {"arc squeezed", ArcHeader(4, "A.TXT"), TArcType::atARC},
      {"arc squashed", ArcHeader(9, "A.TXT"), TArcType::atARC},
      {"pak crushed", ArcHeader(10, "A.TXT"), TArcType::atPAK},
      {"arc with an unterminated name", ArcHeader(2, "ABCDEFGHIJKLM"), TArcType::atUnknown},
      {"arc with a control character in the name", ArcHeader(2, "A\x01.TXT"), TArcType::atUnknown},
      {"zoo",
       [] {
         std::string z = "ZOO 2.10 Archive.\x1A" + std::string(20, '\0');
         PutLe32(z, 20, 0xFDC4A7DCu);
         return z;
       }(),
       TArcType::atZOO},
      {"tar", TarHeader(), TArcType::atTAR},
      {"tar with a wrong checksum",
       [] {
         std::string t = TarHeader();
         t[0] = 'b';
         return t;
       }(),
       TArcType::atUnknown},
      // A valid TAR checksum outweighs the tests of two bytes that a member's name can pass.
      {"tar whose first name starts HA", TarNamed("HAND IN.txt"), TArcType::atTAR},
      {"tar whose first name starts MZ", TarNamed("MZ-notes.txt"), TArcType::atTAR},
      {"the same name without a tar checksum",
       [] {
         std::string t = TarNamed("HAND IN.txt");
         t[148] = 'x';
         return t;
       }(),
       TArcType::atHA},
      {"uuencoded after mail headers", "From: a@b\nSubject: x\n\nbegin 644 a.txt\n#86)C\n`\nend\n",
       TArcType::atUUE},
      {"a word 'begin' is not enough", "begin the day\nwith a line\n", TArcType::atUnknown},
      {"executable with a zip at its end", mz + Bytes({'P', 'K', 3, 4}) + ZipEnd("comment"),
       TArcType::atZipExe},
      {"executable with a rar inside",
       mz + std::string("Rar!\x1A\x07\x00", 7) + std::string(30, '\0'), TArcType::atRarExe},
      {"executable with an lha inside", mz + LhaHeader(true), TArcType::atLhaExe},
      {"executable with an arj inside", mz + ArjHeader(true), TArcType::atArjExe},
      {"plain executable", mz, TArcType::atUnknown},
      {"zip after other bytes", std::string(100, 'x') + ZipEnd(), TArcType::atZIP},
      {"empty file", "", TArcType::atUnknown},
  };
  TTempFolder folder;
  for (const auto& c : cases) {
    // A name that says nothing: detection goes by content only.
    const std::string path = folder.Native("sample.zip");
    WriteFile(path, c.Content);
    EXPECT_EQ(ArcTypeName(DetectArchiveFile(path).Type), ArcTypeName(c.Expected)) << c.Label;
  }
  EXPECT_EQ(DetectArchiveFile(folder.Native("missing")).Type, TArcType::atFileOpenErr);
  EXPECT_EQ(DetectArchiveFile(folder.Path()).Type, TArcType::atFileOpenErr);
}

// The executable is scanned in blocks: an embedded archive is found whether its header lies at a
// block's start, just before one or across it, and listing it begins with its first entry.
TEST(ArchiveDetect, ArchivesInsideExecutablesAtBlockBoundaries) {
  const std::string lha =
      corvane::test::BuildLha({{"first.txt", "1", false}, {"second.txt", "2", false}});
  const std::string arj =
      corvane::test::BuildArj({{"first.txt", "1", corvane::test::TArjItem::TKind::File, ""}});
  const std::string rar = std::string("Rar!\x1A\x07\x00", 7) + std::string(30, '\0');
  TTempFolder folder;
  const std::string path = folder.Native("setup.exe");
  // Blocks are read from offset 2 on, 65536 bytes each.
  for (const uint64_t boundary : {uint64_t{2} + 65536, uint64_t{2} + 2 * 65536}) {
    for (uint64_t at = boundary - 6; at <= boundary + 3; ++at) {
      SCOPED_TRACE(at);
      for (const auto& [archive, type] :
           {std::pair{lha, TArcType::atLhaExe}, std::pair{arj, TArcType::atArjExe},
            std::pair{rar, TArcType::atRarExe}}) {
        WriteFile(path, "MZ" + std::string(at - 2, '\x90') + archive);
        const TDetection found = DetectArchiveFile(path);
        EXPECT_EQ(ArcTypeName(found.Type), ArcTypeName(type));
        EXPECT_EQ(found.Offset, at);
      }
    }
  }
  WriteFile(path, "MZ" + std::string(65536 - 2, '\x90') + lha);
  TZipTV reader;
  std::vector<std::string> names;
  reader.OnRead = [&](TZipTV* sender, int64_t, int) { names.push_back(sender->Entry().Name); };
  reader.SetArchiveFile(path);
  reader.ReadArchive();
  EXPECT_EQ(names, (std::vector<std::string>{"first.txt", "second.txt"}));
}

TEST(ArchiveDetect, ZipEndIsLookedForWithinTheCommentAllowance) {
  TTempFolder folder;
  const std::string path = folder.Native("renamed.dat");
  WriteFile(path, std::string(50, 'x') + ZipEnd(std::string(3000, 'c')));
  EXPECT_EQ(DetectArchiveFile(path, 2000).Type, TArcType::atUnknown);
  EXPECT_EQ(DetectArchiveFile(path, 3000).Type, TArcType::atZIP);
}

TEST(ArchiveDetect, EverySampleArchive) {
  const struct {
    const char* Folder;
    TArcType Archive;
    TArcType Executable;
  } formats[] = {
      {"zip", TArcType::atZIP, TArcType::atZipExe},
      {"rar", TArcType::atRAR, TArcType::atRarExe},
      {"cab", TArcType::atCAB, TArcType::atUnknown},
      {"arj", TArcType::atARJ, TArcType::atArjExe},
      {"lha", TArcType::atLHA, TArcType::atLhaExe},
      {"zoo", TArcType::atZOO, TArcType::atUnknown},
      {"tar", TArcType::atTAR, TArcType::atUnknown},
      {"gzip", TArcType::atGZip, TArcType::atUnknown},
      {"arc", TArcType::atARC, TArcType::atArcExe},
      {"uue", TArcType::atUUE, TArcType::atUnknown},
  };
  int seen = 0;
  for (const auto& format : formats) {
    const auto folder =
        std::filesystem::path(CORVANE_SOURCE_DIR "/tests/corpus/archives") / format.Folder;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
      const bool executable = file.path().extension() == ".exe";
      EXPECT_EQ(ArcTypeName(DetectArchiveFile(file.path()).Type),
                ArcTypeName(executable ? format.Executable : format.Archive))
          << file.path();
      ++seen;
    }
  }
  EXPECT_GT(seen, 30);
  // The original files some samples were made from are no archives.
  for (const char* name : {"test.exe", "test.jpg"})
    EXPECT_EQ(DetectArchiveFile(CORVANE_SOURCE_DIR
                                "/tests/corpus/archives/_originals/sharpcompress/" +
                                std::string(name))
                  .Type,
              TArcType::atUnknown)
        << name;
}

TEST(ArchiveEntryPath, NamesThatStayInsideAndNamesThatAreRefused) {
  using namespace std::string_literals;
  const struct {
    std::string Stored;
    bool Accepted;
    std::vector<std::string> Components;
  } cases[] = {
      {"a/b/c.txt", true, {"a", "b", "c.txt"}},
      {"./a//b/", true, {"a", "b"}},
      {"dir/", true, {"dir"}},
      {"a\\b.txt", true, {"a\\b.txt"}}, // a backslash is part of the name here
      {"..", false, {}},
      {"../x", false, {}},
      {"a/../../x", false, {}},
      {"a/..", false, {}},
      {"/etc/passwd", false, {}},
      {"//server/share/x", false, {}},
      {"C:/x", false, {}},
      {"c:x", false, {}},
      {"a/C:/x", true, {"a", "C:", "x"}}, // a colon later in a path is an ordinary character
      {"..foo/x", true, {"..foo", "x"}},
      // The kernel ends a name at a NUL: "..\0/x" would be ".." to it, whatever follows.
      {"..\0/x"s, false, {}},
      {"a\0b/c"s, false, {}},
      {"a/b\0"s, false, {}},
      {"\0"s, false, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> components;
    EXPECT_EQ(SplitEntryPath(c.Stored, components), c.Accepted) << c.Stored;
    EXPECT_EQ(components, c.Components) << c.Stored;
  }
  for (const char* good : {"b", "sub/b", "./b"})
    EXPECT_TRUE(LinkStaysInside(good)) << good;
  for (const std::string& bad : {""s, "/etc/passwd"s, "../b"s, "sub/../../b"s, "sub/.."s, "..\0/y"s,
                                 "b\0"s, "sub\0/../../b"s})
    EXPECT_FALSE(LinkStaysInside(bad)) << bad;
  EXPECT_EQ(ModelEntryName("a/b\\c/"), "a\\b/c");
}
