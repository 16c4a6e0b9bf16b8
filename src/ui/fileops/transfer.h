// TTransfer: what the copy and the move windows share: running the browser's copy engine with
// their progress page (the current file, the whole operation, the percentage in the main window's
// title) and the overwrite question (Yes, No, Cancel, All). The events are bound for the run only.
#pragma once

#include <QString>

#include <cstdint>

class QDialog;
class QGroupBox;
class QLabel;
class QProgressBar;

namespace corvane {

class TForm1;
class TFPanel;

struct TTransferTexts {
  QString Copied;            // status line prefix
  QString File;              // first word of the overwrite question
  QString Overwrite;         // "already exists. Overwrite?"
  QString OverwriteReadOnly; // the same for a read-only target
  QString Error;             // a failed file, when failures are reported
};

// The progress page of a copy or move window: the status line, the current file and two bars.
struct TProgressPage {
  QGroupBox* Box;
  QLabel* Status;
  QLabel* Current;
  QProgressBar* FileBar;
  QProgressBar* TotalBar;
};
TProgressPage MakeProgressPage(QDialog* dialog, int height);

class TTransfer final {
public:
  TTransfer(TForm1* main, QDialog* dialog, QLabel* status, QLabel* current, QProgressBar* fileBar,
            QProgressBar* totalBar);

  // Copies (or moves) the source panel's selection to the typed target, or to the other panel
  // when the text was not changed, with the folder monitors off meanwhile; both panels are read
  // again afterwards. False when the engine could not start.
  bool Run(TFPanel* source, const QString& target, const QString& initialTarget, bool move,
           bool reportErrors, const TTransferTexts& texts);
  void Stop();
  // Targets on the floppy drives: false when the selection does not fit and the user says No.
  bool EnoughSpace(TFPanel* source, const QString& target, const QString& question);
  bool Running() const { return IsRunning; }
  bool YesToAll = false;
  // How often the progress page follows the files, at most.
  static constexpr qint64 UpdateMs = 40;

private:
  TForm1* Main;
  QDialog* Dialog;
  QLabel* Status;
  QLabel* Current;
  QProgressBar* FileBar;
  QProgressBar* TotalBar;
  TFPanel* Source = nullptr;
  bool IsRunning = false;
  int64_t GrandTotal = 0;
  int64_t FinishedBytes = 0;
  int64_t CurrentSize = 0;
  int FilesDone = 0;
};

} // namespace corvane
