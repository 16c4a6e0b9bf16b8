#include "config/file_colors.h"
#include "config/ini_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace corvane::config {
namespace {

using test::TTempFolder;

std::vector<std::string> Extensions(const TFileColorTable& table, int group) {
  std::vector<std::string> list;
  for (const TColorSlot& slot : table.Group(group))
    if (!slot.Ext.empty())
      list.push_back(slot.Ext);
  return list;
}

TFileColorTable Loaded(const std::string& text) {
  TTempFolder dir;
  test::WriteFile(dir.Native("fc.ini"), text);
  TIniFile file(dir.Native("fc.ini"));
  TFileColorTable table;
  table.Load(file);
  return table;
}

TEST(FileColors, TheTokenizerReadsLinesAsTheWriterWritesThem) {
  struct Case {
    const char* Line;
    std::vector<std::string> Exts;
    const char* Color;
    const char* Hidden;
  };
  const Case cases[] = {
      {"255,0;.txt,.doc:", {".txt", ".doc"}, "255", "0"},
      {"255,0;.txt,.doc", {".txt"}, "255", "0"}, // no ":": the last extension is lost
      {"65535,8421504;.zip:", {".zip"}, "65535", "8421504"},
      {"1;2;.a;.b:.c,", {".a", ".b", ".c"}, "1", "2"}, // any separator ends any token
      {"255,0", {}, "", ""},
      {"", {}, "", ""},
  };
  for (const Case& c : cases) {
    TFileColorTable table;
    table.ReadLine(0, c.Line);
    EXPECT_EQ(Extensions(table, 0), c.Exts) << c.Line;
    if (!c.Exts.empty()) {
      EXPECT_EQ(table.Group(0)[0].Color, c.Color) << c.Line;
      EXPECT_EQ(table.Group(0).back().Color, "") << c.Line;
      EXPECT_EQ(table.Group(0)[c.Exts.size() - 1].HiddenColor, c.Hidden) << c.Line;
    }
  }
  // More than 30 extensions: the rest is ignored.
  std::string many = "1,2;";
  for (int i = 0; i < 40; ++i)
    many += ".e" + std::to_string(i) + ",";
  TFileColorTable table;
  table.ReadLine(3, many);
  EXPECT_EQ(Extensions(table, 3).size(), 30u);
  EXPECT_EQ(table.Group(3).back().Ext, ".e29");
}

TEST(FileColors, ALineFillsOnlyTheSlotsItNames) {
  TFileColorTable table;
  table.ReadLine(0, "1,2;.a,.b,.c:");
  table.ReadLine(0, "3,4;.x:");
  EXPECT_EQ(Extensions(table, 0), (std::vector<std::string>{".x", ".b", ".c"}));
  EXPECT_EQ(table.Group(0)[0].Color, "3");
  EXPECT_EQ(table.Group(0)[1].Color, "1");
}

TEST(FileColors, RoundTripThroughTheFile) {
  TFileColorTable table;
  table.ReadLine(0, "65535,8421504;.zip,.rar,.arj:");
  table.ReadLine(1, "255,0;.txt:");
  TTempFolder dir;
  const std::string path = dir.Native("fc.ini");
  {
    TIniFile file(path);
    ASSERT_TRUE(table.Save(file));
  }
  EXPECT_EQ(test::ReadFile(path),
            "[Main]\nCount=2\nLine1=65535,8421504;.zip,.rar,.arj:\nLine2=255,0;.txt:\n");
  TIniFile file(path);
  TFileColorTable again;
  again.Load(file);
  EXPECT_EQ(again, table);
}

TEST(FileColors, TheCountStopsAtTheFirstGroupNotInUse) {
  TFileColorTable table;
  table.ReadLine(1, "255,0;.txt:"); // the first group is empty
  EXPECT_EQ(table.SavedCount(), 0);
  table.ReadLine(0, "1,2;.a:");
  table.ReadLine(3, "1,2;.d:");
  EXPECT_EQ(table.SavedCount(), 2);
  for (int g = 0; g < TFileColorTable::GroupCount; ++g)
    table.ReadLine(g, "1,2;.g:");
  EXPECT_EQ(table.SavedCount(), 30);
}

TEST(FileColors, AnEmptySlotBetweenTwoExtensionsDoesNotJoinThem) {
  TFileColorTable table;
  table.ReadLine(0, "1,2;.a,,.b:");
  EXPECT_EQ(table.LineOf(0), "1,2;.a,.b:");
}

TEST(FileColors, LookupGoesSlotBySlotAcrossTheGroups) {
  TFileColorTable table;
  table.ReadLine(0, "10,11;.doc,.txt:");
  table.ReadLine(1, "20,21;.txt,.TXT,.md:");
  table.ReadLine(2, ",31;.md,.bad:");
  table.ReadLine(3, "x,y;.bad:");
  struct Case {
    const char* Ext;
    bool Hidden;
    std::optional<uint32_t> Color;
  };
  for (const Case& c : {
           Case{".txt", false, 20}, // slot 1 of group 2 comes before slot 2 of group 1
           Case{".txt", true, 21},
           Case{".doc", false, 10},
           Case{".md", false, 20},            // group 3 matches first, but its colour is empty
           Case{".md", true, 31},             // its hidden colour is not
           Case{".bad", false, std::nullopt}, // a colour that is no number never colours
           Case{".TXT", false, 20},           // only ever asked for lower case; stored as it is
           Case{".pdf", false, std::nullopt},
           Case{"", false, std::nullopt},
       })
    EXPECT_EQ(table.Lookup(c.Ext, c.Hidden), c.Color) << c.Ext << c.Hidden;
}

TEST(FileColors, DamagedFilesGiveSaneTables) {
  EXPECT_EQ(Loaded("[Main]\nCount=5\nLine1=255,0;.txt:\n"), [] {
    TFileColorTable t;
    t.ReadLine(0, "255,0;.txt:");
    return t;
  }());
  EXPECT_EQ(Loaded("[Main]\nCount=2147483647\n"), TFileColorTable());
  EXPECT_EQ(Loaded("[Main]\nCount=-1\nLine1=1,2;.a:\n"), TFileColorTable());
  EXPECT_EQ(Loaded("[Main]\nLine1=1,2;.a:\n"), TFileColorTable());
  const TFileColorTable binary =
      Loaded(std::string("[Main]\nCount=30\nLine1=\xff\xfe\x00\x01,;;;\x80\x81:\n\x00\x00", 36));
  EXPECT_LE(binary.SavedCount(), 1);
}

TEST(FileColors, TheShippedFileReadsAsItIsWritten) {
  TIniFile file(CORVANE_SOURCE_DIR "/data/fc.ini");
  TFileColorTable table;
  table.Load(file);
  EXPECT_EQ(table.SavedCount(), 5);
  for (int g = 0; g < 5; ++g)
    EXPECT_EQ(table.LineOf(g), file.ReadString("Main", "Line" + std::to_string(g + 1), ""));
  EXPECT_EQ(table.Lookup(".zip", false), 65535u);
  EXPECT_EQ(table.Lookup(".txt", true), 8421504u);
}

} // namespace
} // namespace corvane::config
