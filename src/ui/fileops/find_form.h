// TFormFind: finding files by name below the active panel's folder or from the root of its source
// (a drive, or the inside of an archive). Every hit is listed with its full path; "Go to" moves
// the panel to a hit's folder with the cursor on it, "View" hands it to the viewer. The window is
// made on first use and kept, so the masks typed and the last results stay for the next time.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace corvane {

class TForm1;
class TFPanel;

class TFormFind final : public QDialog {
  Q_OBJECT

public:
  explicit TFormFind(TForm1* mainWindow);

  // Where a hit is: the source it was found in and its place there.
  struct THit {
    std::string Root;
    uint8_t Kind = 0;
    std::string Folder; // relative to the root, ending in "\" (or empty)
    std::string Name;
    bool IsFolder = false;
  };

  void FormActivate();
  void Button1Click(); // Find (Go to while the result list has the focus)
  void Button2Click(); // Stop
  void Button5Click(); // View
  void ListDblClick(); // Go to
  // Cancel, Esc and the close button: a running search stops first.
  void reject() override;

  const std::vector<THit>& Hits() const { return Found; }
  int ChosenIndex = -1; // the hit Go to chose; -1 for none
  bool Searching() const { return Running; }

  QComboBox* Edit1 = nullptr;
  QGroupBox* RG = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanels[3] = {};
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button5 = nullptr;
  QPushButton* Button4 = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  QString Text(const char* key) const;
  void ChangeFolder(const std::string& path);
  void FindFile(const std::string& folder, const std::string& name, int64_t size, bool isFolder);
  void LetMessagesRun();
  void SetIdle(bool idle);

  TForm1* Main;
  TFPanel* SearchPanel = nullptr;
  std::vector<THit> Found;
  int64_t TotalBytes = 0;
  bool Running = false;
  QElapsedTimer SinceMessages;
};

// The command: the kept window, modal; afterwards the panel goes to the hit Go to chose.
void FindFileCommand(TForm1& form);

} // namespace corvane
