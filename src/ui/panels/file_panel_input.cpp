// The file panel's input: the cursor and mark operations the main window's key handler calls,
// opening the cursor entry, and the panel's own mouse handling (clicks, column resizing, the
// scroll bar, auto-scrolling, right-button marking, dragging to the other panel).
#include "main/colors.h"
#include "main/fonts.h"
#include "model/file_groups.h"
#include "model/path_utils.h"
#include "panels/archive_windows.h"
#include "panels/file_panel.h"
#include "panels/folder_monitor.h"
#include "platform/drive_probe.h"
#include "platform/drive_table.h"
#include "platform/launcher.h"
#include "platform/native_path.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <dirent.h>

#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string LowerExt(const TFileEntry& entry) {
  std::string ext = "." + entry.Ext;
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool OneOf(const std::string& ext, std::initializer_list<const char*> list) {
  for (const char* item : list)
    if (ext == item)
      return true;
  return false;
}

bool IsArchiveExt(const std::string& ext) {
  return OneOf(ext, {".zip", ".gzip", ".gz", ".tar", ".rar", ".lzh", ".lha", ".arc", ".ha", ".cab",
                     ".uue", ".arj"});
}

} // namespace

void TFPanel::ShowCursorAt(int topIndex, int offset) {
  const bool scrolled = topIndex != TopIndex;
  if (!scrolled)
    EraseCursor();
  TopIndex = std::max(topIndex, 0);
  CursorOffset = std::max(offset, 0);
  SyncCursorCell();
  if (scrolled)
    DrawList();
  DrawCursor();
}

void TFPanel::CursorUp() {
  if (ViewMode == vmQuickView || CursorIndex() <= 1)
    return;
  if (CursorOffset == 0 && TopIndex > 0)
    ShowCursorAt(TopIndex - 1, 0);
  else
    ShowCursorAt(TopIndex, CursorOffset - 1);
}

void TFPanel::CursorDown() {
  const int page = Layout.PageSize(Columns());
  if (ViewMode == vmQuickView || CursorIndex() >= Browser.Count() || page <= 0)
    return;
  if (CursorOffset >= page - 1)
    ShowCursorAt(TopIndex + 1, page - 1);
  else
    ShowCursorAt(TopIndex, CursorOffset + 1);
}

void TFPanel::CursorRight() {
  const int page = Layout.PageSize(Columns());
  const int rows = std::max(Layout.RowsPerColumn, 1);
  const int count = Browser.Count();
  if (ViewMode == vmQuickView || CursorIndex() >= count || page <= 0)
    return;
  const int lastOffset = count - TopIndex - 1; // the last entry's offset
  if (CursorOffset / rows < Columns() - 1)
    ShowCursorAt(TopIndex, std::min(CursorOffset + rows, lastOffset));
  else if (CursorOffset < page - 1)
    ShowCursorAt(TopIndex, std::min(page - 1, lastOffset));
  else
    ShowCursorAt(std::min(TopIndex + rows, count - page), CursorOffset);
}

void TFPanel::CursorLeft() {
  const int rows = std::max(Layout.RowsPerColumn, 1);
  if (ViewMode == vmQuickView || Browser.Count() == 0)
    return;
  if (CursorOffset >= rows)
    ShowCursorAt(TopIndex, CursorOffset - rows);
  else if (CursorOffset > 0)
    ShowCursorAt(TopIndex, 0);
  else if (TopIndex > 0)
    ShowCursorAt(std::max(TopIndex - rows, 0), 0);
}

void TFPanel::CursorHome() {
  if (ViewMode == vmQuickView || (TopIndex == 0 && CursorOffset == 0))
    return;
  ShowCursorAt(0, 0);
}

void TFPanel::CursorEnd() {
  const int page = Layout.PageSize(Columns());
  const int count = Browser.Count();
  if (ViewMode == vmQuickView || CursorIndex() >= count || page <= 0)
    return;
  if (count <= page)
    ShowCursorAt(0, count - 1);
  else
    ShowCursorAt(count - page, page - 1);
}

void TFPanel::MarkAndDown() {
  if (ViewMode == vmQuickView || Browser.Count() == 0)
    return;
  Browser.ToggleMark(CursorIndex());
  DrawCursor(); // the mark's colour and the selection summary
  CursorDown();
}

void TFPanel::InvertMarks(bool withFolders) {
  if (ViewMode == vmQuickView)
    return;
  for (int i = Browser.AtRoot() ? 1 : 2; i <= Browser.Count(); ++i)
    if (withFolders || !Browser.IsFolder(i))
      Browser.ToggleMark(i);
  DrawList();
  DrawCursor();
}

void TFPanel::AfterFolderChange() {
  SyncCursorCell();
  DrawList();
  UpdateDriveInfo();
  DrawInfo(false);
  DrawCursor();
  if (OnChangeFolder)
    OnChangeFolder(Side);
  StartMonitor();
}

int TFPanel::ShowFolderAt(const std::string& root, uint8_t kind, const std::string& relFolder,
                          const std::string& name) {
  const bool here = Browser.RootPath() == root && Browser.SourceKind() == kind;
  if (!here && kind != skFolder)
    return EXDEV;
  StopMonitor();
  EraseCursor();
  int error = 0;
  if (here) {
    error = Browser.ShowFolder(relFolder);
  } else {
    // Another root: the panel's sources are given up only for a folder that can be listed.
    const std::optional<std::string> native = platform::ModelToNative(root + relFolder);
    DIR* folder = native ? ::opendir(native->c_str()) : nullptr;
    error = folder ? 0 : native ? errno : ENOENT;
    if (folder)
      ::closedir(folder);
    if (error == 0)
      error = Browser.SetRoot(root, kind, relFolder) ? Browser.ReadError() : EBUSY;
  }
  if (error == 0 && OnFolderEntered)
    OnFolderEntered(Browser.RootPath() + Browser.RelPath());
  const int index = error == 0 ? Browser.FindEntry(name) : 0;
  PlaceCursor(index > 0 ? index : std::max(Browser.Cursor, 1));
  AfterFolderChange();
  return error;
}

void TFPanel::GoUpFolder() {
  if (ViewMode == vmQuickView || Browser.AtRoot())
    return;
  StopMonitor();
  EraseCursor();
  Browser.GoUp();
  PlaceCursor(std::max(Browser.Cursor, 1));
  AfterFolderChange();
}

void TFPanel::GoDriveRoot() {
  if (ViewMode == vmQuickView || Browser.RootPath().empty())
    return;
  StopMonitor();
  Settings.Path = QString(QChar::fromLatin1(Browser.RootPath()[0])) + QStringLiteral(":\\");
  InitFromPath();
  TopIndex = 0;
  CursorOffset = 0;
  AfterFolderChange();
}

void TFPanel::ToggleHidden() {
  Settings.Show_FileHide = !Settings.Show_FileHide;
  Browser.ShowHidden = Settings.Show_FileHide;
  RefreshKeepingCursor();
}

void TFPanel::ToggleIcons() {
  Settings.Show_Icons = !Settings.Show_Icons;
  if (Settings.Show_Icons)
    LoadIcons();
  LayoutAndPaint();
}

bool TFPanel::NextReadyDrive(int direction) {
  if (Browser.RootPath().empty())
    return false;
  const auto& table = platform::TDriveTable::Instance();
  for (char letter = static_cast<char>(UpCaseAscii(Browser.RootPath()[0]) + direction);
       letter >= 'A' && letter <= 'Z'; letter = static_cast<char>(letter + direction)) {
    const platform::TDrive* drive = table.Find(letter);
    if (!drive || drive->Kind == platform::TDriveKind::RamDisk || !platform::IsDriveReady(letter))
      continue;
    StopMonitor();
    Settings.Path = QString(QChar::fromLatin1(letter)) + QStringLiteral(":\\");
    EraseCursor();
    InitFromPath();
    TopIndex = 0;
    CursorOffset = 0;
    AfterFolderChange();
    return true;
  }
  return false;
}

QString TFPanel::MarkedNamesText() const {
  QStringList names;
  for (int i = 1; i <= Browser.Count(); ++i)
    if (Browser.IsMarked(i))
      names << FromBytes(Browser.EntryName(i));
  return names.join(QLatin1Char('\n'));
}

std::string TFPanel::NativeOf(const std::string& modelPath) const {
  return platform::ModelToNative(modelPath).value_or(std::string());
}

void TFPanel::OpenCurrent() {
  if (ViewMode == vmInfo || ViewMode == vmQuickView || Browser.Count() == 0)
    return;
  const int index = CursorIndex();
  const TFileEntry* entry = Browser.GetEntry(index);
  if (!entry)
    return;
  const std::string name = entry->EntryName();

  if (entry->IsFolder()) {
    StopMonitor();
    const bool up = entry->IsUpEntry();
    const int oldTop = TopIndex;
    const int oldOffset = CursorOffset;
    if (!Browser.EnterFolder(index)) {
      StartMonitor();
      return;
    }
    if (!up && Browser.ReadError() != 0) {
      // The folder cannot be listed: go back to where the user was and say why.
      const int error = Browser.ReadError();
      const std::string path = Browser.RootPath() + Browser.RelPath();
      Browser.GoUp();
      if (Browser.Cursor == index) {
        TopIndex = oldTop;
        CursorOffset = oldOffset;
      } else {
        PlaceCursor(std::max(Browser.Cursor, 1));
      }
      AfterFolderChange();
      if (OnError)
        OnError(QStringLiteral("Cannot read the folder %1: %2")
                    .arg(FromBytes(path), QString::fromLocal8Bit(std::strerror(error))));
      return;
    }
    EraseCursor();
    if (OnFolderEntered)
      OnFolderEntered(Browser.RootPath() + Browser.RelPath());
    PlaceCursor(std::max(Browser.Cursor, 1));
    AfterFolderChange();
    return;
  }

  const std::string ext = LowerExt(*entry);
  if (IsArchiveExt(ext)) {
    std::string archivePath = CurrentPath;
    if (Browser.SourceKind() == skArchive) {
      // An archive inside the archive is entered through a temporary copy of it.
      const std::optional<std::string> copy = OnGetArcFile ? OnGetArcFile() : std::nullopt;
      if (!copy)
        return;
      archivePath = *copy;
    }
    if (OnKeyPreview)
      OnKeyPreview(false);
    Browser.Cursor = index;
    const bool opened = Browser.OpenSource(skArchive, archivePath, "");
    if (opened) {
      StopMonitor();
      ArchiveTypeName = entry ? ext.substr(1) : std::string();
      for (char& c : ArchiveTypeName)
        c = UpCaseAscii(c);
      TopIndex = 0;
      CursorOffset = std::max(Browser.Cursor, 1) - 1;
      SyncCursorCell();
      DrawList();
      DrawCursor();
      if (OnChangeFolder)
        OnChangeFolder(Side);
    }
    if (OnKeyPreview)
      OnKeyPreview(true);
    // An archive that cannot be read was reported by the source; the panel stays where it was.
    return;
  }

  if (OnFileEntered)
    OnFileEntered(CurrentName);
  const std::string native = NativeOf(CurrentPath);
  const std::string folder = NativeOf(Browser.RootPath() + Browser.RelPath());
  // A file on disk runs only when it is a program; an execute bit alone (every file on exFAT,
  // NTFS and CIFS mounts has one) leaves it a document. Inside an archive only the name can tell.
  const bool onDisk = Browser.SourceKind() == skFolder && !native.empty();
  const bool executable =
      onDisk ? platform::IsProgramFile(native) : OneOf(ext, {".exe", ".com", ".bat"});
  const bool picture = FileGroupOfExt(entry->Ext) == TFileGroup::Picture;
  const bool sound = OneOf(
      ext, {".mid", ".rmi", ".mp2", ".mp3", ".xm", ".s3m", ".mdz", ".stm", ".mod", ".itz", ".wav"});
  if (executable) {
    if (OnProgramRun)
      OnProgramRun(CurrentName, CurrentPath);
    if (onDisk)
      platform::OpenFile(native, folder);
  } else if ((picture && OnEnterViewPic) || sound) {
    if (OnFileWork)
      OnFileWork(CurrentPath);
  } else if (ext == ".dll") {
    if (OnOpenResources)
      OnOpenResources(CurrentPath);
  } else if (onDisk) {
    platform::OpenDocument(native, folder);
  } else if (Browser.SourceKind() == skArchive && OneOf(ext, {".hlp", ".doc", ".txt", ".ini"})) {
    // A document inside an archive opens as a temporary copy taken out of it.
    if (const std::optional<std::string> copy = OnGetArcFile ? OnGetArcFile() : std::nullopt) {
      const std::string copyNative = NativeOf(*copy);
      const size_t slash = copyNative.rfind('/');
      if (!copyNative.empty())
        platform::OpenDocument(copyNative, copyNative.substr(0, slash == 0 ? 1 : slash));
    }
  }
}

void TFPanel::AutoScrollTick(int direction) {
  if (Gesture == gsIdle) {
    ScrollDown->stop();
    ScrollUp->stop();
    return;
  }
  if (window() && !window()->isActiveWindow() && QApplication::activeWindow()) {
    EndGesture();
    return;
  }
  if (direction > 0)
    CursorDown();
  else
    CursorUp();
}

int TFPanel::OffsetAt(QPoint point) const {
  const int rows = std::max(Layout.RowsPerColumn, 1);
  const int step = std::max(Layout.ColumnStep, 1);
  const int lineHeight = std::max(Layout.LineHeight, 1);
  auto ceilDiv = [](int a, int b) { return a > 0 ? (a + b - 1) / b : 0; };
  const int column = std::clamp(ceilDiv(point.x() - Layout.ListLeft, step), 1, Columns());
  const int row = std::clamp(ceilDiv(point.y() - Layout.ListTop - 2, lineHeight), 1, rows);
  int offset = (column - 1) * rows + row - 1;
  if (TopIndex + offset >= Browser.Count())
    offset = Browser.Count() - TopIndex - 1;
  return std::max(offset, 0);
}

int TFPanel::ColumnBoundaryAt(int x) const {
  if (ViewMode != vmFull)
    return 0;
  const int name = NameColumnRight();
  const int bounds[] = {name, name + Settings.Stolbik_FileType,
                        name + Settings.Stolbik_FileType + Settings.Stolbik_Date};
  for (int i = 0; i < 3; ++i)
    if (x >= bounds[i] - 1 && x <= bounds[i] + 2)
      return i + 1;
  return 0;
}

void TFPanel::ThumbTo(int x) {
  const int count = Browser.Count();
  if (count < 1)
    return;
  const int span = std::max(width() - 29, 1);
  const int along = x < 13 ? 1 : x - 12;
  const int index = std::clamp(RoundHalfEven(double(count) * along / span), 1, count);
  if (index == CursorIndex() && index == count)
    return;
  Browser.Cursor = index;
  const int oldTop = TopIndex;
  if (oldTop == 0)
    EraseCursor();
  PlaceCursor(index);
  SyncCursorCell();
  if (TopIndex != oldTop || TopIndex != 0)
    DrawList();
  DrawCursor();
}

void TFPanel::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  PressPoint = point;
  if (OnMousePress)
    OnMousePress();
  const bool listMode = ViewMode == vmBrief || ViewMode == vmFull;
  const bool inList = point.y() >= Layout.ListTop && point.y() < Layout.InfoTop;

  if (listMode && inList && ColumnBoundaryAt(point.x())) {
    Gesture = gsResizing;
    ResizedBoundary = ColumnBoundaryAt(point.x());
    return;
  }
  const QRect bar = Layout.ScrollBar;
  if (!bar.isEmpty() && point.y() >= bar.top() - 3 && point.y() <= bar.bottom() && Active &&
      listMode && Browser.Count() >= 1) {
    Gesture = gsThumb;
    ThumbTo(point.x());
    return;
  }
  if (point.y() < Layout.ListTop || !listMode) {
    if (event->button() == Qt::RightButton) {
      if (OnChangeDrive)
        OnChangeDrive(Side);
    } else if (!Active && OnActive) {
      OnActive();
    }
    return;
  }
  if (inList) {
    if (!Active && OnActive)
      OnActive();
    if (OnChangeFolder)
      OnChangeFolder(Side);
    if (Browser.Count() == 0)
      return;
    ShowCursorAt(TopIndex, OffsetAt(point));
    const TFileEntry* entry = Browser.GetEntry(CursorIndex());
    PressedName = entry ? entry->EntryName() : std::string();
    if (event->button() == Qt::RightButton && RightClickForPopup) {
      if (OnContextMenu)
        OnContextMenu(mapToGlobal(point + QPoint(5, 0)));
      return;
    }
    if (event->button() == Qt::RightButton) {
      Gesture = gsMarking;
      MarkDirection = 0;
      DrawCursor(); // decides the direction and marks the first entry
    } else {
      Gesture = gsLeftPress;
    }
    MouseCaptured = true;
    return;
  }
  // Below the list, above the scroll bar.
  if (event->button() == Qt::LeftButton) {
    if (!Active && OnActive)
      OnActive();
    Gesture = gsLeftPress;
    MouseCaptured = true;
    StartAutoScroll(+1);
  } else if (event->button() == Qt::RightButton && Gesture != gsMarking && OnContextMenu) {
    // The menu acts on the cursor entry, which a press here does not move: never on "..".
    const TFileEntry* entry = Browser.GetEntry(CursorIndex());
    if (entry && !entry->IsUpEntry())
      OnContextMenu(mapToGlobal(point + QPoint(4, 0)));
  }
}

void TFPanel::StartAutoScroll(int direction) {
  if (!ScrollDown) {
    ScrollDown = new QTimer(this);
    ScrollDown->setInterval(20);
    connect(ScrollDown, &QTimer::timeout, this, [this] { AutoScrollTick(+1); });
    ScrollUp = new QTimer(this);
    ScrollUp->setInterval(20);
    connect(ScrollUp, &QTimer::timeout, this, [this] { AutoScrollTick(-1); });
  }
  (direction > 0 ? ScrollUp : ScrollDown)->stop();
  if (direction != 0)
    (direction > 0 ? ScrollDown : ScrollUp)->start();
  else
    ScrollDown->stop();
}

void TFPanel::LeftPressMove(QPoint point) {
  const bool towardsOther = Side == TPanelSide::Left ? point.x() >= width() - 2 : point.x() < 0;
  const bool farEnough =
      std::abs(point.x() - PressPoint.x()) > 5 || std::abs(point.y() - PressPoint.y()) > 5;
  if ((!OldDrag && towardsOther) || (OldDrag && farEnough)) {
    Gesture = gsDragging;
    StartAutoScroll(0);
    ShowDragLabel(point);
    return;
  }
  if (OldDrag || point.x() < 0 || point.x() >= width())
    return; // over the gap between the panels
  if (point.y() >= Layout.InfoTop) {
    StartAutoScroll(+1);
  } else if (point.y() < Layout.ListTop) {
    StartAutoScroll(-1);
  } else {
    StartAutoScroll(0);
    const int offset = OffsetAt(point);
    if (offset != CursorOffset)
      ShowCursorAt(TopIndex, offset);
  }
}

void TFPanel::ShowDragLabel(QPoint point) {
  QWidget* host = window();
  if (!DragLabel) {
    DragLabel = new QLabel(host);
    DragLabel->setObjectName(QStringLiteral("DragLabel"));
    DragLabel->setAutoFillBackground(true);
    QPalette palette = DragLabel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    DragLabel->setPalette(palette);
    DragLabel->setFont(SettingsFont(QStringLiteral("Arial"), 8));
    DragLabel->setFrameShape(QFrame::Box);
  }
  const QString text = Browser.SelectedCount() > 0
                           ? QStringLiteral("Copy %1 files").arg(Browser.SelectedCount())
                           : QStringLiteral("Copy [") + FromBytes(PressedName) + ']';
  DragLabel->setText(text);
  const int labelWidth = DragLabel->fontMetrics().horizontalAdvance(text) + 6;
  DragLabel->resize(labelWidth, DragLabel->fontMetrics().height() + 4);
  const QPoint inHost = host == this ? point : mapTo(host, point);
  const int x = std::clamp(inHost.x() + 9, 6, std::max(host->width() - 15 - labelWidth, 6));
  DragLabel->move(x, inHost.y() + 4);
  DragLabel->show();
  DragLabel->raise();
}

void TFPanel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (IgnoreNextMove) {
    IgnoreNextMove = false;
    EndGesture();
    return;
  }
  switch (Gesture) {
  case gsResizing: {
    const int x = point.x();
    if (ResizedBoundary == 1)
      Settings.Stolbik_File = std::max(x, 10);
    else if (ResizedBoundary == 2)
      Settings.Stolbik_FileType = std::max(x - NameColumnRight(), 5);
    else
      Settings.Stolbik_Date = std::max(x - NameColumnRight() - Settings.Stolbik_FileType, 5);
    LayoutAndPaint();
    return;
  }
  case gsThumb:
    ThumbTo(point.x());
    return;
  case gsLeftPress:
    LeftPressMove(point);
    return;
  case gsDragging:
    ShowDragLabel(point);
    return;
  case gsMarking:
    if (point.y() >= Layout.ListTop && point.y() < Layout.InfoTop && point.x() >= 0 &&
        point.x() < width()) {
      const int offset = OffsetAt(point);
      if (offset != CursorOffset)
        ShowCursorAt(TopIndex, offset);
    }
    return;
  case gsIdle: {
    const bool overBoundary = point.y() >= Layout.ListTop && point.y() < Layout.InfoTop &&
                              ColumnBoundaryAt(point.x()) != 0;
    if (overBoundary)
      setCursor(Qt::SplitHCursor);
    else
      unsetCursor();
    return;
  }
  }
}

void TFPanel::EndGesture() {
  if (DragLabel)
    DragLabel->hide();
  if (ScrollDown) {
    ScrollDown->stop();
    ScrollUp->stop();
  }
  const bool wasCaptured = MouseCaptured;
  Gesture = gsIdle;
  MarkDirection = 0;
  ResizedBoundary = 0;
  MouseCaptured = false;
  if (wasCaptured && Active && Browser.Count() > 0)
    Browser.Cursor = CursorIndex();
}

void TFPanel::CancelMouseGesture() {
  EndGesture();
  PressedName.clear();
}

void TFPanel::mouseReleaseEvent(QMouseEvent*) {
  const bool dropped = Gesture == gsDragging;
  const std::string pressed = PressedName;
  EndGesture();
  PressedName.clear();
  if (dropped && pressed != ".." && OnDragDrop)
    OnDragDrop(pressed);
}

void TFPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const bool listMode = ViewMode == vmBrief || ViewMode == vmFull;
  if (!listMode || point.y() < Layout.ListTop || point.y() >= Layout.InfoTop ||
      Browser.Count() == 0)
    return;
  EndGesture();
  ShowCursorAt(TopIndex, OffsetAt(point));
  OpenCurrent();
  IgnoreNextMove = true;
}

} // namespace corvane
