// The tool-bar editor: what it changes in the table, what the main window's bar shows meanwhile,
// and what reaches tb.ini at the next save.
#include "config/ini_file.h"
#include "config/toolbar_file.h"
#include "main/main_form.h"
#include "main/tool_bar.h"
#include "program_folder.h"
#include "tools/tool_bar_form.h"
#include "window_part.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

const std::string Dll = CORVANE_SOURCE_DIR "/tests/core/resources/fixtures/res32.dll";

std::vector<std::string> Commands(const TForm1& form) {
  std::vector<std::string> commands;
  for (const config::TToolButtonRecord& record : form.ToolBarTable.Buttons)
    commands.push_back(record.Command);
  return commands;
}

TEST(ToolBarEditor, AddSplitterRemoveAndEditsReachTheBarAndTheFile) {
  test::TProgramFolder home;
  home.Ship("ToolBar");
  home.Write("tb.ini", "[Common]\nCount=3\n[Button1]\nCommand=Help\n[Button2]\nCommand=/bin/true\n"
                       "Param=-x\nPath=/tmp\nHint=Truth\n[Button3]\nCommand=Calculator\n");
  TForm1 form;
  auto* bar = test::Part<TToolBar>(form, "ToolBar");
  TFormToolBar editor(&form);
  editor.PickFile = [](bool) { return QString::fromStdString(Dll); };
  ASSERT_EQ(editor.List->count(), 3);

  // Showing a button fills the fields and changes nothing.
  const config::TToolBarTable before = form.ToolBarTable;
  editor.List->setCurrentRow(1);
  EXPECT_EQ(editor.Edit2->text(), QStringLiteral("-x"));
  EXPECT_EQ(editor.Edit5->text(), QStringLiteral("Truth"));
  EXPECT_EQ(form.ToolBarTable.Buttons, before.Buttons);

  // Field edits go into the selected button at once.
  QTest::keyClicks(editor.Edit2, QStringLiteral(" -y"));
  editor.CheckBox1->click();
  EXPECT_EQ(form.ToolBarTable.Buttons[1].Param, "-x -y");
  EXPECT_EQ(form.ToolBarTable.Buttons[1].Minimize, "True");

  // Add: the chosen program is the command and the picture, and the bar shows it at the end.
  editor.Button2Click();
  EXPECT_EQ(editor.List->item(3)->text().toStdString(), Dll);
  EXPECT_EQ(form.ToolBarTable.Buttons[3].Icon, Dll);
  ASSERT_EQ(bar->Buttons().size(), 4u);
  EXPECT_FALSE(bar->Images()[3].isNull());
  EXPECT_FALSE(editor.Test->icon().isNull());

  // A separator is a 20-pixel gap without a hint.
  editor.Button3Click();
  ASSERT_EQ(bar->Buttons().size(), 5u);
  EXPECT_EQ(bar->Buttons()[4]->width(), TToolBar::SeparatorWidth);
  EXPECT_TRUE(bar->Buttons()[4]->toolTip().isEmpty());

  // Removing the first button moves the others up with their settings.
  editor.List->setCurrentRow(0);
  editor.Button4Click();
  EXPECT_EQ(Commands(form), (std::vector<std::string>{"/bin/true", "Calculator", Dll, "Splitter"}));
  EXPECT_EQ(form.ToolBarTable.Buttons[0].Param, "-x -y");
  EXPECT_EQ(editor.List->currentRow(), 0);
  EXPECT_EQ(bar->Buttons().size(), 4u);
  editor.reject();

  ASSERT_TRUE(form.Save_ToolBar());
  config::TIniFile tb(home.Dir.Native("tb.ini"));
  const config::TToolBarTable saved = config::ReadToolBar(tb);
  EXPECT_EQ(saved.Buttons, form.ToolBarTable.Buttons);
  EXPECT_EQ(saved.Buttons[0].Minimize, "True");
}

TEST(ToolBarEditor, AFullTableTakesNoMoreAndAnEmptyOneNoEdits) {
  test::TProgramFolder home;
  TForm1 form;
  form.ToolBarTable.Buttons.assign(config::TToolBarTable::MaxButtons, {});
  for (auto& record : form.ToolBarTable.Buttons)
    record.Command = "Help";
  {
    TFormToolBar editor(&form);
    editor.PickFile = [](bool) { return QStringLiteral("/bin/true"); };
    editor.Button2Click();
    editor.Button3Click();
    EXPECT_EQ(form.ToolBarTable.Buttons.size(), 40u);
    EXPECT_EQ(editor.List->count(), 40);
  }
  form.ToolBarTable.Buttons.clear();
  TFormToolBar editor(&form);
  editor.Button4Click();
  QTest::keyClicks(editor.Edit1, QStringLiteral("ghost"));
  EXPECT_TRUE(form.ToolBarTable.Buttons.empty());
  // A cancelled picker still adds the button, named as it was made.
  editor.PickFile = [](bool) { return QString(); };
  editor.Button2Click();
  EXPECT_EQ(Commands(form), (std::vector<std::string>{"New button"}));
  EXPECT_EQ(form.ToolBarTable.Buttons[0].Icon, "New button");
}

} // namespace
} // namespace corvane
