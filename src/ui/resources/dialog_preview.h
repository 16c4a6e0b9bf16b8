// The preview of a dialog resource, built by our own code from the decoded template: nothing of
// the examined file runs. Each control of a predefined class (buttons of every style, edits,
// statics, list boxes, combo boxes, scroll bars) becomes the Qt widget that looks and behaves
// like it, placed in pixels converted from dialog units through the template's font. A control
// of any other class cannot be shown and counts as stripped, as do the controls a truncated
// template promised but did not hold.
//
// The preview is shown as two windows: the dialog itself and, above it, a placeholder that says
// what it is and closes both when clicked, so that a dialog without a close button of its own can
// still be put away.
#pragma once

#include "resources/dialog_template.h"

#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>
#include <vector>

namespace corvane {

// The dialog's font: the template's face (mapped as the settings fonts are) at its point size,
// weight and slant; the system's dialog font when the template names none.
QFont DialogFont(const resources::TDialogTemplate& dialog);
// The horizontal and vertical dialog base units of a font: the average width of the Latin
// letters and the font's height. A dialog unit is a quarter of the first and an eighth of the
// second.
QPoint DialogBaseUnits(const QFont& font);
// A rectangle in dialog units in pixels, rounded as the platform's MulDiv rounds.
QRect DialogUnitsToPixels(const QRect& units, QPoint baseUnits);

// The dialog window: its controls, in template order, and how many could not be shown.
class TDialogWindow final : public QWidget {
  Q_OBJECT

public:
  // Pictures of static icon and bitmap controls, looked up by their resource name or id; a null
  // pixmap leaves a frame in their place.
  using TPictureLookup = std::function<QPixmap(const resources::TNameOrId& name, bool icon)>;

  TDialogWindow(const resources::TDialogTemplate& dialog, const TPictureLookup& pictures,
                QWidget* parent);

  const std::vector<QWidget*>& Controls() const { return Made; }
  int Stripped() const { return StrippedCount; }

private:
  QWidget* MakeControl(const resources::TDialogControl& control, const TPictureLookup& pictures);

  std::vector<QWidget*> Made;
  int StrippedCount = 0;
  QWidget* Client = nullptr;
};

// The placeholder window, 500 pixels wide: it owns the dialog window, and a click on it (or
// closing it) closes and frees both.
class TDialogPlaceholder final : public QWidget {
  Q_OBJECT

public:
  TDialogPlaceholder(const resources::TDialogTemplate& dialog,
                     const TDialogWindow::TPictureLookup& pictures);
  TDialogWindow* Dialog() const { return DialogWindow; }
  // Shows the placeholder at `at` and the dialog below it.
  void ShowBoth(QPoint at);

protected:
  void mousePressEvent(QMouseEvent* event) override;

private:
  TDialogWindow* DialogWindow = nullptr;
};

} // namespace corvane
