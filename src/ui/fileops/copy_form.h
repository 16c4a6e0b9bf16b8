// TFormCopy: the copy command's window. It shows what is copied and where to, lets the user
// change the target, then runs the browser's copy engine with a progress page: the current file,
// the whole operation, and the percentage in the title. Overwrite questions offer Yes, No, Cancel
// and All; a failed file is reported and stays marked.
#pragma once

#include "fileops/transfer.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace corvane {

class TForm1;
class TFPanel;

class TFormCopy final : public QDialog {
  Q_OBJECT

public:
  explicit TFormCopy(TForm1* mainWindow);

  void FormActivate();
  // OK: copies, re-reads both panels, closes.
  void Button1Click();
  // Cancel: closes before the start, stops the copy while it runs.
  void Button2Click();
  // Esc and the window's close button come here too: while the operation runs they stop it after
  // the current file, as Cancel does, and the window stays until it has stopped.
  void reject() override;

  QGroupBox* GB1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QGroupBox* GB2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label2 = nullptr;
  QProgressBar* Progress2 = nullptr;
  QProgressBar* Progress1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  QString Text(const char* key, const QString& fallback) const;

  TForm1* Main;
  TFPanel* Source = nullptr;
  QString InitialTarget;
  TTransfer Transfer;
};

} // namespace corvane
