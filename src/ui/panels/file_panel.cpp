#include "panels/file_panel.h"

#include "main/fonts.h"
#include "model/path_utils.h"
#include "panels/archive_windows.h"
#include "panels/folder_monitor.h"
#include "platform/drive_probe.h"
#include "platform/drive_table.h"
#include "platform/file_ops.h"
#include "platform/file_status.h"
#include "platform/native_path.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace corvane {

namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString TwoDigits(int value) {
  return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

uint8_t SortModeFor(uint8_t mode) {
  return mode <= smDate ? mode : uint8_t(smExtension);
}

} // namespace

TFPanel::TFPanel(QWidget* parent, TPanelSide side)
    : QWidget(parent), Side(side), FolderMonitor(std::make_unique<TFolderMonitor>(this)) {
  setObjectName(side == TPanelSide::Left ? QStringLiteral("PanelLeft")
                                         : QStringLiteral("PanelRight"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  FolderMonitor->OnChange = [this] { ReReadAfterChange(); };
  setMouseTracking(true);
  Browser.OnArchiveReadBegin = [this] { ArchiveEntriesRead = 0; };
  Browser.OnArchiveReadEntry = [this] {
    // Only archives that make the user wait get a progress window.
    if (++ArchiveEntriesRead == 200) {
      ReadProgress = std::make_unique<TFormReadArchive>(window(), Words.ReadArchive);
      ReadProgress->show();
    }
    // The window keeps its own pace: reading runs at the reader's speed, not the event loop's.
    if (ReadProgress)
      ReadProgress->EntryRead(ArchiveEntriesRead);
  };
  Browser.OnArchiveReadEnd = [this] { ReadProgress.reset(); };
  // Faults of the archive library and of outside archivers; a running copy window binds its own.
  Browser.OnCopyError = [this](TCopyError kind, const std::string& text) {
    if (kind == TCopyError::ArchiveMessage && OnError)
      OnError(FromBytes(text));
  };
  // While an archiver rewrites the shown archive the panel must not change: a modal window waits
  // for it and offers Cancel.
  Browser.OnArchiverWait =
      [this, waiter = std::make_shared<TArchiverWaiter>(this)](const TArchiverWait& wait) {
        return waiter->Wait(wait, {Words.ArchiverWait, Words.ArchiverCancel, Words.ArchiverStop});
      };
  Browser.OnPassword = [this](const std::string& prompt, std::string& password) {
    TFormPassword form(window(), FromBytes(prompt), FromBytes(password),
                       {Words.PasswordCaption, Words.PasswordOK, Words.PasswordCancel});
    if (form.exec() == QDialog::Accepted)
      password = form.Password().toStdString();
    else
      Browser.Busy = false; // Cancel stops the running operation
  };
  FolderMonitor->OnFolderGone = [this] {
    // The shown folder went away: show the nearest folder above it that is still there.
    StopMonitor();
    while (Browser.GoUp()) {
      const auto native = platform::ModelToNative(Browser.RootPath() + Browser.RelPath());
      if (native && platform::PathExists(*native))
        break;
    }
    PlaceCursor(std::max(Browser.Cursor, 1));
    LayoutAndPaint();
    StartMonitor();
  };
}

TFPanel::~TFPanel() = default;

void TFPanel::ApplyDefaults() {
  Settings = TPanelSettings();
  ViewMode = Side == TPanelSide::Left ? vmBrief : vmFull;
  ListMode = ViewMode;
  Settings.Columns = ViewMode == vmFull ? 1 : 3;
  Settings.SortMode = smExtension;
  TopArea = 25;
  InfoArea = 38;
  ScrollBarHeight = 11;
}

void TFPanel::LoadIcons() {
  ListIcons.Load(ColorFromNumber(Settings.PanelFon));
  CursorIcons.Load(ColorFromNumber(Settings.PanelSelectFon));
}

void TFPanel::InitFromPath() {
  QString path = Settings.Path;
  if (!path.isEmpty())
    path[0] = path[0].toUpper();
  Browser.SortMode = SortModeFor(Settings.SortMode);
  Browser.FoldersFirst = true;
  Browser.ExecutablesFirst = Settings.Param_ExecBegin;
  Browser.ShowHidden = Settings.Show_FileHide;
  const QByteArray bytes = path.toUtf8();
  std::string root = bytes.left(1).toStdString() + ":\\";
  std::string rel = bytes.size() > 3 ? bytes.mid(3).toStdString() : std::string();
  const bool standard =
      Settings.PathType.isEmpty() || Settings.PathType == QStringLiteral("Standart");
  if (standard && (bytes.isEmpty() || !platform::IsDriveReady(bytes[0]))) {
    root = "C:\\";
    rel.clear();
  }
  if (!standard) {
    // A panel left inside an archive starts on the nearest real folder above the place it showed.
    platform::TFileStatus status;
    while (!rel.empty()) {
      const auto native = platform::ModelToNative(root + rel);
      if (native && platform::StatPath(*native, status) && status.IsFolder())
        break;
      rel.pop_back(); // the trailing "\"
      const size_t slash = rel.rfind('\\');
      rel.resize(slash == std::string::npos ? 0 : slash + 1);
    }
  }
  Browser.SetRoot(root, skFolder, rel);
  if (!standard)
    Settings.PathType = QStringLiteral("Standart");
  TopIndex = 0;
  CursorOffset = 0;
  UpdateDriveInfo();
}

QFont TFPanel::ListFont(bool bold) const {
  return SettingsFont(Settings.Font_Name, Settings.Font_Size, bold || Settings.Font_Bold);
}

void TFPanel::LayoutAndPaint() {
  if (width() <= 0 || height() <= 0)
    return;
  const QFontMetrics metrics(ListFont(false));
  TopArea = TopAreaFor(Settings.Length, metrics.height());
  InfoArea = InfoAreaFor(Settings.Length);
  ScrollBarHeight = Settings.Show_ScrollBar ? 11 : 0;
  Layout = ComputePanelGeometry(width(), height(), TopArea, InfoArea, ScrollBarHeight, Columns(),
                                Settings.Font_Size);
  if (Pixmap.size() != size() * devicePixelRatioF() || Pixmap.isNull()) {
    Pixmap = QPixmap(size() * devicePixelRatioF());
    Pixmap.setDevicePixelRatio(devicePixelRatioF());
  }
  if (!ListIcons.Loaded() && Settings.Show_Icons)
    LoadIcons();
  Pixmap.fill(ColorFromNumber(colors::BtnFace));
  ThumbPosition = -1;
  DrawFrame(true);
  {
    // The list area below the last whole row is never a cell: give it the list background.
    QPainter p(&Pixmap);
    p.fillRect(QRect(QPoint(5, Layout.ListTop + 2), QPoint(width() - 6, Layout.InfoTop)),
               ColorFromNumber(Settings.PanelFon));
  }
  if (ViewMode == vmInfo || ViewMode == vmQuickView) {
    // The information page and the quick view draw over the list area (their own windows).
    update();
    return;
  }
  DrawList();
  SyncCursorCell();
  DrawCursor();
  update();
}

void TFPanel::DrawFrame(bool withBackground) {
  if (Pixmap.isNull())
    return;
  QPainter p(&Pixmap);
  const int w = width();
  const int h = height();
  const int bottom = h - ScrollBarHeight;
  const QColor background = ColorFromNumber(Settings.PanelFon);
  const QColor frame = ColorFromNumber(Active ? Settings.LineColor : Settings.LineColorSlave);
  const QColor grey = ColorFromNumber(colors::Gray);
  const QColor highlight = ColorFromNumber(colors::BtnHighlight);
  if (withBackground) {
    p.setPen(background);
    p.drawRect(QRect(QPoint(1, 2), QPoint(w - 2, bottom - 2)));
    p.drawRect(QRect(QPoint(2, 3), QPoint(w - 3, bottom - 3)));
    p.fillRect(QRect(QPoint(4, TopArea), QPoint(w - 5, TopArea + 4)), background);
    p.fillRect(QRect(QPoint(w - 10, TopArea + 4), QPoint(w - 5, bottom - 4)), background);
    p.fillRect(QRect(QPoint(4, TopArea + 4), QPoint(5, bottom - 4)), background);
  }
  p.setPen(frame);
  p.drawRect(QRect(QPoint(3, 4), QPoint(w - 4, bottom - 3)));
  p.drawRect(QRect(QPoint(4, 5), QPoint(w - 5, bottom - 4)));
  for (const int y : {TopArea, Layout.InfoTop + 1}) {
    p.drawLine(3, y, w - 4, y);
    p.drawLine(3, y + 1, w - 4, y + 1);
  }
  if (withBackground && ScrollBarHeight > 0) {
    const QRect bar = Layout.ScrollBar;
    p.fillRect(bar, ColorFromNumber(colors::BtnFace));
    p.setPen(grey);
    p.drawLine(bar.topLeft(), bar.topRight());
    p.drawLine(bar.topLeft(), bar.bottomLeft());
    p.setPen(highlight);
    p.drawLine(bar.bottomLeft(), bar.bottomRight());
    p.drawLine(bar.topRight(), bar.bottomRight());
  }
  p.setPen(grey);
  p.drawLine(0, 0, w - 1, 0);
  p.drawLine(0, 0, 0, h - 1);
  p.setPen(highlight);
  p.drawLine(0, h - 1, w - 1, h - 1);
  p.drawLine(w - 1, 0, w - 1, h - 1);
  p.end();
  if (!withBackground)
    DrawSeparators();
  update();
}

void TFPanel::DrawSeparators() {
  if (Pixmap.isNull())
    return;
  QPainter p(&Pixmap);
  const QColor background = ColorFromNumber(Settings.PanelFon);
  const QColor frame = ColorFromNumber(Active ? Settings.LineColor : Settings.LineColorSlave);
  const int top = Layout.ListTop + 2;
  const int bottom = Layout.InfoTop;
  auto separator = [&](int x) {
    p.setPen(background);
    p.drawLine(x - 2, top, x - 2, bottom);
    p.drawLine(x + 2, top, x + 2, bottom);
    p.setPen(frame);
    p.drawLine(x, top, x, bottom);
    p.drawLine(x + 1, top, x + 1, bottom);
  };
  if (ViewMode == vmFull) {
    const int name = NameColumnRight();
    separator(name);
    if (name + Settings.Stolbik_FileType < Layout.ListRight)
      separator(name + Settings.Stolbik_FileType);
    if (name + Settings.Stolbik_FileType + Settings.Stolbik_Date < width() - 4)
      separator(name + Settings.Stolbik_FileType + Settings.Stolbik_Date);
  } else {
    for (int k = 1; k < Columns(); ++k)
      separator(2 + k * Layout.ColumnStep);
  }
  update(QRect(0, Layout.ListTop, width(), Layout.ListHeight + 2));
}

QRect TFPanel::CellRect(int offset) const {
  const int rows = std::max(Layout.RowsPerColumn, 1);
  const int column = offset / rows;
  const int row = offset % rows;
  const int cellLeft = Layout.ListLeft + column * Layout.ColumnStep;
  const int top = Layout.ListTop + row * Layout.LineHeight + 2;
  const int left = cellLeft + (column == 0 ? 2 : 1);
  const int right = ViewMode == vmFull
                        ? NameColumnRight() - 2
                        : std::min(cellLeft + Layout.ColumnWidth - 1, Layout.ListRight - 4);
  return QRect(QPoint(left, top), QPoint(right, top + Layout.LineHeight));
}

QString TFPanel::DateText(const TSystemTime& time, bool withTime) const {
  QString date = AmericanDates ? TwoDigits(time.Month) + '.' + TwoDigits(time.Day)
                               : TwoDigits(time.Day) + '.' + TwoDigits(time.Month);
  date += '.' + QString::number(time.Year);
  if (withTime)
    date += QStringLiteral(", ") + TwoDigits(time.Hour) + ':' + TwoDigits(time.Minute);
  return date;
}

QColor TFPanel::FileColorFor(const TFileEntry& entry) const {
  if (Settings.Show_FileColors && !entry.Ext.empty() && FileColorLookup) {
    std::string ext = "." + entry.Ext;
    for (char& c : ext)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const auto color = FileColorLookup(ext, false))
      return ColorFromNumber(*color);
  }
  return ColorFromNumber(Settings.FileColor);
}

QColor TFPanel::HiddenColorFor(const TFileEntry& entry) const {
  if (!Settings.Show_FileColors)
    return ColorFromNumber(Settings.DirectoryColor);
  if (!entry.Ext.empty() && FileColorLookup) {
    std::string ext = "." + entry.Ext;
    for (char& c : ext)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const auto color = FileColorLookup(ext, true))
      return ColorFromNumber(*color);
  }
  return ColorFromNumber(Settings.HiddenFile);
}

void TFPanel::PaintEntry(int offset, bool underCursor) {
  const TFileEntry* entry = Browser.GetEntry(TopIndex + offset + 1);
  const QRect cell = CellRect(offset);
  const QColor background =
      ColorFromNumber(underCursor ? Settings.PanelSelectFon : Settings.PanelFon);
  QPainter p(&Pixmap);
  p.fillRect(cell, background);
  if (!entry) {
    update(cell);
    return;
  }
  const int rows = std::max(Layout.RowsPerColumn, 1);
  const bool firstColumn = offset / rows == 0;
  const bool bold = entry->IsFolder();
  QColor color = underCursor ? QColor(Qt::white) : ColorFromNumber(Settings.FileColor);
  if (entry->Marked)
    color = ColorFromNumber(Settings.FileSelectColor);
  else
    color = FileColorFor(*entry);
  if (!entry->Marked && entry->IsFolder())
    color = ColorFromNumber(Settings.DirectoryColor);
  if (!entry->Marked && (entry->Attr & faHidden))
    color = HiddenColorFor(*entry);

  const int textTop = cell.top() + 2;
  int x = cell.left() + 1;
  if (Settings.Show_Icons) {
    const TTypeIconSet& icons = underCursor ? CursorIcons : ListIcons;
    if (icons.Loaded())
      p.drawPixmap(x, textTop, icons.Icon(IconFor(*entry)));
    x += 17;
  }
  const int nameRight = ViewMode == vmFull
                            ? NameColumnRight() - 2
                            : std::min(cell.left() - (firstColumn ? 2 : 1) + Layout.ColumnWidth - 3,
                                       Layout.ListRight - 3);
  p.setFont(ListFont(bold));
  p.setPen(color);
  const QRect nameRect(QPoint(x, textTop), QPoint(nameRight, textTop + Layout.LineHeight - 2));
  p.setClipRect(nameRect);
  p.drawText(nameRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
             FromBytes(entry->EntryName()));
  p.setClipping(false);

  if (ViewMode == vmFull) {
    const int name = NameColumnRight();
    const int sizeRight = std::min(name + Settings.Stolbik_FileType - 2, Layout.ListRight - 3);
    QString sizeText;
    if (entry->IsUpEntry())
      sizeText = QStringLiteral("<UP>");
    else if (entry->IsFolder())
      sizeText = entry->Size > 0 ? FormatSize(static_cast<uint64_t>(entry->Size))
                                 : '<' + Words.Folder + '>';
    else
      sizeText = QString::number(entry->Size);
    p.setFont(ListFont(false));
    auto column = [&](int left, int right, const QString& text) {
      if (right - left <= 1)
        return;
      const QRect rect(QPoint(left, cell.top()), QPoint(right, cell.bottom()));
      p.fillRect(rect, background);
      p.setClipRect(rect);
      p.drawText(QRect(QPoint(left + 2, textTop), QPoint(right, textTop + Layout.LineHeight - 2)),
                 Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
      p.setClipping(false);
    };
    column(name + 3, sizeRight, sizeText);
    // ".." is made by the browser and has no time of its own to show.
    const bool dated = !entry->IsUpEntry();
    const int dateLeft = name + Settings.Stolbik_FileType + 3;
    if (Settings.Stolbik_Date > 2)
      column(dateLeft, std::min(dateLeft + Settings.Stolbik_Date - 4, width() - 5),
             dated ? DateText(entry->Written, false) : QString());
    const int timeLeft = name + Settings.Stolbik_FileType + Settings.Stolbik_Date + 3;
    column(timeLeft, width() - 5,
           dated ? TwoDigits(entry->Written.Hour) + ':' + TwoDigits(entry->Written.Minute)
                 : QString());
  }
  update(QRect(cell.left(), cell.top(), width() - cell.left(), cell.height() + 1));
}

void TFPanel::DrawList() {
  if (Pixmap.isNull())
    return;
  const int page = Layout.PageSize(Columns());
  for (int offset = 0; offset < page; ++offset) {
    const bool cursorHere = Active && offset == CursorOffset;
    if (!cursorHere)
      PaintEntry(offset, false);
  }
  DrawSeparators();
  DrawInfo(true);
}

void TFPanel::SyncCursorCell() {
  const int rows = std::max(Layout.RowsPerColumn, 1);
  CursorColumn = Columns() == 1 ? 1 : CursorOffset / rows + 1;
  CursorRow = CursorOffset % rows + 1;
  CursorCell = QPoint(Layout.ListLeft + (CursorColumn - 1) * Layout.ColumnStep,
                      Layout.ListTop + (CursorRow - 1) * Layout.LineHeight + 2);
}

void TFPanel::PlaceCursor(int index) {
  const int page = std::max(Layout.PageSize(Columns()), 1);
  TopIndex = 0;
  CursorOffset = index - 1;
  if (index - 1 >= page) {
    CursorOffset = page - 1;
    TopIndex = index - page;
  }
  CursorOffset = std::max(CursorOffset, 0);
}

void TFPanel::DrawCursor() {
  CursorOffset = std::max(CursorOffset, 0);
  const int index = CursorIndex();
  if (!Active || ViewMode == vmInfo || ViewMode == vmQuickView || Pixmap.isNull() ||
      Browser.Count() == 0 || index > Browser.Count() || CursorOffset >= Layout.PageSize(Columns()))
    return;
  if (!MouseCaptured)
    Browser.Cursor = index;
  if (Gesture == gsMarking) {
    // A right-button drag marks or unmarks every entry it passes, as its first entry decides.
    if (TFileEntry* passed = Browser.GetEntry(index); passed && !passed->IsUpEntry()) {
      if (MarkDirection == 0)
        MarkDirection = passed->Marked ? -1 : +1;
      if ((MarkDirection > 0) != (passed->Marked != 0))
        Browser.ToggleMark(index);
    }
  }
  PaintEntry(CursorOffset, true);
  const TFileEntry* entry = Browser.GetEntry(index);
  CurrentName = entry ? entry->EntryName() : std::string();
  CurrentPath = Browser.RootPath() + Browser.RelPath() + CurrentName;
  DrawInfo(false);
  if (OnChangeFilePos)
    OnChangeFilePos(index);
  if (ScrollBarHeight > 0)
    PaintThumb(false);
}

void TFPanel::EraseCursor() {
  if (Pixmap.isNull() || CursorOffset >= Layout.PageSize(Columns()))
    return;
  PaintEntry(CursorOffset, false);
}

void TFPanel::PaintThumb(bool erase) {
  const QRect bar = Layout.ScrollBar;
  if (bar.isEmpty())
    return;
  QPainter p(&Pixmap);
  auto box = [&](int position, bool raised) {
    const QRect thumb(QPoint(bar.left() + position, bar.top()),
                      QPoint(bar.left() + position + 19, bar.bottom() - 3));
    p.fillRect(thumb, ColorFromNumber(colors::BtnFace));
    if (raised) {
      p.setPen(Qt::white);
      p.drawLine(thumb.topLeft(), thumb.topRight());
      p.drawLine(thumb.topLeft(), thumb.bottomLeft());
      p.setPen(ColorFromNumber(colors::Gray));
      p.drawLine(thumb.bottomLeft(), thumb.bottomRight());
      p.drawLine(thumb.topRight(), thumb.bottomRight());
    }
    update(thumb.adjusted(0, 0, 1, 1));
  };
  if (ThumbPosition >= 0)
    box(ThumbPosition, false);
  if (erase) {
    ThumbPosition = -1;
    return;
  }
  const int index = CursorIndex();
  const int n = Browser.Count() > 1 ? Browser.Count() - 1 : 1;
  int position = index == 1 ? 1 : RoundHalfEven(double(bar.right() - bar.left() - 24) * index / n);
  position = std::clamp(position, 1, std::max(bar.right() - 24, 1));
  position = std::min(position, bar.width() - 21);
  ThumbPosition = position;
  box(position, true);
}

void TFPanel::DrawInfo(bool all) {
  if (Pixmap.isNull())
    return;
  if (all) {
    QPainter p(&Pixmap);
    const QRect clip(QPoint(4, 5), QPoint(width() - 5, TopArea - 1));
    p.fillRect(clip, ColorFromNumber(Settings.PanelFon));
    if (Settings.Show_CurDir) {
      QString text = FromBytes(Browser.RootPath() + Browser.RelPath());
      if (Browser.SourceKind() == skArchive)
        text = FromBytes(ArchiveTypeName) + QStringLiteral(": ") + FromBytes(Browser.ShownPath());
      const QFont font = ListFont(false);
      const QFontMetrics metrics(font);
      p.setFont(font);
      p.setPen(ColorFromNumber(Settings.CurPathColor));
      p.setClipRect(clip);
      const int y = (TopArea + 3 - metrics.height()) / 2 + 1;
      const int textWidth = metrics.horizontalAdvance(text);
      const int x = Layout.ListLeft + (Layout.ListRight - Layout.ListLeft - textWidth) / 2;
      p.drawText(QPoint(std::max(x, 5), y + metrics.ascent()), text);
    }
    p.end();
    update(clip);
  }
  QPainter p(&Pixmap);
  const int bottom = height() - ScrollBarHeight - 5;
  const QRect area(QPoint(6, Layout.InfoTop + 3), QPoint(width() - 11, bottom));
  p.fillRect(area, ColorFromNumber(Settings.PanelFon));
  p.end();
  PaintFirstInfoLine();
  PaintSecondInfoLine();
  update(area);
}

void TFPanel::PaintFirstInfoLine() {
  const TFileEntry* entry = Browser.GetEntry(CursorIndex());
  if (!entry)
    return;
  QPainter p(&Pixmap);
  const QFont font = ListFont(false);
  const QFontMetrics metrics(font);
  p.setFont(font);
  const int y = Layout.InfoTop + 4;
  const QRect clip(QPoint(6, y), QPoint(width() - 11, y + InfoLineHeightFor(Settings.Length)));
  p.fillRect(clip, ColorFromNumber(Settings.PanelFon));
  p.setClipRect(clip);
  const QString name = '<' + FromBytes(entry->EntryName()) + '>';
  if (Settings.Show_FileName) {
    p.setPen(ColorFromNumber(Settings.SysTextColor));
    p.drawText(QPoint(6, y + metrics.ascent()), name);
  }
  p.setPen(ColorFromNumber(Settings.FileSizeColor));
  if (Settings.Show_FileSize) {
    const int x = 6 + metrics.horizontalAdvance(name + QStringLiteral("   "));
    QString size;
    if (entry->IsFolder())
      size = entry->Size > 0 ? FormatThousands(static_cast<uint64_t>(entry->Size)) : Words.Folder;
    else
      size = entry->Size < 1 ? QStringLiteral("0")
                             : FormatThousands(static_cast<uint64_t>(entry->Size));
    p.drawText(QPoint(x, y + metrics.ascent()), size);
  }
  if (Settings.Show_FileDate && !entry->IsUpEntry()) {
    const QString date = DateText(entry->Written, true);
    const int right = Layout.ListRight - 10;
    p.drawText(QPoint(right - metrics.horizontalAdvance(date), y + metrics.ascent()), date);
  }
  update(clip);
}

void TFPanel::PaintSecondInfoLine() {
  QPainter p(&Pixmap);
  const QFont font = ListFont(false);
  const QFontMetrics metrics(font);
  p.setFont(font);
  const int y = Layout.InfoTop + 4 + InfoLineHeightFor(Settings.Length);
  const int baseline = y + metrics.ascent();
  if (Settings.Show_FreeDisk) {
    p.setPen(ColorFromNumber(Settings.SysTextColor));
    const bool floppy = !Browser.RootPath().empty() && UpCaseAscii(Browser.RootPath()[0]) == 'A';
    QString text;
    if (FreeBytes == 0)
      text = QStringLiteral("0  ") + Words.FreeSpace;
    else if (floppy)
      text = FormatThousands(FreeBytes / 1000) + QStringLiteral("  ") + Words.FreeSpace1;
    else
      text = FormatThousands(FreeBytes / 1000000) + ' ' + Words.FreeSpace;
    p.drawText(QPoint(6, baseline), text);
  }
  if (Browser.SelectedCount() > 0) {
    const QString bytes = Browser.SelectedBytes() < 1
                              ? QStringLiteral("0")
                              : FormatThousands(static_cast<uint64_t>(Browser.SelectedBytes()));
    const QString count = QString::number(Browser.SelectedCount());
    const QString whole =
        bytes + ' ' + Words.Bytes + ' ' + Words.In + ' ' + count + ' ' + Words.Files;
    int x = Layout.ListRight - metrics.horizontalAdvance(whole);
    const QColor numbers = ColorFromNumber(Settings.SysTextColor);
    const QColor words = ColorFromNumber(Settings.FileColor);
    for (const auto& [text, color] :
         {std::pair{bytes, numbers}, std::pair{' ' + Words.Bytes + ' ', words},
          std::pair{count, numbers}, std::pair{' ' + Words.Files, words}}) {
      p.setPen(color);
      p.drawText(QPoint(x, baseline), text);
      x += metrics.horizontalAdvance(text);
    }
  }
}

std::string TFPanel::NativeShownFolder() const {
  if (Browser.SourceKind() != skFolder)
    return {};
  return platform::ModelToNative(Browser.RootPath() + Browser.RelPath()).value_or(std::string());
}

void TFPanel::UpdateDriveInfo() {
  FreeBytes = 0;
  DriveBytes = 0;
  std::string folder = NativeShownFolder();
  if (folder.empty() && !Browser.RootPath().empty())
    if (const auto* drive = platform::TDriveTable::Instance().Find(Browser.RootPath()[0]))
      folder = drive->MountPoint;
  if (folder.empty())
    return;
  if (const auto figures = platform::FolderFigures(folder)) {
    FreeBytes = figures->FreeBytes;
    DriveBytes = figures->TotalBytes;
  }
}

void TFPanel::RefreshKeepingCursor() {
  Browser.Refresh();
  // Keep the cursor on the entry it was on: its index may have moved with the change. The grid
  // only scrolls when that entry is no longer in view.
  const int index = std::clamp(Browser.Cursor, Browser.Count() > 0 ? 1 : 0, Browser.Count());
  const int page = Layout.PageSize(Columns());
  if (index > 0 && (index <= TopIndex || index > TopIndex + page))
    PlaceCursor(index);
  else if (index > 0)
    CursorOffset = index - TopIndex - 1;
  SyncCursorCell();
  DrawList();
  DrawCursor();
}

void TFPanel::ReReadAfterChange() {
  if (Browser.InOperation()) {
    // An engine walks the listing: read the change once it has ended.
    QTimer::singleShot(100, this, [this] { ReReadAfterChange(); });
    return;
  }
  StopMonitor();
  RefreshKeepingCursor();
  StartMonitor();
}

void TFPanel::StartMonitor() {
  const platform::TDrive* drive =
      Browser.RootPath().empty() ? nullptr
                                 : platform::TDriveTable::Instance().Find(Browser.RootPath()[0]);
  if (Browser.SourceKind() != skFolder || !drive || drive->Kind != platform::TDriveKind::Fixed)
    return;
  FolderMonitor->SetMonitorFolder(NativeShownFolder());
  FolderMonitor->StartMonitor();
}

void TFPanel::StopMonitor() {
  FolderMonitor->StopMonitor();
}

void TFPanel::SetMonitorFolder(const std::string& nativeFolder) {
  FolderMonitor->SetMonitorFolder(nativeFolder);
}

bool TFPanel::MonitorActive() const {
  return FolderMonitor->Active();
}

void TFPanel::SetViewMode(TViewMode mode) {
  ViewMode = mode;
  if (mode == vmBrief || mode == vmFull) {
    ListMode = mode;
    Settings.Columns = mode == vmFull ? 1 : 3;
  }
  LayoutAndPaint();
}

void TFPanel::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  if (Pixmap.isNull())
    p.fillRect(event->rect(), ColorFromNumber(Settings.PanelFon));
  else
    p.drawPixmap(event->rect(), Pixmap,
                 QRectF(event->rect().topLeft() * devicePixelRatioF(),
                        event->rect().size() * devicePixelRatioF()));
}

void TFPanel::resizeEvent(QResizeEvent*) {
  LayoutAndPaint();
}

} // namespace corvane
