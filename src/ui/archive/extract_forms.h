// Unpacking a whole archive that lies in a folder panel. Two windows take part: TFormExtract, where
// the user picks the target folder and the password, and TFormExtFile, which counts the archive's
// entries with the directory reader, runs the extractor that fits the archive's detected type and
// shows the progress. Two commands start them: "Extract files" opens the dialog (target: the other
// panel's folder); Shift+Enter extracts at once into the active panel's own folder with the
// password typed last.
#pragma once

#include "archive/archive_types.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace corvane {

class TForm1;

namespace archive {
class TUnBase;
}

// One extraction: the archive and the target folder, as model paths.
struct TExtractRequest {
  std::string Archive;
  std::string Target;
};

// The archive password: the one typed last in the extract dialog, kept until the program ends
// (empty at start) and handed to every extraction.
std::string& ExtractPassword();

// The texts the extraction window shows. They start as the built-in English texts; every extract
// dialog that is made reads them again from the language file.
struct TExtractTexts {
  QString File = QStringLiteral("File");
  QString From = QStringLiteral("from");
  QString Extracting = QStringLiteral("Extracting");
  QString Scan = QStringLiteral("Preparing to extract files...");
  QString NoExtractor = QStringLiteral("Archives of this type cannot be extracted.");
  QString NoTarget = QStringLiteral("The target folder cannot be created:");
  QString FailedOne = QStringLiteral("1 file could not be extracted:");
  QString Failed = QStringLiteral("%1 files could not be extracted:");
  QString More = QStringLiteral("... and %1 more");
};
TExtractTexts& ExtractTexts();

// "Extract files": the target folder (a typed model path or native absolute path; a relative one
// is taken below the active panel's folder) and the password.
class TFormExtract final : public QDialog {
  Q_OBJECT

public:
  explicit TFormExtract(TForm1* mainWindow);

  // Extract: stores the password, hides the dialog and runs the extraction window over the
  // archive under the active panel's cursor, with the folder monitors off meanwhile.
  void Button1Click();
  // The target folder typed in Edit1 as a model path.
  std::string TargetFolder() const;

  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* Edit1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

private:
  QString Text(const char* key) const;

  TForm1* Main;
};

// "Extracting...": counts the entries, extracts them all, shows which file of how many is being
// written with two bars and the percentage in the main window's title, then closes by itself.
// Faults of single entries are gathered and shown together at the end; a fault that ends the
// extraction is shown and closes the window. Closing the window while it works stops the
// extraction after the current block.
class TFormExtFile final : public QDialog {
  Q_OBJECT

public:
  TFormExtFile(TForm1* mainWindow, TExtractRequest request);
  ~TFormExtFile() override;

  // The whole work, once: read, extract, re-read both panels, report, close. It starts from the
  // event loop as soon as the window shows.
  void FormActivate();

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QProgressBar* PB1 = nullptr;
  QProgressBar* PB2 = nullptr;

  int EntriesRead = 0;
  int FilesStarted = 0;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

public slots:
  void reject() override;

private:
  struct TEntryFault {
    std::string Name;
    int Code;
    std::string Text;
  };
  // Reads the directory, counting the entries. False when it failed; `report` then holds what is
  // still to be told (the reader's own messages are shown at once).
  bool CountEntries(const std::string& nativeArchive, archive::TArcType& type, QString& report);
  // Runs the extractor of the type; returns what is to be told at the end (empty: nothing).
  QString ExtractAll(const std::string& nativeArchive, archive::TArcType type);
  void FileStarted(const std::string& name);
  void StopWork();
  QString FaultSummary() const;

  TForm1* Main;
  TExtractRequest Request;
  std::unique_ptr<archive::TUnBase> Extractor;
  std::vector<TEntryFault> Faults;
  std::string LastName;
  QElapsedTimer SinceEvents; // window events last let run during a file
  bool Started = false;
  bool Running = false;
  bool StopAsked = false;
};

// The two commands, as the main window runs them (it has checked that the cursor entry of a real
// folder is an archive).
void ExtractFilesCommand(TForm1* mainWindow);
void ExtractAllCommand(TForm1* mainWindow);

} // namespace corvane
