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

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

class TFolderMonitor;

class TFPanel final : public QWidget {
  Q_OBJECT

public:
  enum TViewMode { vmBrief = 1, vmInfo = 2, vmFull = 3, vmQuickView = 4 };

  TFPanel(QWidget* parent, const QString& side);
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
  // Re-reads the folder keeping marks and cursor entry, and repaints.
  void ReReadAfterChange();

  void StartMonitor();
  void StopMonitor();
  void SetMonitorFolder(const std::string& nativeFolder);
  bool MonitorActive() const;
  TFolderMonitor& Monitor() { return *FolderMonitor; }

  // Brief and full mode toggle each other.
  void SetViewMode(int mode);

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

  QString Side;
  bool Active = false;
  int ViewMode = vmBrief;
  int ListMode = vmBrief;
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

  std::function<void(const QString& word)> OnActive;
  std::function<void(const std::string& path)> OnFileWork;
  std::function<void(const QString& side)> OnChangeDrive;
  std::function<void(int index)> OnChangeFilePos;
  std::function<void(const QString& side)> OnChangeFolder;
  std::function<void(const std::string& name)> OnFileEntered;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

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

  QPixmap Pixmap;
  TPanelGeometry Layout;
  TTypeIconSet ListIcons;
  TTypeIconSet CursorIcons;
  int ThumbPosition = -1;
  std::unique_ptr<TFolderMonitor> FolderMonitor;
};

} // namespace corvane
