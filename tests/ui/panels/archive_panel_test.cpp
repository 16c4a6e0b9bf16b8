#include "fileops/copy_form.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "model/archiver_command.h"
#include "panels/archive_windows.h"
#include "panels/file_panel.h"
#include "platform/launcher.h"
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

using test::ReadFile;
using test::TTempFolder;
using test::TZipArchive;
using test::TZipItem;
namespace fs = std::filesystem;

std::vector<std::string> Names(const TFPanel* panel) {
  std::vector<std::string> names;
  for (int i = 1; i <= panel->Browser.Count(); ++i)
    names.push_back(panel->Browser.EntryName(i));
  return names;
}

// The main window with its left panel over "d", where the archives are, and the right one over
// "src", whose files can be copied into them.
struct TArchivePanelFixture {
  TArchivePanelFixture() {
    Dir.Folder("d");
    test::WriteFile(Dir.File("src/new.txt"), "new file");
    TAsker::Replace(&Asker);
    Form.Settings.ConfirmDelete = false;
    for (auto [panel, folder] : {std::pair{Left(), "d"}, std::pair{Form.RightPanel(), "src"}}) {
      panel->Settings.Path = QString::fromStdString(Dir.Model() + folder);
      panel->Settings.SortMode = smName;
      panel->InitFromPath();
      panel->resize(300, 300);
      panel->LayoutAndPaint();
    }
  }
  ~TArchivePanelFixture() { TAsker::Replace(nullptr); }
  TFPanel* Left() { return Form.LeftPanel(); }
  void Zip(const std::string& name, std::vector<TZipItem> items) {
    test::WriteFile(Dir.Native("d/" + name), test::BuildZip(TZipArchive(std::move(items))));
    Left()->Browser.Refresh();
  }
  // Opens an entry of the left panel as Enter does.
  void Open(const std::string& name) {
    const int index = Left()->Browser.FindEntry(name);
    ASSERT_GT(index, 0) << name;
    Left()->ShowCursorAt(0, index - 1);
    Left()->OpenCurrent();
  }
  std::string CursorName() { return Left()->Browser.EntryName(Left()->CursorIndex()); }

  TTempFolder Dir;
  test::TScriptedAsker Asker;
  TForm1 Form;
};

TEST(ArchivePanel, EntersAZipAsFoldersAndComesBackOntoIt) {
  TArchivePanelFixture f;
  f.Zip("a.zip", {TZipItem("docs/a.txt", "alpha"), TZipItem("top.txt", "12345")});
  f.Open("a.zip");
  EXPECT_EQ(f.Left()->Browser.SourceKind(), skArchive);
  EXPECT_EQ(f.Left()->ArchiveTypeName, "ZIP");
  EXPECT_EQ(Names(f.Left()), (std::vector<std::string>{"..", "docs", "top.txt"}));
  f.Open("docs");
  EXPECT_EQ(Names(f.Left()), (std::vector<std::string>{"..", "a.txt"}));
  f.Open("..");
  f.Open("..");
  EXPECT_EQ(f.Left()->Browser.SourceKind(), skFolder);
  EXPECT_EQ(f.CursorName(), "a.zip");
  EXPECT_TRUE(f.Asker.Errors.empty());
}

// Reading a big archive must not redraw the progress window and run the event loop per entry:
// after it appears at the 200th entry with its count, both happen only once UpdateMs have passed.
TEST(ArchivePanel, TheReadingProgressWindowUpdatesAtItsOwnPace) {
  TArchivePanelFixture f;
  TFPanel* panel = f.Left();
  panel->Browser.OnArchiveReadBegin();
  for (int i = 0; i < 200; ++i)
    panel->Browser.OnArchiveReadEntry();
  auto* progress = panel->window()->findChild<TFormReadArchive*>(QStringLiteral("FormReadArchive"));
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(progress->Label1->text(), QStringLiteral("200"));
  int64_t now = 1000;
  progress->SetClock([&now] { return now; });
  bool delivered = false;
  QTimer::singleShot(0, [&delivered] { delivered = true; });
  struct Step {
    int64_t AdvanceMs;
    int Entries;
    const char* Shown;
    bool Delivered;
  };
  // A few entries read in less than UpdateMs, then the one that finds it passed, then more.
  for (const Step& step :
       {Step{10, 5000, "200", false}, Step{progress->UpdateMs - 10, 1, "5201", true},
        Step{1, 300, "5201", true}, Step{progress->UpdateMs, 1, "5502", true}}) {
    now += step.AdvanceMs;
    for (int i = 0; i < step.Entries; ++i)
      panel->Browser.OnArchiveReadEntry();
    EXPECT_EQ(progress->Label1->text(), QString::fromLatin1(step.Shown)) << step.Shown;
    EXPECT_EQ(delivered, step.Delivered) << step.Shown;
  }
  panel->Browser.OnArchiveReadEnd();
  EXPECT_EQ(panel->window()->findChild<QDialog*>(QStringLiteral("FormReadArchive")), nullptr);
}

TEST(ArchivePanel, NamesWrittenOnDosFollowTheLanguagesCodePage) {
  TArchivePanelFixture f;
  f.Form.SetLanguage(QStringLiteral("RUSSIAN"));
  f.Zip("a.zip", {TZipItem("\x8f\xe0\xa8\xa2\xa5\xe2.txt", "hello")}); // "Привет.txt"
  f.Open("a.zip");
  EXPECT_EQ(Names(f.Left()), (std::vector<std::string>{"..", "Привет.txt"}));
}

TEST(ArchivePanel, APanelLeftInsideAnArchiveStartsOnTheFolderHoldingIt) {
  TArchivePanelFixture f;
  f.Zip("a.zip", {TZipItem("docs/a.txt", "alpha")});
  f.Open("a.zip");
  f.Open("docs");
  // What the settings file keeps for this panel, and the panel made from it again.
  const QString saved = QString::fromStdString(f.Left()->Browser.ShownPath());
  EXPECT_EQ(saved.toStdString(), f.Dir.Model() + "d\\a.zip\\docs\\");
  f.Left()->Settings.Path = saved;
  f.Left()->Settings.PathType = QStringLiteral("Archive");
  f.Left()->InitFromPath();
  EXPECT_EQ(f.Left()->Browser.SourceKind(), skFolder);
  EXPECT_EQ(f.Left()->Browser.RootPath() + f.Left()->Browser.RelPath(), f.Dir.Model() + "d\\");
  EXPECT_EQ(f.Left()->Settings.PathType, QStringLiteral("Standart"));
}

TEST(ArchivePanel, ADamagedArchiveIsReportedAndThePanelStaysUsable) {
  TArchivePanelFixture f;
  test::WriteFile(f.Dir.Native("d/bad.zip"), "PK\3\4 but nothing that follows is an archive");
  test::WriteFile(f.Dir.Native("d/other.txt"), "x");
  f.Left()->Browser.Refresh();
  f.Open("bad.zip");
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_EQ(f.Left()->Browser.SourceKind(), skFolder);
  EXPECT_EQ(f.CursorName(), "bad.zip");
  f.Left()->ShowCursorAt(0, f.Left()->Browser.FindEntry("other.txt") - 1);
  EXPECT_EQ(f.CursorName(), "other.txt");
}

TEST(ArchivePanel, AnArchiveInsideAnArchiveIsEnteredThroughATemporaryCopy) {
  TArchivePanelFixture f;
  const std::string inner = test::BuildZip(TZipArchive({TZipItem("in.txt", "inside")}));
  f.Zip("outer.zip", {TZipItem("inner.zip", inner), TZipItem("broken.zip", "PK\3\4 junk")});
  f.Open("outer.zip");
  f.Open("inner.zip");
  EXPECT_EQ(Names(f.Left()), (std::vector<std::string>{"..", "in.txt"}));
  f.Open("..");
  EXPECT_EQ(f.Left()->Browser.SourceKind(), skArchive);
  EXPECT_EQ(f.CursorName(), "inner.zip");
  // A nested archive that cannot be read leaves the panel inside the outer one.
  f.Open("broken.zip");
  EXPECT_FALSE(f.Asker.Errors.empty());
  EXPECT_EQ(f.Left()->Browser.RootPath(), f.Dir.Model() + "d\\outer.zip");
}

// Enter on a document inside an archive opens a copy taken out of it with the desktop's program.
TEST(ArchivePanel, EnterOnADocumentInsideAnArchiveOpensACopyOfIt) {
  TTempFolder stubs;
  const std::string record = stubs.Native("record");
  test::WriteFile(stubs.Native("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" + record +
                                                ".tmp'\nmv '" + record + ".tmp' '" + record +
                                                "'\n");
  stubs.Chmod("xdg-open", 0755);
  const std::string oldPath = std::getenv("PATH");
  ::setenv("PATH", (stubs.Path() + ":" + oldPath).c_str(), 1);
  TArchivePanelFixture f;
  f.Zip("a.zip", {TZipItem("notes/readme.txt", "read me")});
  f.Open("a.zip");
  f.Open("notes");
  f.Open("readme.txt");
  QElapsedTimer waited;
  waited.start();
  while (!fs::exists(record) && waited.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ::setenv("PATH", oldPath.c_str(), 1);
  ASSERT_TRUE(fs::exists(record));
  std::string opened = ReadFile(record);
  while (!opened.empty() && opened.back() == '\n')
    opened.pop_back();
  EXPECT_EQ(fs::path(opened).filename(), "readme.txt");
  EXPECT_EQ(ReadFile(opened), "read me");
  EXPECT_TRUE(f.Asker.Errors.empty());
}

// An archiver stand-in that records its arguments and fails or succeeds as told.
std::string StubArchiver(TTempFolder& dir, int status) {
  const std::string path = dir.Native("bin/stubarc");
  dir.Folder("bin");
  test::WriteFile(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + dir.Native("bin/args") +
                            "'\necho 'stub: cannot write' >&2\nexit " + std::to_string(status) +
                            "\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

TEST(ArchivePanel, CopyingIntoAnArchivePanelRunsTheArchiverAndReportsItsFailure) {
  for (const int status : {0, 2}) {
    TArchivePanelFixture f;
    f.Zip("a.zip", {TZipItem("old.txt", "old")});
    const std::string stub = StubArchiver(f.Dir, status);
    f.Open("a.zip");
    f.Left()->Browser.OnArchiveParameters = [&stub](int, int mode, int, std::string& text) {
      text = stub + (mode == amDelete ? " d % @" : " a % @");
    };
    // Copy from the right panel into the archive shown on the left.
    f.Form.SetActive(TPanelSide::Right, false);
    TFPanel* source = f.Form.RightPanel();
    source->ShowCursorAt(0, source->Browser.FindEntry("new.txt") - 1);
    TFormCopy form(&f.Form);
    form.FormActivate();
    EXPECT_EQ(form.Edit2->text().toStdString(), f.Dir.Model() + "d\\a.zip\\");
    form.Button1Click();
    const std::string args = ReadFile(f.Dir.Native("bin/args"));
    EXPECT_EQ(args.substr(0, 2 + f.Dir.Native("d/a.zip").size()), "a\n" + f.Dir.Native("d/a.zip"))
        << status;
    EXPECT_EQ(f.Asker.Errors.size(), status == 0 ? 0u : 1u);
    if (status != 0) {
      EXPECT_TRUE(f.Asker.Errors.front().contains(QStringLiteral("exit status 2")));
      EXPECT_TRUE(f.Asker.Errors.front().contains(QStringLiteral("stub: cannot write")));
    }
    EXPECT_EQ(ReadFile(f.Dir.Native("src/new.txt")), "new file");
  }
}

TEST(ArchivePanel, DeletingInsideAnArchiveGoesToTheArchiverEvenWithTheTrashOn) {
  TArchivePanelFixture f;
  f.Form.Settings.DelToRecycle = true;
  f.Zip("a.zip", {TZipItem("old.txt", "old")});
  const std::string stub = StubArchiver(f.Dir, 0);
  f.Open("a.zip");
  f.Left()->Browser.OnArchiveParameters = [&stub](int, int, int, std::string& text) {
    text = stub + " d % @";
  };
  f.Left()->ShowCursorAt(0, f.Left()->Browser.FindEntry("old.txt") - 1);
  f.Form.RunCommand("Delete");
  EXPECT_EQ(ReadFile(f.Dir.Native("bin/args")).substr(0, 2), "d\n");
  EXPECT_TRUE(f.Asker.Errors.empty());
}

TEST(ArchivePanel, AWindowWaitsForTheArchiverAndItsCancelEndsIt) {
  // Cancel, Esc and the close button each end an archiver that would sleep for a minute; the
  // window stays, saying so, until it has ended, and the panel is usable afterwards.
  enum THow { Click, Escape, Close };
  for (const THow how : {Click, Escape, Close}) {
    TArchivePanelFixture f;
    f.Zip("a.zip", {TZipItem("old.txt", "old")});
    const std::string slow = f.Dir.Native("bin/slowarc");
    f.Dir.Folder("bin");
    test::WriteFile(slow, "#!/bin/sh\nexec /bin/sleep 60\n");
    ::chmod(slow.c_str(), 0755);
    f.Open("a.zip");
    f.Left()->Browser.OnArchiveParameters = [&slow](int, int, int, std::string& text) {
      text = slow + " d % @";
    };
    f.Left()->ShowCursorAt(0, f.Left()->Browser.FindEntry("old.txt") - 1);

    QString shownText;
    bool stayedAfterCancel = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* form = qobject_cast<TFormArchiverWait*>(window);
        if (!form || !form->isVisible())
          continue;
        if (form->CancelAsked())
          continue; // asked already; the archiver is being ended
        shownText = form->Label1->text();
        EXPECT_TRUE(form->isModal());
        if (how == Click) {
          form->Button1->click();
        } else if (how == Escape) {
          QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
          QCoreApplication::sendEvent(form, &press);
        } else {
          form->close();
        }
        stayedAfterCancel = form->CancelAsked() && form->isVisible();
      }
    });
    poll.start();
    QElapsedTimer clock;
    clock.start();
    f.Form.RunCommand("Delete");
    poll.stop();

    EXPECT_LT(clock.elapsed(), 30000) << how;
    EXPECT_TRUE(shownText.contains(QStringLiteral("a.zip"))) << how << shownText.toStdString();
    EXPECT_TRUE(stayedAfterCancel) << how;
    for (QWidget* window : QApplication::topLevelWidgets())
      EXPECT_FALSE(qobject_cast<TFormArchiverWait*>(window)) << "the window is gone";
    ASSERT_EQ(f.Asker.Errors.size(), 1u) << how;
    EXPECT_TRUE(f.Asker.Errors.front().contains(
        QStringLiteral("\" was cancelled; the archive is as it left it.")))
        << f.Asker.Errors.front().toStdString();
    EXPECT_EQ(Names(f.Left()), (std::vector<std::string>{"..", "old.txt"}));
    f.Open("..");
    EXPECT_EQ(f.Left()->Browser.SourceKind(), skFolder);
    EXPECT_EQ(f.CursorName(), "a.zip");
  }
}

TEST(ArchivePanel, TheRealArchiverAddsToAZipShownInAPanel) {
  if (platform::FindOnPath("7zz").empty())
    GTEST_SKIP() << "7zz is not installed";
  // The command lines are those of the arc.ini the program ships.
  test::TProgramFolder home;
  home.Ship("arc.ini");
  TArchivePanelFixture f;
  f.Zip("a.zip", {TZipItem("old.txt", "old")});
  f.Open("a.zip");
  f.Form.SetActive(TPanelSide::Right, false);
  TFPanel* source = f.Form.RightPanel();
  source->ShowCursorAt(0, source->Browser.FindEntry("new.txt") - 1);
  TFormCopy form(&f.Form);
  form.FormActivate();
  form.Button1Click();
  EXPECT_TRUE(f.Asker.Errors.empty())
      << (f.Asker.Errors.empty() ? "" : f.Asker.Errors.front().toStdString());
  EXPECT_EQ(Names(f.Left()), (std::vector<std::string>{"..", "new.txt", "old.txt"}));
  EXPECT_TRUE(fs::exists(f.Dir.Native("src/new.txt")));
}

} // namespace
} // namespace corvane
