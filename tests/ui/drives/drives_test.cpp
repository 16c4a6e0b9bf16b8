#include "drives/drive_items.h"
#include "drives/form_drive.h"
#include "drives/my_drives.h"
#include "drives/my_tool_bar.h"
#include "main/asker.h"
#include "main/colors.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/drive_probe.h"
#include "platform/drive_table.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "window_part.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

namespace corvane {
namespace {

using test::TTempFolder;
using test::WriteFile;

const char* const RootLine = "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n";

// A machine with a floppy drive without a disk (A), the root (C), an empty CD-ROM drive (D) and
// a network share (F, mounted on a folder of the test), and a main window over it whose left
// panel is active and shows a folder "etc" on C.
struct TDrivesFixture {
  TDrivesFixture() {
    Machine.File("sys/block/fd0/dev");
    WriteFile(Machine.Native("sys/block/fd0/dev"), "2:0\n");
    Machine.File("sys/block/sr0/dev");
    WriteFile(Machine.Native("sys/block/sr0/dev"), "11:0\n");
    Machine.Folder("by-label");
    Share = Machine.Folder("share");
    Machine.File("share/on-the-share.txt");
    WriteFile(Machine.Native("drives.ini"), "[Drives]\nD=sr0;cdrom\nF=" + Share + ";remote\n");
    Mounts("");
    ::setenv("CORVANE_DRIVES", Machine.Path().c_str(), 1);
    platform::TDriveTable::Instance().Reload();

    Program.Folder("program");
    std::filesystem::copy_file(CORVANE_SOURCE_DIR "/data/cv_eng.ini",
                               Program.Native("program/cv_eng.ini"));
    OldHome = std::getenv("CORVANE_HOME");
    ::setenv("CORVANE_HOME", Program.Native("program").c_str(), 1);
    Files.Folder("etc/inside");
    TAsker::Replace(&Asker);

    Form = std::make_unique<TForm1>();
    Form->show();
    for (TFPanel* panel : {Form->LeftPanel(), Form->RightPanel()}) {
      panel->Settings.Path = QString::fromStdString(Files.Model() + "etc");
      panel->InitFromPath();
      panel->LayoutAndPaint();
    }
    Form->activateWindow();
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(Form.get());
    for (const char* name : {"DriveBarLeft", "DriveBarRight"})
      test::Part<TMyToolBar>(*Form, name)->OnBeep = [this] { ++Beeps; };
  }
  ~TDrivesFixture() {
    Form.reset();
    TAsker::Replace(nullptr);
    ::setenv("CORVANE_HOME", OldHome.c_str(), 1);
    ::unsetenv("CORVANE_DRIVES");
    platform::TDriveTable::Instance().Reload();
  }
  // The mount table: the root, the share and the lines given.
  void Mounts(const std::string& lines) {
    WriteFile(Machine.Native("mountinfo.new"),
              RootLine + ("40 28 0:50 / " + Share + " rw - nfs4 server:/export rw\n") + lines);
    std::filesystem::rename(Machine.Native("mountinfo.new"), Machine.Native("mountinfo"));
  }
  TMyToolBar* Bar(TPanelSide side) const {
    return test::Part<TMyToolBar>(*Form,
                                  side == TPanelSide::Left ? "DriveBarLeft" : "DriveBarRight");
  }
  TFormDrive* Window() const { return test::Part<TFormDrive>(*Form, "FormDrive"); }
  static std::string Letters(const TDriveLists& lists) {
    return std::string(lists.Letters.begin(), lists.Letters.end());
  }
  static void Send(QWidget* widget, QEvent::Type type, QPoint at,
                   Qt::MouseButton button = Qt::NoButton) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), button,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  }
  static std::string Shown(const TFPanel* panel) {
    return panel->Browser.RootPath() + panel->Browser.RelPath();
  }

  TTempFolder Machine;
  TTempFolder Program;
  TTempFolder Files;
  std::string Share;
  std::string OldHome;
  test::TScriptedAsker Asker;
  std::unique_ptr<TForm1> Form;
  int Beeps = 0;
};

// Whether the letter glyph drawn at a cell of a picture is `letter`: every ink pixel of its glyph
// is black there and every other pixel of the cell the bar's face, and of the other letters
// `others` each has an ink pixel that is not black.
bool GlyphAt(const QImage& shot, QPoint at, char letter, const std::string& others) {
  auto fits = [&](char candidate) {
    const QImage glyph = LetterGlyph(candidate);
    for (int y = 0; y < glyph.height(); ++y)
      for (int x = 0; x < glyph.width(); ++x)
        if (qAlpha(glyph.pixel(x, y)) != 0 && shot.pixel(at + QPoint(x, y)) != 0xFF000000)
          return false;
    return true;
  };
  if (!fits(letter))
    return false;
  // Nothing but the letter in its cell, so that it reads on every picture.
  const QImage glyph = LetterGlyph(letter);
  const QRgb face = ColorFromNumber(colors::BtnFace).rgb();
  for (int y = 0; y < glyph.height(); ++y)
    for (int x = 0; x < glyph.width(); ++x)
      if (qAlpha(glyph.pixel(x, y)) == 0 && shot.pixel(at + QPoint(x, y)) != face)
        return false;
  for (const char other : others)
    if (other != letter && fits(other))
      return false;
  return true;
}

TEST(Drives, BothBarsAndTheWindowListEveryDriveInLetterOrder) {
  TDrivesFixture f;
  for (const TPanelSide side : {TPanelSide::Left, TPanelSide::Right}) {
    TMyToolBar* bar = f.Bar(side);
    ASSERT_EQ(TDrivesFixture::Letters(bar->Drives()), "acdf");
    using K = platform::TDriveKind;
    EXPECT_EQ(bar->Drives().Kinds, (std::vector<K>{K::Removable, K::Fixed, K::CdRom, K::Remote}));
    EXPECT_EQ(bar->width(), 4 * 25 + 6);
    const QImage shot = bar->grab().toImage();
    for (int i = 0; i < 4; ++i)
      EXPECT_TRUE(GlyphAt(shot, QPoint(8 + 25 * i, 15), "acdf"[i], "acdf")) << "button " << i;
    // The buttons under the mouse: ceiling((x + 1) / 25), at most the count.
    EXPECT_EQ(bar->ButtonAt(QPoint(0, 5)), 1);
    EXPECT_EQ(bar->ButtonAt(QPoint(24, 5)), 1);
    EXPECT_EQ(bar->ButtonAt(QPoint(25, 5)), 2);
    EXPECT_EQ(bar->ButtonAt(QPoint(104, 5)), 4);
  }
  TMyDrives* list = f.Window()->List();
  ASSERT_EQ(list->DriveCount(), 4);
  EXPECT_EQ(list->RowTexts(),
            (QStringList{"a: [Floppy]", "c: [No-name]", "d: [CD-ROM]", "f: [No-name]"}));
  EXPECT_EQ(list->RowAt(QPoint(5, 0)), 1);
  EXPECT_EQ(list->RowAt(QPoint(5, 21)), 1);
  EXPECT_EQ(list->RowAt(QPoint(5, 22)), 2);
  EXPECT_EQ(list->RowAt(QPoint(5, 500)), 4);
}

TEST(Drives, HoveringAButtonFramesItAndShowsItsLabelForAboutTwoSeconds) {
  TDrivesFixture f;
  TMyToolBar* bar = f.Bar(TPanelSide::Right);
  const QPoint over(30, 10); // the second button: c
  TDrivesFixture::Send(bar, QEvent::MouseMove, over);
  ASSERT_EQ(bar->HoverButton(), 2);
  EXPECT_TRUE(bar->FrameShown());
  const QImage framed = bar->grab().toImage();
  EXPECT_EQ(framed.pixel(25, 0), 0xFFFFFFFF);                            // white top and left
  EXPECT_EQ(framed.pixel(49, 24), 0xFF808080);                           // grey bottom and right
  EXPECT_EQ(framed.pixel(0, 0), ColorFromNumber(colors::BtnFace).rgb()); // the first has none

  bar->ShowTimerTimer();
  QLabel* hint = test::Part<QLabel>(*f.Form, "DriveHint");
  ASSERT_TRUE(hint->isVisible());
  EXPECT_EQ(hint->text(), QStringLiteral("c: [No name]"));
  EXPECT_EQ(hint->width(), hint->fontMetrics().horizontalAdvance(hint->text()) + 6);
  EXPECT_EQ(hint->x(), bar->mapTo(hint->parentWidget(), over).x() + 5);
  EXPECT_EQ(hint->y(), f.Form->LeftPanel()->y() + 1);
  // Twenty ticks keep it; a mouse move starts the count again; the twenty-first tick hides it.
  for (int i = 0; i < 15; ++i)
    bar->HideTimerTimer();
  TDrivesFixture::Send(bar, QEvent::MouseMove, over + QPoint(1, 0));
  for (int i = 0; i < 20; ++i)
    bar->HideTimerTimer();
  EXPECT_TRUE(hint->isVisible());
  bar->HideTimerTimer();
  EXPECT_FALSE(hint->isVisible());
  EXPECT_FALSE(bar->FrameShown());

  // Leaving the bar takes label and frame away at once.
  TDrivesFixture::Send(bar, QEvent::MouseMove, QPoint(80, 10));
  bar->ShowTimerTimer();
  EXPECT_EQ(hint->text(), QStringLiteral("f: [No name]"));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(bar, &leave);
  EXPECT_FALSE(hint->isVisible());
  EXPECT_FALSE(bar->FrameShown());
  EXPECT_EQ(bar->HoverButton(), 0);
}

TEST(Drives, ABarClickOnADriveThatIsNotReadyBeepsAndLeavesThePanel) {
  TDrivesFixture f;
  TMyToolBar* bar = f.Bar(TPanelSide::Left);
  TFPanel* panel = f.Form->LeftPanel();
  const std::string before = TDrivesFixture::Shown(panel);
  QLabel* hint = nullptr;
  for (const int button : {3, 1}) { // the empty CD, the floppy without a disk
    TDrivesFixture::Send(bar, QEvent::MouseMove, QPoint(25 * button - 15, 10));
    TDrivesFixture::Send(bar, QEvent::MouseButtonPress, QPoint(25 * button - 15, 10),
                         Qt::LeftButton);
    hint = test::Part<QLabel>(*f.Form, "DriveHint");
    EXPECT_TRUE(hint->isVisible()) << button;
    EXPECT_EQ(hint->text(), QStringLiteral("Drive is not ready")) << button;
    EXPECT_EQ(hint->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::ToolTipBase));
    EXPECT_EQ(TDrivesFixture::Shown(panel), before);
  }
  EXPECT_EQ(f.Beeps, 2);
  // The text stays while the mouse stays on the button; the show timer does not replace it.
  bar->ShowTimerTimer();
  EXPECT_EQ(hint->text(), QStringLiteral("Drive is not ready"));

  // A ready drive: the bar's panel goes to its root, the other panel stays.
  TDrivesFixture::Send(bar, QEvent::MouseButtonPress, QPoint(90, 10), Qt::LeftButton);
  EXPECT_FALSE(hint->isVisible());
  EXPECT_EQ(TDrivesFixture::Shown(panel), "F:\\");
  EXPECT_EQ(panel->Browser.Cursor, 1);
  EXPECT_EQ(panel->Browser.EntryName(1), "on-the-share.txt");
  EXPECT_EQ(TDrivesFixture::Shown(f.Form->RightPanel()), f.Files.Model() + "etc\\");
  EXPECT_EQ(f.Beeps, 2);
}

TEST(Drives, TheWindowOpensBesideItsPanelOnThePanelsDrive) {
  TDrivesFixture f;
  TFormDrive* window = f.Window();
  EXPECT_FALSE(window->isVisible());
  struct Case {
    const char* Command;
    TPanelSide Side;
    Qt::WindowModality Modality;
  };
  for (const Case& c : {Case{"ChangeDriveLeft", TPanelSide::Left, Qt::NonModal},
                        Case{"ChangeDriveRight", TPanelSide::Right, Qt::ApplicationModal},
                        Case{"ChangeDrive", TPanelSide::Left, Qt::NonModal}}) {
    f.Form->RunCommand(c.Command);
    ASSERT_TRUE(window->isVisible()) << c.Command;
    EXPECT_EQ(window->TargetSide, c.Side) << c.Command;
    EXPECT_EQ(window->windowModality(), c.Modality) << c.Command;
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Change drive"));
    EXPECT_EQ(window->List()->CurrentRow(), 2) << c.Command; // c, where the panels are
    const int left =
        c.Side == TPanelSide::Left ? f.Form->x() + 60 : f.Form->x() + f.Form->width() / 2 + 40;
    EXPECT_EQ(window->pos(), QPoint(left, f.Form->y() + 140)) << c.Command;
    EXPECT_EQ(window->List()->height(), 4 * 22 + 2);
    window->hide();
  }
  // A right press on a panel's path line opens it for that panel; losing the focus closes it.
  TFPanel* right = f.Form->RightPanel();
  TDrivesFixture::Send(right, QEvent::MouseButtonPress, QPoint(40, 8), Qt::RightButton);
  ASSERT_TRUE(window->isVisible());
  EXPECT_EQ(window->TargetSide, TPanelSide::Right);
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(window, &deactivate);
  EXPECT_FALSE(window->isVisible());
}

TEST(Drives, KeysMoveRoundTheRowsAndALetterChoosesItsDriveAtOnce) {
  TDrivesFixture f;
  TFormDrive* window = f.Window();
  struct Case {
    int StartRow;
    Qt::Key Key;
    int Row;
  };
  for (const Case& c : {Case{1, Qt::Key_Up, 4}, Case{1, Qt::Key_Left, 4}, Case{4, Qt::Key_Down, 1},
                        Case{4, Qt::Key_Right, 1}, Case{2, Qt::Key_Down, 3}, Case{3, Qt::Key_Up, 2},
                        Case{3, Qt::Key_Home, 1}, Case{2, Qt::Key_End, 4}}) {
    f.Form->ChangeDrive(TPanelSide::Right);
    window->List()->SetCurrentRow(c.StartRow);
    QTest::keyClick(window->List(), c.Key);
    EXPECT_EQ(window->List()->CurrentRow(), c.Row) << c.StartRow << " " << c.Key;
    EXPECT_TRUE(window->isVisible());
  }
  // Typing d chooses the empty CD at once: refused, the window stays on its row.
  QTest::keyClick(window->List(), Qt::Key_D);
  EXPECT_EQ(window->List()->CurrentRow(), 3);
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_EQ(f.Asker.Errors[0], QStringLiteral("Drive is not ready"));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(TDrivesFixture::Shown(f.Form->RightPanel()), f.Files.Model() + "etc\\");
  // A letter no drive has does nothing; f chooses the share and closes the window.
  QTest::keyClick(window->List(), Qt::Key_Q);
  EXPECT_TRUE(window->isVisible());
  QTest::keyClick(window->List(), Qt::Key_F);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(TDrivesFixture::Shown(f.Form->RightPanel()), "F:\\");
  // Esc closes without choosing.
  f.Form->ChangeDrive(TPanelSide::Right);
  QTest::keyClick(window->List(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(TDrivesFixture::Shown(f.Form->RightPanel()), "F:\\");
}

TEST(Drives, TheInactivePanelPutOnTheActivePanelsDriveOpensItsFolder) {
  TDrivesFixture f;
  TFPanel* left = f.Form->LeftPanel();
  TFPanel* right = f.Form->RightPanel();
  right->Settings.Path = QStringLiteral("F:\\");
  right->InitFromPath();
  right->SetViewMode(TFPanel::vmInfo);
  ASSERT_TRUE(left->Active);
  const std::string folder = f.Files.Model() + "etc\\";
  ASSERT_EQ(TDrivesFixture::Shown(left), folder);

  TFormDrive* window = f.Window();
  f.Form->ChangeDrive(TPanelSide::Right);
  window->ChooseRow(2); // c
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(TDrivesFixture::Shown(right), folder);
  EXPECT_EQ(right->ViewMode, TFPanel::vmBrief); // back from the information page
  EXPECT_EQ(right->Settings.Columns, 3);
  EXPECT_EQ(right->Browser.Cursor, 1);

  // The active panel itself, or another drive, goes to the drive's root.
  f.Form->ChangeDrive(TPanelSide::Left);
  window->ChooseRow(2);
  EXPECT_EQ(TDrivesFixture::Shown(left), "C:\\");
  f.Form->ChangeDrive(TPanelSide::Right);
  window->ChooseRow(4);
  EXPECT_EQ(TDrivesFixture::Shown(right), "F:\\");
}

// A query that never comes back until released, as statvfs on a dead network mount.
struct THungQuery {
  std::mutex Mutex;
  std::condition_variable Opened;
  bool Open = false;
  std::atomic<int> Calls{0};
  bool Query(const std::string&, platform::TDriveFigures&) {
    ++Calls;
    std::unique_lock lock(Mutex);
    Opened.wait(lock, [&] { return Open; });
    return true;
  }
  void Release() {
    {
      std::lock_guard lock(Mutex);
      Open = true;
    }
    Opened.notify_all();
  }
};

// A clock whose bounded waits end at once: the probe's timeout passes without anyone waiting.
struct TPassingClock final : platform::TClock {
  TimePoint Now() override { return Current; }
  bool WaitUntil(std::condition_variable&, std::unique_lock<std::mutex>&, TimePoint deadline,
                 const std::function<bool()>& ready) override {
    if (!ready())
      Current = deadline;
    return ready();
  }
  TimePoint Current{};
};

TEST(Drives, AProbeThatNeverAnswersLeavesTheWindowWorkingAndTheDriveNotReady) {
  TDrivesFixture f;
  THungQuery hung;
  TPassingClock clock;
  auto probe = std::make_shared<platform::TDriveProbe>(
      [&](const std::string& folder, platform::TDriveFigures& out) {
        return hung.Query(folder, out);
      },
      clock);
  platform::TDriveProbe::SetGlobal(probe);

  TFormDrive* window = f.Window();
  f.Form->ChangeDrive(TPanelSide::Right);
  window->List()->SetCurrentRow(4);
  QTest::keyClick(window->List(), Qt::Key_Return);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(f.Asker.Errors.size(), 1u);
  // The window still answers keys, and asking again does not wait for the hung question.
  QTest::keyClick(window->List(), Qt::Key_Up);
  EXPECT_EQ(window->List()->CurrentRow(), 3);
  QTest::keyClick(window->List(), Qt::Key_F);
  EXPECT_EQ(f.Asker.Errors.size(), 2u);
  // The bar refuses it the same way.
  TDrivesFixture::Send(f.Bar(TPanelSide::Left), QEvent::MouseButtonPress, QPoint(90, 10),
                       Qt::LeftButton);
  EXPECT_EQ(f.Beeps, 1);
  EXPECT_EQ(TDrivesFixture::Shown(f.Form->RightPanel()), f.Files.Model() + "etc\\");
  EXPECT_EQ(TDrivesFixture::Shown(f.Form->LeftPanel()), f.Files.Model() + "etc\\");
  // One question went to the file system, however often it was asked (the worker may start late).
  for (int i = 0; i < 1000 && hung.Calls == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(hung.Calls, 1);

  hung.Release();
  for (int i = 0; i < 1000 && probe->InFlight(f.Share); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  platform::TDriveProbe::SetGlobal(nullptr);
}

TEST(Drives, AVolumeMountedWhileTheProgramRunsAppearsInBothBarsAndTheWindow) {
  TDrivesFixture f;
  const std::string disk = f.Machine.Folder("disk");
  f.Machine.Link("by-label/MY\\x20DATA", "../../sdc1");
  f.Mounts("61 28 8:33 / " + disk + " rw - ext4 /dev/sdc1 rw\n");
  for (const TPanelSide side : {TPanelSide::Left, TPanelSide::Right})
    QTRY_COMPARE_WITH_TIMEOUT(TDrivesFixture::Letters(f.Bar(side)->Drives()), std::string("acdef"),
                              10000);
  EXPECT_EQ(f.Bar(TPanelSide::Left)->width(), 5 * 25 + 6);
  ASSERT_EQ(f.Window()->List()->DriveCount(), 5);
  EXPECT_EQ(f.Window()->List()->RowTexts()[3], QStringLiteral("e: [My data]"));

  // Unmounted again, the fixed disk gives its letter up.
  f.Mounts("");
  QTRY_COMPARE_WITH_TIMEOUT(TDrivesFixture::Letters(f.Bar(TPanelSide::Right)->Drives()),
                            std::string("acdf"), 10000);
  EXPECT_EQ(f.Window()->List()->DriveCount(), 4);
}

} // namespace
} // namespace corvane
