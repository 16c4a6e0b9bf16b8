#include "tools/tool_bar_form.h"

#include "config/toolbar_file.h"
#include "main/main_form.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

namespace corvane {
namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TFormToolBar::TFormToolBar(TForm1* mainWindow) : QDialog(mainWindow), Main(mainWindow) {
  setObjectName(QStringLiteral("FormToolBar"));
  const auto text = [this](const char* key, const char* fallback) {
    return Main->LanguageFile.Read("Config_Toolbar", key, QString::fromUtf8(fallback));
  };
  setWindowTitle(text("Caption", "Configuration of Toolbar"));
  setFixedSize(460, 300);
  List = new QListWidget(this);
  List->setObjectName(QStringLiteral("List"));
  List->setGeometry(8, 8, 170, 248);
  const auto field = [this](const QString& caption, const char* name, int y) {
    auto* label = new QLabel(caption, this);
    label->setGeometry(188, y, 200, 16);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(188, y + 16, 230, 22);
    connect(edit, &QLineEdit::textEdited, this, [this] { Edited(); });
    return edit;
  };
  Edit1 = field(text("Label_Command", "Command"), "Edit1", 8);
  Edit2 = field(text("Label_Param", "Params"), "Edit2", 50);
  Edit3 = field(text("Label_Path", "Path"), "Edit3", 92);
  Edit4 = field(text("Label_Icon", "Icon file"), "Edit4", 134);
  Edit5 = field(text("Label_Hint", "Hint"), "Edit5", 176);
  auto* speed2 = new QToolButton(this);
  speed2->setText(QStringLiteral(">>"));
  speed2->setGeometry(422, 24, 30, 22);
  auto* speed1 = new QToolButton(this);
  speed1->setText(QStringLiteral(">>"));
  speed1->setGeometry(422, 150, 30, 22);
  CheckBox1 = new QCheckBox(text("Check_RunMin", "&Run minimize"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(188, 218, 200, 22);
  Test = new QToolButton(this);
  Test->setObjectName(QStringLiteral("Test"));
  Test->setGeometry(400, 218, 25, 23);
  Test->setAutoRaise(true);
  const auto button = [this](const QString& caption, const char* name, int x) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, 266, 80, 25);
    return b;
  };
  Button2 = button(text("Button2", "&Add"), "Button2", 8);
  Button3 = button(text("Button4", "&Splitter"), "Button3", 96);
  Button4 = button(text("Button3", "&Remove"), "Button4", 184);
  Button1 = button(text("Button1", "&OK"), "Button1", 372);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(speed1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(speed2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(CheckBox1, &QCheckBox::clicked, this, [this] { Edited(); });
  connect(List, &QListWidget::currentRowChanged, this, [this] { ListClick(); });
  connect(List, &QListWidget::itemDoubleClicked, this, [this] { SpeedButton2Click(); });
  PickFile = [this](bool forIcon) {
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Name filters are case-sensitive here: both spellings of each extension.
    dialog.setNameFilters(
        forIcon ? QStringList{QStringLiteral("BMP, ICO, EXE, DLL, ICL (*.ico *.ICO *.bmp *.BMP "
                                             "*.exe *.EXE *.dll *.DLL *.icl *.ICL)"),
                              QStringLiteral("All files (*)")}
                : QStringList{QStringLiteral("All files (*)"),
                              QStringLiteral("Executable files (*.exe *.EXE *.com *.COM *.bat "
                                             "*.BAT *.sh)")});
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  for (const config::TToolButtonRecord& record : Main->ToolBarTable.Buttons)
    List->addItem(FromBytes(record.Command));
  if (List->count() > 0)
    List->setCurrentRow(0);
  ListClick();
}

int TFormToolBar::Selected() const {
  const int row = List->currentRow();
  return row >= 0 && row < static_cast<int>(Main->ToolBarTable.Buttons.size()) ? row : -1;
}

void TFormToolBar::ListClick() {
  const int row = Selected();
  // Showing a button fills the fields and changes no record.
  Filling = true;
  const config::TToolButtonRecord empty;
  const config::TToolButtonRecord& record =
      row >= 0 ? Main->ToolBarTable.Buttons[static_cast<size_t>(row)] : empty;
  Edit1->setText(FromBytes(record.Command));
  Edit2->setText(FromBytes(record.Param));
  Edit3->setText(FromBytes(record.Path));
  Edit4->setText(FromBytes(record.Icon));
  Edit5->setText(FromBytes(record.Hint));
  CheckBox1->setChecked(record.Minimize == "True");
  Test->setIcon(Main->ToolButtonPicture(row));
  Filling = false;
}

void TFormToolBar::Edited() {
  const int row = Selected();
  if (Filling || row < 0)
    return; // with nothing selected an edit changes no record
  config::TToolButtonRecord& record = Main->ToolBarTable.Buttons[static_cast<size_t>(row)];
  record.Command = Edit1->text().toStdString();
  record.Param = Edit2->text().toStdString();
  record.Path = Edit3->text().toStdString();
  record.Icon = Edit4->text().toStdString();
  record.Hint = Edit5->text().toStdString();
  record.Minimize = CheckBox1->isChecked() ? "True" : "False";
  List->item(row)->setText(Edit1->text());
}

void TFormToolBar::Rebuild() {
  Main->BuildToolBar();
  ListClick();
}

void TFormToolBar::SpeedButton2Click() {
  const int row = Selected();
  if (row < 0)
    return;
  const QString file = PickFile ? PickFile(false) : QString();
  if (file.isEmpty())
    return;
  Edit1->setText(file);
  Main->ToolBarTable.Buttons[static_cast<size_t>(row)].Command = file.toStdString();
  List->item(row)->setText(file);
}

void TFormToolBar::SpeedButton1Click() {
  const int row = Selected();
  if (row < 0)
    return;
  const QString file = PickFile ? PickFile(true) : QString();
  if (file.isEmpty())
    return;
  Main->ToolBarTable.Buttons[static_cast<size_t>(row)].Icon = file.toStdString();
  Rebuild();
}

void TFormToolBar::Button2Click() {
  std::vector<config::TToolButtonRecord>& buttons = Main->ToolBarTable.Buttons;
  if (buttons.size() >= config::TToolBarTable::MaxButtons)
    return;
  config::TToolButtonRecord record;
  record.Command = "New button";
  buttons.push_back(record);
  List->addItem(QStringLiteral("New button"));
  List->setCurrentRow(List->count() - 1);
  SpeedButton2Click();
  // A chosen program gives the button its picture too.
  buttons.back().Icon = buttons.back().Command;
  Rebuild();
}

void TFormToolBar::Button3Click() {
  std::vector<config::TToolButtonRecord>& buttons = Main->ToolBarTable.Buttons;
  if (buttons.size() >= config::TToolBarTable::MaxButtons)
    return;
  config::TToolButtonRecord record;
  record.Command = "Splitter";
  buttons.push_back(record);
  List->addItem(QStringLiteral("Splitter"));
  List->setCurrentRow(List->count() - 1);
  Rebuild();
}

void TFormToolBar::Button4Click() {
  const int row = Selected();
  if (row < 0)
    return;
  std::vector<config::TToolButtonRecord>& buttons = Main->ToolBarTable.Buttons;
  buttons.erase(buttons.begin() + row);
  delete List->takeItem(row);
  if (List->count() > 0)
    List->setCurrentRow(std::min(row, List->count() - 1));
  Rebuild();
}

void TFormToolBar::done(int result) {
  Main->BuildToolBar();
  QDialog::done(result);
}

} // namespace corvane
