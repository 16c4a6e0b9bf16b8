// TFormMenu: the user menu (F2). It lists the programs of cv.mnu by caption and starts the one
// chosen in the active panel's folder; Options unfolds the editing of the list, which is written
// back when the window closes.
//
// Commands run as an argument list, never through a shell: a command with parameters is split
// into words as a shell would split them. The list shows the entries whose program is there, so
// that the shipped menu offers what this desktop has; while editing, every entry shows.
#pragma once

#include "config/user_menu.h"

#include <QDialog>

#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace corvane {

class TForm1;

class TFormMenu final : public QDialog {
  Q_OBJECT

public:
  explicit TFormMenu(TForm1* mainWindow);

  void FormActivate();
  void Button1Click(); // Start
  void Button3Click(); // Options: editing on or off
  void Button4Click(); // Insert
  void Button5Click(); // Delete
  void Button6Click(); // Change
  bool Editing() const { return EditMode; }
  const std::vector<config::TUserMenuEntry>& Entries() const { return Items; }

  QListWidget* ListBox1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button5 = nullptr;
  QPushButton* Button6 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;

protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int result) override;

private:
  void AllInit();      // list mode
  void ShowList();     // the list from the entries, as the mode shows them
  void PrepareInput(); // the fields for a new or changed entry
  int SelectedEntry() const;

  TForm1* Main;
  std::vector<config::TUserMenuEntry> Items;
  std::vector<size_t> Shown; // the entry of each list row
  bool Edited = false;
  bool EditMode = false;
};

// Starts a user-menu command in a folder (native): the program and its parameters, or a document
// with the desktop's program for it; tells the user when it could not start.
void RunUserMenuCommand(TForm1& form, const std::string& command, const std::string& folder);

} // namespace corvane
