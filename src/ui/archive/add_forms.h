// TFormAdd ("Add to archive") packs the active panel's selection, or its cursor entry, into a new
// or existing archive with an outside archiver, through the archive source's copy-in: the
// archiver's command lines come from the archiver table. TFormArcParam edits those lines and
// flags for ZIP, ARJ and RAR.
//
// The archiver alone removes what it stored when "Delete files after archiving" is on (its move
// line); a missing archiver or one that fails is reported with the end of its log, and then
// nothing is deleted.
#pragma once

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace corvane {

class TForm1;

class TFormArcParam final : public QDialog {
  Q_OBJECT

public:
  explicit TFormArcParam(TForm1* mainWindow);
  // OK: the pages' lines and flags into the archiver table.
  void Button1Click();

  QTabWidget* PageControl1 = nullptr;
  std::array<QPlainTextEdit*, 3> Memos{}; // ZIP, ARJ, RAR
  std::array<QCheckBox*, 3> LongNames{};  // "Use long filename"
  std::array<QCheckBox*, 3> Oem{};        // "Convert command to OEM string"
  std::array<QCheckBox*, 3> Internal{};   // hidden, disabled
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

private:
  TForm1* Main;
};

class TFormAdd final : public QDialog {
  Q_OBJECT

public:
  explicit TFormAdd(TForm1* mainWindow);
  // Closing by any button keeps the chosen type in ArcDef.
  void done(int result) override;

  // Proposes the archive name from the selection or the cursor entry; run when shown.
  void FormActivate();
  // Add: packs, updates the panels and closes; nothing while the name is empty.
  void Button1Click();
  // Options: the archivers' options window.
  void Button3Click();
  // "zip", "arj" or "rar", as the checked button says.
  std::string ArchiveKind() const;

  QGroupBox* GroupBox1 = nullptr;
  std::array<QRadioButton*, 3> Types{}; // ZIP, ARJ, RAR
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  TForm1* Main;
};

// The command: the window, modal.
void AddToArchiveCommand(TForm1& form);

} // namespace corvane
