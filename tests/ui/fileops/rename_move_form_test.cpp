#include "fileops/rename_move_form.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "scripted_asker.h"
#include "temp_folder.h"

#include <QComboBox>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace corvane {
namespace {

using test::TTempFolder;
namespace fs = std::filesystem;

struct TMoveFixture {
  TMoveFixture() {
    for (const char* name : {"a.txt", "b.txt"})
      std::ofstream(Dir.File(std::string("src/") + name)) << "src " << name;
    std::ofstream(Dir.File("dst/a.txt")) << "dst a.txt";
    TAsker::Replace(&Asker);
    for (auto [panel, folder] :
         {std::pair{Form.LeftPanel(), "src"}, std::pair{Form.RightPanel(), "dst"}}) {
      panel->Settings.Path = QString::fromStdString(Dir.Model() + folder);
      panel->Settings.SortMode = smName;
      panel->InitFromPath();
      panel->resize(300, 300);
      panel->LayoutAndPaint();
    }
  }
  ~TMoveFixture() { TAsker::Replace(nullptr); }
  void Mark(const char* name) {
    TBrowser& b = Form.LeftPanel()->Browser;
    b.ToggleMark(b.FindEntry(name));
  }

  TTempFolder Dir;
  test::TScriptedAsker Asker;
  TForm1 Form;
};

TEST(RenameMoveForm, RenamesInPlaceByNameOrMask) {
  TMoveFixture f;
  f.Mark("a.txt");
  f.Mark("b.txt");
  {
    TFormRenMove form(&f.Form);
    form.Edit1->setEditText(QStringLiteral("*.old"));
    form.Button1Click();
  }
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/a.old")), "src a.txt");
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/b.old")), "src b.txt");
  EXPECT_FALSE(fs::exists(f.Dir.Native("src/a.txt")));
  f.Form.LeftPanel()->ShowCursorAt(0, f.Form.LeftPanel()->Browser.FindEntry("a.old") - 1);
  {
    TFormRenMove form(&f.Form);
    form.Edit1->setEditText(QStringLiteral("renamed.txt"));
    form.Button1Click();
  }
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/renamed.txt")), "src a.txt");
  EXPECT_EQ(f.Asker.Asked, 0);
}

TEST(RenameMoveForm, MovingOntoAnExistingFileAsksFirst) {
  struct Case {
    TAsker::TAnswer Answer;
    const char* Target;
    bool SourceKept;
  };
  for (const Case& c :
       {Case{TAsker::No, "dst a.txt", true}, Case{TAsker::Cancel, "dst a.txt", true},
        Case{TAsker::Yes, "src a.txt", false}}) {
    TMoveFixture f;
    f.Asker.Answer = c.Answer;
    f.Form.LeftPanel()->ShowCursorAt(0, f.Form.LeftPanel()->Browser.FindEntry("a.txt") - 1);
    TFormRenMove form(&f.Form);
    form.Button1Click(); // to the other panel's folder
    EXPECT_EQ(f.Asker.Asked, 1);
    EXPECT_EQ(test::ReadFile(f.Dir.Native("dst/a.txt")), c.Target) << c.Answer;
    EXPECT_EQ(fs::exists(f.Dir.Native("src/a.txt")), c.SourceKept) << c.Answer;
    EXPECT_TRUE(f.Asker.Errors.empty());
  }
}

// Typed new names are read as the copy engine reads them: "a:" or "10:30" inside a name is no
// drive (no free-space question for a floppy), and "backup/" is a folder to make.
TEST(RenameMoveForm, TypedNamesWithColonsAndSlashesAreNamesAndFolders) {
  TMoveFixture f;
  f.Asker.Answer = TAsker::No; // a free-space question answered No would stop the move
  f.Form.LeftPanel()->ShowCursorAt(0, f.Form.LeftPanel()->Browser.FindEntry("a.txt") - 1);
  {
    TFormRenMove form(&f.Form);
    form.Edit1->setEditText(QStringLiteral("a:draft 10:30.txt"));
    form.Button1Click();
  }
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/a:draft 10:30.txt")), "src a.txt");
  f.Mark("a:draft 10:30.txt");
  f.Mark("b.txt");
  {
    TFormRenMove form(&f.Form);
    form.Edit1->setEditText(QStringLiteral("backup/"));
    form.Button1Click();
  }
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/backup/a:draft 10:30.txt")), "src a.txt");
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/backup/b.txt")), "src b.txt");
  EXPECT_EQ(f.Asker.Asked, 0);
  EXPECT_TRUE(f.Asker.Said.empty());
}

} // namespace
} // namespace corvane
