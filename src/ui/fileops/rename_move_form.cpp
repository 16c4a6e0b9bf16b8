#include "fileops/rename_move_form.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace corvane {

TFormRenMove::TFormRenMove(TForm1* mainWindow)
    : QDialog(mainWindow), Main(mainWindow), Source(mainWindow->ActivePanel()),
      Transfer(mainWindow, this, nullptr, nullptr, nullptr, nullptr) {
  setObjectName(QStringLiteral("FormRenMove"));
  const TLangStrings& strings = Main->LangStrings;
  setWindowTitle(strings.Get("Rename", "Caption"));
  setFixedSize(400, 150);
  GroupBox1 = new QGroupBox(this);
  GroupBox1->setGeometry(8, 4, 384, 100);
  Label1 = new QLabel(GroupBox1);
  Label1->setGeometry(10, 18, 364, 30);
  Label1->setWordWrap(true);
  Edit1 = new QComboBox(GroupBox1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setEditable(true);
  Edit1->setGeometry(10, 58, 364, 22);
  const TProgressPage page = MakeProgressPage(this, 100);
  GB2 = page.Box;
  Label3 = page.Status;
  Label2 = page.Current;
  Progress2 = page.FileBar;
  Progress1 = page.TotalBar;
  Transfer = TTransfer(Main, this, Label3, Label2, Progress2, Progress1);
  Button1 = new QPushButton(strings.Get("Rename", "Button_Ok"), this);
  Button1->setGeometry(124, 114, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(strings.Get("Rename", "Button_Cancel"), this);
  Button2->setGeometry(206, 114, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

  Label3->setText(Text("l_scan", QStringLiteral("Scanning files...")));
  const QString comm = strings.Get("Rename", "Label_Comm");
  const QString to = strings.Get("Rename", "Label_To");
  if (Source->Browser.SelectedCount() > 0)
    Label1->setText(comm + ' ' + QString::number(Source->Browser.SelectedCount()) + ' ' +
                    Text("l_files", QStringLiteral("files(s)")) + ' ' + to);
  else
    Label1->setText(comm + QStringLiteral(" <") + QString::fromStdString(Source->CurrentPath) +
                    QStringLiteral("> ") + to);
  const TFPanel* other = Main->OtherPanel();
  InitialTarget = QString::fromStdString(other->Browser.ShownPath());
  Edit1->setEditText(InitialTarget);
  Edit1->setFocus();
}

QString TFormRenMove::Text(const char* key, const QString& fallback) const {
  return Main->LanguageFile.Read("Rename", key, fallback);
}

void TFormRenMove::Button1Click() {
  Button1->setEnabled(false);
  if (!Transfer.EnoughSpace(Source, Edit1->currentText(),
                            Text("m_nospace", QStringLiteral("There is not enought space to move "
                                                             "file(s). Continue?")))) {
    reject();
    return;
  }
  GroupBox1->hide();
  GB2->show();
  Label2->setText(Edit1->currentText());
  const TTransferTexts texts{
      Text("l_copied", QStringLiteral("Processed files:")), Text("m_file", QStringLiteral("File")),
      Text("m_overwrite", QStringLiteral("already exists. Overwrite?")),
      Text("m_overwritereadOnly",
           QStringLiteral("already exists and has attribute Read-only. Overwrite?")),
      Text("m_error", QStringLiteral("Cannot rename or move files!"))};
  const bool started =
      Transfer.Run(Source, Edit1->currentText(), InitialTarget, true, false, texts);
  if (!started)
    TAsker::Current().Error(this, texts.Error);
  accept();
}

void TFormRenMove::Button2Click() {
  reject();
}

void TFormRenMove::reject() {
  if (Transfer.Running())
    Transfer.Stop();
  else
    QDialog::reject();
}

} // namespace corvane
