#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/drive_table.h"
#include "temp_folder.h"
#include "window_part.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace corvane {
namespace {

using test::TTempFolder;

std::string Numbered(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "f%03d.txt", i);
  return name;
}

// A panel of 3 columns by 10 rows over a temporary folder below a root, so that ".." comes first.
struct TGrid {
  explicit TGrid(int files) : Panel(nullptr, TPanelSide::Left) {
    for (int i = 1; i <= files; ++i)
      Dir.File("d/" + Numbered(i));
    Panel.ApplyDefaults();
    Panel.Active = true;
    Panel.Settings.Path = QString::fromStdString(Dir.Model() + "d");
    Panel.InitFromPath();
    Panel.resize(300, 240);
    Panel.LayoutAndPaint();
  }
  std::pair<int, int> At() const { return {Panel.TopIndex, Panel.CursorOffset}; }
  void Put(int top, int offset) { Panel.ShowCursorAt(top, offset); }

  TTempFolder Dir;
  TFPanel Panel;
};

bool PollUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1000 && !done(); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(PanelKeys, CursorMovesOverAGridOfThreeColumnsByTenRows) {
  TGrid grid(99); // ".." and 99 files: 100 entries
  ASSERT_EQ(grid.Panel.Browser.Count(), 100);
  ASSERT_EQ(grid.Panel.Geometry().RowsPerColumn, 10);
  using Op = void (TFPanel::*)();
  struct Case {
    const char* What;
    int Top, Offset;
    Op Operation;
    int WantTop, WantOffset;
  };
  const Case cases[] = {
      {"Down on the last entry", 70, 29, &TFPanel::CursorDown, 70, 29},
      {"Down at the last cell shifts the grid", 0, 29, &TFPanel::CursorDown, 1, 29},
      {"Down inside the grid", 0, 4, &TFPanel::CursorDown, 0, 5},
      {"Up at the first cell scrolls back", 3, 0, &TFPanel::CursorUp, 2, 0},
      {"Up on the first entry", 0, 0, &TFPanel::CursorUp, 0, 0},
      {"PgDn at the last cell", 60, 29, &TFPanel::CursorRight, 70, 29},
      {"PgDn on the last entry", 70, 29, &TFPanel::CursorRight, 70, 29},
      {"Right one column", 0, 5, &TFPanel::CursorRight, 0, 15},
      {"Right in the last column", 0, 25, &TFPanel::CursorRight, 0, 29},
      {"Left one column", 0, 15, &TFPanel::CursorLeft, 0, 5},
      {"Left to the first cell", 0, 5, &TFPanel::CursorLeft, 0, 0},
      {"PgUp at the first cell", 20, 0, &TFPanel::CursorLeft, 10, 0},
      {"PgUp near the top", 5, 0, &TFPanel::CursorLeft, 0, 0},
      {"Home", 50, 10, &TFPanel::CursorHome, 0, 0},
      {"End", 0, 0, &TFPanel::CursorEnd, 70, 29},
  };
  for (const Case& c : cases) {
    grid.Put(c.Top, c.Offset);
    (grid.Panel.*c.Operation)();
    EXPECT_EQ(grid.At(), std::make_pair(c.WantTop, c.WantOffset)) << c.What;
    EXPECT_EQ(grid.Panel.Browser.Cursor, grid.Panel.CursorIndex()) << c.What;
  }
}

TEST(PanelKeys, ShortListsClampToTheLastEntry) {
  TGrid grid(6);
  grid.Put(0, 2);
  grid.Panel.CursorRight();
  EXPECT_EQ(grid.At(), std::make_pair(0, 6));
  grid.Put(0, 0);
  grid.Panel.CursorEnd();
  EXPECT_EQ(grid.At(), std::make_pair(0, 6));
}

TEST(PanelKeys, MarkingSkipsTheUpEntry) {
  TGrid grid(4);
  TFPanel& panel = grid.Panel;
  panel.MarkAndDown(); // on ".."
  EXPECT_EQ(panel.Browser.SelectedCount(), 0);
  EXPECT_EQ(panel.CursorIndex(), 2);
  panel.MarkAndDown();
  EXPECT_TRUE(panel.Browser.IsMarked(2));
  EXPECT_EQ(panel.CursorIndex(), 3);

  // Gray * flips the files below the ".."; with Ctrl, folders too.
  grid.Dir.Folder("d/sub");
  panel.Browser.Refresh();
  panel.InvertMarks(false);
  EXPECT_EQ(panel.MarkedNamesText(), QStringLiteral("f002.txt\nf003.txt\nf004.txt"));
  panel.InvertMarks(true);
  EXPECT_EQ(panel.MarkedNamesText(), QStringLiteral("sub\nf001.txt"));
}

TEST(PanelKeys, InvertAtTheRootCountsTheFirstEntry) {
  TTempFolder dir;
  dir.File("a.txt");
  dir.File("b.txt");
  dir.Folder("c");
  TFPanel panel(nullptr, TPanelSide::Left);
  panel.ApplyDefaults();
  panel.Browser.SortMode = smName;
  panel.Browser.SetRoot(dir.Model(), 0, "");
  panel.resize(300, 240);
  panel.LayoutAndPaint();
  ASSERT_TRUE(panel.Browser.AtRoot());
  panel.InvertMarks(false);
  EXPECT_EQ(panel.MarkedNamesText(), QStringLiteral("a.txt\nb.txt"));
}

void Send(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::MouseButtons held) {
  QMouseEvent event(type, at, to->mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(to, &event);
}

QPoint CellPoint(const TFPanel& panel, int offset) {
  const TPanelGeometry& g = panel.Geometry();
  const int column = offset / g.RowsPerColumn;
  const int row = offset % g.RowsPerColumn;
  return {g.ListLeft + column * g.ColumnStep + 30, g.ListTop + 2 + row * g.LineHeight + 8};
}

TEST(PanelMouse, ClicksRightDragMarkingAndEmptyCells) {
  TGrid grid(6);
  TFPanel& panel = grid.Panel;
  // A click on an empty cell below the last entry puts the cursor on the last entry.
  Send(&panel, QEvent::MouseButtonPress, CellPoint(panel, 15), Qt::LeftButton, Qt::LeftButton);
  Send(&panel, QEvent::MouseButtonRelease, CellPoint(panel, 15), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(panel.CursorIndex(), 7);
  EXPECT_EQ(panel.Browser.Cursor, 7);

  // A right-button drag that starts on a marked file unmarks what it passes and marks nothing.
  panel.Browser.ToggleMark(3);
  panel.Browser.ToggleMark(5);
  Send(&panel, QEvent::MouseButtonPress, CellPoint(panel, 2), Qt::RightButton, Qt::RightButton);
  for (int offset = 3; offset <= 5; ++offset)
    Send(&panel, QEvent::MouseMove, CellPoint(panel, offset), Qt::NoButton, Qt::RightButton);
  Send(&panel, QEvent::MouseButtonRelease, CellPoint(panel, 5), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(panel.Browser.SelectedCount(), 0);

  // Starting on an unmarked entry marks, and never the "..".
  Send(&panel, QEvent::MouseButtonPress, CellPoint(panel, 0), Qt::RightButton, Qt::RightButton);
  Send(&panel, QEvent::MouseMove, CellPoint(panel, 1), Qt::NoButton, Qt::RightButton);
  Send(&panel, QEvent::MouseMove, CellPoint(panel, 2), Qt::NoButton, Qt::RightButton);
  Send(&panel, QEvent::MouseButtonRelease, CellPoint(panel, 2), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(panel.MarkedNamesText(), QStringLiteral("f001.txt\nf002.txt"));
}

TEST(PanelMouse, FullModeColumnsResizeByDraggingTheirBoundary) {
  TGrid grid(3);
  TFPanel& panel = grid.Panel;
  panel.SetViewMode(TFPanel::vmFull);
  const int y = panel.Geometry().ListTop + 30;
  Send(&panel, QEvent::MouseButtonPress, QPoint(127, y), Qt::LeftButton, Qt::LeftButton);
  Send(&panel, QEvent::MouseMove, QPoint(150, y), Qt::NoButton, Qt::LeftButton);
  Send(&panel, QEvent::MouseButtonRelease, QPoint(150, y), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(panel.Settings.Stolbik_File, 150);
  Send(&panel, QEvent::MouseButtonPress, QPoint(150 + 60, y), Qt::LeftButton, Qt::LeftButton);
  Send(&panel, QEvent::MouseMove, QPoint(152, y), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(panel.Settings.Stolbik_FileType, 5);
}

TEST(PanelMouse, ScrollBarPicksTheEntryByPosition) {
  TGrid grid(99);
  TFPanel& panel = grid.Panel;
  const int y = panel.Geometry().ScrollBar.top() + 3;
  struct Case {
    int X;
    int Index;
  };
  // index = round(100 * (x - 12) / (300 - 29)), at least 1
  for (const Case& c : {Case{5, 1}, Case{12 + 271 / 2, 50}, Case{290, 100}}) {
    Send(&panel, QEvent::MouseButtonPress, QPoint(c.X, y), Qt::LeftButton, Qt::LeftButton);
    Send(&panel, QEvent::MouseButtonRelease, QPoint(c.X, y), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(panel.CursorIndex(), c.Index) << c.X;
  }
}

TEST(PanelMouse, ArchiveProgressWindowAppearsFromTheTwoHundredthEntry) {
  TGrid grid(1);
  TFPanel& panel = grid.Panel;
  panel.Browser.OnArchiveReadBegin();
  for (int i = 0; i < 199; ++i)
    panel.Browser.OnArchiveReadEntry();
  EXPECT_EQ(panel.findChild<QDialog*>(QStringLiteral("FormReadArchive")), nullptr);
  panel.Browser.OnArchiveReadEntry();
  auto* progress = panel.findChild<QDialog*>(QStringLiteral("FormReadArchive"));
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(progress->findChild<QLabel*>()->text(), QStringLiteral("200"));
  panel.Browser.OnArchiveReadEnd();
  EXPECT_EQ(panel.findChild<QDialog*>(QStringLiteral("FormReadArchive")), nullptr);
}

TEST(PanelBadInput, FoldersThatVanishOrCannotBeReadLeaveThePanelUsable) {
  TGrid grid(2);
  TFPanel& panel = grid.Panel;
  grid.Dir.Folder("d/gone");
  grid.Dir.Folder("d/kept");
  panel.Browser.Refresh();
  QString error;
  panel.OnError = [&](const QString& text) { error = text; };
  panel.ShowCursorAt(0, panel.Browser.FindEntry("gone") - 1);
  ASSERT_EQ(::rmdir(grid.Dir.Native("d/gone").c_str()), 0);
  panel.OpenCurrent();
  EXPECT_EQ(panel.Browser.RelPath(), grid.Dir.Rel() + "d\\");
  EXPECT_EQ(panel.CursorIndex(), panel.Browser.Cursor);
  EXPECT_TRUE(error.contains(QStringLiteral("gone"))) << error.toStdString();

  // The shown folder removed by another program: the panel moves up to what is still there.
  panel.ShowCursorAt(0, panel.Browser.FindEntry("kept") - 1);
  panel.OpenCurrent();
  ASSERT_EQ(panel.Browser.RelPath(), grid.Dir.Rel() + "d\\kept\\");
  panel.StartMonitor();
  ASSERT_EQ(std::system(("rm -rf '" + grid.Dir.Native("d") + "'").c_str()), 0);
  EXPECT_TRUE(PollUntil([&] { return panel.Browser.RelPath() == grid.Dir.Rel(); }));
  EXPECT_EQ(panel.Browser.FindEntry("d"), 0);
}

// A right press below the list opens the context menu for the cursor entry, which the press does
// not move: never while the cursor is on "..".
TEST(PanelMouse, ARightPressBelowTheListOpensTheMenuOnlyForAnEntry) {
  TGrid grid(3);
  TFPanel& panel = grid.Panel;
  int opened = 0;
  panel.OnContextMenu = [&](QPoint) { ++opened; };
  const QPoint below(20, panel.Geometry().InfoTop + 2);
  ASSERT_TRUE(panel.Geometry().ScrollBar.isEmpty() ||
              below.y() < panel.Geometry().ScrollBar.top() - 3);
  for (const auto& [cursor, menus] : {std::pair{0, 0}, std::pair{2, 1}}) {
    opened = 0;
    grid.Put(0, cursor);
    Send(&panel, QEvent::MouseButtonPress, below, Qt::RightButton, Qt::RightButton);
    Send(&panel, QEvent::MouseButtonRelease, below, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(opened, menus) << panel.Browser.EntryName(panel.CursorIndex());
  }
}

TEST(PanelBadInput, NamesThatAreNotUtf8AreKeptAsBytes) {
  TTempFolder stubs;
  const std::string record = stubs.Native("record");
  std::ofstream(stubs.Native("xdg-open"))
      << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << record << ".tmp'\nmv '" << record << ".tmp' '"
      << record << "'\n";
  stubs.Chmod("xdg-open", 0755);
  const std::string oldPath = std::getenv("PATH");
  ::setenv("PATH", (stubs.Path() + ":" + oldPath).c_str(), 1);

  TGrid grid(0);
  const std::string name = "bad\xff\xfe.doc";
  grid.Dir.File("d/" + name);
  grid.Panel.Browser.Refresh();
  grid.Panel.LayoutAndPaint();
  grid.Panel.ShowCursorAt(0, grid.Panel.Browser.FindEntry(name) - 1);
  EXPECT_EQ(grid.Panel.CurrentName, name);
  grid.Panel.OpenCurrent();
  EXPECT_TRUE(PollUntil([&] { return ::access(record.c_str(), F_OK) == 0; }));
  std::ifstream in(record);
  std::string argument;
  std::getline(in, argument);
  EXPECT_EQ(argument, grid.Dir.Native("d/" + name));
  ::setenv("PATH", oldPath.c_str(), 1);
}

TEST(PanelDrives, CtrlRightSkipsAnEmptyOpticalDrive) {
  TTempFolder machine;
  machine.Folder("e");
  std::ofstream(machine.Native("mountinfo"))
      << "28 1 254:0 / / rw - ext4 /dev/vda rw\n"
      << "60 28 8:33 / " << machine.Native("e") << " rw - ext4 /dev/sdc1 rw\n";
  machine.File("sys/block/sr0/dev");
  std::ofstream(machine.Native("drives.ini")) << "[Drives]\nD=sr0;cdrom\n";
  platform::TDriveTable::Instance().Reload(
      {machine.Native("mountinfo"), machine.Native("sys"), machine.Native("drives.ini"), ""});
  TFPanel panel(nullptr, TPanelSide::Left);
  panel.ApplyDefaults();
  panel.InitFromPath();
  panel.resize(300, 240);
  panel.LayoutAndPaint();
  EXPECT_TRUE(panel.NextReadyDrive(+1));
  EXPECT_EQ(panel.Browser.RootPath(), "E:\\");
  EXPECT_FALSE(panel.NextReadyDrive(+1));
  EXPECT_TRUE(panel.NextReadyDrive(-1));
  EXPECT_EQ(panel.Browser.RootPath(), "C:\\");
  platform::TDriveTable::Instance().Reload();
}

// Keys reach the active panel through the main window, even with the focus in the command line.
TEST(MainFormKeys, KeysGoToTheActivePanelBeforeTheCommandLine) {
  TTempFolder dir;
  for (int i = 1; i <= 5; ++i)
    dir.File("k/" + Numbered(i));
  TForm1 form;
  form.show();
  TFPanel* left = form.LeftPanel();
  left->Settings.Path = QString::fromStdString(dir.Model() + "k");
  left->InitFromPath();
  left->LayoutAndPaint();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  test::Part<QLineEdit>(form, "ComLine")->setFocus();
  struct Case {
    int Key;
    Qt::KeyboardModifiers Modifiers;
    int Index;
    int Marked;
  };
  for (const Case& c :
       {Case{Qt::Key_Down, Qt::NoModifier, 2, 0}, Case{Qt::Key_End, Qt::NoModifier, 6, 0},
        Case{Qt::Key_Home, Qt::NoModifier, 1, 0}, Case{Qt::Key_Insert, Qt::NoModifier, 2, 0},
        Case{Qt::Key_Space, Qt::NoModifier, 3, 1},
        Case{Qt::Key_Asterisk, Qt::KeypadModifier, 3, 4}}) {
    QTest::keyClick(test::Part<QLineEdit>(form, "ComLine"), static_cast<Qt::Key>(c.Key),
                    c.Modifiers);
    EXPECT_EQ(left->CursorIndex(), c.Index) << c.Key;
    EXPECT_EQ(left->Browser.SelectedCount(), c.Marked) << c.Key;
  }
  EXPECT_TRUE(test::Part<QLineEdit>(form, "ComLine")->text().isEmpty());

  // Tab makes the other panel active; Enter on a folder enters it.
  QTest::keyClick(test::Part<QLineEdit>(form, "ComLine"), Qt::Key_Tab);
  EXPECT_EQ(form.ActivePanel(), form.RightPanel());
  QTest::keyClick(test::Part<QLineEdit>(form, "ComLine"), Qt::Key_Tab);
  left->ShowCursorAt(0, 0);
  QTest::keyClick(test::Part<QLineEdit>(form, "ComLine"), Qt::Key_Return);
  EXPECT_EQ(left->Browser.RelPath(), dir.Rel());
  EXPECT_EQ(left->CurrentName, "k");
}

TEST(MainFormKeys, DraggingToTheOtherPanelAsksForACopy) {
  TTempFolder dir;
  for (int i = 1; i <= 3; ++i)
    dir.File("g/" + Numbered(i));
  TForm1 form;
  form.show();
  int copies = 0;
  form.EntryPoints["Copy"] = [&] { ++copies; };
  TFPanel* left = form.LeftPanel();
  left->Settings.Path = QString::fromStdString(dir.Model() + "g");
  left->InitFromPath();
  left->LayoutAndPaint();
  left->Browser.ToggleMark(2);
  left->Browser.ToggleMark(3);
  const QPoint start = CellPoint(*left, 1);
  Send(left, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  Send(left, QEvent::MouseMove, QPoint(left->width() + 20, start.y()), Qt::NoButton,
       Qt::LeftButton);
  auto* label = form.findChild<QLabel*>(QStringLiteral("DragLabel"));
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(label->text(), QStringLiteral("Copy 2 files"));
  Send(left, QEvent::MouseButtonRelease, QPoint(left->width() + 20, start.y()), Qt::LeftButton,
       Qt::NoButton);
  EXPECT_FALSE(label->isVisible());
  EXPECT_EQ(copies, 1);

  // Dragging ".." copies nothing.
  const QPoint up = CellPoint(*left, 0);
  Send(left, QEvent::MouseButtonPress, up, Qt::LeftButton, Qt::LeftButton);
  Send(left, QEvent::MouseMove, QPoint(left->width() + 20, up.y()), Qt::NoButton, Qt::LeftButton);
  Send(left, QEvent::MouseButtonRelease, QPoint(left->width() + 20, up.y()), Qt::LeftButton,
       Qt::NoButton);
  EXPECT_EQ(copies, 1);
}

} // namespace
} // namespace corvane
