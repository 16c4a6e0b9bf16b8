#include "drives/my_tool_bar.h"

#include "main/colors.h"
#include "main/fonts.h"
#include "main/language.h"
#include "platform/drive_probe.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace corvane {

TMyToolBar::TMyToolBar(QWidget* parent, TPanelSide side) : QWidget(parent), Side(side) {
  setMouseTracking(true);
  QFont small = SettingsFont(QStringLiteral("Small Fonts"), 7);
  setFont(small);
  QPalette grey = palette();
  grey.setColor(QPalette::WindowText, ColorFromNumber(colors::Gray));
  setPalette(grey);
  OnBeep = [] { QApplication::beep(); };
  ShowTimer = new QTimer(this);
  ShowTimer->setInterval(ShowDelay);
  connect(ShowTimer, &QTimer::timeout, this, [this] { ShowTimerTimer(); });
  HideTimer = new QTimer(this);
  HideTimer->setInterval(HideTick);
  connect(HideTimer, &QTimer::timeout, this, [this] { HideTimerTimer(); });
}

void TMyToolBar::SetDrives(const TDriveLists& drives) {
  Lists = drives;
  if (Hover > Lists.Count()) {
    Hover = 0;
    Framed = false;
    HideLabel();
  }
  update();
}

int TMyToolBar::ButtonAt(QPoint point) const {
  if (point.x() < 0 || point.y() < 0 || point.y() >= height())
    return 0;
  // ceiling((x + 1) / 25), at most the drive count.
  return std::min((point.x() + ButtonWidth) / ButtonWidth, Lists.Count());
}

void TMyToolBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ColorFromNumber(colors::BtnFace));
  for (int i = 0; i < Lists.Count(); ++i) {
    const int left = ButtonWidth * i;
    p.drawImage(left + 4, 0, DriveKindPicture(Lists.Kinds[static_cast<size_t>(i)]));
    p.drawImage(left + 8, 15, LetterGlyph(Lists.Letters[static_cast<size_t>(i)]));
  }
  if (Framed && Hover >= 1 && Hover <= Lists.Count()) {
    const int left = ButtonWidth * (Hover - 1);
    const int right = left + ButtonWidth - 1;
    const int bottom = ButtonHeight - 1;
    p.setPen(ColorFromNumber(colors::White));
    p.drawLine(left, 0, right, 0);
    p.drawLine(left, 0, left, bottom);
    p.setPen(ColorFromNumber(colors::Gray));
    p.drawLine(left, bottom, right, bottom);
    p.drawLine(right, 0, right, bottom);
  }
}

void TMyToolBar::mouseMoveEvent(QMouseEvent* event) {
  if (!window()->isActiveWindow())
    return;
  LastMouse = event->position().toPoint();
  const int button = ButtonAt(LastMouse);
  Ticks = 0; // a move restarts the count
  if (button == Hover)
    return;
  Hover = button;
  Framed = button > 0;
  HideLabel();
  HideTimer->stop();
  if (button > 0)
    ShowTimer->start();
  else
    ShowTimer->stop();
  update();
}

void TMyToolBar::leaveEvent(QEvent*) {
  ShowTimer->stop();
  HideTimer->stop();
  HideLabel();
  Hover = 0;
  Framed = false;
  update();
}

void TMyToolBar::mousePressEvent(QMouseEvent* event) {
  LastMouse = event->position().toPoint();
  ButtonClick(ButtonAt(LastMouse));
}

void TMyToolBar::ButtonClick(int button) {
  if (button < 1 || button > Lists.Count() || !Panel)
    return;
  const char letter = Lists.Letters[static_cast<size_t>(button - 1)];
  if (!platform::IsDriveReady(letter)) {
    if (OnBeep)
      OnBeep();
    Hover = button;
    Framed = true;
    update();
    const QString text =
        Language ? Language->Read("Errors", "DriveNotReady", QString()) : QString();
    ShowLabel(text, true);
    return;
  }
  ShowTimer->stop();
  HideTimer->stop();
  HideLabel();
  OpenDriveFolder(*Panel, OtherPanel, QString(QChar::fromLatin1(letter)) + QStringLiteral(":\\"));
}

void TMyToolBar::ShowTimerTimer() {
  ShowTimer->stop();
  if (Hover < 1 || Hover > Lists.Count())
    return;
  if (!NotReady) {
    const size_t i = static_cast<size_t>(Hover - 1);
    ShowLabel(
        QString(QChar::fromLatin1(Lists.Letters[i])) + QStringLiteral(": ") +
            DriveLabelText(Lists.Letters[i], Lists.Kinds[i], Language, QStringLiteral("No name")),
        false);
  }
}

void TMyToolBar::HideTimerTimer() {
  if (++Ticks <= HideTicks)
    return;
  HideTimer->stop();
  HideLabel();
  Framed = false;
  update();
}

void TMyToolBar::EnsureLabel() {
  if (Hint || !LabelAnchor || !LabelAnchor->parentWidget())
    return;
  // Both bars share the one label of the window.
  QWidget* host = LabelAnchor->parentWidget();
  Hint = host->findChild<QLabel*>(QStringLiteral("DriveHint"), Qt::FindDirectChildrenOnly);
  if (Hint)
    return;
  Hint = new QLabel(host);
  Hint->setObjectName(QStringLiteral("DriveHint"));
  Hint->setAutoFillBackground(true);
  Hint->setFont(SettingsFont(QStringLiteral("Arial"), 8));
  Hint->setFrameShape(QFrame::Box);
  Hint->resize(60, 18);
  Hint->hide();
}

void TMyToolBar::ShowLabel(const QString& text, bool notReady) {
  EnsureLabel();
  if (!Hint)
    return;
  NotReady = notReady;
  QPalette colours = Hint->palette();
  colours.setColor(QPalette::Window,
                   notReady ? ColorFromNumber(colors::InfoBk) : ColorFromNumber(colors::White));
  colours.setColor(QPalette::WindowText, Qt::black);
  Hint->setPalette(colours);
  Hint->setText(text);
  Hint->resize(Hint->fontMetrics().horizontalAdvance(text) + 6, 18);
  QWidget* host = Hint->parentWidget();
  Hint->move(mapTo(host, LastMouse).x() + 5, LabelAnchor->y() + 1);
  Hint->show();
  Hint->raise();
  Ticks = 0;
  HideTimer->start();
}

void TMyToolBar::HideLabel() {
  NotReady = false;
  if (Hint)
    Hint->hide();
}

} // namespace corvane
