#include "main/colors.h"
#include "panels/file_panel.h"
#include "panels/folder_monitor.h"
#include "panels/panel_layout.h"
#include "temp_folder.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::TTempFolder;

// A panel over a real temporary folder, laid out at a given size.
struct TPanelFixture {
  TPanelFixture(int width, int height, TViewMode mode = TFPanel::vmBrief)
      : Panel(nullptr, TPanelSide::Left) {
    Panel.ApplyDefaults();
    Panel.SetViewMode(mode);
    Panel.Active = true;
    Panel.resize(width, height);
  }
  void Open() {
    Panel.Settings.Path = QString::fromStdString(Dir.Model());
    Panel.InitFromPath();
    Panel.LayoutAndPaint();
  }
  QColor Pixel(int x, int y) const { return Panel.Canvas().toImage().pixelColor(x, y); }

  TTempFolder Dir;
  TFPanel Panel;
};

TEST(PanelLayout, HeaderAndInformationHeightsFollowTheLength) {
  struct Case {
    int Length;
    int TextHeightOfC;
    int Top;
    int Info;
    int InfoLine;
  };
  for (const Case& c : {Case{8, 13, 25, 38, 13}, Case{6, 9, 18, 24, 9}, Case{10, 15, 22, 40, 15},
                        Case{12, 17, 26, 48, 18}, Case{9, 13, 20, 36, 14}})
    EXPECT_EQ(std::make_tuple(TopAreaFor(c.Length, c.TextHeightOfC), InfoAreaFor(c.Length),
                              InfoLineHeightFor(c.Length)),
              std::make_tuple(c.Top, c.Info, c.InfoLine))
        << "length " << c.Length;
  // Halves round to the even neighbour.
  EXPECT_EQ(RoundHalfEven(13.5), 14);
  EXPECT_EQ(RoundHalfEven(16.5), 16);
}

TEST(PanelLayout, PanelMeasuresItsHeaderWithItsFont) {
  TPanelFixture fixture(300, 240);
  fixture.Panel.Settings.Length = 12;
  fixture.Panel.LayoutAndPaint();
  const QFontMetrics metrics(fixture.Panel.font());
  EXPECT_EQ(fixture.Panel.InfoArea, 48);
  EXPECT_GT(fixture.Panel.TopArea, 0);
  EXPECT_NE(fixture.Panel.TopArea, 25);
}

TEST(PanelLayout, ColumnGeometryInBriefAndFullMode) {
  struct Case {
    TViewMode Mode;
    int Step;
    int Width;
    int Rows;
  };
  // 300 x 400: list height 400 - 38 - 25 - 11 = 326, rows (326 - 4) div 16.
  for (const Case& c : {Case{TFPanel::vmBrief, 99, 97, 20}, Case{TFPanel::vmFull, 297, 295, 20}}) {
    TPanelFixture fixture(300, 400, c.Mode);
    fixture.Panel.LayoutAndPaint();
    const TPanelGeometry& g = fixture.Panel.Geometry();
    EXPECT_EQ(g.ColumnStep, c.Step) << static_cast<int>(c.Mode);
    EXPECT_EQ(g.ColumnWidth, c.Width) << static_cast<int>(c.Mode);
    EXPECT_EQ(g.LineHeight, 16) << static_cast<int>(c.Mode);
    EXPECT_EQ(g.RowsPerColumn, c.Rows) << static_cast<int>(c.Mode);
    EXPECT_EQ(g.ListTop, 25);
    EXPECT_EQ(g.InfoTop, 25 + 326);
    EXPECT_EQ(g.ScrollBar, QRect(QPoint(3, 400 - 11 + 2), QPoint(296, 398)));
  }
  // Without the scroll bar the list grows by its 11 pixels.
  TPanelFixture bare(300, 400);
  bare.Panel.Settings.Show_ScrollBar = false;
  bare.Panel.LayoutAndPaint();
  EXPECT_EQ(bare.Panel.Geometry().InfoTop, 25 + 337);
  EXPECT_TRUE(bare.Panel.Geometry().ScrollBar.isEmpty());
}

TEST(PanelLayout, PlaceCursorScrollsTheEntryToTheLastCell) {
  // 240 high: (240 - 38 - 25 - 11 - 4) div 16 = 10 rows of 3 columns.
  TPanelFixture fixture(300, 240);
  fixture.Panel.LayoutAndPaint();
  ASSERT_EQ(fixture.Panel.Geometry().RowsPerColumn, 10);
  struct Case {
    int Index;
    int Top;
    int Offset;
    int Column;
    int Row;
  };
  for (const Case& c : {Case{40, 10, 29, 3, 10}, Case{30, 0, 29, 3, 10}, Case{1, 0, 0, 1, 1},
                        Case{12, 0, 11, 2, 2}}) {
    fixture.Panel.PlaceCursor(c.Index);
    fixture.Panel.SyncCursorCell();
    EXPECT_EQ(std::make_tuple(fixture.Panel.TopIndex, fixture.Panel.CursorOffset,
                              fixture.Panel.CursorColumn, fixture.Panel.CursorRow),
              std::make_tuple(c.Top, c.Offset, c.Column, c.Row))
        << "index " << c.Index;
  }
  EXPECT_EQ(fixture.Panel.CursorCell, QPoint(3 + 99, 25 + 16 + 2));
}

TEST(PanelLayout, NameColumnStopsThirtyPixelsShortOfTheEdge) {
  EXPECT_EQ(ClampNameColumn(500, 300), 270);
  EXPECT_EQ(ClampNameColumn(127, 300), 127);
  // The painted separator stands where the clamp puts it.
  TPanelFixture fixture(300, 240, TFPanel::vmFull);
  fixture.Panel.Settings.Stolbik_File = 500;
  fixture.Dir.File("a.txt");
  fixture.Open();
  const QColor frame = ColorFromNumber(fixture.Panel.Settings.LineColor);
  const int y = fixture.Panel.Geometry().ListTop + 40;
  EXPECT_EQ(fixture.Pixel(270, y), frame);
  EXPECT_NE(fixture.Pixel(280, y), frame);
}

TEST(PanelLayout, NumbersAreGroupedByThousands) {
  struct Case {
    uint64_t Value;
    const char* Grouped;
    const char* Size;
  };
  for (const Case& c : {Case{0, "", "Empty"}, Case{999, "999", "0 Kb"}, Case{1234, "1,234", "1 Kb"},
                        Case{2500000, "2,500,000", "2 Mb"},
                        Case{1234567890123, "1,234,567,890,123", "1,234,567 Mb"}}) {
    EXPECT_EQ(FormatThousands(c.Value), QString::fromLatin1(c.Grouped));
    EXPECT_EQ(FormatSize(c.Value), QString::fromLatin1(c.Size));
  }
}

TEST(FilePanel, DefaultsGiveBriefLeftAndFullRight) {
  TFPanel left(nullptr, TPanelSide::Left);
  TFPanel right(nullptr, TPanelSide::Right);
  left.ApplyDefaults();
  right.ApplyDefaults();
  EXPECT_EQ(left.ViewMode, TFPanel::vmBrief);
  EXPECT_EQ(left.Settings.Columns, 3);
  EXPECT_EQ(right.ViewMode, TFPanel::vmFull);
  EXPECT_EQ(right.Settings.Columns, 1);
  EXPECT_EQ(left.Settings.SortMode, smExtension);
  EXPECT_EQ(left.Settings.Path, QStringLiteral("c:\\"));
}

TEST(FilePanel, MissingDriveStartsOnTheRootOfC) {
  TFPanel panel(nullptr, TPanelSide::Left);
  panel.ApplyDefaults();
  panel.Settings.Path = QStringLiteral("x:\\games");
  panel.InitFromPath();
  EXPECT_EQ(panel.Browser.RootPath(), "C:\\");
  EXPECT_EQ(panel.Browser.RelPath(), "");
}

TEST(FilePanel, PaintsEntriesCursorBarAndClearsTheRestOfTheGrid) {
  TPanelFixture fixture(300, 240);
  for (int i = 0; i < 6; ++i)
    fixture.Dir.File("f" + std::to_string(i) + ".txt", 100);
  fixture.Open();
  TFPanel& panel = fixture.Panel;
  // ".." plus 6 files fill the first column's 7 cells; the cursor bar sits on the first.
  EXPECT_EQ(panel.Browser.Count(), 7);
  EXPECT_EQ(panel.CurrentName, "..");
  const QColor teal = ColorFromNumber(panel.Settings.PanelSelectFon);
  const QColor navy = ColorFromNumber(panel.Settings.PanelFon);
  const TPanelGeometry& g = panel.Geometry();
  EXPECT_EQ(fixture.Pixel(g.ListLeft + 60, g.ListTop + 3), teal);
  EXPECT_EQ(fixture.Pixel(g.ListLeft + 60, g.ListTop + 2 + 8 * g.LineHeight), navy);
  EXPECT_EQ(fixture.Pixel(g.ListLeft + g.ColumnStep + 60, g.ListTop + 20), navy);

  // Moving the cursor repaints the old cell as a normal entry and updates the model.
  panel.EraseCursor();
  panel.CursorOffset = 3;
  panel.DrawCursor();
  EXPECT_EQ(panel.Browser.Cursor, 4);
  EXPECT_EQ(fixture.Pixel(g.ListLeft + 60, g.ListTop + 3), navy);
  EXPECT_EQ(fixture.Pixel(g.ListLeft + 60, g.ListTop + 3 + 3 * g.LineHeight), teal);
  EXPECT_EQ(panel.CurrentPath, fixture.Dir.Model() + panel.CurrentName);

  // An inactive panel draws no cursor bar.
  panel.Active = false;
  panel.LayoutAndPaint();
  EXPECT_EQ(fixture.Pixel(g.ListLeft + 60, g.ListTop + 3 + 3 * g.LineHeight), navy);
}

// A delay the test ends by hand.
class TManualDelay final : public TDelayTimer {
public:
  void Start(int, std::function<void()> fire) override { Fire = std::move(fire); }
  void Stop() override { Fire = nullptr; }
  bool Pending() const override { return static_cast<bool>(Fire); }
  void Expire() {
    auto fire = std::move(Fire);
    Fire = nullptr;
    if (fire)
      fire();
  }
  std::function<void()> Fire;
};

bool PollUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1000 && !done(); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(FilePanel, ChangesOnDiskAreReReadKeepingMarksAndCursorEntry) {
  TPanelFixture fixture(300, 240);
  for (const char* name : {"b.txt", "d.txt", "f.txt"})
    fixture.Dir.File(name);
  auto delay = std::make_unique<TManualDelay>();
  TManualDelay* manual = delay.get();
  fixture.Panel.Monitor().SetDelayTimer(std::move(delay));
  fixture.Open();
  TFPanel& panel = fixture.Panel;
  panel.StartMonitor();
  ASSERT_TRUE(panel.MonitorActive());
  panel.Browser.ToggleMark(panel.Browser.FindEntry("b.txt"));
  panel.Browser.ToggleMark(panel.Browser.FindEntry("f.txt"));
  panel.EraseCursor();
  panel.CursorOffset = panel.Browser.FindEntry("d.txt") - 1;
  panel.DrawCursor();

  // Another program adds a file that sorts ahead of the cursor entry and removes a marked one.
  fixture.Dir.File("a.txt");
  ASSERT_EQ(::unlink(fixture.Dir.Native("f.txt").c_str()), 0);
  ASSERT_TRUE(PollUntil([&] { return manual->Pending(); }));
  EXPECT_EQ(panel.Browser.FindEntry("a.txt"), 0); // nothing happens before the delay ends
  manual->Expire();

  EXPECT_NE(panel.Browser.FindEntry("a.txt"), 0);
  EXPECT_EQ(panel.CurrentName, "d.txt");
  EXPECT_EQ(panel.Browser.EntryName(panel.Browser.Cursor), "d.txt");
  EXPECT_TRUE(panel.Browser.IsMarked(panel.Browser.FindEntry("b.txt")));
  EXPECT_EQ(panel.Browser.SelectedCount(), 1);
  EXPECT_TRUE(panel.MonitorActive());
}

TEST(FilePanel, AnotherProcessCreatingAFileShowsWithinTheDelay) {
  TPanelFixture fixture(300, 240);
  fixture.Dir.File("old.txt");
  fixture.Open();
  fixture.Panel.StartMonitor();
  const std::string made = fixture.Dir.Native("new.txt");
  ASSERT_EQ(std::system(("touch '" + made + "'").c_str()), 0);
  EXPECT_TRUE(PollUntil([&] { return fixture.Panel.Browser.FindEntry("new.txt") != 0; }));
}

} // namespace
} // namespace corvane
