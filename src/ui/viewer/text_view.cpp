#include "viewer/text_view.h"

#include "viewer/text_lines.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace corvane {

namespace {

constexpr int HexWidth = 16;
constexpr int ScrollSteps = 100000;
constexpr int TabWidth = 8;
// Columns a line shows at most without wrapping; the rest of a longer line is cut off.
constexpr int MaxColumns = 4096;

} // namespace

TTextView::TTextView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("TextView"));
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::TypeWriter);
  setFont(font);
  viewport()->setFont(font);
  setFocusPolicy(Qt::StrongFocus);
  verticalScrollBar()->setRange(0, ScrollSteps);
  // The bar's value is the offset of the top only while its handle is dragged; its arrows and
  // page clicks move by rows, which an offset step of a big file would not.
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      PendingRows = 1;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      PendingRows = -1;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      PendingRows = qMax(1, PageRows() - 1);
      break;
    case QAbstractSlider::SliderPageStepSub:
      PendingRows = -qMax(1, PageRows() - 1);
      break;
    default:
      PendingRows = 0;
    }
  });
  horizontalScrollBar()->setRange(0, 0);
  viewport()->setAutoFillBackground(true);
}

void TTextView::Reset() {
  Top = 0;
  TopRow = 0;
  LeftColumn = 0;
  HitStart = HitBytes = 0;
  Moved();
}

void TTextView::SetHex(bool hex) {
  if (hex == HexMode)
    return;
  const uint64_t offset = Top;
  HexMode = hex;
  GoToOffset(offset);
}

void TTextView::SetWrap(bool wrap) {
  WrapMode = wrap;
  TopRow = 0;
  LeftColumn = 0;
  Moved();
}

void TTextView::SetCodePage(viewer::TCodePage page) {
  const uint64_t offset = Top;
  Page = page;
  GoToOffset(offset); // line starts of UTF-16 differ from those of the one-byte pages
}

uint64_t TTextView::DataStart() {
  return viewer::BomLength(ViewFile.Read(0, 4), Page);
}

int TTextView::PageRows() const {
  const int height = QFontMetrics(font()).lineSpacing();
  return qMax(1, viewport()->height() / qMax(1, height));
}

int TTextView::Columns() const {
  const int width = QFontMetrics(font()).horizontalAdvance(QLatin1Char('M'));
  return qMax(8, (viewport()->width() - 4) / qMax(1, width));
}

QString TTextView::DisplayText(std::string_view bytes) const {
  const QString decoded = QString::fromStdString(viewer::DecodeText(bytes, Page));
  QString shown;
  shown.reserve(decoded.size());
  for (const QChar c : decoded) {
    if (c == QLatin1Char('\t')) {
      do
        shown += QLatin1Char(' ');
      while (shown.size() % TabWidth != 0);
    } else if (c.unicode() < 0x20 || c.unicode() == 0x7F ||
               (c.unicode() >= 0x80 && c.unicode() < 0xA0)) {
      shown += QChar(0x00B7); // a control character: a dot keeps the columns
    } else {
      shown += c;
    }
  }
  return shown;
}

int TTextView::RowsOfLine(uint64_t lineStart) {
  if (!WrapMode || HexMode)
    return 1;
  const uint64_t next = viewer::NextLineStart(ViewFile, lineStart, Page);
  std::string bytes = ViewFile.Read(lineStart, static_cast<size_t>(next - lineStart));
  if (lineStart == 0)
    bytes.erase(0, DataStart());
  const qsizetype length = DisplayText(viewer::WithoutLineEnd(bytes, Page)).size();
  return qMax<int>(1, static_cast<int>((length + Columns() - 1) / Columns()));
}

uint64_t TTextView::LastLineStart() {
  if (HexMode)
    return ViewFile.Size() == 0 ? 0 : (ViewFile.Size() - 1) / HexWidth * HexWidth;
  return ViewFile.Size() == 0 ? 0 : viewer::LineStartAt(ViewFile, ViewFile.Size() - 1, Page);
}

std::vector<TTextView::TRow> TTextView::BuildRows(int count) {
  std::vector<TRow> rows;
  const uint64_t size = ViewFile.Size();
  const uint64_t hitEnd = HitStart + HitBytes;
  if (HexMode) {
    for (uint64_t offset = Top; static_cast<int>(rows.size()) < count && offset < size;
         offset += HexWidth) {
      const std::string bytes = ViewFile.Read(offset, HexWidth);
      QString line = QStringLiteral("%1  ").arg(offset, 10, 16, QLatin1Char('0')).toUpper();
      TRow row{offset, {}, {}};
      int hexFrom = -1, hexTo = -1, charFrom = -1, charTo = -1;
      for (int i = 0; i < HexWidth; ++i) {
        if (i == 8)
          line += QLatin1Char(' ');
        if (i < static_cast<int>(bytes.size())) {
          const uint64_t at = offset + static_cast<uint64_t>(i);
          if (HitBytes > 0 && at >= HitStart && at < hitEnd) {
            if (hexFrom < 0) {
              hexFrom = static_cast<int>(line.size());
              charFrom = i;
            }
            hexTo = static_cast<int>(line.size()) + 2;
            charTo = i + 1;
          }
          line += QStringLiteral("%1 ")
                      .arg(static_cast<unsigned char>(bytes[static_cast<size_t>(i)]), 2, 16,
                           QLatin1Char('0'))
                      .toUpper();
        } else {
          line += QStringLiteral("   ");
        }
      }
      line += QLatin1Char(' ');
      // One character for each byte: the hit's bytes are its characters' columns too.
      const int characters = static_cast<int>(line.size());
      line += QString::fromStdString(viewer::HexColumnText(bytes, Page));
      if (hexFrom >= 0)
        row.Marks = {{hexFrom, hexTo}, {characters + charFrom, characters + charTo}};
      row.Text = line;
      rows.push_back(row);
    }
    return rows;
  }
  const int columns = Columns();
  const uint64_t dataStart = DataStart();
  uint64_t line = Top;
  int skip = TopRow;
  while (static_cast<int>(rows.size()) < count && line < size) {
    const uint64_t next = viewer::NextLineStart(ViewFile, line, Page);
    const uint64_t from = line == 0 ? std::min(dataStart, next) : line;
    const std::string bytes = ViewFile.Read(from, static_cast<size_t>(next - from));
    const std::string_view content = viewer::WithoutLineEnd(bytes, Page);
    const QString text = DisplayText(content);
    int hitFrom = -1, hitTo = -1;
    if (HitBytes > 0 && HitStart < from + content.size() && hitEnd > from) {
      const uint64_t a = std::max(HitStart, from) - from;
      const uint64_t b = std::min<uint64_t>(hitEnd, from + content.size()) - from;
      hitFrom = static_cast<int>(DisplayText(content.substr(0, static_cast<size_t>(a))).size());
      hitTo = static_cast<int>(DisplayText(content.substr(0, static_cast<size_t>(b))).size());
    }
    if (WrapMode) {
      const int count_ = qMax(1, static_cast<int>((text.size() + columns - 1) / columns));
      for (int r = skip; r < count_ && static_cast<int>(rows.size()) < count; ++r) {
        TRow row{line, text.mid(r * columns, columns), {}};
        if (hitFrom >= 0 && hitTo > r * columns && hitFrom < (r + 1) * columns)
          row.Marks = {{qMax(0, hitFrom - r * columns), qMin(columns, hitTo - r * columns)}};
        rows.push_back(row);
      }
    } else {
      TRow row{line, text.left(MaxColumns).mid(LeftColumn), {}};
      if (hitFrom >= 0)
        row.Marks = {{qMax(0, hitFrom - LeftColumn), qMax(0, hitTo - LeftColumn)}};
      rows.push_back(row);
    }
    skip = 0;
    line = next;
  }
  return rows;
}

QStringList TTextView::PageText() {
  QStringList list;
  for (const TRow& row : BuildRows(PageRows()))
    list << row.Text;
  return list;
}

bool TTextView::AtEnd() {
  const int rows = PageRows();
  if (HexMode)
    return Top + static_cast<uint64_t>(rows) * HexWidth >= ViewFile.Size();
  // No row holds more than a line, and no line more than MaxLineBytes: far from the end there is
  // nothing to build.
  if (ViewFile.Size() - std::min(Top, ViewFile.Size()) >
      static_cast<uint64_t>(rows + 1) * viewer::MaxLineBytes)
    return false;
  return static_cast<int>(BuildRows(rows + 1).size()) <= rows;
}

void TTextView::ScrollRows(int rows) {
  for (; rows > 0; --rows) {
    if (AtEnd())
      break;
    if (HexMode) {
      Top += HexWidth;
      continue;
    }
    if (TopRow + 1 < RowsOfLine(Top)) {
      ++TopRow;
      continue;
    }
    const uint64_t next = viewer::NextLineStart(ViewFile, Top, Page);
    if (next >= ViewFile.Size())
      break;
    Top = next;
    TopRow = 0;
  }
  for (; rows < 0; ++rows) {
    if (HexMode) {
      Top = Top >= HexWidth ? Top - HexWidth : 0;
      continue;
    }
    if (TopRow > 0) {
      --TopRow;
      continue;
    }
    if (Top == 0)
      break;
    Top = viewer::PreviousLineStart(ViewFile, Top, Page);
    TopRow = RowsOfLine(Top) - 1;
  }
  Moved();
}

void TTextView::GoHome() {
  Top = 0;
  TopRow = 0;
  LeftColumn = 0;
  Moved();
}

void TTextView::GoEnd() {
  Top = LastLineStart();
  TopRow = qMax(0, RowsOfLine(Top) - 1);
  ScrollRows(-(PageRows() - 1));
}

void TTextView::GoToOffset(uint64_t offset) {
  offset = std::min(offset, ViewFile.Size());
  if (HexMode) {
    Top = offset / HexWidth * HexWidth;
    TopRow = 0;
  } else {
    Top = viewer::LineStartAt(ViewFile, offset, Page);
    TopRow = 0;
    if (WrapMode && offset > Top) {
      const std::string before = ViewFile.Read(Top, static_cast<size_t>(offset - Top));
      TopRow = static_cast<int>(DisplayText(before).size() / Columns());
    }
  }
  Moved();
}

void TTextView::ShowHit(uint64_t offset, uint64_t length) {
  HitStart = offset;
  HitBytes = length;
  if (length == 0) {
    Moved();
    return;
  }
  if (!WrapMode && !HexMode) {
    // The hit's column must be on the page too.
    const uint64_t line = viewer::LineStartAt(ViewFile, offset, Page);
    const std::string before = ViewFile.Read(line, static_cast<size_t>(offset - line));
    const int column = static_cast<int>(DisplayText(before).size());
    if (column < LeftColumn || column >= LeftColumn + Columns() - 8)
      LeftColumn = qMax(0, column - Columns() / 3);
  }
  GoToOffset(offset);
  ScrollRows(-qMin(3, PageRows() / 3)); // a little of what comes before
}

void TTextView::FileChanged() {
  if (Top > ViewFile.Size())
    GoEnd();
  else
    Moved();
}

void TTextView::Moved() {
  UpdateScrollBars();
  viewport()->update();
  if (OnMoved)
    OnMoved();
}

void TTextView::UpdateScrollBars() {
  Syncing = true;
  const uint64_t size = ViewFile.Size();
  verticalScrollBar()->setPageStep(ScrollSteps / 20);
  verticalScrollBar()->setValue(
      size == 0
          ? 0
          : static_cast<int>(static_cast<double>(Top) / static_cast<double>(size) * ScrollSteps));
  if (WrapMode || HexMode) {
    horizontalScrollBar()->setRange(0, 0);
  } else {
    horizontalScrollBar()->setRange(0, MaxColumns);
    horizontalScrollBar()->setPageStep(Columns());
    horizontalScrollBar()->setValue(LeftColumn);
  }
  Syncing = false;
}

void TTextView::scrollContentsBy(int dx, int dy) {
  if (Syncing)
    return;
  if (dx != 0) {
    LeftColumn = horizontalScrollBar()->value();
    viewport()->update();
  }
  if (dy == 0)
    return;
  if (PendingRows != 0) {
    // An arrow or a click beside the handle: rows and pages, as the keys move.
    const int rows = std::exchange(PendingRows, 0);
    ScrollRows(rows);
    return;
  }
  const int value = verticalScrollBar()->value();
  const uint64_t size = ViewFile.Size();
  const uint64_t wanted =
      static_cast<uint64_t>(static_cast<double>(value) / ScrollSteps * static_cast<double>(size));
  // A drag to the bottom shows the last page rather than the last line alone.
  if (value >= ScrollSteps)
    GoEnd();
  else if (HexMode)
    GoToOffset(wanted);
  else {
    Top = viewer::LineStartAt(ViewFile, wanted, Page);
    TopRow = 0;
    viewport()->update();
    if (OnMoved)
      OnMoved();
  }
}

void TTextView::wheelEvent(QWheelEvent* event) {
  WheelRest += event->angleDelta().y();
  const int rows = WheelRest / 40; // three rows a notch
  WheelRest -= rows * 40;
  if (rows != 0)
    ScrollRows(-rows);
  event->accept();
}

void TTextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  TopRow = qMin(TopRow, RowsOfLine(Top) - 1);
  UpdateScrollBars();
}

void TTextView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QFontMetricsF metrics(font());
  const double lineHeight = metrics.lineSpacing();
  const QPalette& colors = palette();
  double y = 0;
  for (const TRow& row : BuildRows(PageRows() + 1)) {
    // Marked columns are measured in the font's own advances, so that the mark covers its
    // characters exactly even where they are not all of one width.
    double x = 2;
    int column = 0;
    const double baseline = y + metrics.ascent();
    const auto draw = [&](int to, bool marked) {
      const QString part = row.Text.mid(column, to - column);
      const double width = metrics.horizontalAdvance(part);
      if (marked)
        painter.fillRect(QRectF(x, y, width, lineHeight), colors.highlight());
      painter.setPen(marked ? colors.highlightedText().color() : colors.text().color());
      painter.drawText(QPointF(x, baseline), part);
      x += width;
      column = to;
    };
    for (const auto& [from, to] : row.Marks) {
      if (to <= from || from < column)
        continue;
      draw(from, false);
      draw(to, true);
    }
    draw(static_cast<int>(row.Text.size()), false);
    y += lineHeight;
  }
}

void TTextView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
  case Qt::Key_Down:
    ScrollRows(1);
    break;
  case Qt::Key_Up:
    ScrollRows(-1);
    break;
  case Qt::Key_PageDown:
  case Qt::Key_Space:
    PageDown();
    break;
  case Qt::Key_PageUp:
    PageUp();
    break;
  case Qt::Key_Home:
    GoHome();
    break;
  case Qt::Key_End:
    GoEnd();
    break;
  case Qt::Key_Right:
    if (!WrapMode && !HexMode) {
      LeftColumn = qMin(MaxColumns, LeftColumn + 8);
      Moved();
    }
    break;
  case Qt::Key_Left:
    if (!WrapMode && !HexMode) {
      LeftColumn = qMax(0, LeftColumn - 8);
      Moved();
    }
    break;
  default:
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

} // namespace corvane
