#include "resources/hex_dump.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace corvane {

namespace {

constexpr int AddressColumns = 10; // "00000000:" and a blank

QChar Printable(uint8_t byte) {
  return byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0) ? QChar('.')
                                                                      : QChar(char16_t(byte));
}

} // namespace

THexDump::THexDump(QWidget* parent) : QAbstractScrollArea(parent) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette colours = viewport()->palette();
  colours.setColor(QPalette::Base, Qt::white);
  viewport()->setPalette(colours);
  viewport()->setAutoFillBackground(true);
  AdjustLayout();
}

int THexDump::LineHeight() const {
  return QFontMetrics(font()).boundingRect(QStringLiteral("A")).height() + 2;
}

int THexDump::CharWidth() const {
  return QFontMetrics(font()).horizontalAdvance(QStringLiteral("D")) + 1;
}

void THexDump::SetData(std::span<const uint8_t> data) {
  Bytes = data;
  Current = 0;
  Top = 0;
  AdjustLayout();
  verticalScrollBar()->setValue(0);
  viewport()->update();
}

void THexDump::AdjustLayout() {
  setFrameShape(Border ? QFrame::Box : QFrame::NoFrame);
  const int height = LineHeight();
  const int width = CharWidth();
  Visible = viewport()->height() / height + 1;
  int columns = viewport()->width() / width;
  if (ShowAddress)
    columns -= AddressColumns;
  PerLine = std::clamp(columns / (ShowCharacters ? 4 : 3), 1, 16);
  const size_t size = Bytes.size();
  Lines = static_cast<int>(std::min<size_t>(size / PerLine + (size % PerLine ? 1 : 0), INT32_MAX));
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, std::max(0, Lines - 1));
  bar->setSingleStep(1);
  bar->setPageStep(std::max(1, Visible - 1));
  Top = bar->value();
  Current = std::clamp(Current, 0, std::max(0, Lines - 1));
  viewport()->update();
}

QString THexDump::LineText(int line) const {
  if (line < 0 || line >= Lines)
    return {};
  const size_t first = static_cast<size_t>(line) * PerLine;
  const size_t count = std::min<size_t>(PerLine, Bytes.size() - first);
  QString text;
  if (ShowAddress)
    text += QStringLiteral("%1: ").arg(first, 8, 16, QChar('0')).toUpper();
  for (size_t i = 0; i < count; ++i)
    text += QStringLiteral(" %1").arg(Bytes[first + i], 2, 16, QChar('0')).toUpper();
  if (ShowCharacters) {
    text += QStringLiteral("  ");
    for (size_t i = 0; i < count; ++i)
      text += Printable(Bytes[first + i]);
  }
  return text;
}

void THexDump::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const int width = CharWidth();
  const QFontMetrics metrics(font());
  const QRect dirty = event->rect();
  const int firstRow = std::max(0, dirty.top() / height);
  const int lastRow = std::min(Visible, dirty.bottom() / height + 1);
  const int hexLeft = ShowAddress ? AddressColumns * width : 0;
  const int charLeft = hexLeft + PerLine * 3 * width;
  for (int row = firstRow; row <= lastRow; ++row) {
    const int line = Top + row;
    if (line >= Lines)
      break;
    const int y = row * height + metrics.ascent() + 1;
    const size_t first = static_cast<size_t>(line) * PerLine;
    const size_t count = std::min<size_t>(PerLine, Bytes.size() - first);
    if (ShowAddress) {
      painter.setPen(AddressColor);
      painter.drawText(0, y, QStringLiteral("%1:").arg(first, 8, 16, QChar('0')).toUpper());
    }
    painter.setPen(HexColor);
    for (size_t i = 0; i < count; ++i)
      painter.drawText(hexLeft + static_cast<int>(i) * 3 * width, y,
                       QStringLiteral("%1").arg(Bytes[first + i], 2, 16, QChar('0')).toUpper());
    if (ShowCharacters) {
      painter.setPen(CharColor);
      for (size_t i = 0; i < count; ++i)
        painter.drawText(charLeft + static_cast<int>(i) * width, y,
                         QString(Printable(Bytes[first + i])));
    }
  }
}

void THexDump::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  AdjustLayout();
}

bool THexDump::event(QEvent* event) {
  if (event->type() == QEvent::FontChange)
    AdjustLayout();
  return QAbstractScrollArea::event(event);
}

void THexDump::scrollContentsBy(int, int dy) {
  Top = verticalScrollBar()->value();
  // One line: move what is on screen and paint only the line that came into view.
  if (dy == 1 || dy == -1)
    viewport()->scroll(0, dy * LineHeight());
  else
    viewport()->update();
}

void THexDump::SetCurrent(int line) {
  Current = std::clamp(line, 0, std::max(0, Lines - 1));
  int top = Top;
  if (Current < top)
    top = Current;
  else if (Current >= top + Visible - 1)
    top = Current - Visible + 2;
  verticalScrollBar()->setValue(std::max(0, top));
  Top = verticalScrollBar()->value();
}

void THexDump::keyPressEvent(QKeyEvent* event) {
  if (Bytes.empty()) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
  case Qt::Key_Up:
    SetCurrent(Current - 1);
    break;
  case Qt::Key_Down:
    SetCurrent(Current + 1);
    break;
  case Qt::Key_PageUp:
    SetCurrent(Current - Visible);
    break;
  case Qt::Key_PageDown:
    SetCurrent(Current + Visible);
    break;
  case Qt::Key_Home:
    SetCurrent(0);
    break;
  case Qt::Key_End:
    SetCurrent(Lines - 1);
    break;
  default:
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

void THexDump::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() == Qt::LeftButton && !Bytes.empty())
    SetCurrent(Top + event->position().toPoint().y() / LineHeight());
}

} // namespace corvane
