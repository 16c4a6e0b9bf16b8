// TFPanel: one file panel: a grid of names over one folder of a file source, a path line above
// and two information lines below.
//
// The panel owns a TBrowser (the listing, the cursor and the marks) and holds what is about the
// view: its settings, the part of the grid that shows (TopIndex and CursorOffset), the layout
// figures, the cursor entry's cache, the drive figures and the folder monitor. It paints into a
// pixmap of its own size and hands only the changed rectangles to the screen, so that a cursor
// move repaints two cells, the first information line and the scroll thumb, never the whole list.
// It tells the main window what happened only through its On... events.
#pragma once

#include "model/browser.h"
#include "panels/panel_layout.h"
#include "panels/panel_settings.h"
#include "panels/type_icons.h"
#include "panels/view_mode.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QTimer;

namespace corvane {

class TFolderMonitor;
class TFormReadArchive;

class TFPanel final : public QWidget {
  Q_OBJECT

public:
  static constexpr TViewMode vmBrief = TViewMode::Brief;
  static constexpr TViewMode vmInfo = TViewMode::Info;
  static constexpr TViewMode vmFull = TViewMode::Full;
  static constexpr TViewMode vmQuickView = TViewMode::QuickView;

  TFPanel(QWidget* parent, TPanelSide side);
  ~TFPanel() override;

  // Every setting and colour back to its default; the left panel in brief mode, the right in full.
  void ApplyDefaults();
  void LoadIcons();
  // Opens Settings.Path as a real folder, or the root of C: when its drive is not ready.
  void InitFromPath();
  // Recomputes the layout and repaints everything.
  void LayoutAndPaint();
  void DrawList();
  void DrawCursor();
  void EraseCursor();
  // All: the path line and the information lines; otherwise the information lines only.
  void DrawInfo(bool all);
  // The frame (with or without the background strips) and the column separators.
  void DrawFrame(bool withBackground);
  void DrawSeparators();
  void SyncCursorCell();
  // Makes entry `index` the cursor entry, scrolling so that it shows.
  void PlaceCursor(int index);
  void UpdateDriveInfo();
  // Re-reads the folder keeping the marks and the cursor entry, and repaints.
  void RefreshKeepingCursor();
  // The folder monitor's re-read: the same, with the monitor off meanwhile.
  void ReReadAfterChange();

  void StartMonitor();
  void StopMonitor();
  void SetMonitorFolder(const std::string& nativeFolder);
  bool MonitorActive() const;
  TFolderMonitor& Monitor() { return *FolderMonitor; }

  // Brief and full mode toggle each other.
  void SetViewMode(TViewMode mode);

  // Cursor and mark operations; the main window's key handler calls them on the active panel.
  void CursorUp();
  void CursorDown();
  void CursorRight();
  void CursorLeft();
  void CursorHome();
  void CursorEnd();
  void MarkAndDown();
  // Every file (with folders too: every entry) changes its mark; ".." never.
  void InvertMarks(bool withFolders);
  void GoUpFolder();
  void GoDriveRoot();
  void ToggleHidden();
  void ToggleIcons();
  // The next ready drive to the left (-1) or right (+1); false when there is none.
  bool NextReadyDrive(int direction);
  // The names of the marked entries, one per line.
  QString MarkedNamesText() const;
  // Enter or double click on the cursor entry: enter a folder or archive, or open a file.
  void OpenCurrent();
  // One step of the auto-scroll timers (down: +1, up: -1).
  void AutoScrollTick(int direction);
  // The offset of the grid cell under a point of the list area (the last entry past the end).
  int OffsetAt(QPoint point) const;
  // Shows the cursor at a grid position, repainting only what changed.
  void ShowCursorAt(int topIndex, int offset);

  QColor FileColorFor(const TFileEntry& entry) const;
  QColor HiddenColorFor(const TFileEntry& entry) const;

  // The index of the cursor entry as the grid places it.
  int CursorIndex() const { return TopIndex + CursorOffset + 1; }
  const TPanelGeometry& Geometry() const { return Layout; }
  const QPixmap& Canvas() const { return Pixmap; }

  TPanelSettings Settings;
  TPanelWords Words;
  // The file-colour table: the colour number for a lower-cased ".ext", hidden or not.
  std::function<std::optional<uint32_t>(const std::string& dotExt, bool hidden)> FileColorLookup;
  bool AmericanDates = false;

  TPanelSide Side;
  bool Active = false;
  TViewMode ViewMode = vmBrief;
  TViewMode ListMode = vmBrief; // the last list mode (brief or full), restored after the others
  TBrowser Browser;
  int TopIndex = 0;
  int CursorOffset = 0;
  int CursorColumn = 1;
  int CursorRow = 1;
  QPoint CursorCell;
  int TopArea = 25;
  int InfoArea = 38;
  int ScrollBarHeight = 11;
  std::string CurrentName;
  std::string CurrentPath;
  uint64_t FreeBytes = 0;
  uint64_t DriveBytes = 0;
  std::string ArchiveTypeName;
  bool MouseCaptured = false; // a mouse press is being captured: drawing leaves Cursor alone

  std::function<void()> OnActive;
  std::function<void(const std::string& path)> OnFileWork;
  // Copies the cursor entry of the shown archive to a temporary file: its model path, or nothing
  // when that failed (the user was told).
  std::function<std::optional<std::string>()> OnGetArcFile;
  std::function<void(TPanelSide side)> OnChangeDrive;
  std::function<void(int index)> OnChangeFilePos;
  std::function<void(TPanelSide side)> OnChangeFolder;
  std::function<void(const std::string& name)> OnFileEntered;
  // A program was started from the panel: its name and full path, for the command history.
  std::function<void(const std::string& name, const std::string& path)> OnProgramRun;
  // A ".dll" was opened: the resource explorer shows it.
  std::function<void(const std::string& path)> OnOpenResources;
  // A folder was entered: its full path, for the folder history.
  std::function<void(const std::string& path)> OnFolderEntered;
  // Something the user asked for failed; the text says what and why.
  std::function<void(const QString& text)> OnError;
  // Reading an archive takes the keys away from the main window meanwhile.
  std::function<void(bool on)> OnKeyPreview;
  // Any mouse press: the main window closes its transient boxes.
  std::function<void()> OnMousePress;
  // The file context menu at a point of the screen.
  std::function<void(QPoint globalPoint)> OnContextMenu;
  // A drag from this panel was dropped on the other one; the argument is the pressed entry.
  std::function<void(const std::string& pressedName)> OnDragDrop;

  // Main-window settings the panel acts on.
  bool OnEnterViewPic = true;
  bool RightClickForPopup = false;
  bool OldDrag = false;

  // Shows a folder (relative to the root of a source: the one shown, or for a real folder on
  // `root` a new one) with the cursor on the entry of exactly that name, or on the first entry:
  // 0, or the system's reason when the folder cannot be listed (the panel stays where it was).
  // EXDEV when the folder is in an archive the panel no longer shows.
  int ShowFolderAt(const std::string& root, uint8_t kind, const std::string& relFolder,
                   const std::string& name);
  // Forgets a press or drag in progress, as after a modal window took the mouse: no drag
  // starts from it and no release acts on it.
  void CancelMouseGesture();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  int Columns() const { return ViewMode == vmFull ? 1 : std::max(Settings.Columns, 1); }
  int NameColumnRight() const { return ClampNameColumn(Settings.Stolbik_File, width()); }
  QFont ListFont(bool bold) const;
  QRect CellRect(int offset) const;
  void PaintEntry(int offset, bool underCursor);
  void PaintThumb(bool erase);
  void PaintFirstInfoLine();
  void PaintSecondInfoLine();
  QString DateText(const TSystemTime& time, bool withTime) const;
  std::string NativeShownFolder() const;

  enum TGesture { gsIdle, gsLeftPress, gsDragging, gsMarking, gsResizing, gsThumb };
  void AfterFolderChange();
  int ColumnBoundaryAt(int x) const;
  void ThumbTo(int x);
  void LeftPressMove(QPoint point);
  void EndGesture();
  void ShowDragLabel(QPoint point);
  void StartAutoScroll(int direction);
  std::string NativeOf(const std::string& modelPath) const;

  TGesture Gesture = gsIdle;
  int MarkDirection = 0; // marking drag: +1 marks, -1 unmarks, 0 undecided
  int ResizedBoundary = 0;
  QPoint PressPoint;
  std::string PressedName;
  bool IgnoreNextMove = false;
  QLabel* DragLabel = nullptr;
  QTimer* ScrollDown = nullptr;
  QTimer* ScrollUp = nullptr;
  int ArchiveEntriesRead = 0;
  std::unique_ptr<TFormReadArchive> ReadProgress;
  QPixmap Pixmap;
  TPanelGeometry Layout;
  TTypeIconSet ListIcons;
  TTypeIconSet CursorIcons;
  int ThumbPosition = -1;
  std::unique_ptr<TFolderMonitor> FolderMonitor;
};

} // namespace corvane
