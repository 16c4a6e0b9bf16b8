// TFormDelete: the delete command's window. It asks whether to delete the marked entries (or the
// cursor entry), then either hands each to the trash or runs the browser's delete engine, showing
// each path as it goes and asking before every read-only file (Yes, No, Cancel, All).
//
// A failed move to the trash keeps the file and says so; nothing falls back to deleting for good.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

class TForm1;
class TFPanel;

class TFormDelete final : public QDialog {
  Q_OBJECT

public:
  TFormDelete(TForm1* mainWindow);

  // Texts for the active panel's entries; run when the window is shown, or directly.
  void FormActivate();
  // OK: deletes, re-reads the panels and closes.
  void Button1Click();
  // Cancel: closes before the start, stops the engine while it runs.
  void Button2Click();
  // Esc and the window's close button come here too: while the operation runs they stop it after
  // the current file, as Cancel does, and the window stays until it has stopped.
  void reject() override;

  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  QString Text(const char* key, const QString& fallback) const;
  void DeleteToTrash(TFPanel* panel);
  void DeleteWithEngine(TFPanel* panel);

  TForm1* Main;
  TFPanel* Panel = nullptr;
  bool YesToAll = false;
  bool Running = false;
};

} // namespace corvane
