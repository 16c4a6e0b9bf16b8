#include "fileops/delete_form.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "model/browser_events.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"
#include "platform/process_messages.h"
#include "platform/trash.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace corvane {

TFormDelete::TFormDelete(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormDelete"));
  setWindowTitle(Text("Caption", QStringLiteral("Delete")));
  setFixedSize(330, 130);
  GroupBox1 = new QGroupBox(Text("GroupBoxCaption", QStringLiteral(" Delete file(s) ")), this);
  GroupBox1->setGeometry(8, 4, 314, 82);
  Label1 = new QLabel(GroupBox1);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label2 = new QLabel(GroupBox1);
  Label2->setObjectName(QStringLiteral("Label2"));
  Button1 = new QPushButton(Text("Button_OK", QStringLiteral("OK")), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(84, 94, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(Text("Button_Cancel", QStringLiteral("Cancel")), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(170, 94, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

QString TFormDelete::Text(const char* key, const QString&) const {
  // Every caption comes from the language file; a missing one says so.
  return Main->LanguageFile.Read("Delete", key, QStringLiteral("Error loading resource"));
}

void TFormDelete::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TFormDelete::FormActivate() {
  Panel = Main->ActivePanel();
  YesToAll = false;
  Button1->setEnabled(true);
  const TFileEntry* entry = Panel->Browser.GetEntry(Panel->CursorIndex());
  const bool folder = entry && entry->IsFolder();
  if (Main->Settings.Language == QStringLiteral("ENGLISH"))
    Label1->setText(folder ? QStringLiteral("Do you wish to delete the folder")
                           : QStringLiteral("Do you wish to delete the file"));
  else
    Label1->setText(Text("Label_Quest", QString()) + ' ' +
                    Text(folder ? "Folder" : "File", QString()));
  if (Panel->Browser.SelectedCount() > 0)
    Label2->setText(QString::number(Panel->Browser.SelectedCount()) + QStringLiteral(" file(s)"));
  else
    Label2->setText('<' + QString::fromStdString(entry ? entry->EntryName() : std::string()) + '>');
  for (QLabel* label : {Label1, Label2}) {
    label->adjustSize();
    label->move((GroupBox1->width() - label->width()) / 2, label == Label1 ? 21 : 45);
  }
}

void TFormDelete::Button1Click() {
  if (!Panel)
    FormActivate();
  Button1->setEnabled(false);
  const TFileEntry* entry = Panel->Browser.GetEntry(Panel->CursorIndex());
  if (Panel->Browser.SelectedCount() == 0 && (!entry || entry->IsUpEntry())) {
    accept();
    return;
  }
  for (TFPanel* panel : {Main->LeftPanel(), Main->RightPanel()})
    panel->StopMonitor();
  Running = true;
  // Members of an archive cannot go to the trash: the archive source deletes them.
  const bool toTrash = Main->Settings.DelToRecycle && Panel->Browser.SourceKind() == skFolder;
  if (toTrash)
    DeleteToTrash(Panel);
  else
    DeleteWithEngine(Panel);
  Running = false;
  // The engine has read the active panel again already; the trash has not.
  if (toTrash)
    Main->Update_AllPanels();
  else
    Main->Update_FilePanel(Panel);
  for (TFPanel* panel : {Main->LeftPanel(), Main->RightPanel()})
    panel->StartMonitor();
  accept();
}

void TFormDelete::DeleteToTrash(TFPanel* panel) {
  TBrowser& browser = panel->Browser;
  std::vector<std::string> paths;
  if (browser.SelectedCount() > 0) {
    for (int i = browser.AtRoot() ? 1 : 2; i <= browser.Count(); ++i)
      if (browser.IsMarked(i))
        paths.push_back(browser.RootPath() + browser.RelPath() + browser.EntryName(i));
  } else {
    paths.push_back(panel->CurrentPath);
  }
  QStringList failures;
  for (const auto& path : paths) {
    const auto native = platform::ModelToNative(path);
    std::string why = "no such place";
    if (!native || !platform::MoveToTrash(*native, &why))
      failures << QString::fromStdString(path) + QStringLiteral(": ") + QString::fromStdString(why);
  }
  // The trash keeps everything or nothing of an item; what it refused is still where it was.
  if (!failures.isEmpty())
    TAsker::Current().Error(this, QStringLiteral("Not moved to the trash (kept as it was):\n") +
                                      failures.join('\n'));
}

void TFormDelete::DeleteWithEngine(TFPanel* panel) {
  GroupBox1->setTitle(QString());
  Label2->hide();
  QFont regular = Label1->font();
  regular.setBold(false);
  Label1->setFont(regular);
  Label1->move(Label1->x(), 29);
  TBrowser& browser = panel->Browser;
  browser.Cursor = panel->CursorIndex();
  TScopedEvent deleteFile(browser.OnDeleteFile,
                          std::function<void(const std::string&)>([this](const std::string& path) {
                            Label1->setText(QString::fromStdString(path));
                            Label1->adjustSize();
                            Label1->move((GroupBox1->width() - Label1->width()) / 2, 29);
                            platform::ProcessMessages();
                          }));
  TScopedEvent confirm(
      browser.OnDeleteConfirm,
      std::function<void(TDeleteConfirm, const std::string&, bool&)>(
          [this, &browser](TDeleteConfirm, const std::string& path, bool& answer) {
            const QString text =
                Main->LanguageFile.Read("Delete", "m_file",
                                        QStringLiteral("The file is read-only")) +
                '\n' + QString::fromStdString(path) + '\n' +
                Main->LanguageFile.Read("Delete", "m_overwrite",
                                        QStringLiteral("Do you wish to delete it?"));
            answer = TAsker::AskDuringOperation(this, text, YesToAll,
                                                [&browser] { browser.StopOperation(); });
          }));
  QStringList refused;
  TScopedEvent mountPoint(browser.OnDeleteRefused, std::function<void(const std::string&)>(
                                                       [&refused](const std::string& path) {
                                                         refused << QString::fromStdString(path);
                                                       }));
  browser.DeleteSelection();
  panel->PlaceCursor(std::max(browser.Cursor, 1));
  if (!refused.isEmpty())
    TAsker::Current().Error(
        this, Main->LanguageFile.Read("Delete", "m_mounted",
                                      QStringLiteral("Another file system is mounted on this "
                                                     "folder; it was not deleted:")) +
                  '\n' + refused.join('\n'));
}

void TFormDelete::Button2Click() {
  reject();
}

void TFormDelete::reject() {
  if (Running && Panel)
    Panel->Browser.StopOperation();
  else
    QDialog::reject();
}

} // namespace corvane
