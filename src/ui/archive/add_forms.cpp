#include "archive/add_forms.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "model/arc_disk_interface.h"
#include "model/browser_events.h"
#include "panels/archive_windows.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <functional>
#include <memory>
#include <vector>

namespace corvane {
namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr const char* Kinds[] = {"zip", "arj", "rar"};
constexpr archive::TArcType KindTypes[] = {archive::TArcType::atZIP, archive::TArcType::atARJ,
                                           archive::TArcType::atRAR};

} // namespace

TFormArcParam::TFormArcParam(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormArcParam"));
  const auto text = [this](const char* key, const char* fallback) {
    return Main->LanguageFile.Read("ArcParam", key, QString::fromUtf8(fallback));
  };
  setWindowTitle(text("Caption", "Archivers options"));
  setFixedSize(440, 320);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(8, 8, 424, 170);
  for (int i = 0; i < 3; ++i) {
    auto* page = new QWidget;
    Memos[i] = new QPlainTextEdit(page);
    Memos[i]->setObjectName(QStringLiteral("Memo%1").arg(i + 1));
    Memos[i]->setGeometry(6, 6, 406, 84);
    Memos[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
    LongNames[i] = new QCheckBox(text("Check1", "Use long filename"), page);
    LongNames[i]->setGeometry(6, 94, 406, 20);
    Oem[i] = new QCheckBox(text("Check2", "Convert command to OEM string"), page);
    Oem[i]->setGeometry(6, 114, 406, 20);
    Internal[i] = new QCheckBox(text("Check3", "Use internal archiver"), page);
    Internal[i]->hide();
    Internal[i]->setEnabled(false);
    PageControl1->addTab(page, QString::fromLatin1(Kinds[i]).toUpper());
    // Each page shows its archiver's five lines and flags.
    if (const config::TArchiverEntry* entry = Main->ArchiverTable.Entry(Kinds[i])) {
      QStringList lines;
      for (const std::string& line : entry->Lines)
        lines << FromBytes(line);
      Memos[i]->setPlainText(lines.join('\n'));
      LongNames[i]->setChecked(entry->UseLongFN);
      Oem[i]->setChecked(entry->ConvertToOEM);
      Internal[i]->setChecked(entry->UseInternal);
    }
  }
  const char* const names[] = {"Add files",
                               "Add files and folders",
                               "Move files",
                               "Move files and folders",
                               "Delete files/folders",
                               "<%> - archive name"};
  for (int i = 0; i < 6; ++i) {
    const std::string key = "Label" + std::to_string(i + 1);
    auto* label = new QLabel(text(key.c_str(), names[i]), this);
    label->setGeometry(16 + (i / 3) * 210, 184 + (i % 3) * 20, 200, 18);
  }
  Button1 = new QPushButton(text("Button_OK", "&OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(140, 284, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(text("Button_Cancel", "&Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(226, 284, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] {
    Button1Click();
    accept();
  });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormArcParam::Button1Click() {
  for (int i = 0; i < 3; ++i) {
    config::TArchiverEntry* entry = Main->ArchiverTable.Entry(Kinds[i]);
    if (!entry)
      continue;
    entry->Lines.clear();
    for (const QString& line : Memos[i]->toPlainText().split('\n'))
      entry->Lines.push_back(line.toStdString());
    // Five lines always, so that a shortened memo empties the lines it lost.
    while (entry->Lines.size() < config::TArchiverTable::LineCount)
      entry->Lines.emplace_back(" ");
    entry->UseLongFN = LongNames[i]->isChecked();
    entry->ConvertToOEM = Oem[i]->isChecked();
    entry->UseInternal = Internal[i]->isChecked();
  }
}

TFormAdd::TFormAdd(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormAdd"));
  const auto text = [this](const char* key, const char* fallback) {
    return Main->LanguageFile.Read("NewArchive", key, QString::fromUtf8(fallback));
  };
  setWindowTitle(text("Caption", "Add to archive"));
  setFixedSize(400, 200);
  GroupBox1 = new QGroupBox(' ' + text("Label4", "Archive type") + ' ', this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(8, 8, 90, 110);
  for (int i = 0; i < 3; ++i) {
    Types[i] = new QRadioButton(QString::fromLatin1(Kinds[i]).toUpper(), GroupBox1);
    Types[i]->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
    Types[i]->setGeometry(10, 22 + i * 26, 70, 22);
  }
  const QString kind = Main->Settings.ArcDef.toLower();
  Types[kind == QStringLiteral("arj")   ? 1
        : kind == QStringLiteral("rar") ? 2
                                        : 0]
      ->setChecked(true);
  auto* group = new QGroupBox(this);
  group->setObjectName(QStringLiteral("GroupBox2"));
  group->setGeometry(106, 8, 286, 110);
  auto* label1 = new QLabel(text("Label1", "Add to archive"), group);
  label1->setGeometry(8, 6, 270, 18);
  Edit1 = new QLineEdit(group);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(8, 26, 270, 24);
  auto* label3 = new QLabel(text("Label2", "Password"), group);
  label3->setGeometry(8, 56, 130, 18);
  auto* label4 = new QLabel(text("Label3", "Reenter password"), group);
  label4->setGeometry(146, 56, 130, 18);
  // Archives are never encrypted here: the password fields stay off.
  Edit3 = new QLineEdit(group);
  Edit3->setGeometry(8, 76, 130, 24);
  Edit4 = new QLineEdit(group);
  Edit4->setGeometry(146, 76, 130, 24);
  for (QLineEdit* edit : {Edit3, Edit4}) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setEnabled(false);
  }
  CheckBox1 = new QCheckBox(text("Check1", "Delete files after archiving"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(12, 126, 300, 22);
  Button1 = new QPushButton(text("Button1", "&Add"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(72, 162, 80, 25);
  Button1->setDefault(true);
  Button3 = new QPushButton(text("Button3", "&Options"), this);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setGeometry(160, 162, 80, 25);
  Button2 = new QPushButton(text("Button2", "&Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(248, 162, 80, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormAdd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TFormAdd::FormActivate() {
  const TFPanel* panel = Main->ActivePanel();
  const TBrowser& browser = panel->Browser;
  std::string name;
  if (browser.SelectedCount() > 0) {
    // The folder's own name; nothing for a drive root.
    std::string folder = browser.RootPath() + browser.RelPath();
    if (folder.size() > 3) {
      while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
      name = folder.substr(folder.rfind('\\') + 1);
    }
  } else if (const TFileEntry* entry = browser.GetEntry(panel->CursorIndex())) {
    // Without its last extension; a name that is all extension (".profile") stays whole.
    name = entry->Name.empty() ? entry->EntryName() : entry->Name;
  }
  Edit1->setText(FromBytes(name));
  Edit1->setFocus();
}

std::string TFormAdd::ArchiveKind() const {
  for (int i = 0; i < 3; ++i)
    if (Types[i]->isChecked())
      return Kinds[i];
  return Kinds[0];
}

void TFormAdd::done(int result) {
  Main->Settings.ArcDef = QString::fromLatin1(ArchiveKind().c_str());
  QDialog::done(result);
}

void TFormAdd::Button3Click() {
  TFormArcParam(Main).exec();
}

void TFormAdd::Button1Click() {
  const QString typed = Edit1->text();
  if (typed.isEmpty())
    return;
  TFPanel* panel = Main->ActivePanel();
  TBrowser& source = panel->Browser;
  const std::string folder = source.RootPath() + source.RelPath();
  // "/" and "~" paths are absolute, a drive only as "d:\"; anything else is in the panel's folder.
  const std::optional<std::string> archive = platform::TypedToModel(typed.toStdString(), folder);
  if (!archive || archive->back() == '\\') {
    TAsker::Current().Error(this, QStringLiteral("Cannot make the archive %1").arg(typed));
    return;
  }
  size_t kindIndex = 0;
  while (kindIndex < 2 && ArchiveKind() != Kinds[kindIndex])
    ++kindIndex;
  for (TFPanel* side : {Main->LeftPanel(), Main->RightPanel()})
    side->StopMonitor();

  std::vector<QString> messages;
  {
    TBrowser target;
    target.WorkFolder = source.WorkFolder;
    target.OnArchiveParameters = [this](int type, int line, int maxLength, std::string& text) {
      Main->MGetARCParameters(type, line, maxLength, text);
    };
    target.OnArchiveMode = [this](int type, bool& flag1, bool& flag2, bool& flag3) {
      Main->MGetARCMode(type, flag1, flag2, flag3);
    };
    const TPanelWords& words = panel->Words;
    target.OnArchiverWait =
        [waiter = std::make_shared<TArchiverWaiter>(this),
         texts = TFormArchiverWait::TTexts{words.ArchiverWait, words.ArchiverCancel,
                                           words.ArchiverStop}](const TArchiverWait& wait) {
          return waiter->Wait(wait, texts);
        };
    const auto collect = [&messages](TCopyError, const std::string& text) {
      messages.push_back(FromBytes(text));
    };
    target.OnCopyError = collect;
    if (target.SetRoot(*archive, skArchive, "")) {
      if (auto* arc = dynamic_cast<TARCDiskInterface*>(target.CurrentSource()))
        arc->SetNewArchiveType(KindTypes[kindIndex]);
      // Packing shows no copy progress; its questions and errors are this window's.
      using TBlock = std::function<void(int64_t, int64_t)>;
      TScopedEvent begin(source.OnCopyBegin, decltype(source.OnCopyBegin)());
      TScopedEvent confirm(source.OnCopyConfirm, decltype(source.OnCopyConfirm)());
      TScopedEvent first(source.OnCopyFirstBlock, decltype(source.OnCopyFirstBlock)());
      TScopedEvent block(source.OnCopyOneBlock, TBlock());
      TScopedEvent fileEnd(source.OnCopyFileEnd, decltype(source.OnCopyFileEnd)());
      TScopedEvent end(source.OnCopyEnd, decltype(source.OnCopyEnd)());
      TScopedEvent errors(source.OnCopyError, decltype(source.OnCopyError)(collect));
      source.CopyToBrowser(target, CheckBox1->isChecked());
    } else if (messages.empty()) {
      messages.push_back(QStringLiteral("Cannot enter to archive"));
    }
  }
  Main->Update_AllPanels();
  for (TFPanel* side : {Main->LeftPanel(), Main->RightPanel()})
    side->StartMonitor();
  // The cursor goes to the archive, under the typed name or the one the archiver gave it.
  const std::string base = archive->substr(archive->rfind('\\') + 1);
  if (archive->substr(0, archive->size() - base.size()) == folder)
    for (const std::string& name : {base, base + "." + Kinds[kindIndex]})
      if (const int index = source.FindEntry(name); index > 0) {
        panel->PlaceCursor(index);
        panel->DrawList();
        panel->DrawCursor();
        break;
      }
  if (!messages.empty()) {
    QStringList lines;
    for (const QString& message : messages)
      lines << message;
    TAsker::Current().Error(this, lines.join('\n'));
  }
  accept();
}

void AddToArchiveCommand(TForm1& form) {
  TFormAdd(&form).exec();
}

} // namespace corvane
