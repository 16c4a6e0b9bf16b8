#include "config/ini_file.h"
#include "main/language.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "program_folder.h"
#include "temp_folder.h"
#include "window_part.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace corvane {
namespace {

using test::TProgramFolder;
using test::TTempFolder;
namespace fs = std::filesystem;

TEST(Settings, ARoundTripKeepsWhatTheUserChanged) {
  TProgramFolder program(true);
  {
    TForm1 form;
    form.show();
    EXPECT_EQ(test::Part<QPushButton>(form, "F5")->text(), QStringLiteral("5-Copy"));
    form.Settings.SplitterGap = 11;
    form.Settings.ConfirmExit = false;
    form.ActiveSide = TPanelSide::Right;
    form.RightPanel()->SetViewMode(TFPanel::vmFull);
    form.LeftPanel()->Settings.SortMode = smSize;
    form.LeftPanel()->Settings.PanelFon = 0x123456;
    form.LeftPanel()->Settings.Font_Bold = true;
    form.close();
  }
  const std::string saved = test::ReadFile(program.Ini());
  EXPECT_NE(saved.find("Main_Splitter=11"), std::string::npos);
  EXPECT_NE(saved.find("SorthMethod=srSize"), std::string::npos);
  EXPECT_EQ(saved.find("Init_scheme"), std::string::npos);
  TForm1 again;
  EXPECT_EQ(again.Settings.SplitterGap, 11);
  EXPECT_EQ(again.ActivePanel(), again.RightPanel());
  EXPECT_EQ(again.RightPanel()->ViewMode, TFPanel::vmFull);
  EXPECT_EQ(again.RightPanel()->Settings.Columns, 1);
  EXPECT_EQ(again.LeftPanel()->ViewMode, TFPanel::vmBrief);
  EXPECT_EQ(again.LeftPanel()->Settings.SortMode, smSize);
  EXPECT_EQ(again.LeftPanel()->Browser.SortMode, smSize);
  EXPECT_EQ(again.LeftPanel()->Settings.PanelFon, 0x123456u);
  EXPECT_TRUE(again.LeftPanel()->Settings.Font_Bold);
  EXPECT_EQ(again.LeftPanel()->Settings.LineColorSlave, 2147483663u);
}

TEST(Settings, StoredValuesLoadByTheirRules) {
  TProgramFolder program(false);
  program.Write("cv.ini", "[Global]\nLeft_Style=2\nRight_Style=2\n"
                "[Panel_Left]\nSorthMethod=srBogus\nColumns=3\nPath=\n"
                "[Panel_Right]\nSorthMethod=srName\n");
  TForm1 form;
  EXPECT_EQ(form.LeftPanel()->ViewMode, TViewMode::Brief);
  EXPECT_EQ(form.RightPanel()->ViewMode, TViewMode::Info);
  EXPECT_EQ(form.LeftPanel()->Settings.SortMode, smExtension);
  EXPECT_EQ(form.RightPanel()->Settings.SortMode, smName);
  EXPECT_EQ(form.LeftPanel()->Browser.RootPath(), "C:\\");
}

TEST(Settings, TheInstallersSchemeActsOnceEvenWithoutAutoSave) {
  TProgramFolder program(false);
  program.Write("cv.ini", "[Global]\nAutoSave=0\nInit_scheme=3\nLanguage=ENGLISH\n");
  {
    TForm1 form;
    EXPECT_EQ(form.AppliedScheme, 3);
    EXPECT_NE(test::ReadFile(program.Ini()).find("Init_scheme=-1"), std::string::npos);
    form.close();
  }
  EXPECT_EQ(test::ReadFile(program.Ini()),
            "[Global]\nAutoSave=0\nInit_scheme=-1\nLanguage=ENGLISH\n");
  TForm1 again;
  EXPECT_EQ(again.AppliedScheme, 0);
}

TEST(Settings, HostileSettingsFilesStartWithDefaults) {
  TProgramFolder program(false);
  std::string text = "[Global]\nMain_Splitter=9\n";
  text += std::string("\0\xff\xfe\x01 garbage", 12) + "\n";
  text += "EditorName=" + std::string(100000, 'e') + "\n";
  text += "[Global]\nMain_Splitter=99\n[MainForm]\nWidth=abc\nHeight=500"; // no final newline
  program.Write("cv.ini", text);
  TForm1 form;
  EXPECT_EQ(form.Settings.SplitterGap, 9);
  EXPECT_EQ(form.Settings.EditorName.size(), 100000);
  EXPECT_EQ(form.Settings.Width, 640);
  EXPECT_EQ(form.Settings.Height, 500);
}

// A program folder nobody may write (a read-only mount holds for root too): the settings are read,
// and the failed save at exit changes nothing and stops nothing.
TEST(Settings, AReadOnlyProgramFolderIsReadAndLeftWhole) {
  TProgramFolder program(false);
  const std::string original = "[Global]\nMain_Splitter=12\nAutoSave=1\n";
  const std::string folder = program.Dir.Folder("ro");
  if (::geteuid() != 0 ||
      std::system(("mount -t tmpfs -o size=1m tmpfs '" + folder + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a read-only folder here; the settings layer's own test covers "
                    "an unwritable folder through an unprivileged process";
  std::ofstream(folder + "/cv.ini") << original;
  ASSERT_EQ(std::system(("mount -o remount,ro '" + folder + "'").c_str()), 0);
  ::setenv("CORVANE_HOME", folder.c_str(), 1);
  {
    TForm1 form;
    EXPECT_EQ(form.Settings.SplitterGap, 12);
    form.Settings.SplitterGap = 3;
    form.close();
  }
  EXPECT_EQ(test::ReadFile(folder + "/cv.ini"), original);
  [[maybe_unused]] const int unmounted = std::system(("umount '" + folder + "'").c_str());
}

TEST(Settings, HandOffSectionsCarryNativePaths) {
  TProgramFolder program(false);
  TForm1 form;
  form.WriteEditorHandOff("C:\\tmp\\a b\\notes.txt", true, true);
  form.WriteUrlHandOff("C:\\tmp\\page.htm");
  config::TIniFile ini(program.Ini());
  EXPECT_EQ(ini.ReadString("Editor", "ec_FileName", ""), "/tmp/a b/notes.txt");
  EXPECT_EQ(ini.ReadInteger("Editor", "ec_EditMode", -1), 1);
  EXPECT_EQ(ini.ReadInteger("Editor", "ec_Archive", -1), 0); // editing never from an archive
  EXPECT_EQ(ini.ReadString("Editor", "ec_Language", ""), "cv_eng");
  EXPECT_EQ(ini.ReadString("TForm1", "URL", ""), "/tmp/page.htm");
}

TEST(Language, ChangingTheLanguageCaptionsTheMainWindowAtOnce) {
  TProgramFolder program(true);
  TForm1 form;
  EXPECT_EQ(test::Part<QPushButton>(form, "F5")->text(), QStringLiteral("5-Copy"));
  EXPECT_EQ(form.LeftPanel()->Words.Folder, QStringLiteral("Folder"));
  form.SetLanguage(QStringLiteral("RUSSIAN"));
  EXPECT_NE(test::Part<QPushButton>(form, "F5")->text(), QStringLiteral("5-Copy"));
  EXPECT_FALSE(test::Part<QPushButton>(form, "F5")->text().isEmpty());
  // A language without a file gives empty captions, and nothing breaks.
  form.SetLanguage(QStringLiteral("GERMAN"));
  EXPECT_TRUE(test::Part<QPushButton>(form, "F5")->text().isEmpty());
  EXPECT_EQ(form.LangStrings.Get("Messages", "ReadArchive"), QStringLiteral("Reading archive..."));
  form.show();
  form.LeftPanel()->LayoutAndPaint();
}

// In another language the context menu, the configuration submenus, the exit question and the
// password prompt are translated too.
TEST(Language, TheContextMenuSubmenusExitQuestionAndPasswordPromptAreTranslated) {
  TProgramFolder program(true);
  TForm1 form;
  form.SetLanguage(QStringLiteral("RUSSIAN"));
  config::TIniFile russian(program.Dir.Native("cv_rus.ini"));
  const auto text = [&](const char* section, const char* key) {
    return QString::fromStdString(russian.ReadString(section, key, ""));
  };
  for (QAction* action : test::Part<QMenu>(form, "MainPopup")->actions()) {
    const std::string name = action->objectName().mid(6).toStdString();
    const QString expected = name == "Move"     ? text("Messages", "Move")
                             : name == "Select" ? text("Messages", "Select")
                                                : form.MenuAction(name)->text();
    EXPECT_EQ(action->text(), expected) << name;
    EXPECT_FALSE(action->text().isEmpty()) << name;
  }
  EXPECT_EQ(form.findChild<QMenu*>(QStringLiteral("Menu_Schemes"))->menuAction()->text(),
            text("MainMenu", "Config_ColorSchemes"));
  EXPECT_EQ(form.findChild<QMenu*>(QStringLiteral("Menu_Toolbars"))->menuAction()->text(),
            text("MainMenu", "Config_ToolBar"));
  EXPECT_EQ(form.ExitQuestion(), text("Questions", "Exit"));
  const TPanelWords& words = form.LeftPanel()->Words;
  EXPECT_EQ(words.PasswordCaption, text("RequestPass", "Caption"));
  EXPECT_EQ(words.PasswordCancel, text("RequestPass", "Button2"));
  EXPECT_NE(words.PasswordCaption, QStringLiteral("Enter password"));
}

// The sections and keys of a language file, in order.
std::vector<std::string> KeysOf(const std::string& path) {
  std::vector<std::string> keys;
  std::ifstream in(path);
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    const std::string_view trimmed = config::TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';')
      continue;
    if (trimmed.front() == '[') {
      section = std::string(trimmed.substr(1, trimmed.find(']') - 1));
      continue;
    }
    keys.push_back(section + "/" +
                   std::string(config::TrimBlanks(trimmed.substr(0, trimmed.find('=')))));
  }
  return keys;
}

TEST(Language, EveryKeyReadIsInTheEnglishFileAndEveryTranslationHasThemAll) {
  const std::string data = CORVANE_SOURCE_DIR "/data/";
  const std::vector<std::string> english = KeysOf(data + "cv_eng.ini");
  const std::set<std::string> known(english.begin(), english.end());
  config::TIniFile file(data + "cv_eng.ini");
  for (const auto& [section, key] : MainWindowLanguageKeys())
    EXPECT_TRUE(file.ValueExists(section, key)) << section << "/" << key;
  for (const char* language : {"cv_rus", "cv_pol", "cv_ita", "cv_cze", "cv_hun", "cv_spa"}) {
    const std::string path = data + language + ".ini";
    ASSERT_TRUE(fs::exists(path)) << path;
    EXPECT_EQ(KeysOf(path), english) << language;
  }
}

} // namespace
} // namespace corvane
