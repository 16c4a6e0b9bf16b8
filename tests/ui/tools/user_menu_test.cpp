// The user menu: which entries it offers, starting one, and editing the list.
#include "config/user_menu.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "tools/user_menu_form.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace corvane {
namespace {

struct TMenuFixture {
  TMenuFixture() {
    TAsker::Replace(&Asker);
    Stub = Dir.File("my tools/recorder");
    test::WriteFile(Stub, "#!/bin/sh\n{ for a; do printf '%s\\n' \"$a\"; done; pwd; } > '" +
                              Dir.Native("ran.part") + "' && mv '" + Dir.Native("ran.part") +
                              "' '" + Dir.Native("ran") + "'\n");
    Dir.Chmod("my tools/recorder", 0755);
    // LF line ends and an entry whose program this machine lacks.
    Program.Write("cv.mnu", "2\n \nRecord\n'" + Stub +
                                "' -x 'two words'\n \nMissing\nno-such-program-here --go\n \n");
    Dir.Folder("work");
    Form = std::make_unique<TForm1>();
    TFPanel* panel = Form->LeftPanel();
    panel->Settings.Path = QString::fromStdString(Dir.Model() + "work");
    panel->InitFromPath();
  }
  ~TMenuFixture() {
    Form.reset();
    TAsker::Replace(nullptr);
  }
  std::vector<std::string> Rows(const TFormMenu& menu) const {
    std::vector<std::string> rows;
    for (int i = 0; i < menu.ListBox1->count(); ++i)
      rows.push_back(menu.ListBox1->item(i)->text().toStdString());
    return rows;
  }

  test::TProgramFolder Program;
  test::TTempFolder Dir;
  test::TScriptedAsker Asker;
  std::unique_ptr<TForm1> Form;
  std::string Stub;
};

TEST(UserMenu, OffersWhatIsThereAndStartsItWithItsArgumentsInThePanelsFolder) {
  TMenuFixture f;
  TFormMenu menu(f.Form.get());
  menu.FormActivate();
  EXPECT_EQ(f.Rows(menu), (std::vector<std::string>{"Record"}));
  menu.ListBox1->setCurrentRow(0);
  menu.Button1Click();
  const std::string ran = f.Dir.Native("ran");
  for (int i = 0; i < 300 && ::access(ran.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(test::ReadFile(ran), "-x\ntwo words\n" + f.Dir.Native("work") + "\n");
  EXPECT_TRUE(f.Asker.Said.empty());

  // An entry whose program is missing is reported when started from the editing list's entry.
  RunUserMenuCommand(*f.Form, "no-such-program-here --go", f.Dir.Native("work"));
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_EQ(f.Asker.Errors[0], QStringLiteral("Cannot start the program no-such-program-here"));
}

TEST(UserMenu, EditingShowsEveryEntryAndTheFileIsWrittenOnClose) {
  TMenuFixture f;
  const std::string file = f.Program.Dir.Native("cv.mnu");
  {
    // Options and close without a change: written again, now with CR LF.
    TFormMenu menu(f.Form.get());
    menu.FormActivate();
    menu.Button3Click();
    EXPECT_TRUE(menu.Editing());
    EXPECT_EQ(f.Rows(menu), (std::vector<std::string>{"Record", "Missing"}));
    EXPECT_FALSE(menu.Button1->isEnabled());
    menu.reject();
  }
  EXPECT_EQ(test::ReadFile(file).substr(0, 6), "2\r\n \r\n");
  {
    TFormMenu menu(f.Form.get());
    menu.FormActivate();
    menu.Button3Click();
    // Insert: the first press asks for the fields, the second adds the entry.
    menu.Button4Click();
    EXPECT_FALSE(menu.Edit1->isHidden());
    EXPECT_FALSE(menu.ListBox1->isEnabled());
    menu.Edit1->setText(QStringLiteral("Shell"));
    menu.Edit2->setText(QStringLiteral("sh -c 'echo hi'"));
    menu.Button4Click();
    // Change the first entry's caption.
    menu.Button3Click();
    menu.ListBox1->setCurrentRow(0);
    menu.Button6Click();
    EXPECT_EQ(menu.Edit1->text(), QStringLiteral("Record"));
    menu.Edit1->setText(QStringLiteral("Recorder"));
    menu.Button6Click();
    // Delete the missing program's entry.
    menu.Button3Click();
    menu.ListBox1->setCurrentRow(1);
    menu.Button5Click();
    menu.reject();
  }
  EXPECT_EQ(config::ReadUserMenu(file, "CP1252"),
            (std::vector<config::TUserMenuEntry>{{"Recorder", "'" + f.Stub + "' -x 'two words'"},
                                                 {"Shell", "sh -c 'echo hi'"}}));
  {
    // Deleting every entry writes a count of 0; Delete with nothing selected removes nothing.
    TFormMenu menu(f.Form.get());
    menu.FormActivate();
    menu.Button3Click();
    menu.ListBox1->setCurrentRow(-1);
    menu.Button5Click();
    EXPECT_EQ(menu.Entries().size(), 2u);
    for (int i = 0; i < 2; ++i) {
      menu.Button3Click();
      menu.ListBox1->setCurrentRow(0);
      menu.Button5Click();
    }
    menu.reject();
  }
  EXPECT_EQ(test::ReadFile(file), "0\r\n \r\n");
}

} // namespace
} // namespace corvane
