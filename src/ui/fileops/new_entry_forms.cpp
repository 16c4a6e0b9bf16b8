#include "fileops/new_entry_forms.h"

#include "fileops/new_name.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/file_ops.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include <cerrno>

namespace corvane {

TFormNewEntry::TFormNewEntry(TForm1* mainWindow, const char* objectName, const char* section)
    : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QString::fromLatin1(objectName));
  // Every caption comes from the language file; a missing one says so.
  const auto text = [this, section](const char* key) {
    return Main->LanguageFile.Read(section, key, QStringLiteral("Error loading resource"));
  };
  setWindowTitle(text("Caption"));
  setFixedSize(330, 112);
  GroupBox1 = new QGroupBox(' ' + text("GroupBoxCaption") + ' ', this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(8, 4, 314, 60);
  Edit1 = new QComboBox(GroupBox1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setEditable(true);
  Edit1->setInsertPolicy(QComboBox::NoInsert);
  Edit1->setGeometry(10, 24, 294, 24);
  Button1 = new QPushButton(text("Button_OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(84, 76, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(text("Button_Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(170, 76, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  // Enter in the name field confirms.
  connect(Edit1->lineEdit(), &QLineEdit::returnPressed, this, [this] { Button1Click(); });
}

void TFormNewEntry::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TFormNewEntry::FormActivate() {
  Edit1->setEditText(QString());
  Edit1->setFocus();
}

void TFormNewEntry::UpdatePanels(const std::string& model) {
  for (TFPanel* panel : {Main->LeftPanel(), Main->RightPanel()}) {
    panel->RefreshKeepingCursor();
    panel->StartMonitor();
  }
  TFPanel* active = Main->ActivePanel();
  const TBrowser& browser = active->Browser;
  for (int i = 1; i <= browser.Count(); ++i)
    if (browser.RootPath() + browser.RelPath() + browser.EntryName(i) == model &&
        browser.SourceKind() == skFolder) {
      active->PlaceCursor(i);
      active->DrawList();
      active->DrawCursor();
      break;
    }
}

TFormNewDir::TFormNewDir(TForm1* mainWindow) : TFormNewEntry(mainWindow, "FormNewDir", "MkDir") {}

void TFormNewDir::Button1Click() {
  const QString typed = Edit1->currentText();
  if (typed.isEmpty())
    return;
  TFPanel* panel = Main->ActivePanel();
  TBrowser& browser = panel->Browser;
  QString error;
  const std::optional<TNewName> name =
      ResolveNewName(typed, browser.RootPath() + browser.RelPath(), error);
  if (!name) {
    TAsker::Current().Error(this, error);
    return;
  }
  for (TFPanel* side : {Main->LeftPanel(), Main->RightPanel()})
    side->StopMonitor();
  // A plain name goes through the panel's source; a path is made where it points. Only the
  // last folder is made: one whose parent is missing fails.
  errno = 0;
  const bool made =
      name->IsPath || !browser.CurrentSource()
          ? platform::MakeFolder(name->Native)
          : browser.CurrentSource()->MakeDir(name->Model.substr(browser.RootPath().size()), 0);
  const int reason = errno;
  if (!made)
    TAsker::Current().Error(this, (name->IsPath ? QStringLiteral("Cannot make the Directory")
                                                : QStringLiteral("Cannot make the folder")) +
                                      ReasonLine(reason));
  UpdatePanels(made ? name->Model : std::string());
  accept();
}

TFormNewFile::TFormNewFile(TForm1* mainWindow)
    : TFormNewEntry(mainWindow, "FormNewFile", "MkFile") {}

void TFormNewFile::Button1Click() {
  const QString typed = Edit1->currentText();
  if (typed.isEmpty())
    return;
  const TBrowser& browser = Main->ActivePanel()->Browser;
  QString error;
  const std::optional<TNewName> name =
      ResolveNewName(typed, browser.RootPath() + browser.RelPath(), error);
  if (!name) {
    TAsker::Current().Error(this, error);
    return;
  }
  for (TFPanel* side : {Main->LeftPanel(), Main->RightPanel()})
    side->StopMonitor();
  // Created only when the name is free: an existing file (or link) is never touched.
  const int result = platform::CreateNewFile(name->Native);
  if (result != 0)
    TAsker::Current().Error(this, QStringLiteral("Cannot create the file!") +
                                      (result == EEXIST ? QString() : ReasonLine(result)));
  // The monitors run again in every case, the panels showing what is there now.
  UpdatePanels(result == 0 ? name->Model : std::string());
  accept();
}

} // namespace corvane
