// TFormNewDir and TFormNewFile: the windows that make a folder (F7) and an empty file (Shift+F4)
// in the active panel's folder, or at a path typed as one. Nothing that exists is ever replaced:
// a folder or file of that name is reported and left as it is. Afterwards both panels show the
// change and the active one has its cursor on the new entry.
#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace corvane {

class TForm1;

// What the two windows share: the name field, OK and Cancel, captions from a language section.
class TFormNewEntry : public QDialog {
  Q_OBJECT

public:
  // Empties the name field and gives it the focus; run when the window is shown.
  void FormActivate();
  // OK: makes the entry (nothing while the name is empty), updates the panels and closes.
  virtual void Button1Click() = 0;

  QGroupBox* GroupBox1 = nullptr;
  QComboBox* Edit1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

protected:
  TFormNewEntry(TForm1* mainWindow, const char* objectName, const char* section);
  void showEvent(QShowEvent* event) override;
  // Re-reads both panels with their monitors off meanwhile; the active one's cursor goes to
  // `model` when it shows that entry.
  void UpdatePanels(const std::string& model);

  TForm1* Main;
};

class TFormNewDir final : public TFormNewEntry {
  Q_OBJECT

public:
  explicit TFormNewDir(TForm1* mainWindow);
  void Button1Click() override;
};

class TFormNewFile final : public TFormNewEntry {
  Q_OBJECT

public:
  explicit TFormNewFile(TForm1* mainWindow);
  void Button1Click() override;
};

} // namespace corvane
