#include "config/ini_file.h"
#include "config/toolbar_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace corvane::config {
namespace {

using test::TTempFolder;

TEST(ToolBarFile, RoundTripKeepsEveryFieldAndWritesKeysInOrder) {
  TTempFolder dir;
  const std::string path = dir.Native("tb.ini");
  TToolBarTable table;
  table.Buttons = {
      {"Help", "", "", "Help system", "False", ""},
      {"splitter", "", "", "", "False", ""},
      {"/usr/bin/xterm", "-e top", "/tmp", "Processes", "True", "/usr/share/x.ico"},
  };
  {
    TIniFile file(path);
    ASSERT_TRUE(WriteToolBar(file, table));
  }
  TIniFile file(path);
  EXPECT_EQ(ReadToolBar(file).Buttons, table.Buttons);
  const std::string text = test::ReadFile(path);
  const size_t section = text.find("[Button3]");
  ASSERT_NE(section, std::string::npos);
  EXPECT_NE(text.find("Count=3"), std::string::npos);
  EXPECT_EQ(text.substr(section), "[Button3]\nCommand=/usr/bin/xterm\nPath=/tmp\nHint=Processes\n"
                                  "Minimize=True\nIcon=/usr/share/x.ico\nParam=-e top\n");
}

TEST(ToolBarFile, ReadsWhatHandsAndOtherProgramsWrote) {
  struct Case {
    const char* Text;
    std::vector<TToolButtonRecord> Buttons;
  };
  const Case cases[] = {
      // Minimize: "True" or a non-zero number; anything else, "true" included, is False.
      {"[Common]\nCount=5\n[Button1]\nMinimize=True\n[Button2]\nMinimize=1\n[Button3]\n"
       "Minimize=true\n[Button4]\nMinimize=0\n[Button5]\nCommand=ls\n",
       {{"", "", "", "", "True", ""},
        {"", "", "", "", "True", ""},
        {"", "", "", "", "False", ""},
        {"", "", "", "", "False", ""},
        {"ls", "", "", "", "False", ""}}},
      // A count above the table's size reads 40 buttons; a negative or bad one none.
      {"[Common]\nCount=99999\n", std::vector<TToolButtonRecord>(40)},
      {"[Common]\nCount=-3\n[Button1]\nCommand=x\n", {}},
      {"[Common]\nCount=many\n[Button1]\nCommand=x\n", {}},
      {"[Button1]\nCommand=x\n", {}},
      // Binary rubbish is no tool bar.
      {"\x7f\x45\x4c\x46\x02\x01\x01\x00\xff\xfe[\x01=\x02\n\x00\x00", {}},
  };
  for (const Case& c : cases) {
    TTempFolder dir;
    test::WriteFile(dir.Native("tb.ini"), c.Text);
    TIniFile file(dir.Native("tb.ini"));
    EXPECT_EQ(ReadToolBar(file).Buttons, c.Buttons) << c.Text;
  }
  TTempFolder dir;
  TIniFile missing(dir.Native("none.ini"));
  EXPECT_TRUE(ReadToolBar(missing).Buttons.empty());
}

TEST(ToolBarFile, BuiltInWordsRunByExactCaseAndChoosePicturesInAnyCase) {
  struct Case {
    const char* Command;
    std::optional<TToolWord> Runs;
    const char* Picture; // "" for none
  };
  const Case cases[] = {
      {"Help", TToolWord::Help, "ToolBar/b1.bmp"},
      {"help", std::nullopt, "ToolBar/b1.bmp"},
      {"Editor", TToolWord::Editor, "ToolBar/b2.bmp"},
      {"SysInfo", TToolWord::SysInfo, "ToolBar/b3.bmp"},
      {"InetDialer", TToolWord::InetDialer, "ToolBar/b4.bmp"},
      {"CLIPBOARD", std::nullopt, "ToolBar/b5.bmp"},
      {"CD-Player", TToolWord::CdPlayer, "ToolBar/b6.bmp"},
      {"Calculator", TToolWord::Calculator, "ToolBar/b7.bmp"},
      {"Resource Explorer", TToolWord::ResourceExplorer, "ToolBar/b8.bmp"},
      {"SPLITTER", TToolWord::Splitter, "ToolBar/b8.bmp"},
      {"xterm", std::nullopt, ""},
      {"Help ", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToolWordToRun(c.Command), c.Runs) << c.Command;
    const auto picture = ToolWordForPicture(c.Command);
    EXPECT_EQ(picture ? ToolWordPicture(*picture) : std::string(), c.Picture) << c.Command;
  }
}

TEST(ToolBarFile, AFailedWriteLeavesTheFileAsItWas) {
  TTempFolder dir;
  TIniFile file(dir.Native("no/such/folder/tb.ini"));
  TToolBarTable table;
  table.Buttons.resize(2);
  EXPECT_FALSE(WriteToolBar(file, table));
}

TEST(ToolBarFile, TheShippedToolBarHasEveryBuiltInToolAndTheirPictures) {
  TIniFile file(CORVANE_SOURCE_DIR "/data/tb.ini");
  const TToolBarTable table = ReadToolBar(file);
  std::set<TToolWord> words;
  for (const TToolButtonRecord& button : table.Buttons) {
    const auto word = ToolWordToRun(button.Command);
    ASSERT_TRUE(word) << button.Command;
    words.insert(*word);
    EXPECT_TRUE(
        std::filesystem::is_regular_file(CORVANE_SOURCE_DIR "/data/" + ToolWordPicture(*word)))
        << button.Command;
  }
  EXPECT_EQ(words.size(), 9u); // the eight tools and a separator
}

} // namespace
} // namespace corvane::config
