#include "fileops/delete_form.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "scripted_asker.h"
#include "stop_while_running.h"
#include "temp_folder.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace corvane {
namespace {

using test::TTempFolder;
namespace fs = std::filesystem;

struct TDeleteFixture {
  TDeleteFixture() {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
      Dir.File(std::string("d/") + name);
    TAsker::Replace(&Asker);
    Form.Settings.ConfirmDelete = false;
    Panel()->Settings.Path = QString::fromStdString(Dir.Model() + "d");
    Panel()->Settings.SortMode = smName;
    Panel()->InitFromPath();
    Panel()->resize(300, 300);
    Panel()->LayoutAndPaint();
  }
  ~TDeleteFixture() { TAsker::Replace(nullptr); }
  TFPanel* Panel() { return Form.LeftPanel(); }
  void Mark(const char* name) { Panel()->Browser.ToggleMark(Panel()->Browser.FindEntry(name)); }
  bool Exists(const char* name) { return fs::exists(Dir.Native(std::string("d/") + name)); }

  TTempFolder Dir;
  test::TScriptedAsker Asker;
  TForm1 Form;
};

TEST(DeleteForm, ReadOnlyQuestionsAnswerYesNoAllAndCancel) {
  struct Case {
    std::vector<TAsker::TAnswer> Answers;
    std::vector<bool> Kept; // a, b, c, d after deleting all four (b and c read-only)
  };
  const Case cases[] = {
      {{TAsker::No, TAsker::No}, {false, true, true, false}},
      {{TAsker::Yes, TAsker::No}, {false, false, true, false}},
      {{TAsker::All}, {false, false, false, false}},
      {{TAsker::Cancel}, {false, true, true, true}},
  };
  for (const Case& c : cases) {
    TDeleteFixture f;
    f.Dir.Chmod("d/b.txt", 0444);
    f.Dir.Chmod("d/c.txt", 0444);
    f.Panel()->Browser.Refresh();
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
      f.Mark(name);
    f.Asker.Answers = c.Answers;
    f.Form.RunCommand("Delete");
    const char* const names[] = {"a.txt", "b.txt", "c.txt", "d.txt"};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(f.Exists(names[i]), c.Kept[size_t(i)]) << names[i] << " after " << f.Asker.Asked;
  }
}

TEST(DeleteForm, TheQuestionNamesWhatIsDeleted) {
  TDeleteFixture f;
  TFormDelete form(&f.Form);
  f.Panel()->ShowCursorAt(0, f.Panel()->Browser.FindEntry("b.txt") - 1);
  form.FormActivate();
  EXPECT_EQ(form.Label1->text(), QStringLiteral("Do you wish to delete the file"));
  EXPECT_EQ(form.Label2->text(), QStringLiteral("<b.txt>"));
  f.Mark("a.txt");
  f.Mark("c.txt");
  form.FormActivate();
  EXPECT_EQ(form.Label2->text(), QStringLiteral("2 file(s)"));

  // The cursor on ".." with nothing marked deletes nothing.
  f.Mark("a.txt");
  f.Mark("c.txt");
  f.Panel()->ShowCursorAt(0, 0);
  f.Form.RunCommand("Delete");
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
    EXPECT_TRUE(f.Exists(name));
}

TEST(DeleteForm, ToTheTrashWithoutQuestions) {
  TDeleteFixture f;
  f.Form.Settings.DelToRecycle = true;
  f.Dir.Chmod("d/b.txt", 0444);
  f.Mark("a.txt");
  f.Mark("b.txt");
  f.Form.RunCommand("Delete");
  EXPECT_FALSE(f.Exists("a.txt"));
  EXPECT_FALSE(f.Exists("b.txt"));
  EXPECT_EQ(f.Asker.Asked, 0);
  const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/";
  EXPECT_TRUE(fs::exists(trash + "a.txt"));
  EXPECT_TRUE(fs::exists(trash + "b.txt"));
  EXPECT_TRUE(f.Asker.Errors.empty());
}

// Esc and the window's close button while deleting act as Cancel: the engine stops after the
// current file and the window stays until then.
TEST(DeleteForm, EscOrClosingTheWindowStopsTheDelete) {
  for (const bool escape : {true, false}) {
    TDeleteFixture f;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
      f.Mark(name);
    TFormDelete form(&f.Form);
    form.FormActivate();
    EXPECT_TRUE(test::StopWhileRunning(form, escape, [&] { form.Button1Click(); })) << escape;
    EXPECT_FALSE(f.Exists("a.txt")) << escape; // the file under way when the user stopped
    for (const char* kept : {"b.txt", "c.txt", "d.txt"})
      EXPECT_TRUE(f.Exists(kept)) << kept << " " << escape;
  }
}

// A marked folder that is a mount point is refused with a message; the rest is deleted.
TEST(DeleteForm, AMountPointIsRefusedWithAMessage) {
  TDeleteFixture f;
  const test::TMount volume("-t tmpfs -o size=1m tmpfs", f.Dir.Folder("d/volume"));
  if (!volume.Mounted()) {
    std::cout << "no mount possible: the mount point case is skipped\n";
    GTEST_SKIP();
  }
  f.Dir.File("d/volume/kept.txt");
  f.Panel()->Browser.Refresh();
  f.Mark("volume");
  f.Mark("a.txt");
  TFormDelete form(&f.Form);
  form.FormActivate();
  form.Button1Click();
  EXPECT_FALSE(f.Exists("a.txt"));
  EXPECT_TRUE(f.Exists("volume/kept.txt"));
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_TRUE(f.Asker.Errors[0].contains(QStringLiteral("mounted")));
  EXPECT_TRUE(f.Asker.Errors[0].contains(QString::fromStdString(f.Dir.Model() + "d\\volume")));
}

} // namespace
} // namespace corvane
