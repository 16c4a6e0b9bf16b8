// TMyToolBar: the drive bar above a file panel, a row of small drive buttons.
//
// Each button shows the drive's picture with its letter below; the bar is drawn by hand rather
// than made of tool buttons because its look is fixed to the pixel (25-pixel buttons, the letter
// glyphs of the program's own strip, a one-pixel raised frame only under the mouse). Hovering a
// button frames it and, after half a second, shows a small floating label with the drive's letter
// and volume label; the label goes again after about two seconds without a mouse move. A click
// puts the bar's panel on the drive's root, unless the drive is not ready: then the bar beeps and
// the label says so, and the panel stays where it was.
//
// Nothing the bar paints or shows on hover touches a drive's file system (see drive_items.h);
// only a click asks whether the drive is ready, through the guarded probe.
#pragma once

#include "drives/drive_items.h"
#include "panels/view_mode.h"

#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

namespace corvane {

class TFPanel;
class TLanguageFile;

class TMyToolBar final : public QWidget {
  Q_OBJECT

public:
  static constexpr int ButtonWidth = 25;
  static constexpr int ButtonHeight = 25;
  static constexpr int ShowDelay = 500; // ms before the label shows
  static constexpr int HideTick = 100;  // ms per tick of the hide count
  static constexpr int HideTicks = 20;  // the label goes after more ticks than this

  TMyToolBar(QWidget* parent, TPanelSide side);

  // The drives to show; the bar repaints.
  void SetDrives(const TDriveLists& drives);
  const TDriveLists& Drives() const { return Lists; }
  int DriveCount() const { return Lists.Count(); }
  // The 1-based button under a point of the bar, 0 for none.
  int ButtonAt(QPoint point) const;
  int HoverButton() const { return Hover; }
  bool FrameShown() const { return Framed; }
  bool NotReadyShown() const { return NotReady; }
  QLabel* HintLabel() const { return Hint; }

  // A click on button `button` (1-based).
  void ButtonClick(int button);
  // The two timers' steps.
  void ShowTimerTimer();
  void HideTimerTimer();

  TPanelSide Side;
  // The panel the bar serves and the other one.
  TFPanel* Panel = nullptr;
  TFPanel* OtherPanel = nullptr;
  // The panel whose top the floating label is placed under (the left one, for both bars); the
  // label is a child of that panel's parent.
  QWidget* LabelAnchor = nullptr;
  const TLanguageFile* Language = nullptr;
  // The error sound of a not-ready drive.
  std::function<void()> OnBeep;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

private:
  void ShowLabel(const QString& text, bool notReady);
  void HideLabel();
  void EnsureLabel();

  TDriveLists Lists;
  int Hover = 0;
  bool Framed = false;
  bool NotReady = false;
  int Ticks = 0;
  QPoint LastMouse; // in the bar's coordinates
  QLabel* Hint = nullptr;
  QTimer* ShowTimer = nullptr;
  QTimer* HideTimer = nullptr;
};

} // namespace corvane
