// TFormDrive: the change-drive window, a small window listing the drives (TMyDrives) that puts a
// panel on the drive chosen.
//
// The main window makes it once and hides it between uses. Opening it names the panel it will
// change; it then places itself beside that panel, with the panel's drive as the current row.
// Keys move the current row (round from the last to the first and back), a letter chooses its
// drive at once, Enter or a click chooses the current row, Esc, a right click or the window losing
// the focus closes it. A drive that is not ready is refused with a message and the window stays.
// Choosing for the inactive panel the drive the active panel shows opens the active panel's
// folder rather than the root, so that two panels on one drive start side by side.
#pragma once

#include "drives/drive_items.h"
#include "panels/view_mode.h"

#include <QDialog>

namespace corvane {

class TFPanel;
class TLanguageFile;
class TMyDrives;

class TFormDrive final : public QDialog {
  Q_OBJECT

public:
  explicit TFormDrive(QWidget* mainWindow);

  // Fills the list; the window fits it.
  void SetDrives(const TDriveLists& drives);
  // Shows the window for a panel; modal blocks the main window until it closes.
  void Open(TPanelSide side, bool modal);
  // Chooses a row (1-based) for the target panel.
  void ChooseRow(int row);
  // The window's keys; true when the key was used.
  bool KeyDown(int key, const QString& text);

  TMyDrives* List() const { return Drives; }
  TPanelSide TargetSide = TPanelSide::Left;
  QString NotReadyText;
  TFPanel* PanelLeft = nullptr;
  TFPanel* PanelRight = nullptr;
  const TLanguageFile* Language = nullptr;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

private:
  void FormActivate();
  void FitToList();

  TMyDrives* Drives = nullptr;
  bool Asking = false; // the not-ready message is up: losing the focus to it closes nothing
};

} // namespace corvane
