// Finding files from the active panel: what is found, Stop, Go to (also inside an archive and on
// results kept from an earlier search), View.
#include "fileops/find_form.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

struct TFindFixture {
  TFindFixture() {
    TAsker::Replace(&Asker);
    Dir.Folder("d");
    Form = std::make_unique<TForm1>();
    TFPanel* panel = Form->LeftPanel();
    panel->Settings.Path = QString::fromStdString(Dir.Model() + "d");
    panel->Settings.SortMode = smName;
    panel->InitFromPath();
    panel->resize(300, 300);
    panel->LayoutAndPaint();
  }
  ~TFindFixture() {
    Form.reset();
    TAsker::Replace(nullptr);
  }
  TFPanel* Left() { return Form->LeftPanel(); }
  // Runs the find command with `act` working the window while it is shown.
  void WithWindow(const std::function<void(TFormFind&)>& act) {
    QTimer::singleShot(0, Form.get(), [this, act] {
      auto* window = Form->findChild<TFormFind*>(QStringLiteral("FormFind"));
      ASSERT_NE(window, nullptr);
      act(*window);
      if (window->isVisible())
        window->reject();
    });
    FindFileCommand(*Form);
  }
  static void Search(TFormFind& window, const char* mask, bool fromRoot) {
    window.Edit1->setEditText(QString::fromLatin1(mask));
    (fromRoot ? window.RadioButton2 : window.RadioButton1)->setChecked(true);
    window.Button1->setFocus();
    window.Button1Click();
  }
  static std::vector<std::string> Lines(const TFormFind& window) {
    std::vector<std::string> lines;
    for (int i = 0; i < window.ListBox1->count(); ++i)
      lines.push_back(window.ListBox1->item(i)->text().toStdString());
    return lines;
  }
  std::string CursorName() { return Left()->Browser.EntryName(Left()->CursorIndex()); }

  test::TProgramFolder Program{false};
  test::TTempFolder Dir;
  test::TScriptedAsker Asker;
  std::unique_ptr<TForm1> Form;
};

TEST(FindFiles, HitsBelowTheFolderThenGoToOpensTheDeepFolderAndResultsStayForNextTime) {
  TFindFixture f;
  f.Dir.File("d/docs/a.txt", 1000);
  f.Dir.File("d/docs/deep/er/still/z.txt", 2000);
  f.Dir.File("d/pic.gif", 3);
  f.Dir.File("d/notes.md");
  f.Dir.File("outside.txt"); // above the panel's folder
  const std::string d = f.Dir.Model() + "d\\";
  f.WithWindow([&](TFormFind& window) {
    EXPECT_FALSE(window.Button3->isEnabled());
    TFindFixture::Search(window, "*.txt;doc*;*.GIF", false);
    std::vector<std::string> lines = TFindFixture::Lines(window);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{d + "docs", d + "docs\\a.txt",
                                               d + "docs\\deep\\er\\still\\z.txt",
                                               d + "pic.gif"}));
    EXPECT_EQ(window.StatusPanels[0]->text(), QStringLiteral("4"));
    EXPECT_EQ(window.StatusPanels[1]->text(), QStringLiteral("3 Kb"));
    EXPECT_TRUE(window.Button3->isEnabled());
    EXPECT_TRUE(window.Button5->isEnabled());
    EXPECT_TRUE(window.Edit1->isEnabled());
    EXPECT_EQ(window.Edit1->count(), 1);
    for (int i = 0; i < window.ListBox1->count(); ++i)
      if (window.ListBox1->item(i)->text().endsWith(QStringLiteral("z.txt")))
        window.ListBox1->setCurrentRow(i);
    window.ListDblClick();
  });
  EXPECT_EQ(f.Left()->Browser.RelPath(), f.Dir.Rel() + "d\\docs\\deep\\er\\still\\");
  EXPECT_EQ(f.CursorName(), "z.txt");
  EXPECT_TRUE(f.Asker.Said.empty());

  // The window comes back with its results, and Go to works on them at once.
  f.WithWindow([&](TFormFind& window) {
    EXPECT_EQ(window.ListBox1->count(), 4);
    EXPECT_TRUE(window.Button3->isEnabled());
    for (int i = 0; i < window.ListBox1->count(); ++i)
      if (window.ListBox1->item(i)->text().endsWith(QStringLiteral("a.txt")))
        window.ListBox1->setCurrentRow(i);
    window.ListBox1->setFocus();
    window.Button1Click(); // Enter in the list is Go to
  });
  EXPECT_EQ(f.Left()->Browser.RelPath(), f.Dir.Rel() + "d\\docs\\");
  EXPECT_EQ(f.CursorName(), "a.txt");

  // A hit whose folder has gone meanwhile: the panel stays and the user is told why.
  f.WithWindow([&](TFormFind& window) {
    for (int i = 0; i < window.ListBox1->count(); ++i)
      if (window.ListBox1->item(i)->text().endsWith(QStringLiteral("z.txt")))
        window.ListBox1->setCurrentRow(i);
    std::filesystem::remove_all(f.Dir.Native("d/docs/deep"));
    window.ListDblClick();
  });
  EXPECT_EQ(f.Left()->Browser.RelPath(), f.Dir.Rel() + "d\\docs\\");
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_TRUE(f.Asker.Errors[0].startsWith(QStringLiteral("Cannot read the folder")));
}

// Inside an archive the whole archive is searched from its root, and Go to opens the hit's folder
// inside it.
TEST(FindFiles, InsideAnArchiveGoToOpensTheFolderInTheArchive) {
  TFindFixture f;
  test::WriteFile(f.Dir.Native("d/a.zip"),
                  test::BuildZip(test::TZipArchive({test::TZipItem("top.txt", "1"),
                                                    test::TZipItem("src/lib/code.c", "2"),
                                                    test::TZipItem("src/lib/read me.txt", "3")})));
  f.Left()->RefreshKeepingCursor();
  f.Left()->ShowCursorAt(0, f.Left()->Browser.FindEntry("a.zip") - 1);
  f.Left()->OpenCurrent();
  f.Left()->ShowCursorAt(0, f.Left()->Browser.FindEntry("src") - 1);
  f.Left()->OpenCurrent();
  ASSERT_EQ(f.Left()->Browser.RelPath(), "src\\");
  const std::string zip = f.Dir.Model() + "d\\a.zip\\";
  f.WithWindow([&](TFormFind& window) {
    TFindFixture::Search(window, "*.txt", true);
    std::vector<std::string> lines = TFindFixture::Lines(window);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{zip + "src\\lib\\read me.txt", zip + "top.txt"}));
    for (int i = 0; i < window.ListBox1->count(); ++i)
      if (window.ListBox1->item(i)->text().endsWith(QStringLiteral("read me.txt")))
        window.ListBox1->setCurrentRow(i);
    window.ListDblClick();
  });
  EXPECT_EQ(f.Left()->Browser.SourceKind(), skArchive);
  EXPECT_EQ(f.Left()->Browser.RelPath(), "src\\lib\\");
  EXPECT_EQ(f.CursorName(), "read me.txt");
}

TEST(FindFiles, StopKeepsTheHitsSoFarAndViewHandsAHitToTheViewer) {
  TFindFixture f;
  for (int i = 0; i < 3000; ++i)
    f.Dir.File("d/many/" + std::to_string(i) + "/hit.txt");
  // Stop as soon as the list shows a hit, as a user's click would arrive.
  QTimer stopper;
  f.WithWindow([&](TFormFind& window) {
    QObject::connect(&stopper, &QTimer::timeout, [&] {
      if (window.ListBox1->count() > 0 && window.Searching())
        window.Button2Click();
    });
    stopper.start(0);
    EXPECT_FALSE(window.Button2->isEnabled());
    TFindFixture::Search(window, "hit.txt", false);
    stopper.stop();
    EXPECT_FALSE(window.Searching());
    EXPECT_GT(window.ListBox1->count(), 0);
    EXPECT_LT(window.ListBox1->count(), 3000);
    EXPECT_TRUE(window.Button3->isEnabled());
    EXPECT_TRUE(window.Button5->isEnabled());
    EXPECT_FALSE(window.Button2->isEnabled());

    // View: the viewer gets the hit through the hand-off and the window stays.
    test::WriteFile(f.Program.Dir.Native("cvedit"),
                    "#!/bin/sh\ngrep ec_FileName \"$(dirname \"$0\")/cv.ini\" > '" +
                        f.Program.Dir.Native("viewed.part") + "' && mv '" +
                        f.Program.Dir.Native("viewed.part") + "' '" +
                        f.Program.Dir.Native("viewed") + "'\n");
    f.Program.Dir.Chmod("cvedit", 0755);
    window.ListBox1->setCurrentRow(0);
    window.Button5Click();
    EXPECT_TRUE(window.isVisible());
  });
  const std::string viewed = f.Program.Dir.Native("viewed");
  for (int i = 0; i < 300 && ::access(viewed.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::string line = test::ReadFile(viewed);
  EXPECT_EQ(line.rfind("ec_FileName=" + f.Dir.Native("d/many/"), 0), 0u) << line;
  EXPECT_NE(line.find("/hit.txt"), std::string::npos);
}

} // namespace
} // namespace corvane
