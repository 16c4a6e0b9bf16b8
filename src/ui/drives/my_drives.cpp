#include "drives/my_drives.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace corvane {

TMyDrives::TMyDrives(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void TMyDrives::SetDrives(const TDriveLists& drives, const TLanguageFile* language) {
  Lists = drives;
  Texts.clear();
  int widest = 0;
  for (int i = 0; i < Lists.Count(); ++i) {
    const char letter = Lists.Letters[static_cast<size_t>(i)];
    Texts << QString(QChar::fromLatin1(letter)) + QStringLiteral(": ") +
                 DriveLabelText(letter, Lists.Kinds[static_cast<size_t>(i)], language,
                                QStringLiteral("No-name"));
    widest = std::max(widest, fontMetrics().horizontalAdvance(Texts.back()));
  }
  Row = std::clamp(Row, Lists.Count() > 0 ? 1 : 0, Lists.Count());
  // The rows span x 0 to 161; a longer label widens the list rather than being cut.
  resize(std::max(162, TextLeft + widest + 8), RowHeight * Lists.Count() + 2);
  update();
}

void TMyDrives::SetCurrentRow(int row) {
  if (row < 1 || row > Lists.Count() || row == Row)
    return;
  Row = row;
  update();
}

int TMyDrives::RowAt(QPoint point) const {
  if (point.y() < 0)
    return 0;
  return std::min((point.y() + RowHeight) / RowHeight, Lists.Count());
}

void TMyDrives::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& colours = palette();
  p.fillRect(rect(), colours.color(QPalette::Window));
  for (int r = 1; r <= Lists.Count(); ++r) {
    const QRect band(QPoint(0, RowHeight * r - 21), QPoint(width() - 1, RowHeight * r + 1));
    const bool current = r == Row;
    if (current)
      p.fillRect(band, colours.color(QPalette::Highlight));
    p.drawImage(10, RowHeight * r - 17, DriveKindPicture(Lists.Kinds[static_cast<size_t>(r - 1)]));
    p.setPen(colours.color(current ? QPalette::HighlightedText : QPalette::ButtonText));
    const QRect text(TextLeft, RowHeight * r - 17, width() - TextLeft, RowHeight - 6);
    p.drawText(text, Qt::AlignLeft | Qt::AlignTop, Texts.value(r - 1));
  }
}

void TMyDrives::mouseMoveEvent(QMouseEvent* event) {
  if (window()->isActiveWindow())
    SetCurrentRow(RowAt(event->position().toPoint()));
}

void TMyDrives::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    if (OnRightClick)
      OnRightClick();
    return;
  }
  SetCurrentRow(RowAt(event->position().toPoint()));
  if (OnChoose)
    OnChoose();
}

} // namespace corvane
