#include "config/archiver_table.h"
#include "config/ini_file.h"
#include "model/archiver_command.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace corvane::config {
namespace {

using test::TTempFolder;

constexpr int Zip = 23, Arj = 6, Rar = 19;

TEST(ArchiverTable, ReadDefaultsWhenSectionsOrKeysAreMissing) {
  TTempFolder dir;
  test::WriteFile(dir.Native("arc.ini"), "[zip]\nLine1=7zz a -tzip % @\nUseLongFN=1\n"
                                         "UseInternal=yes\n[arj]\nLine5=\n");
  TIniFile file(dir.Native("arc.ini"));
  TArchiverTable table;
  table.Load(file);
  const TArchiverEntry& zip = *table.EntryForType(Zip);
  EXPECT_EQ(zip.Lines, (std::vector<std::string>{"7zz a -tzip % @", " ", " ", " ", " "}));
  EXPECT_TRUE(zip.UseLongFN);
  EXPECT_FALSE(zip.UseInternal); // not a number
  EXPECT_FALSE(zip.ConvertToOEM);
  EXPECT_EQ(table.EntryForType(Arj)->Lines, (std::vector<std::string>{" ", " ", " ", " ", ""}));
  // No [rar] at all: long names and OEM conversion on, the rest off, five lines of one blank.
  const TArchiverEntry& rar = *table.EntryForType(Rar);
  EXPECT_EQ(rar.Lines, std::vector<std::string>(5, " "));
  EXPECT_TRUE(rar.UseLongFN);
  EXPECT_TRUE(rar.ConvertToOEM);
  EXPECT_FALSE(rar.UseInternal);
  EXPECT_FALSE(rar.HideWindow);
  // The other five entries are never read.
  for (size_t i = 3; i < table.Entries().size(); ++i)
    EXPECT_TRUE(table.Entries()[i].Lines.empty()) << table.Entries()[i].Name;
}

TEST(ArchiverTable, RoundTripAndWriteOrder) {
  TTempFolder dir;
  const std::string path = dir.Native("arc.ini");
  TArchiverTable table;
  TArchiverEntry& arj = *table.Entry("arj");
  arj.Lines = {"arj a % !", "arj a % !", "arj m % !", "arj m % !", "arj d % !"};
  arj.HideWindow = true;
  arj.UseInternal = true;
  // A fresh table has no lines: what it saves is what the archive sources run then.
  {
    TIniFile file(path);
    ASSERT_TRUE(table.Save(file));
  }
  const std::string text = test::ReadFile(path);
  EXPECT_LT(text.find("[zip]"), text.find("[arj]"));
  EXPECT_LT(text.find("[arj]"), text.find("[rar]"));
  EXPECT_NE(text.find("[zip]\nLine1=7zz a -tzip % @\nLine2=7zz a -tzip % @\n"
                      "Line3=7zz a -tzip -sdel % @\nLine4=7zz a -tzip -sdel % @\n"
                      "Line5=7zz d % @\nUseInternal=0\nUseLongFN=0\nConvertToOEM=0\n"
                      "HideWindow=0\n"),
            std::string::npos)
      << text;
  TIniFile file(path);
  TArchiverTable again;
  again.Load(file);
  EXPECT_EQ(again.Entry("arj")->Lines, arj.Lines);
  EXPECT_TRUE(again.Entry("arj")->HideWindow);
  EXPECT_TRUE(again.Entry("arj")->UseInternal);
  EXPECT_FALSE(again.Entry("rar")->UseLongFN); // written as 0, read as 0
  EXPECT_EQ(again.Entry("rar")->Lines[4], "rar d % @");
}

TEST(ArchiverTable, AnswersTheArchiveSources) {
  TArchiverTable table;
  TArchiverEntry& zip = *table.EntryForType(Zip);
  zip.Lines = {"z0", "z1", "z2", "z3", "zip d % @ \xd0\xb6"};
  zip.UseLongFN = true;
  zip.ConvertToOEM = true;
  struct Case {
    int Type, Line, Max;
    const char* Expected;
  };
  for (const Case& c : {Case{Zip, 0, 255, "z0"}, Case{Zip, 4, 255, "zip d % @ \xd0\xb6"},
                        Case{Zip, 4, 3, "zip"}, Case{Zip, 4, 11, "zip d % @ "}, // not half a "ж"
                        Case{Zip, 5, 255, "kept"}, Case{Zip, -1, 255, "kept"},
                        Case{Arj, 0, 255, "kept"}, // no lines yet
                        Case{10, 0, 255, "kept"}, Case{0, 0, 255, "kept"}}) {
    std::string text = "kept";
    table.Parameters(c.Type, c.Line, c.Max, text);
    EXPECT_EQ(text, c.Expected) << c.Type << " " << c.Line << " " << c.Max;
  }
  bool f1 = false, f2 = true, f3 = false;
  table.Mode(Zip, f1, f2, f3);
  EXPECT_TRUE(f1);
  EXPECT_FALSE(f2);
  EXPECT_TRUE(f3);
  f1 = f2 = f3 = true;
  table.Mode(10, f1, f2, f3); // a CAB has no archiver
  EXPECT_FALSE(f1 || f2 || f3);
  table.Reset();
  EXPECT_TRUE(table.EntryForType(Zip)->Lines.empty());
  EXPECT_FALSE(table.EntryForType(Zip)->UseLongFN);
}

TEST(ArchiverTable, TheShippedFileHoldsTheBuiltInLines) {
  TIniFile file(CORVANE_SOURCE_DIR "/data/arc.ini");
  TArchiverTable table;
  table.Load(file);
  for (const auto type :
       {archive::TArcType::atZIP, archive::TArcType::atARJ, archive::TArcType::atRAR}) {
    const TArchiverEntry& entry = *table.EntryForType(static_cast<int>(type));
    ASSERT_EQ(entry.Lines.size(), 5u);
    for (int line = 0; line < 5; ++line)
      EXPECT_EQ(entry.Lines[static_cast<size_t>(line)], DefaultArchiverCommand(type, line))
          << entry.Name << line;
    EXPECT_TRUE(entry.UseLongFN) << entry.Name;
  }
}

} // namespace
} // namespace corvane::config
