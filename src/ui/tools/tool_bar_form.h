// TFormToolBar: the tool-bar editor. It changes the main window's tool-bar table in place: field
// edits go into the selected button at once, and adding, a separator or removing rebuilds the
// main window's tool bar, so the result shows while the window is open. tb.ini is written by the
// main window (at exit and by "Save configuration").
#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace corvane {

class TForm1;

class TFormToolBar final : public QDialog {
  Q_OBJECT

public:
  explicit TFormToolBar(TForm1* mainWindow);

  void ListClick();         // shows the selected button in the fields
  void Button2Click();      // Add
  void Button3Click();      // Splitter
  void Button4Click();      // Remove
  void SpeedButton1Click(); // ">>" at Icon
  void SpeedButton2Click(); // ">>" at Command

  // Chooses a file: a program (forIcon false) or a picture; "" when cancelled. Tests replace it.
  std::function<QString(bool forIcon)> PickFile;

  QListWidget* List = nullptr;
  QLineEdit* Edit1 = nullptr; // Command
  QLineEdit* Edit2 = nullptr; // Param
  QLineEdit* Edit3 = nullptr; // Path
  QLineEdit* Edit4 = nullptr; // Icon
  QLineEdit* Edit5 = nullptr; // Hint
  QCheckBox* CheckBox1 = nullptr;
  QToolButton* Test = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;

protected:
  void done(int result) override;

private:
  void Edited(); // a field changed: into the selected record
  void Rebuild();
  int Selected() const;

  TForm1* Main;
  bool Filling = false;
};

} // namespace corvane
