// TFormRenMove: the move command's window, which also renames. A target without a folder renames
// in place (a mask such as "*.old" renames every marked entry); another folder on the same drive
// is one rename per entry; another drive copies, then deletes each source once its copy is whole.
#pragma once

#include "fileops/transfer.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace corvane {

class TForm1;
class TFPanel;

class TFormRenMove final : public QDialog {
  Q_OBJECT

public:
  explicit TFormRenMove(TForm1* mainWindow);

  // OK: moves or renames, re-reads both panels, closes.
  void Button1Click();
  void Button2Click();
  // Esc and the window's close button come here too: while the operation runs they stop it after
  // the current file, as Cancel does, and the window stays until it has stopped.
  void reject() override;

  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* Edit1 = nullptr;
  QGroupBox* GB2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label2 = nullptr;
  QProgressBar* Progress2 = nullptr;
  QProgressBar* Progress1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

private:
  QString Text(const char* key, const QString& fallback) const;

  TForm1* Main;
  TFPanel* Source;
  QString InitialTarget;
  TTransfer Transfer;
};

} // namespace corvane
