#include "fileops/copy_form.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "scripted_asker.h"
#include "stop_while_running.h"
#include "temp_folder.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace corvane {
namespace {

using test::TTempFolder;
namespace fs = std::filesystem;

// The left panel shows src, the right one dst; three files, two of them already in dst.
struct TCopyWindowFixture {
  TCopyWindowFixture() {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      std::ofstream(Dir.File(std::string("src/") + name)) << "new " << name;
    for (const char* name : {"a.txt", "b.txt"})
      std::ofstream(Dir.File(std::string("dst/") + name)) << "old " << name;
    TAsker::Replace(&Asker);
    for (auto [panel, folder] :
         {std::pair{Form.LeftPanel(), "src"}, std::pair{Form.RightPanel(), "dst"}}) {
      panel->Settings.Path = QString::fromStdString(Dir.Model() + folder);
      panel->Settings.SortMode = smName;
      panel->InitFromPath();
      panel->resize(300, 300);
      panel->LayoutAndPaint();
    }
    TBrowser& source = Form.LeftPanel()->Browser;
    for (int i = 2; i <= source.Count(); ++i)
      source.ToggleMark(i);
  }
  ~TCopyWindowFixture() { TAsker::Replace(nullptr); }
  std::string Target(const char* name) {
    return test::ReadFile(Dir.Native(std::string("dst/") + name));
  }

  TTempFolder Dir;
  test::TScriptedAsker Asker;
  TForm1 Form;
};

TEST(CopyForm, OverwriteQuestionsDecidePerFileOrForAll) {
  struct Case {
    TAsker::TAnswer Answer;
    const char* A;
    const char* C;
    int Asked;
  };
  for (const Case& c :
       {Case{TAsker::No, "old a.txt", "new c.txt", 2},
        Case{TAsker::Yes, "new a.txt", "new c.txt", 2},
        Case{TAsker::All, "new a.txt", "new c.txt", 1}, Case{TAsker::Cancel, "old a.txt", "", 1}}) {
    TCopyWindowFixture f;
    f.Asker.Answer = c.Answer;
    TFormCopy form(&f.Form);
    form.FormActivate();
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("Copy 3 files(s)"));
    EXPECT_EQ(form.Edit2->text(), QString::fromStdString(f.Dir.Model() + "dst\\"));
    form.Button1Click();
    EXPECT_EQ(f.Target("a.txt"), c.A) << c.Answer;
    EXPECT_EQ(f.Target("c.txt"), c.C) << c.Answer;
    EXPECT_EQ(f.Asker.Asked, c.Asked) << c.Answer;
    EXPECT_EQ(f.Form.windowTitle(), QStringLiteral("Corvane v1.50"));
  }
}

TEST(CopyForm, ATypedTargetIsUsedAndTheSourcesStay) {
  TCopyWindowFixture f;
  TFormCopy form(&f.Form);
  form.FormActivate();
  form.Edit2->setText(QString::fromStdString(f.Dir.Model() + "fresh\\"));
  form.Button1Click();
  EXPECT_EQ(test::ReadFile(f.Dir.Native("fresh/c.txt")), "new c.txt");
  EXPECT_EQ(test::ReadFile(f.Dir.Native("src/c.txt")), "new c.txt");
  EXPECT_TRUE(f.Asker.Errors.empty());
  EXPECT_EQ(f.Form.LeftPanel()->Browser.SelectedCount(), 0);
}

TEST(CopyForm, ATargetThatCannotBeReachedIsReportedAndThePanelsKeepWatching) {
  TCopyWindowFixture f;
  TFormCopy form(&f.Form);
  form.FormActivate();
  form.Edit2->setText(QStringLiteral("Q:\\nowhere\\"));
  form.Button1Click();
  EXPECT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_TRUE(f.Form.LeftPanel()->MonitorActive());
  EXPECT_TRUE(f.Form.RightPanel()->MonitorActive());
  EXPECT_EQ(f.Form.LeftPanel()->Browser.SelectedCount(), 3); // nothing was copied
}

// Esc and the window's close button during the copy act as Cancel: the copy stops after the
// current file and the window stays until then.
TEST(CopyForm, EscOrClosingTheWindowStopsTheCopy) {
  for (const bool escape : {true, false}) {
    TCopyWindowFixture f;
    f.Asker.Answer = TAsker::Yes;
    TFormCopy form(&f.Form);
    form.FormActivate();
    EXPECT_TRUE(test::StopWhileRunning(form, escape, [&] { form.Button1Click(); })) << escape;
    EXPECT_FALSE(fs::exists(f.Dir.Native("dst/c.txt"))) << escape;
    EXPECT_EQ(f.Target("a.txt"), "old a.txt") << escape;
    EXPECT_EQ(test::ReadFile(f.Dir.Native("src/c.txt")), "new c.txt");
  }
}

} // namespace
} // namespace corvane
