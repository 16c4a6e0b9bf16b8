#include "fileops/copy_form.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace corvane {

namespace {

QString FromBytes(const std::string& text) {
  return QString::fromStdString(text);
}

} // namespace

TFormCopy::TFormCopy(TForm1* mainWindow)
    : QDialog(mainWindow), Main(mainWindow),
      Transfer(mainWindow, this, nullptr, nullptr, nullptr, nullptr) {
  setObjectName(QStringLiteral("FormCopy"));
  setWindowTitle(Text("Caption", QString()));
  setFixedSize(400, 170);
  GB1 = new QGroupBox(this);
  GB1->setGeometry(8, 4, 384, 120);
  Label1 = new QLabel(Text("Label_From", QString()), GB1);
  Label1->move(10, 16);
  Edit1 = new QLineEdit(GB1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(10, 32, 364, 21);
  Edit1->setReadOnly(true);
  Edit1->setEnabled(false);
  Label4 = new QLabel(Text("Label_To", QString()), GB1);
  Label4->move(10, 58);
  Edit2 = new QLineEdit(GB1);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setGeometry(10, 74, 364, 21);
  CheckBox2 = new QCheckBox(Text("CheckBox_SystemCopyFunction", QString()), GB1);
  CheckBox2->move(10, 98);
  connect(CheckBox2, &QCheckBox::toggled, this, [this](bool on) {
    Main->Settings.SysCopy = on;
    Main->MainConfig().WriteBool("Global", "SysCopy", on);
  });
  const TProgressPage page = MakeProgressPage(this, 120);
  GB2 = page.Box;
  Label3 = page.Status;
  Label2 = page.Current;
  Progress2 = page.FileBar;
  Progress1 = page.TotalBar;
  Transfer = TTransfer(Main, this, Label3, Label2, Progress2, Progress1);
  Button1 = new QPushButton(Text("Button_OK", QString()), this);
  Button1->setGeometry(124, 134, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(Text("Button_Cancel", QString()), this);
  Button2->setGeometry(206, 134, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

QString TFormCopy::Text(const char* key, const QString& fallback) const {
  return Main->LanguageFile.Read(
      "Copy", key, fallback.isEmpty() ? QStringLiteral("Error loading resource") : fallback);
}

void TFormCopy::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TFormCopy::FormActivate() {
  Source = Main->ActivePanel();
  Transfer.YesToAll = false;
  Label2->clear();
  Label3->setText(Text("l_scan", QStringLiteral("Scanning files...")));
  GB2->hide();
  GB1->show();
  Progress1->setValue(0);
  Progress2->setValue(0);
  if (Source->Browser.SelectedCount() > 0)
    Edit1->setText(Text("l_copy", QStringLiteral("Copy")) + ' ' +
                   QString::number(Source->Browser.SelectedCount()) + ' ' +
                   Text("l_files", QStringLiteral("files(s)")));
  else if (!Main->DraggedName.empty())
    Edit1->setText(
        FromBytes(Source->Browser.RootPath() + Source->Browser.RelPath() + Main->DraggedName));
  else
    Edit1->setText(FromBytes(Source->CurrentPath));
  const TFPanel* other = Main->OtherPanel();
  Edit2->setText(FromBytes(other->Browser.ShownPath()));
  InitialTarget = Edit2->text();
  CheckBox2->setChecked(Main->Settings.SysCopy);
  Edit2->setFocus();
}

void TFormCopy::Button1Click() {
  if (!Source)
    FormActivate();
  if (!Transfer.EnoughSpace(Source, Edit2->text(),
                            Text("m_nospace", QStringLiteral("There is not enought space to copy "
                                                             "file(s). Continue?")))) {
    reject();
    return;
  }
  GB1->hide();
  GB2->show();
  Label2->setText(Edit1->text());
  Button1->setEnabled(false);
  const TTransferTexts texts{
      Text("l_copied", QStringLiteral("Copied files:")), Text("m_file", QStringLiteral("File")),
      Text("m_overwrite", QStringLiteral("already exists. Overwrite?")),
      Text("m_overwritereadOnly",
           QStringLiteral("already exists and has attribute Read-only. Overwrite?")),
      Text("m_error", QStringLiteral("Cannot copy files!"))};
  if (!Transfer.Run(Source, Edit2->text(), InitialTarget, false, true, texts)) {
    TAsker::Current().Error(this, texts.Error);
    return;
  }
  accept();
}

void TFormCopy::Button2Click() {
  reject();
}

void TFormCopy::reject() {
  if (Transfer.Running())
    Transfer.Stop();
  else
    QDialog::reject();
}

} // namespace corvane
