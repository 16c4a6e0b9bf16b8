#include "viewer/form_edit.h"

#include "main/asker.h"
#include "viewer/byte_search.h"
#include "viewer/text_lines.h"
#include "viewer/text_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

namespace corvane {

struct TFormEdit::TActions {
  QMenu* File = nullptr;
  QMenu* Edit = nullptr;
  QMenu* Search = nullptr;
  QMenu* View = nullptr;
  QAction* Save = nullptr;
  QAction* Close = nullptr;
  QAction* Undo = nullptr;
  QAction* Redo = nullptr;
  QAction* Find = nullptr;
  QAction* FindNext = nullptr;
  QAction* FindBack = nullptr;
  QAction* Replace = nullptr;
  QAction* GoTo = nullptr;
  QAction* Hex = nullptr;
  QAction* Wrap = nullptr;
  QAction* CodePage = nullptr;
  QAction* PreviousCodePage = nullptr;
  QAction* Follow = nullptr;
};

namespace {

// Searches of files larger than this show their progress and can be stopped.
constexpr uint64_t ProgressFrom = 8u << 20;

QString ErrorText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

// The forms of each character of a search text: itself, and its other cases when case does not
// matter.
std::vector<std::vector<std::string>> CharacterForms(const QString& text, bool matchCase) {
  std::vector<std::vector<std::string>> forms;
  for (const char32_t point : text.toUcs4()) {
    const QString one = QString::fromUcs4(&point, 1);
    std::vector<std::string> alternatives{one.toStdString()};
    if (!matchCase)
      for (const QString& other : {one.toLower(), one.toUpper()})
        if (other != one && other.size() == one.size())
          alternatives.push_back(other.toStdString());
    forms.push_back(std::move(alternatives));
  }
  return forms;
}

} // namespace

TFormEdit::TFormEdit(QWidget* parent) : QMainWindow(parent), Actions(std::make_unique<TActions>()) {
  setObjectName(QStringLiteral("FormEdit"));
  resize(800, 600);
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  View = new TTextView(central);
  layout->addWidget(View, 1);
  Editor = new QPlainTextEdit(central);
  Editor->setObjectName(QStringLiteral("Editor"));
  Editor->setFont(View->font());
  Editor->setLineWrapMode(QPlainTextEdit::NoWrap);
  Editor->hide();
  layout->addWidget(Editor, 1);
  BuildFindBar();
  layout->addWidget(FindBar);
  setCentralWidget(central);
  StatusLine = new QLabel(this);
  StatusLine->setObjectName(QStringLiteral("StatusLine"));
  statusBar()->addWidget(StatusLine, 1);
  BuildMenus();
  View->OnMoved = [this] { UpdateStatus(); };
  connect(Editor, &QPlainTextEdit::modificationChanged, this, [this] { UpdateTitle(); });
  connect(Editor, &QPlainTextEdit::cursorPositionChanged, this, [this] { UpdateStatus(); });
  WatchTimer = new QTimer(this);
  WatchTimer->setInterval(500);
  connect(WatchTimer, &QTimer::timeout, this, [this] { WatchFile(); });
  OnAskSave = [this] {
    const auto answer = QMessageBox::question(
        this, windowTitle(), T("Message_SaveChanges"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    return answer == QMessageBox::Save      ? SaveIt
           : answer == QMessageBox::Discard ? DiscardIt
                                            : CancelClose;
  };
  OnAskGoTo = [this](const QString& label) {
    return QInputDialog::getText(this, T("GoTo_Caption"), label);
  };
  Caption();
}

TFormEdit::~TFormEdit() = default;

void TFormEdit::BuildFindBar() {
  FindBar = new QWidget(this);
  FindBar->setObjectName(QStringLiteral("FindBar"));
  auto* row = new QHBoxLayout(FindBar);
  row->setContentsMargins(4, 2, 4, 2);
  FindLabel = new QLabel(FindBar);
  FindEdit = new QLineEdit(FindBar);
  FindEdit->setObjectName(QStringLiteral("FindEdit"));
  ReplaceLabel = new QLabel(FindBar);
  ReplaceEdit = new QLineEdit(FindBar);
  ReplaceEdit->setObjectName(QStringLiteral("ReplaceEdit"));
  CaseBox = new QCheckBox(FindBar);
  CaseBox->setObjectName(QStringLiteral("CaseBox"));
  NextButton = new QPushButton(FindBar);
  BackButton = new QPushButton(FindBar);
  ReplaceButton = new QPushButton(FindBar);
  ReplaceAllButton = new QPushButton(FindBar);
  for (QWidget* part :
       std::initializer_list<QWidget*>{FindLabel, FindEdit, ReplaceLabel, ReplaceEdit, CaseBox,
                                       NextButton, BackButton, ReplaceButton, ReplaceAllButton})
    row->addWidget(part, part == FindEdit || part == ReplaceEdit ? 1 : 0);
  connect(FindEdit, &QLineEdit::returnPressed, this,
          [this] { FindNext(QApplication::keyboardModifiers() & Qt::ShiftModifier); });
  connect(NextButton, &QPushButton::clicked, this, [this] { FindNext(false); });
  connect(BackButton, &QPushButton::clicked, this, [this] { FindNext(true); });
  connect(ReplaceButton, &QPushButton::clicked, this, [this] { ReplaceOne(); });
  connect(ReplaceAllButton, &QPushButton::clicked, this,
          [this] { ReplaceAll(FindEdit->text(), ReplaceEdit->text()); });
  FindBar->hide();
}

void TFormEdit::BuildMenus() {
  TActions& a = *Actions;
  const auto action = [this](QMenu* menu, const char* name, QList<QKeySequence> keys,
                             auto handler) {
    QAction* item = menu->addAction(QString());
    item->setObjectName(QString::fromLatin1(name));
    item->setShortcuts(keys);
    item->setShortcutContext(Qt::WindowShortcut);
    connect(item, &QAction::triggered, this, handler);
    return item;
  };
  a.File = menuBar()->addMenu(QString());
  a.Save =
      action(a.File, "ActionSave", {QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::Key_F2)},
             [this] { Save(); });
  a.Close = action(a.File, "ActionClose", {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_F10)},
                   [this] { CloseCommand(); });
  a.Edit = menuBar()->addMenu(QString());
  a.Undo = action(a.Edit, "ActionUndo", {QKeySequence::Undo}, [this] { Editor->undo(); });
  a.Redo = action(a.Edit, "ActionRedo", {QKeySequence::Redo}, [this] { Editor->redo(); });
  a.Search = menuBar()->addMenu(QString());
  a.Find =
      action(a.Search, "ActionFind", {QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::Key_F7)},
             [this] { ShowFindBar(false); });
  a.FindNext = action(a.Search, "ActionFindNext", {QKeySequence(Qt::SHIFT | Qt::Key_F7)},
                      [this] { FindNext(false); });
  a.FindBack = action(a.Search, "ActionFindBack", {QKeySequence(Qt::ALT | Qt::Key_F7)},
                      [this] { FindNext(true); });
  a.Replace = action(a.Search, "ActionReplace", {QKeySequence(Qt::CTRL | Qt::Key_H)},
                     [this] { ShowFindBar(true); });
  a.GoTo =
      action(a.Search, "ActionGoTo", {QKeySequence(Qt::CTRL | Qt::Key_L)}, [this] { AskGoTo(); });
  a.View = menuBar()->addMenu(QString());
  a.Hex = action(a.View, "ActionHex", {QKeySequence(Qt::Key_F4)}, [this] { SwitchHex(); });
  a.Hex->setCheckable(true);
  a.Wrap = action(a.View, "ActionWrap", {QKeySequence(Qt::Key_F2)}, [this] { SwitchWrap(); });
  a.Wrap->setCheckable(true);
  a.Wrap->setChecked(true);
  a.CodePage = action(a.View, "ActionCodePage", {QKeySequence(Qt::Key_F8)},
                      [this] { SwitchCodePage(false); });
  a.PreviousCodePage =
      action(a.View, "ActionPreviousCodePage", {QKeySequence(Qt::SHIFT | Qt::Key_F8)},
             [this] { SwitchCodePage(true); });
  a.Follow = action(a.View, "ActionFollow", {QKeySequence(Qt::Key_F)}, [this] { SwitchFollow(); });
  a.Follow->setCheckable(true);
}

void TFormEdit::Caption() {
  TActions& a = *Actions;
  a.File->setTitle(T("Menu_File"));
  a.Save->setText(T("Menu_Save"));
  a.Close->setText(T("Menu_Close"));
  a.Edit->setTitle(T("Menu_Edit"));
  a.Undo->setText(T("Menu_Undo"));
  a.Redo->setText(T("Menu_Redo"));
  a.Search->setTitle(T("Menu_Search"));
  a.Find->setText(T("Menu_Find"));
  a.FindNext->setText(T("Menu_FindNext"));
  a.FindBack->setText(T("Menu_FindBack"));
  a.Replace->setText(T("Menu_Replace"));
  a.GoTo->setText(T("Menu_GoTo"));
  a.View->setTitle(T("Menu_View"));
  a.Hex->setText(T("Menu_Hex"));
  a.Wrap->setText(T("Menu_Wrap"));
  a.CodePage->setText(T("Menu_CodePage"));
  a.PreviousCodePage->setText(T("Menu_PreviousCodePage"));
  a.Follow->setText(T("Menu_Follow"));
  FindLabel->setText(T("Label_Find"));
  ReplaceLabel->setText(T("Label_Replace"));
  CaseBox->setText(T("Check_Case"));
  NextButton->setText(T("Button_Next"));
  BackButton->setText(T("Button_Back"));
  ReplaceButton->setText(T("Button_Replace"));
  ReplaceAllButton->setText(T("Button_ReplaceAll"));
}

void TFormEdit::SetLanguage(const std::string& languageBase) {
  Language = languageBase;
  Texts.Open(languageBase);
  Caption();
  UpdateTitle();
}

bool TFormEdit::ApplyHandOff(const viewer::TEditorHandOff& handOff) {
  SetLanguage(handOff.Language);
  if (handOff.Width && handOff.Height) {
    resize(*handOff.Width, *handOff.Height);
    if (handOff.Left && handOff.Top)
      move(*handOff.Left, *handOff.Top);
  }
  if (handOff.FileName.empty()) {
    TAsker::Current().Error(this, T("Message_NoFile"));
    return false;
  }
  // A temporary copy out of an archive is only looked at: there is nothing to save it back to.
  FromArchive = handOff.Archive;
  return OpenFile(handOff.FileName, handOff.EditMode && !handOff.Archive);
}

void TFormEdit::ShowOpenFailure(int status, const std::string& path, int error) {
  const QString name = QString::fromStdString(path);
  QString text;
  switch (static_cast<viewer::TOpenStatus>(status)) {
  case viewer::TOpenStatus::Missing:
    text = T("Message_Missing") + QLatin1Char('\n') + name;
    break;
  case viewer::TOpenStatus::Folder:
    text = T("Message_Folder") + QLatin1Char('\n') + name;
    break;
  case viewer::TOpenStatus::NotRegular:
    text = T("Message_Special") + QLatin1Char('\n') + name;
    break;
  default:
    text = T("Message_Unreadable") + QLatin1Char('\n') + name +
           (error ? QStringLiteral("\n") + ErrorText(error) : QString());
  }
  TAsker::Current().Error(this, text);
}

bool TFormEdit::OpenFile(const std::string& nativePath, bool edit) {
  Path = nativePath;
  Editing = false;
  ReadOnly = false;
  Removed = false;
  Following = false;
  Actions->Follow->setChecked(false);
  if (edit) {
    int error = 0;
    viewer::TEditText text;
    switch (viewer::LoadForEditing(nativePath, EditLimit, Language, text, error)) {
    case viewer::TEditLoad::Loaded:
      Editing = true;
      Format = text;
      Format.Text.clear();
      ReadOnly = text.ReadOnly;
      Editor->setPlainText(QString::fromStdString(text.Text));
      Editor->document()->setModified(false);
      Editor->setReadOnly(ReadOnly);
      if (ReadOnly)
        TAsker::Current().Information(this, T("Message_ReadOnly"));
      break;
    case viewer::TEditLoad::TooLarge:
      TAsker::Current().Information(this, T("Message_TooLarge"));
      break;
    case viewer::TEditLoad::Missing:
      ShowOpenFailure(static_cast<int>(viewer::TOpenStatus::Missing), nativePath, error);
      return false;
    case viewer::TEditLoad::Folder:
      ShowOpenFailure(static_cast<int>(viewer::TOpenStatus::Folder), nativePath, error);
      return false;
    case viewer::TEditLoad::NotRegular:
      ShowOpenFailure(static_cast<int>(viewer::TOpenStatus::NotRegular), nativePath, error);
      return false;
    case viewer::TEditLoad::Unreadable:
      ShowOpenFailure(static_cast<int>(viewer::TOpenStatus::Unreadable), nativePath, error);
      return false;
    }
  }
  if (!Editing) {
    const viewer::TOpenStatus status = View->File().Open(nativePath);
    if (status != viewer::TOpenStatus::Opened) {
      ShowOpenFailure(static_cast<int>(status), nativePath, View->File().Error());
      return false;
    }
    View->SetCodePage(viewer::DetectCodePage(View->File().Read(0, 4096), Language));
    View->Reset();
    WatchTimer->start();
  } else {
    WatchTimer->stop();
  }
  View->setVisible(!Editing);
  Editor->setVisible(Editing);
  TActions& a = *Actions;
  // Keys of one mode must not take those of the other: F2 saves in edit mode, wraps in view.
  a.Save->setEnabled(Editing && !ReadOnly);
  a.Save->setVisible(Editing);
  a.Edit->menuAction()->setVisible(Editing);
  a.Undo->setEnabled(Editing);
  a.Redo->setEnabled(Editing);
  a.Replace->setEnabled(Editing && !ReadOnly);
  a.Replace->setVisible(Editing);
  for (QAction* viewOnly : {a.Hex, a.Wrap, a.Follow}) {
    viewOnly->setEnabled(!Editing);
    viewOnly->setVisible(!Editing);
  }
  QList<QKeySequence> closeKeys{QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_F10)};
  if (!Editing)
    closeKeys << QKeySequence(Qt::Key_F3);
  a.Close->setShortcuts(closeKeys);
  if (Editing) {
    a.Save->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::Key_F2)});
    a.Wrap->setShortcuts({});
  } else {
    a.Save->setShortcuts({});
    a.Wrap->setShortcuts({QKeySequence(Qt::Key_F2)});
  }
  if (Editing)
    Editor->setFocus();
  else
    View->setFocus();
  UpdateTitle();
  UpdateStatus();
  return true;
}

bool TFormEdit::IsModified() const {
  return Editing && Editor->document()->isModified();
}

void TFormEdit::UpdateTitle() {
  const QString name = QFileInfo(QString::fromStdString(Path)).fileName();
  QStringList notes;
  if (FromArchive)
    notes << T("Title_Archive");
  if (ReadOnly)
    notes << T("Title_ReadOnly");
  if (Removed)
    notes << T("Status_Removed");
  QString title = (IsModified() ? QStringLiteral("*") : QString()) + name + QStringLiteral(" - ") +
                  (Editing ? T("Title_Edit") : T("Title_View"));
  if (!notes.isEmpty())
    title += QStringLiteral(" (") + notes.join(QStringLiteral(", ")) + QLatin1Char(')');
  setWindowTitle(title);
}

void TFormEdit::UpdateStatus() {
  QString text;
  if (Editing) {
    const QTextCursor cursor = Editor->textCursor();
    text = QStringLiteral("%1:%2   %3")
               .arg(cursor.blockNumber() + 1)
               .arg(cursor.positionInBlock() + 1)
               .arg(QString::fromLatin1(viewer::CodePageName(Format.Page)));
    text += Format.Ending == viewer::TLineEnding::CrLf ? QStringLiteral(" CRLF")
            : Format.Ending == viewer::TLineEnding::Cr ? QStringLiteral(" CR")
                                                       : QStringLiteral(" LF");
  } else {
    const uint64_t size = View->File().Size();
    const uint64_t top = View->TopOffset();
    text = QStringLiteral("%1 / %2 (%3%)   %4   %5")
               .arg(top)
               .arg(size)
               .arg(size == 0 ? 100 : static_cast<int>(top * 100 / size))
               .arg(QString::fromLatin1(viewer::CodePageName(View->CodePage())))
               .arg(View->Hex()    ? QStringLiteral("Hex")
                    : View->Wrap() ? QStringLiteral("Text, wrap")
                                   : QStringLiteral("Text"));
    if (Following)
      text += QStringLiteral("   ") + T("Status_Following");
    if (Removed)
      text += QStringLiteral("   ") + T("Status_Removed");
  }
  if (!StatusNote.isEmpty())
    text += QStringLiteral("   ") + StatusNote;
  StatusLine->setText(text);
}

void TFormEdit::ShowFindBar(bool replace) {
  if (replace && !Editing)
    return;
  for (QWidget* part :
       std::initializer_list<QWidget*>{ReplaceLabel, ReplaceEdit, ReplaceButton, ReplaceAllButton})
    part->setVisible(replace);
  if (Editing && Editor->textCursor().hasSelection())
    FindEdit->setText(Editor->textCursor().selectedText());
  FindBar->show();
  FindEdit->setFocus();
  FindEdit->selectAll();
}

void TFormEdit::FindNext(bool backward) {
  if (FindEdit->text().isEmpty()) {
    ShowFindBar(false);
    return;
  }
  FindText(FindEdit->text(), backward);
}

void TFormEdit::FindText(const QString& text, bool backward) {
  // A long search lets window events run; a key that would start another one waits for it.
  if (Searching)
    return;
  if (FindEdit->text() != text)
    FindEdit->setText(text);
  StatusNote.clear();
  if (Editing)
    FindInEditor(text, backward);
  else
    FindInView(text, backward);
  UpdateStatus();
}

void TFormEdit::FindInView(const QString& text, bool backward) {
  viewer::TSearchPattern pattern;
  if (View->Hex()) {
    const std::optional<std::string> bytes = viewer::ParseHexBytes(text.toStdString());
    if (!bytes) {
      TAsker::Current().Error(this, T("Message_BadHex"));
      return;
    }
    pattern = viewer::BytePattern(*bytes);
  } else {
    const auto built =
        viewer::TextPattern(CharacterForms(text, CaseBox->isChecked()), View->CodePage());
    if (!built) {
      StatusNote = T("Status_NotFound");
      return;
    }
    pattern = *built;
  }
  viewer::TViewFile& file = View->File();
  const bool shown = View->HitLength() > 0;
  QElapsedTimer clock;
  clock.start();
  Searching = true;
  StopSearch = false;
  const viewer::TProgress progress = [&](uint64_t done, uint64_t total) {
    if (file.Size() >= ProgressFrom && clock.elapsed() >= 100) {
      clock.restart();
      StatusLine->setText(
          T("Status_Searching").arg(total == 0 ? 100 : static_cast<int>(done * 100 / total)));
      QApplication::processEvents();
    }
    return !StopSearch;
  };
  const viewer::TFindOutcome found =
      backward ? viewer::FindBackward(file, pattern, shown ? View->HitOffset() : View->TopOffset(),
                                      progress)
               : viewer::FindForward(file, pattern,
                                     shown ? View->HitOffset() + 1 : View->TopOffset(), progress);
  Searching = false;
  switch (found.Result) {
  case viewer::TSearchResult::Found:
    View->ShowHit(found.Offset, found.Length);
    break;
  case viewer::TSearchResult::NotFound:
    StatusNote = T("Status_NotFound");
    break;
  case viewer::TSearchResult::Stopped:
    StatusNote = T("Status_Stopped");
    break;
  case viewer::TSearchResult::ReadError:
    TAsker::Current().Error(this, T("Message_Unreadable") + QLatin1Char('\n') +
                                      QString::fromStdString(Path) + QLatin1Char('\n') +
                                      ErrorText(file.Error()));
    break;
  }
}

void TFormEdit::FindInEditor(const QString& text, bool backward) {
  QTextDocument::FindFlags flags;
  if (CaseBox->isChecked())
    flags |= QTextDocument::FindCaseSensitively;
  if (backward)
    flags |= QTextDocument::FindBackward;
  if (Editor->find(text, flags))
    return;
  // Round the end: from the other end of the text once.
  const QTextCursor kept = Editor->textCursor();
  QTextCursor from(Editor->document());
  from.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
  Editor->setTextCursor(from);
  if (!Editor->find(text, flags)) {
    Editor->setTextCursor(kept);
    StatusNote = T("Status_NotFound");
  }
}

void TFormEdit::ReplaceOne() {
  if (!Editing || ReadOnly || FindEdit->text().isEmpty())
    return;
  QTextCursor cursor = Editor->textCursor();
  const Qt::CaseSensitivity sensitivity =
      CaseBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
  if (cursor.hasSelection() && cursor.selectedText().compare(FindEdit->text(), sensitivity) == 0)
    cursor.insertText(ReplaceEdit->text());
  FindText(FindEdit->text(), false);
}

void TFormEdit::ReplaceAll(const QString& text, const QString& with) {
  if (!Editing || ReadOnly || text.isEmpty())
    return;
  QTextDocument::FindFlags flags;
  if (CaseBox->isChecked())
    flags |= QTextDocument::FindCaseSensitively;
  QTextCursor edit(Editor->document());
  edit.beginEditBlock(); // one undo step
  int count = 0;
  QTextCursor at(Editor->document());
  while (true) {
    at = Editor->document()->find(text, at, flags);
    if (at.isNull())
      break;
    at.insertText(with);
    ++count;
  }
  edit.endEditBlock();
  StatusNote = T("Status_Replaced").arg(count);
  UpdateStatus();
}

void TFormEdit::AskGoTo() {
  if (Searching)
    return;
  const QString where = OnAskGoTo(Editing || !View->Hex() ? T("GoTo_Line") : T("GoTo_Offset"));
  if (!where.trimmed().isEmpty())
    GoTo(where);
}

void TFormEdit::GoTo(const QString& where) {
  if (Searching)
    return;
  const QString text = where.trimmed();
  bool ok = false;
  const bool hexOffset = text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive);
  const qulonglong number =
      hexOffset ? text.mid(2).toULongLong(&ok, 16) : text.toULongLong(&ok, 10);
  if (!ok)
    return;
  if (Editing) {
    const int line =
        static_cast<int>(qBound<qulonglong>(1, number, Editor->document()->blockCount()));
    QTextCursor cursor(Editor->document()->findBlockByNumber(line - 1));
    Editor->setTextCursor(cursor);
    Editor->centerCursor();
    return;
  }
  if (hexOffset || View->Hex()) {
    View->ShowHit(0, 0);
    View->GoToOffset(number);
    return;
  }
  QElapsedTimer clock;
  clock.start();
  StopSearch = false;
  Searching = true;
  const std::optional<uint64_t> offset = viewer::OffsetOfLine(
      View->File(), qMax<qulonglong>(1, number), View->CodePage(),
      [&](uint64_t done, uint64_t total) {
        if (View->File().Size() >= ProgressFrom && clock.elapsed() >= 100) {
          clock.restart();
          StatusLine->setText(
              T("Status_Searching").arg(static_cast<int>(done * 100 / qMax<uint64_t>(1, total))));
          QApplication::processEvents();
        }
        return !StopSearch;
      });
  Searching = false;
  if (offset) {
    View->ShowHit(0, 0);
    View->GoToOffset(*offset);
  } else {
    StatusNote = T("Status_Stopped");
    UpdateStatus();
  }
}

bool TFormEdit::Save() {
  if (!Editing || ReadOnly)
    return false;
  QString text = Editor->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  const std::optional<std::string> bytes = viewer::FileBytes(Format, text.toStdString());
  if (!bytes) {
    TAsker::Current().Error(this, T("Message_Unencodable"));
    return false;
  }
  if (!viewer::SaveEdited(Path, *bytes)) {
    const int error = errno;
    TAsker::Current().Error(this, T("Message_SaveFailed") + QLatin1Char('\n') +
                                      QString::fromStdString(Path) + QLatin1Char('\n') +
                                      ErrorText(error));
    return false;
  }
  Editor->document()->setModified(false);
  UpdateTitle();
  return true;
}

void TFormEdit::CloseCommand() {
  if (Searching) {
    StopSearch = true;
    return;
  }
  if (FindBar->isVisible() && FindBar->isAncestorOf(QApplication::focusWidget())) {
    FindBar->hide();
    if (Editing)
      Editor->setFocus();
    else
      View->setFocus();
    return;
  }
  close();
}

void TFormEdit::closeEvent(QCloseEvent* event) {
  if (Searching) {
    StopSearch = true;
    event->ignore();
    return;
  }
  if (IsModified()) {
    switch (OnAskSave()) {
    case SaveIt:
      if (!Save()) {
        event->ignore();
        return;
      }
      break;
    case DiscardIt:
      break;
    case CancelClose:
      event->ignore();
      return;
    }
  }
  event->accept();
}

void TFormEdit::SwitchHex() {
  if (Editing)
    return;
  View->SetHex(!View->Hex());
  Actions->Hex->setChecked(View->Hex());
}

void TFormEdit::SwitchWrap() {
  if (Editing)
    return;
  View->SetWrap(!View->Wrap());
  Actions->Wrap->setChecked(View->Wrap());
}

void TFormEdit::SwitchCodePage(bool back) {
  const auto step = [back](viewer::TCodePage page) {
    return back ? viewer::PreviousCodePage(page) : viewer::NextCodePage(page);
  };
  if (!Editing) {
    View->SetCodePage(step(View->CodePage()));
    return;
  }
  // The editor reads the file again in the other page; changes would be lost by that.
  if (IsModified()) {
    StatusNote = T("Status_SaveFirst");
    UpdateStatus();
    return;
  }
  viewer::TEditText text;
  int error = 0;
  if (viewer::LoadForEditing(Path, EditLimit, Language, text, error, step(Format.Page)) !=
      viewer::TEditLoad::Loaded) {
    ShowOpenFailure(static_cast<int>(viewer::TOpenStatus::Unreadable), Path, error);
    return;
  }
  Format = text;
  Format.Text.clear();
  const int line = Editor->textCursor().blockNumber();
  Editor->setPlainText(QString::fromStdString(text.Text));
  Editor->document()->setModified(false);
  Editor->setTextCursor(QTextCursor(Editor->document()->findBlockByNumber(line)));
  StatusNote.clear();
  UpdateStatus();
}

void TFormEdit::SwitchFollow() {
  if (Editing)
    return;
  Following = !Following;
  Actions->Follow->setChecked(Following);
  if (Following)
    View->GoEnd();
  UpdateStatus();
}

void TFormEdit::WatchFile() {
  if (Editing || Searching)
    return;
  const viewer::TFileChange change = View->File().Refresh();
  if (change.Removed != Removed) {
    Removed = change.Removed;
    UpdateTitle();
  }
  if (change.Grew || change.Shrank) {
    if (Following)
      View->GoEnd();
    else
      View->FileChanged();
  }
  UpdateStatus();
}

} // namespace corvane
