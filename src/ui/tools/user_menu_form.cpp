#include "tools/user_menu_form.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/file_ops.h"
#include "platform/launcher.h"
#include "platform/native_path.h"
#include "platform/program_files.h"
#include "platform/program_folder.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cerrno>
#include <cstring>

namespace corvane {
namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string MenuFile() {
  return platform::ProgramFile("cv.mnu");
}

// Whether the command's program is there to start.
bool ProgramPresent(const std::string& command) {
  const std::vector<std::string> words = platform::SplitCommandLine(command);
  if (words.empty())
    return false;
  if (words.front().find('/') != std::string::npos)
    return platform::PathExists(words.front());
  return !platform::FindOnPath(words.front()).empty();
}

} // namespace

void RunUserMenuCommand(TForm1& form, const std::string& command, const std::string& folder) {
  std::vector<std::string> words = platform::SplitCommandLine(command);
  if (words.empty())
    return;
  const std::string program = words.front();
  words.erase(words.begin());
  errno = 0;
  platform::TLaunchResult result;
  // A file named alone that is no program opens like Enter would open it.
  if (words.empty() && program.find('/') != std::string::npos && platform::PathExists(program) &&
      !platform::IsProgramFile(program))
    result = platform::OpenDocument(program, folder);
  else
    result = platform::RunProgram(program, words, folder);
  const int error = errno;
  if (result == platform::TLaunchResult::Started)
    return;
  QString text = form.LangStrings.Get("Errors", "CannotStart").arg(FromBytes(program));
  if (result == platform::TLaunchResult::Failed && error != 0)
    text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
  TAsker::Current().Error(&form, text);
}

TFormMenu::TFormMenu(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormMenu"));
  const auto text = [this](const char* key) {
    return Main->LanguageFile.Read("Menu", key, QStringLiteral("Error loading resource"));
  };
  setWindowTitle(text("Caption"));
  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  const auto button = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };
  Button1 = button("Button1", text("Start"));
  Button1->setDefault(true);
  Button2 = button("Button2", text("Cancel"));
  Button3 = button("Button3", text("Configuration"));
  Button4 = button("Button4", text("Insert"));
  Button5 = button("Button5", text("Delete"));
  Button6 = button("Button6", text("Change"));
  Label1 = new QLabel(text("ProgramCaption"), this);
  Label2 = new QLabel(text("CommandForRun"), this);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit2 = new QLineEdit(this);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { Button1Click(); });
  AllInit();
}

void TFormMenu::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TFormMenu::FormActivate() {
  AllInit();
  Items = config::ReadUserMenu(MenuFile(), TLanguageFile::CodePageFor(Main->Settings.Language));
  Edited = false;
  ShowList();
}

void TFormMenu::keyPressEvent(QKeyEvent* event) {
  // F2 closes the menu it opened, as Esc does.
  if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
    reject();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TFormMenu::AllInit() {
  EditMode = false;
  setFixedSize(256, 250);
  ListBox1->setGeometry(8, 8, 240, 169);
  ListBox1->setEnabled(true);
  Button1->setGeometry(8, 192, 75, 25);
  Button2->setGeometry(88, 192, 75, 25);
  Button3->setGeometry(168, 192, 80, 25);
  Button4->setGeometry(8, 222, 75, 25);
  Button5->setGeometry(88, 222, 75, 25);
  Button6->setGeometry(168, 222, 80, 25);
  Label1->setGeometry(8, 100, 240, 18);
  Edit1->setGeometry(8, 118, 240, 22);
  Label2->setGeometry(8, 142, 240, 18);
  Edit2->setGeometry(8, 160, 240, 22);
  for (QWidget* w :
       std::initializer_list<QWidget*>{Button4, Button5, Button6, Label1, Label2, Edit1, Edit2})
    w->hide();
  Edit1->clear();
  Edit2->clear();
  for (QPushButton* b : {Button1, Button2, Button3, Button4, Button5, Button6})
    b->setEnabled(true);
  ShowList();
}

void TFormMenu::ShowList() {
  const int row = ListBox1->currentRow();
  ListBox1->clear();
  Shown.clear();
  for (size_t i = 0; i < Items.size(); ++i)
    if (EditMode || ProgramPresent(Items[i].Command)) {
      Shown.push_back(i);
      ListBox1->addItem(FromBytes(Items[i].Caption));
    }
  if (ListBox1->count() > 0)
    ListBox1->setCurrentRow(std::clamp(row, 0, ListBox1->count() - 1));
}

int TFormMenu::SelectedEntry() const {
  const int row = ListBox1->currentRow();
  return row >= 0 && row < static_cast<int>(Shown.size()) ? static_cast<int>(Shown[row]) : -1;
}

void TFormMenu::Button1Click() {
  const int entry = SelectedEntry();
  if (entry < 0 || EditMode)
    return;
  const TBrowser& browser = Main->ActivePanel()->Browser;
  std::string folder = browser.SourceKind() == skFolder
                           ? platform::ModelToNative(browser.RootPath() + browser.RelPath())
                                 .value_or(platform::HomeFolder())
                           : platform::HomeFolder();
  const std::string command = Items[static_cast<size_t>(entry)].Command;
  accept();
  RunUserMenuCommand(*Main, command, folder);
}

void TFormMenu::Button3Click() {
  Edited = true;
  if (EditMode) {
    AllInit();
    return;
  }
  EditMode = true;
  setFixedSize(256, 283);
  Button1->setEnabled(false);
  for (QPushButton* b : {Button4, Button5, Button6})
    b->show();
  ShowList();
}

void TFormMenu::PrepareInput() {
  ListBox1->setFixedHeight(81);
  ListBox1->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, Edit1, Edit2})
    w->show();
  Button1->setEnabled(false);
  Button5->setEnabled(false);
  Edit1->setFocus();
}

void TFormMenu::Button4Click() {
  if (!Edit1->text().isEmpty() && !Edit2->text().isEmpty()) {
    Items.push_back({Edit1->text().toStdString(), Edit2->text().toStdString()});
    Button3Click(); // back to the list; still edited
    return;
  }
  PrepareInput();
  Button4->setEnabled(true);
  Button6->setEnabled(false);
}

void TFormMenu::Button6Click() {
  const int entry = SelectedEntry();
  if (entry < 0)
    return;
  if (!Edit1->text().isEmpty() && !Edit2->text().isEmpty()) {
    Items[static_cast<size_t>(entry)] = {Edit1->text().toStdString(), Edit2->text().toStdString()};
    Button3Click();
    return;
  }
  PrepareInput();
  Button6->setEnabled(true);
  Button4->setEnabled(false);
  Edit1->setText(FromBytes(Items[static_cast<size_t>(entry)].Caption));
  Edit2->setText(FromBytes(Items[static_cast<size_t>(entry)].Command));
}

void TFormMenu::Button5Click() {
  const int entry = SelectedEntry();
  if (entry >= 0)
    Items.erase(Items.begin() + entry);
  Button3Click();
}

void TFormMenu::done(int result) {
  // After editing the file is written, changed or not; a failed write keeps the old file.
  if (Edited && !config::WriteUserMenu(MenuFile(), Items))
    TAsker::Current().Error(
        this, QStringLiteral("Cannot write %1: %2")
                  .arg(FromBytes(MenuFile()), QString::fromLocal8Bit(std::strerror(errno))));
  Edited = false;
  QDialog::done(result);
}

} // namespace corvane
