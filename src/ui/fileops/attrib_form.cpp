#include "fileops/attrib_form.h"

#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/file_attributes.h"
#include "platform/native_path.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace corvane {
namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString TwoDigits(int n) {
  return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

TFormAttrib::TFormAttrib(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormAttrib"));
  const auto text = [this](const char* key) {
    return Main->LanguageFile.Read("Attrib", key, QStringLiteral("Error loading resource"));
  };
  SetAttributes = [](const std::string& nativePath, uint16_t attr) {
    return platform::SetFileAttributes(nativePath, attr);
  };
  setWindowTitle(text("Caption"));
  setFixedSize(330, 200);
  FileDirName = new QLabel(this);
  FileDirName->setObjectName(QStringLiteral("FileDirName"));
  FileDirName->setGeometry(10, 8, 310, 18);
  FilePathName = new QLabel(this);
  FilePathName->setObjectName(QStringLiteral("FilePathName"));
  FilePathName->setGeometry(10, 28, 310, 18);
  ChangeDate = new QLabel(this);
  ChangeDate->setObjectName(QStringLiteral("ChangeDate"));
  ChangeDate->setGeometry(10, 48, 310, 18);
  for (QLabel* label : {FileDirName, FilePathName})
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QPalette highlight = FileDirName->palette();
  highlight.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
  FileDirName->setPalette(highlight);
  GroupBox1 = new QGroupBox(' ' + text("GroupBox_Caption") + ' ', this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(8, 72, 314, 80);
  const auto box = [this](const char* name, const QString& caption, int x, int y) {
    auto* check = new QCheckBox(caption, GroupBox1);
    check->setObjectName(QString::fromLatin1(name));
    check->setGeometry(x, y, 140, 22);
    return check;
  };
  ReadOnly = box("ReadOnly", text("type_ReadOnly"), 12, 22);
  Archive = box("Archive", text("type_Archive"), 12, 48);
  System = box("System", text("type_System"), 164, 22);
  Hidden = box("Hidden", text("type_Hidden"), 164, 48);
  OKBtn = new QPushButton(text("Button_OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setGeometry(84, 164, 75, 25);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(text("Button_Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setGeometry(170, 164, 75, 25);
  connect(OKBtn, &QPushButton::clicked, this, [this] {
    OKBtnClick();
    accept();
  });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormAttrib::Fill() {
  const TFPanel* panel = Main->ActivePanel();
  const TBrowser& browser = panel->Browser;
  const TFileEntry* entry = browser.GetEntry(panel->CursorIndex());
  if (!entry)
    return;
  const std::string shown = browser.ShownPath();
  FileDirName->setText(FromBytes(shown + entry->EntryName()));
  FilePathName->setText(FromBytes(shown));
  const TSystemTime& t = entry->Written;
  ChangeDate->setText(TwoDigits(t.Day) + '.' + TwoDigits(t.Month) + '.' + QString::number(t.Year) +
                      QStringLiteral(", ") + TwoDigits(t.Hour) + ':' + TwoDigits(t.Minute));
  OldAttr = entry->Attr;
  ReadOnly->setChecked(OldAttr & faReadOnly);
  Archive->setChecked(OldAttr & faArchive);
  System->setChecked(OldAttr & faSystem);
  Hidden->setChecked(OldAttr & faHidden);
  // An archive's entries are shown, not changed.
  const bool real = browser.SourceKind() == skFolder;
  OKBtn->setEnabled(real);
  Path = real ? platform::ModelToNative(browser.RootPath() + browser.RelPath() + entry->EntryName())
                    .value_or(std::string())
              : std::string();
}

void TFormAttrib::OKBtnClick() {
  if (Path.empty() || !OKBtn->isEnabled())
    return;
  uint16_t attr = OldAttr;
  for (auto [box, bit] : {std::pair{ReadOnly, faReadOnly}, std::pair{Archive, faArchive},
                          std::pair{System, faSystem}, std::pair{Hidden, faHidden}}) {
    if (box->isChecked())
      attr |= bit;
    else
      attr &= static_cast<uint16_t>(~bit);
  }
  // A refused change is not reported: the re-read panel shows what the file really has.
  if (attr != OldAttr && SetAttributes)
    SetAttributes(Path, attr);
}

void AttributesCommand(TForm1& form) {
  TFormAttrib window(&form);
  window.Fill();
  window.exec();
  form.Update_AllPanels();
}

} // namespace corvane
