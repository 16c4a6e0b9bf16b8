#include "fileops/copy_form.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "model/browser_events.h"
#include "panels/file_panel.h"
#include "platform/process_messages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <cmath>

namespace corvane {

namespace {

QString FromBytes(const std::string& text) {
  return QString::fromStdString(text);
}

int Percent(double part, double whole) {
  return whole > 0 ? static_cast<int>(std::nearbyint(part * 100.0 / whole)) : 0;
}

} // namespace

TFormCopy::TFormCopy(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
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
  GB2 = new QGroupBox(this);
  GB2->setGeometry(8, 4, 384, 120);
  GB2->hide();
  Label3 = new QLabel(GB2);
  Label3->setGeometry(10, 14, 364, 16);
  Label2 = new QLabel(GB2);
  Label2->setGeometry(10, 32, 364, 16);
  Progress2 = new QProgressBar(GB2);
  Progress2->setGeometry(10, 54, 364, 16);
  Progress1 = new QProgressBar(GB2);
  Progress1->setGeometry(10, 82, 364, 16);
  for (QProgressBar* bar : {Progress1, Progress2})
    bar->setRange(0, 100);
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
  YesToAll = false;
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
  else
    Edit1->setText(FromBytes(Source->CurrentPath));
  const TFPanel* other = Main->OtherPanel();
  Edit2->setText(FromBytes(other->Browser.RootPath() + other->Browser.RelPath()));
  InitialTarget = Edit2->text();
  CheckBox2->setChecked(Main->Settings.SysCopy);
  Edit2->setFocus();
}

void TFormCopy::Button1Click() {
  if (!Source)
    FormActivate();
  for (TFPanel* panel : {Main->LeftPanel(), Main->RightPanel()})
    panel->StopMonitor();
  GB1->hide();
  GB2->show();
  Label2->setText(Edit1->text());
  Button1->setEnabled(false);
  TBrowser& browser = Source->Browser;
  browser.Cursor = Source->CursorIndex();

  using TBegin = std::function<void(const std::string&, int64_t)>;
  using TFirst = std::function<void(const std::string&, const std::string&, int64_t)>;
  using TBlock = std::function<void(int64_t, int64_t)>;
  using TConfirm = std::function<void(int, const std::string&, bool&)>;
  using TError = std::function<void(int, const std::string&)>;
  using TPlain = std::function<void()>;
  TScopedEvent begin(browser.OnCopyBegin, TBegin([this](const std::string&, int64_t total) {
                       GrandTotal = total;
                       FinishedBytes = 0;
                       setWindowTitle(windowTitle() +
                                      QStringLiteral(" (%1 Mb)").arg(total / 1000000));
                     }));
  TScopedEvent first(browser.OnCopyFirstBlock,
                     TFirst([this](const std::string& source, const std::string&, int64_t size) {
                       Label3->setText(Text("l_copied", QStringLiteral("Copied files:")) + ' ' +
                                       QString::number(FilesDone));
                       Label2->setText(FromBytes(source));
                       CurrentSize = size;
                     }));
  TScopedEvent block(
      browser.OnCopyOneBlock, TBlock([this](int64_t done, int64_t size) {
        platform::ProcessMessages();
        if (size > 0)
          Progress2->setValue(Percent(double(done), double(size)));
        if (done + FinishedBytes > 0) {
          Progress1->setValue(
              std::min(100, Percent(double(done + FinishedBytes), double(GrandTotal))));
          Main->setWindowTitle(QStringLiteral("Corvane (%1%)").arg(Progress1->value()));
        }
      }));
  TScopedEvent fileEnd(browser.OnCopyFileEnd, TPlain([this] {
                         FinishedBytes += CurrentSize;
                         ++FilesDone;
                       }));
  TScopedEvent confirm(
      browser.OnCopyConfirm,
      TConfirm([this, &browser](int kind, const std::string& path, bool& answer) {
        if (YesToAll) {
          answer = true;
          return;
        }
        const QString text =
            Text("m_file", QStringLiteral("File")) + ' ' + FromBytes(path) + '\n' +
            (kind == 2
                 ? Text("m_overwritereadOnly",
                        QStringLiteral("already exists and has attribute Read-only. Overwrite?"))
                 : Text("m_overwrite", QStringLiteral("already exists. Overwrite?")));
        switch (TAsker::Current().YesNoCancelAll(this, text)) {
        case TAsker::All:
          YesToAll = true;
          answer = true;
          break;
        case TAsker::Yes:
          answer = true;
          break;
        case TAsker::Cancel:
          answer = false;
          browser.StopOperation();
          break;
        default:
          answer = false;
          break;
        }
      }));
  TScopedEvent error(browser.OnCopyError, TError([this](int kind, const std::string& path) {
                       if (kind == 1 || kind == 3 || kind == 4)
                         TAsker::Current().Error(
                             this, Text("m_error", QStringLiteral("Cannot copy files!")) + ' ' +
                                       FromBytes(path));
                     }));
  Running = true;
  const bool started = Edit2->text() != InitialTarget
                           ? browser.CopyToPath(Edit2->text().toStdString(), false)
                           : browser.CopyToBrowser(Main->OtherPanel()->Browser, false);
  Running = false;
  if (!started) {
    TAsker::Current().Error(this, Text("m_error", QStringLiteral("Cannot copy files!")));
    return;
  }
  Main->setWindowTitle(QStringLiteral("Corvane v1.50"));
  Main->Update_AllPanels();
  for (TFPanel* panel : {Main->LeftPanel(), Main->RightPanel()})
    panel->StartMonitor();
  accept();
}

void TFormCopy::Button2Click() {
  if (Running && Source)
    Source->Browser.StopOperation();
  else
    reject();
}

} // namespace corvane
