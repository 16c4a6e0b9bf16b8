#include "fileops/find_form.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "model/browser_events.h"
#include "panels/file_panel.h"
#include "panels/panel_layout.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

#include <cerrno>
#include <cstring>
#include <functional>

namespace corvane {
namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TFormFind::TFormFind(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormFind"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(470, 380);
  Edit1 = new QComboBox(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setEditable(true);
  Edit1->setInsertPolicy(QComboBox::NoInsert);
  Edit1->setEditText(QStringLiteral("*.*"));
  Edit1->setGeometry(8, 8, 350, 24);
  RG = new QGroupBox(this);
  RG->setObjectName(QStringLiteral("RG"));
  RG->setGeometry(8, 38, 350, 88);
  RadioButton1 = new QRadioButton(RG);
  RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
  RadioButton1->setGeometry(10, 20, 330, 20);
  RadioButton2 = new QRadioButton(RG);
  RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
  RadioButton2->setGeometry(10, 42, 330, 20);
  RadioButton2->setChecked(true);
  RadioButton3 = new QRadioButton(RG);
  RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
  RadioButton3->setGeometry(10, 64, 330, 20);
  RadioButton3->setEnabled(false);
  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setGeometry(8, 134, 350, 210);
  ListBox1->setUniformItemSizes(true); // a long result list stays quick to fill and scroll
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 352, 470, 28);
  for (int i = 0; i < 3; ++i) {
    StatusPanels[i] = new QLabel(StatusBar1);
    StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    StatusPanels[i]->setMinimumWidth(i == 2 ? 0 : 80);
    if (i == 2)
      StatusBar1->addWidget(StatusPanels[i], 1);
    else
      StatusBar1->addWidget(StatusPanels[i]);
  }
  const auto button = [this](const char* name, int y) {
    auto* b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(366, y, 96, 25);
    return b;
  };
  Button1 = button("Button1", 8);
  Button1->setDefault(true);
  Button2 = button("Button2", 38);
  Button2->setEnabled(false);
  Button3 = button("Button3", 68);
  Button3->setEnabled(false);
  Button5 = button("Button5", 98);
  Button5->setEnabled(false);
  Button4 = button("Button4", 319); // level with the list's foot, clear of it
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { ListDblClick(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { reject(); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListDblClick(); });
}

QString TFormFind::Text(const char* key) const {
  return Main->LanguageFile.Read("FindFile", key, QStringLiteral("Error loading resource"));
}

void TFormFind::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TFormFind::FormActivate() {
  SearchPanel = Main->ActivePanel();
  setWindowTitle(Text("Caption"));
  Button1->setText(Text("Button_Find"));
  Button2->setText(Text("Button_Stop"));
  Button3->setText(Text("Button_Goto"));
  Button5->setText(Text("Button_View"));
  Button4->setText(Text("Button_Cancel"));
  RadioButton1->setText(Text("Check_FindInFolder"));
  RadioButton2->setText(Text("Check_FindInDrive"));
  RadioButton3->setText(Text("Check_FindInAllDrives"));
  RG->setTitle(' ' + Text("GB_Caption") + ' ');
  const bool results = ListBox1->count() > 0;
  Button3->setEnabled(results && !Running);
  Button5->setEnabled(results && !Running);
  Edit1->setFocus();
}

void TFormFind::SetIdle(bool idle) {
  Button1->setEnabled(idle);
  Edit1->setEnabled(idle);
  RadioButton1->setEnabled(idle);
  RadioButton2->setEnabled(idle);
  Button2->setEnabled(!idle);
  const bool results = idle && ListBox1->count() > 0;
  Button3->setEnabled(results);
  Button5->setEnabled(results);
}

void TFormFind::LetMessagesRun() {
  // Often enough for Stop to answer at once, seldom enough that a long list fills quickly.
  if (SinceMessages.isValid() && SinceMessages.elapsed() < 30)
    return;
  SinceMessages.restart();
  QCoreApplication::processEvents();
}

void TFormFind::ChangeFolder(const std::string& path) {
  const QString total = FormatSize(static_cast<uint64_t>(TotalBytes));
  StatusPanels[1]->setText(total == QStringLiteral("Empty") ? QString() : total);
  StatusPanels[2]->setText(FromBytes(path));
  StatusPanels[0]->setText(QString::number(Found.size()));
  LetMessagesRun();
}

void TFormFind::FindFile(const std::string& folder, const std::string& name, int64_t size,
                         bool isFolder) {
  const TBrowser& browser = SearchPanel->Browser;
  Found.push_back({browser.RootPath(), browser.SourceKind(), folder, name, isFolder});
  ListBox1->addItem(FromBytes(browser.ShownPathOf(folder) + name));
  TotalBytes += size;
  LetMessagesRun();
}

void TFormFind::Button1Click() {
  if (focusWidget() == ListBox1) {
    ListDblClick();
    return;
  }
  const QString mask = Edit1->currentText();
  if (mask.isEmpty() || Running || !SearchPanel)
    return;
  Edit1->addItem(mask);
  Edit1->setEditText(mask);
  for (QLabel* panel : StatusPanels)
    panel->clear();
  ListBox1->clear();
  Found.clear();
  TotalBytes = 0;
  Running = true;
  SetIdle(false);
  TBrowser& browser = SearchPanel->Browser;
  // The events belong to this search only, whatever way it ends.
  TScopedEvent folder(browser.OnSearchFolder,
                      std::function<void(const std::string&)>(
                          [this](const std::string& path) { ChangeFolder(path); }));
  TScopedEvent found(browser.OnSearchFound,
                     std::function<void(const std::string&, const TFileEntry&)>(
                         [this](const std::string& in, const TFileEntry& entry) {
                           FindFile(in, entry.EntryName(), entry.Size, entry.IsFolder());
                         }));
  SinceMessages.invalidate();
  browser.SearchTree(RadioButton1->isChecked() ? browser.RelPath() : std::string(),
                     mask.toStdString());
  Running = false;
  StatusPanels[2]->clear();
  StatusPanels[0]->setText(QString::number(Found.size()));
  const QString total = FormatSize(static_cast<uint64_t>(TotalBytes));
  StatusPanels[1]->setText(total == QStringLiteral("Empty") ? QString() : total);
  SetIdle(true);
  if (ListBox1->count() > 0)
    ListBox1->setCurrentRow(0);
  ListBox1->setFocus();
}

void TFormFind::Button2Click() {
  if (Running && SearchPanel)
    SearchPanel->Browser.StopOperation();
}

void TFormFind::reject() {
  // The search is stopped first; the window closes once the walk has returned.
  if (Running) {
    Button2Click();
    QMetaObject::invokeMethod(
        this, [this] { reject(); }, Qt::QueuedConnection);
    return;
  }
  QDialog::reject();
}

void TFormFind::ListDblClick() {
  if (Running || ListBox1->count() == 0)
    return;
  ChosenIndex = std::max(ListBox1->currentRow(), 0);
  accept();
}

void TFormFind::Button5Click() {
  const int row = ListBox1->currentRow();
  if (Running || row < 0 || row >= static_cast<int>(Found.size()))
    return;
  const THit& hit = Found[static_cast<size_t>(row)];
  if (hit.IsFolder)
    return; // a folder has nothing to view
  if (hit.Kind == skFolder) {
    Main->ViewInTextViewer(hit.Root + hit.Folder + hit.Name, false);
    return;
  }
  // Inside an archive the hit is viewed as a copy taken out of it, from its folder in the panel.
  if (SearchPanel && SearchPanel->ShowFolderAt(hit.Root, hit.Kind, hit.Folder, hit.Name) == 0 &&
      SearchPanel->Browser.EntryName(SearchPanel->CursorIndex()) == hit.Name) {
    Main->ViewCursorFile(true);
  }
}

void FindFileCommand(TForm1& form) {
  auto* window = form.findChild<TFormFind*>(QStringLiteral("FormFind"), Qt::FindDirectChildrenOnly);
  if (!window)
    window = new TFormFind(&form);
  window->ChosenIndex = -1;
  TFPanel* panel = form.ActivePanel();
  panel->StopMonitor();
  window->exec();
  const int chosen = window->ChosenIndex;
  if (chosen < 0 || chosen >= static_cast<int>(window->Hits().size())) {
    panel->StartMonitor();
    return;
  }
  const TFormFind::THit& hit = window->Hits()[static_cast<size_t>(chosen)];
  const int error = panel->ShowFolderAt(hit.Root, hit.Kind, hit.Folder, hit.Name);
  if (error == EXDEV)
    TAsker::Current().Error(
        &form,
        QStringLiteral("The archive %1 is no longer open in the panel").arg(FromBytes(hit.Root)));
  else if (error != 0)
    TAsker::Current().Error(&form, QStringLiteral("Cannot read the folder %1: %2")
                                       .arg(FromBytes(hit.Root + hit.Folder),
                                            QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace corvane
