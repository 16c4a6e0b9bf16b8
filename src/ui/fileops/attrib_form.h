// TFormAttrib: the attributes of the active panel's cursor entry (never the selection): its path,
// folder and date, and the read-only, archive, system and hidden boxes. OK changes what differs;
// inside an archive the values are shown and cannot be changed.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

class TForm1;

class TFormAttrib final : public QDialog {
  Q_OBJECT

public:
  explicit TFormAttrib(TForm1* mainWindow);

  // Fills the window from the cursor entry; the main window runs it before showing it.
  void Fill();
  // OK: the four bits from the boxes; the call is made only when they changed something.
  void OKBtnClick();
  // How attributes are set (the platform by default); tests count the calls.
  std::function<bool(const std::string& nativePath, uint16_t attr)> SetAttributes;

  QLabel* FileDirName = nullptr;
  QLabel* FilePathName = nullptr;
  QLabel* ChangeDate = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* ReadOnly = nullptr;
  QCheckBox* Archive = nullptr;
  QCheckBox* System = nullptr;
  QCheckBox* Hidden = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

private:
  TForm1* Main;
  std::string Path;
  uint16_t OldAttr = 0;
};

// The command: the window over the cursor entry, then both panels re-read whatever the answer.
void AttributesCommand(TForm1& form);

} // namespace corvane
