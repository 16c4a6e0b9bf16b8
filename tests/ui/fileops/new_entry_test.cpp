// Making folders and files from the panels, and the attributes window.
#include "fileops/attrib_form.h"
#include "fileops/new_entry_forms.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/file_ops.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "window_part.h"
#include "zip_writer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace corvane {
namespace {

struct TPanelsFixture {
  TPanelsFixture() {
    TAsker::Replace(&Asker);
    Dir.Folder("d");
    for (TFPanel* panel : {Form.LeftPanel(), Form.RightPanel()}) {
      panel->Settings.Path = QString::fromStdString(Dir.Model() + "d");
      panel->Settings.SortMode = smName;
      panel->InitFromPath();
      panel->resize(300, 300);
      panel->LayoutAndPaint();
    }
  }
  ~TPanelsFixture() { TAsker::Replace(nullptr); }
  TFPanel* Left() { return Form.LeftPanel(); }
  std::string CursorName() { return Left()->Browser.EntryName(Left()->CursorIndex()); }
  void Cursor(const std::string& name) {
    const int index = Left()->Browser.FindEntry(name);
    ASSERT_GT(index, 0) << name;
    Left()->ShowCursorAt(0, index - 1);
  }
  std::string Said() const {
    return Asker.Said.empty() ? std::string() : Asker.Said.back().toStdString();
  }

  test::TTempFolder Dir;
  test::TScriptedAsker Asker;
  TForm1 Form;
};

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What a typed name makes, and what is said when it cannot: plain names in the panel's folder,
// paths relative to it or of their own; a ":" is part of a name.
TEST(NewFolder, TypedNamesMakeOneFolderWhereTheyPointOrSayWhyNot) {
  TPanelsFixture f;
  f.Dir.Folder("d/exists");
  f.Dir.Folder("d/sub");
  f.Left()->RefreshKeepingCursor();
  const std::string longName(255, 'n');
  const struct {
    std::string Typed;
    std::string Made; // relative to the fixture, "" when nothing is made
    std::string Said; // the start of the message, "" for none
  } cases[] = {
      {"fresh", "d/fresh", ""},
      {"a:b", "d/a:b", ""},
      {"sub/inner", "d/sub/inner", ""},
      {"sub\\other", "d/sub/other", ""},
      {f.Dir.Native("elsewhere"), "elsewhere", ""},
      {longName, "d/" + longName, ""},
      {"exists", "", "Cannot make the folder\nFile exists"},
      {"missing/inner", "", "Cannot make the Directory\nNo such file or directory"},
      {longName + "x", "", "Cannot make the folder\nFile name too long"},
      {"two\nlines", "", "The name \"two?lines\" holds control characters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    f.Asker.Said.clear();
    TFormNewDir window(&f.Form);
    window.FormActivate();
    window.Edit1->setEditText(QString::fromStdString(c.Typed));
    window.Button1Click();
    EXPECT_EQ(f.Said().substr(0, c.Said.size()), c.Said);
    if (c.Said.empty()) {
      EXPECT_TRUE(f.Asker.Said.empty());
    }
    if (!c.Made.empty()) {
      EXPECT_TRUE(IsFolder(f.Dir.Native(c.Made)));
      if (c.Made.rfind("d/", 0) == 0 && c.Made.find('/', 2) == std::string::npos) {
        EXPECT_EQ(f.CursorName(), c.Made.substr(2)); // the new folder is under the cursor
      }
    }
  }
  EXPECT_FALSE(platform::PathExists(f.Dir.Native("d/two")));
  // An empty name does nothing and leaves the window open.
  TFormNewDir window(&f.Form);
  window.Button1Click();
  EXPECT_EQ(window.result(), 0);
}

TEST(NewFile, ANewFileIsMadeEmptyAndNothingThereIsEverTouched) {
  TPanelsFixture f;
  test::WriteFile(f.Dir.File("d/kept.txt"), "keep me");
  f.Dir.Folder("d/sub");
  f.Dir.Link("d/link", "pointed-at");
  f.Left()->RefreshKeepingCursor();
  const struct {
    std::string Typed;
    std::string Made;
    std::string Said;
  } cases[] = {
      {"new.txt", "d/new.txt", ""},
      {"sub/deeper.txt", "d/sub/deeper.txt", ""},
      {f.Dir.Native("outside.txt"), "outside.txt", ""},
      {"kept.txt", "", "Cannot create the file!"},
      {"link", "", "Cannot create the file!"},
      {"nosuch/x.txt", "", "Cannot create the file!\nNo such file or directory"},
      {std::string("nul") + '\x01' + "x", "", "The name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    f.Asker.Said.clear();
    TFormNewFile window(&f.Form);
    window.FormActivate();
    window.Edit1->setEditText(QString::fromStdString(c.Typed));
    window.Button1Click();
    if (c.Said.empty()) {
      EXPECT_TRUE(f.Asker.Said.empty());
    }
    EXPECT_EQ(f.Said().substr(0, c.Said.size()), c.Said);
    if (!c.Made.empty()) {
      EXPECT_EQ(test::ReadFile(f.Dir.Native(c.Made)), "");
    }
  }
  EXPECT_EQ(test::ReadFile(f.Dir.Native("d/kept.txt")), "keep me");
  EXPECT_FALSE(platform::PathExists(f.Dir.Native("d/pointed-at")));
  EXPECT_EQ(f.Asker.Said.size(), 1u);
  // The kept file's message has no reason line: the name is simply taken.
  f.Asker.Said.clear();
  TFormNewFile again(&f.Form);
  again.Edit1->setEditText(QStringLiteral("kept.txt"));
  again.Button1Click();
  EXPECT_EQ(f.Said(), "Cannot create the file!");
  // The panels show the new file with the cursor on it.
  TFormNewFile last(&f.Form);
  last.Edit1->setEditText(QStringLiteral("zz last.txt"));
  last.Button1Click();
  EXPECT_EQ(f.CursorName(), "zz last.txt");
  EXPECT_GT(f.Form.RightPanel()->Browser.FindEntry("zz last.txt"), 0);
}

TEST(Attributes, OnlyAChangeIsWrittenAndArchiveEntriesAreShownOnly) {
  TPanelsFixture f;
  test::WriteFile(f.Dir.File("d/locked.txt"), "x");
  f.Dir.Chmod("d/locked.txt", 0444);
  f.Dir.SetTime("d/locked.txt", 920643000); // 05.03.1999 14:10 UTC
  f.Left()->RefreshKeepingCursor();
  f.Cursor("locked.txt");
  int calls = 0;
  {
    TFormAttrib window(&f.Form);
    window.Fill();
    window.SetAttributes = [&](const std::string&, uint16_t) { return ++calls > 0; };
    EXPECT_TRUE(window.ReadOnly->isChecked());
    EXPECT_EQ(window.FileDirName->text().toStdString(), f.Dir.Model() + "d\\locked.txt");
    EXPECT_EQ(window.FilePathName->text().toStdString(), f.Dir.Model() + "d\\");
    EXPECT_TRUE(window.ChangeDate->text().startsWith(QStringLiteral("05.03.1999, ")))
        << window.ChangeDate->text().toStdString();
    window.OKBtnClick();
    EXPECT_EQ(calls, 0); // nothing changed, nothing written
  }
  {
    TFormAttrib window(&f.Form);
    window.Fill();
    window.ReadOnly->setChecked(false);
    window.OKBtnClick();
  }
  struct stat st {};
  ASSERT_EQ(::stat(f.Dir.Native("d/locked.txt").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);

  test::WriteFile(f.Dir.Native("d/a.zip"),
                  test::BuildZip(test::TZipArchive({test::TZipItem("in.txt", "x")})));
  f.Left()->RefreshKeepingCursor();
  f.Cursor("a.zip");
  f.Left()->OpenCurrent();
  f.Cursor("in.txt");
  TFormAttrib window(&f.Form);
  window.Fill();
  window.SetAttributes = [&](const std::string&, uint16_t) { return ++calls > 0; };
  EXPECT_FALSE(window.OKBtn->isEnabled());
  window.ReadOnly->setChecked(!window.ReadOnly->isChecked());
  window.OKBtnClick();
  EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace corvane
