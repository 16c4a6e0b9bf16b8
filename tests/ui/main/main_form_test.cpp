#include "main/main_form.h"
#include "panels/file_panel.h"
#include "window_part.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(MainForm, FirstStartWithoutSettings) {
  TForm1 form;
  form.show();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Corvane v1.50"));
  EXPECT_EQ(form.pos(), QPoint(0, 0));
  EXPECT_EQ(form.size(), QSize(640, 453));
  for (TFPanel* panel : {form.LeftPanel(), form.RightPanel()}) {
    EXPECT_EQ(panel->ViewMode, TFPanel::vmBrief);
    EXPECT_EQ(panel->Settings.Columns, 3);
    EXPECT_EQ(panel->Browser.RootPath(), "C:\\");
    EXPECT_EQ(panel->Browser.RelPath(), "");
  }
  EXPECT_TRUE(form.LeftPanel()->Active);
  EXPECT_FALSE(form.RightPanel()->Active);
  EXPECT_EQ(form.ActivePanel(), form.LeftPanel());
  EXPECT_EQ(form.findChild<QSystemTrayIcon*>(), nullptr);
  // Without a language file in the program folder the hot buttons have no captions.
  EXPECT_TRUE(test::Part<QPushButton>(form, "F5")->text().isEmpty());
  EXPECT_TRUE(test::Part<QLineEdit>(form, "ComLine")->isReadOnly());
}

TEST(MainForm, StoredViewStylesAreMendedWhenImpossible) {
  TForm1 form;
  struct Case {
    int Left, Right, WantLeft, WantRight;
  };
  for (const Case& c :
       {Case{1, 3, 1, 3}, Case{2, 2, 1, 2}, Case{5, 1, 1, 1}, Case{3, 9, 1, 1}, Case{4, 2, 4, 2}}) {
    form.ApplyViewStyles(c.Left, c.Right);
    EXPECT_EQ(static_cast<int>(form.LeftPanel()->ViewMode), c.WantLeft) << c.Left << "," << c.Right;
    EXPECT_EQ(static_cast<int>(form.RightPanel()->ViewMode), c.WantRight)
        << c.Left << "," << c.Right;
  }
}

TEST(MainForm, LayoutSharesTheWidthAndPlacesTheBars) {
  TForm1 form;
  form.show();
  const int w = test::Part<QWidget>(form, "ClientArea")->width();
  TFPanel* left = form.LeftPanel();
  TFPanel* right = form.RightPanel();
  EXPECT_EQ(left->x(), 1);
  EXPECT_EQ(left->width(), static_cast<int>(std::lround(w * 0.5)) - 3);
  EXPECT_EQ(right->x(), left->x() + left->width() + form.Settings.SplitterGap);
  EXPECT_EQ(right->x() + right->width(), w - 1);
  EXPECT_EQ(left->y(), test::Part<QWidget>(form, "Panel3")->height() + 3);
  EXPECT_EQ(test::Part<QWidget>(form, "Panel3")->height(), 56);
  EXPECT_EQ(left->y() + left->height(), test::Part<QWidget>(form, "Panel_Down")->y() - 1);
  EXPECT_EQ(test::Part<QWidget>(form, "Panel_Down")->height(), 42);
  EXPECT_EQ(test::Part<QWidget>(form, "StatusBar1")->height(), 19);
  EXPECT_EQ(test::Part<QWidget>(form, "StatusBar1")->y() + 19,
            test::Part<QWidget>(form, "ClientArea")->height());
  // Hot buttons: six of (width - 16) / 7 with gaps of 2, the last stretched to the edge.
  const int each = (w - 16) / 7;
  EXPECT_EQ(test::Part<QPushButton>(form, "F2")->geometry(), QRect(2, 0, each, 23));
  EXPECT_EQ(test::Part<QPushButton>(form, "F8")->x() + test::Part<QPushButton>(form, "F8")->width(),
            w - 2);

  // Without the tool bar and the drive bars the panels move up.
  form.Settings.Show_ToolBar = false;
  form.Settings.Show_DriveBar = false;
  form.ApplyBarSettings();
  EXPECT_EQ(left->y(), 3);
}

TEST(MainForm, SplitterKeepsFortyPixelsAndResetsOnRightClick) {
  TForm1 form;
  form.show();
  const int w = test::Part<QWidget>(form, "ClientArea")->width();
  const int y = form.LeftPanel()->y() + 50;
  form.SplitterPress(Qt::LeftButton, QPoint(w / 2, y));
  ASSERT_TRUE(form.SplitterDragging());
  form.SplitterMove(QPoint(11, y));
  form.SplitterRelease();
  EXPECT_EQ(form.LeftPanel()->width(), 37);
  EXPECT_DOUBLE_EQ(form.SplitRatio, 11.0 / w);
  // The ratio survives a resize, and the minimum still holds.
  form.resize(900, 500);
  EXPECT_EQ(form.LeftPanel()->width(), 37);
  EXPECT_DOUBLE_EQ(form.SplitRatio, 11.0 / w);

  // A press outside the band starts nothing.
  form.SplitterPress(Qt::LeftButton, QPoint(5, y));
  EXPECT_FALSE(form.SplitterDragging());
  // A right click in the band goes back to halves.
  form.SplitterPress(Qt::RightButton, QPoint(100, y));
  EXPECT_DOUBLE_EQ(form.SplitRatio, 0.5);
  EXPECT_EQ(form.LeftPanel()->width(),
            static_cast<int>(std::lround(test::Part<QWidget>(form, "ClientArea")->width() * 0.5)) -
                3);
}

TEST(MainForm, FitToScreenFillsTheWorkArea) {
  TForm1 form;
  form.show();
  form.move(30, 40);
  form.RButClick();
  const QScreen* screen = form.screen();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(form.pos(), QPoint(0, 0));
  EXPECT_EQ(form.width(), screen->geometry().width());
  EXPECT_EQ(form.height(), screen->availableGeometry().height());
}

TEST(MainForm, ClickingTheOtherPanelMakesItActive) {
  TForm1 form;
  form.show();
  form.RightPanel()->OnActive();
  EXPECT_EQ(form.ActiveSide, TPanelSide::Right);
  EXPECT_TRUE(form.RightPanel()->Active);
  EXPECT_FALSE(form.LeftPanel()->Active);
  EXPECT_EQ(form.ActivePanel(), form.RightPanel());
  EXPECT_EQ(form.OtherPanel(), form.LeftPanel());
  form.SetActive(TPanelSide::Left, true);
  EXPECT_TRUE(form.LeftPanel()->Active);
}

} // namespace
} // namespace corvane
