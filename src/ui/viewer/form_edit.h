// TFormEdit: cvedit's window, the program's own viewer and editor.
//
// View mode shows a file of any size through TTextView without changing it: text (wrapped or
// not) or hex, in a code page switched by a key, with search forward and back, going to a line or
// an offset, and following a file that grows. Edit mode loads files up to EditLimit bytes into a
// plain-text editor and writes them back in the code page, byte-order mark and line ending they
// came in, through a temporary file renamed over the original.
//
// The keys are those of the desktop and of the field at once; every one is on an action of the
// menu bar, so the menus list them: Ctrl+S and F2 save, Ctrl+F and F7 find, Shift+F7 finds the
// next hit and Alt+F7 the one before, Ctrl+L goes to a line or offset, F4 switches hex, F2 wraps
// (view mode), F8 and Shift+F8 step through the code pages (the editor reads an unchanged file
// again in the next one), F follows the end, Esc and F10 close, and so does F3 in view mode (the
// panel's F3 opened it).
#pragma once

#include "viewer/edit_text.h"
#include "viewer/hand_off.h"
#include "viewer/viewer_texts.h"

#include <QMainWindow>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace corvane {

class TTextView;

class TFormEdit final : public QMainWindow {
  Q_OBJECT

public:
  static constexpr size_t EditLimit = 32u << 20;

  explicit TFormEdit(QWidget* parent = nullptr);
  ~TFormEdit() override;

  // Takes the language and the window's place from the hand-off, then opens its file.
  bool ApplyHandOff(const viewer::TEditorHandOff& handOff);
  void SetLanguage(const std::string& languageBase);
  // Opens a file; false (after a message) when there is nothing to show.
  bool OpenFile(const std::string& nativePath, bool edit);

  bool IsEditing() const { return Editing; }
  bool IsModified() const;
  // Writes the edited text back; false (after a message) when it could not be.
  bool Save();

  // The find bar's text searched for, forward or back (view and edit mode).
  void FindText(const QString& text, bool backward);
  // Goes to what was typed: a line number or an offset as "0x..." (an offset in hex mode).
  void GoTo(const QString& where);
  void ReplaceAll(const QString& text, const QString& with);

  // Questions the window asks, replaceable by tests.
  enum TSaveAnswer { SaveIt, DiscardIt, CancelClose };
  std::function<TSaveAnswer()> OnAskSave;
  std::function<QString(const QString& label)> OnAskGoTo;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildMenus();
  void BuildFindBar();
  void Caption();
  void UpdateTitle();
  void UpdateStatus();
  void ShowFindBar(bool replace);
  void FindNext(bool backward);
  void FindInView(const QString& text, bool backward);
  void FindInEditor(const QString& text, bool backward);
  void ReplaceOne();
  void CloseCommand();
  void SwitchHex();
  void SwitchWrap();
  void SwitchCodePage(bool back);
  void SwitchFollow();
  void AskGoTo();
  void WatchFile();
  void ShowOpenFailure(int status, const std::string& path, int error);
  QString T(const char* key) const { return Texts.Get("Viewer", key); }

  TViewerTexts Texts;
  std::string Language;
  std::string Path;
  bool Editing = false;
  bool FromArchive = false;
  bool ReadOnly = false;
  bool Following = false;
  bool Removed = false;
  bool Searching = false;
  bool StopSearch = false;
  viewer::TEditText Format;
  TTextView* View = nullptr;
  QPlainTextEdit* Editor = nullptr;
  QWidget* FindBar = nullptr;
  QLabel* FindLabel = nullptr;
  QLabel* ReplaceLabel = nullptr;
  QLineEdit* FindEdit = nullptr;
  QLineEdit* ReplaceEdit = nullptr;
  QCheckBox* CaseBox = nullptr;
  QPushButton* NextButton = nullptr;
  QPushButton* BackButton = nullptr;
  QPushButton* ReplaceButton = nullptr;
  QPushButton* ReplaceAllButton = nullptr;
  QLabel* StatusLine = nullptr;
  QTimer* WatchTimer = nullptr;
  QString StatusNote;
  struct TActions;
  std::unique_ptr<TActions> Actions;
};

} // namespace corvane
