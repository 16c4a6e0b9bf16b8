// Packing the selection with "Add to archive": the archiver line chosen, its arguments, folder and
// list, what is proposed, what is remembered, the options window, and failures.
#include "archive/add_forms.h"
#include "config/ini_file.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "model/arc_disk_interface.h"
#include "panels/file_panel.h"
#include "platform/launcher.h"
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string First(const std::vector<std::string>& lines) {
  return lines.empty() ? std::string("<nothing ran>") : lines.front();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// A program folder whose arc.ini runs a stub that writes down its arguments, its folder and
// the list file it was given; the main window over "d" with a.txt, b.txt, report.txt and sub/.
struct TAddFixture {
  explicit TAddFixture(const std::string& zipLines = "") {
    const std::string stub = Program.Dir.Native("stub archiver");
    test::WriteFile(stub, "#!/bin/sh\nout='" + Program.Dir.Native("run") +
                              "'\n{ for a; do printf 'arg=%s\\n' \"$a\"; done; printf 'pwd=%s\\n' "
                              "\"$(pwd)\"\n  last=$(eval echo \\${$#}); cat \"${last#@}\" | sed "
                              "'s/^/list=/'; } > \"$out\"\n");
    Program.Dir.Chmod("stub archiver", 0755);
    const std::string q = "'" + stub + "'";
    Program.Write("arc.ini", zipLines.empty()
                                 ? "[zip]\nLine1=" + q + " add % @\nLine2=" + q +
                                       " addtree % @\nLine3=" + q + " move % @\nLine4=" + q +
                                       " movetree % @\nLine5=" + q + " del % @\n"
                                 : zipLines);
    TAsker::Replace(&Asker);
    for (const char* name : {"a.txt", "b.txt", "report.txt", "sub/inner.txt"})
      test::WriteFile(Dir.File(std::string("d/") + name), name);
    Form = std::make_unique<TForm1>();
    TFPanel* panel = Form->LeftPanel();
    panel->Settings.Path = QString::fromStdString(Dir.Model() + "d");
    panel->Settings.SortMode = smName;
    panel->InitFromPath();
    panel->resize(300, 300);
    panel->LayoutAndPaint();
  }
  ~TAddFixture() {
    Form.reset();
    TAsker::Replace(nullptr);
  }
  TFPanel* Left() { return Form->LeftPanel(); }
  // Marks exactly these entries (a packing unmarks what it took).
  void MarkOnly(std::initializer_list<const char*> names) {
    TBrowser& browser = Left()->Browser;
    for (int i = 1; i <= browser.Count(); ++i)
      if (browser.IsMarked(i))
        browser.ToggleMark(i);
    for (const char* name : names)
      browser.ToggleMark(browser.FindEntry(name));
  }
  void Cursor(const std::string& name) {
    Left()->ShowCursorAt(0, Left()->Browser.FindEntry(name) - 1);
  }
  // Opens the window as the command does, lets `act` work it, and presses Add.
  std::vector<std::string> Add(const std::function<void(TFormAdd&)>& act = {}) {
    fs::remove(Program.Dir.Native("run"));
    TFormAdd window(Form.get());
    window.FormActivate();
    Proposed = window.Edit1->text().toStdString();
    if (act)
      act(window);
    window.Button1Click();
    if (!fs::exists(Program.Dir.Native("run")))
      return {};
    std::vector<std::string> lines = Lines(Program.Read("run"));
    for (std::string& line : lines)
      if (line.rfind("arg=@", 0) == 0)
        line = "arg=@LIST"; // the list file's own name is the source's business
    return lines;
  }

  test::TProgramFolder Program;
  test::TTempFolder Dir;
  test::TScriptedAsker Asker;
  std::unique_ptr<TForm1> Form;
  std::string Proposed;
};

TEST(AddToArchive, TheLineChosenItsArgumentsFolderAndList) {
  TAddFixture f;
  const std::string d = f.Dir.Native("d");
  f.MarkOnly({"a.txt", "b.txt", "report.txt"});
  // Three files marked: the folder's name is proposed, the archive made in that folder.
  EXPECT_EQ(f.Add(),
            (std::vector<std::string>{"arg=add", "arg=" + d + "/d", "arg=@LIST", "pwd=" + d,
                                      "list=a.txt", "list=b.txt", "list=report.txt"}));
  EXPECT_EQ(f.Proposed, "d");
  EXPECT_TRUE(f.Asker.Said.empty()) << f.Asker.Said.front().toStdString();

  // The delete box runs the move line; the files are the archiver's to remove.
  f.MarkOnly({"a.txt", "b.txt", "report.txt"});
  EXPECT_EQ(First(f.Add([](TFormAdd& w) { w.CheckBox1->setChecked(true); })), "arg=move")
      << (f.Asker.Said.empty() ? std::string() : f.Asker.Said.back().toStdString());
  EXPECT_TRUE(fs::exists(f.Dir.Native("d/a.txt")));

  // A folder in the selection: the lines for folders, its files in the list.
  f.MarkOnly({"a.txt", "sub"});
  std::vector<std::string> run = f.Add();
  EXPECT_EQ(First(run), "arg=addtree");
  f.MarkOnly({"a.txt", "sub"});
  EXPECT_NE(std::find(run.begin(), run.end(), "list=sub/inner.txt"), run.end());
  EXPECT_EQ(First(f.Add([](TFormAdd& w) { w.CheckBox1->setChecked(true); })), "arg=movetree");

  // Nothing marked: the cursor entry without its extension; a typed native path is absolute.
  f.MarkOnly({});
  f.Cursor("report.txt");
  run = f.Add([&](TFormAdd&) {});
  EXPECT_EQ(f.Proposed, "report");
  ASSERT_GE(run.size(), 2u);
  EXPECT_EQ(run[1], "arg=" + d + "/report");
  run =
      f.Add([&](TFormAdd& w) { w.Edit1->setText(QString::fromStdString(f.Dir.Native("out/x"))); });
  ASSERT_GE(run.size(), 2u);
  EXPECT_EQ(run[1], "arg=" + f.Dir.Native("out/x"));
  // A link is never handed to an archiver: it is reported and stays.
  f.Dir.Link("d/link.txt", "a.txt");
  f.Left()->RefreshKeepingCursor();
  f.MarkOnly({"b.txt", "link.txt"});
  f.Asker.Errors.clear();
  run = f.Add();
  EXPECT_EQ(std::count_if(run.begin(), run.end(),
                          [](const std::string& line) { return line.rfind("list=", 0) == 0; }),
            1);
  EXPECT_NE(std::find(run.begin(), run.end(), "list=b.txt"), run.end());
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_TRUE(f.Asker.Errors[0].startsWith(QStringLiteral("Not added")));
  EXPECT_TRUE(fs::is_symlink(f.Dir.Native("d/link.txt")));
  // An empty name does nothing.
  EXPECT_TRUE(f.Add([](TFormAdd& w) { w.Edit1->clear(); }).empty());
}

TEST(AddToArchive, TheTypeIsRememberedAndEditedLinesAreUsedAtOnce) {
  TAddFixture f;
  {
    TFormAdd window(f.Form.get());
    EXPECT_TRUE(window.Types[0]->isChecked());
    window.Types[1]->setChecked(true);
    window.reject();
  }
  EXPECT_EQ(f.Form->Settings.ArcDef, QStringLiteral("arj"));
  EXPECT_TRUE(TFormAdd(f.Form.get()).Types[1]->isChecked());
  f.Form->Save_INI();
  {
    TForm1 restarted;
    EXPECT_EQ(restarted.Settings.ArcDef, QStringLiteral("arj"));
  }
  f.Form->Settings.ArcDef = QStringLiteral("zip");

  // The options window edits the table the next packing reads.
  {
    TFormArcParam options(f.Form.get());
    const QString lines = options.Memos[0]->toPlainText();
    ASSERT_TRUE(lines.startsWith('\''));
    options.Memos[0]->setPlainText(
        QString(lines).replace(QStringLiteral(" add %"), QStringLiteral(" edited %")));
    options.LongNames[2]->setChecked(true);
    options.Button1Click();
  }
  f.Cursor("a.txt");
  EXPECT_EQ(First(f.Add()), "arg=edited");
  EXPECT_TRUE(f.Form->ArchiverTable.Entry("rar")->UseLongFN);
}

TEST(AddToArchive, AMissingOrFailingArchiverIsReportedAndNothingIsDeleted) {
  const std::string failing =
      "[zip]\nLine1=sh -c 'echo disk full >&2; exit 2' % @\nLine2=x\nLine3=sh -c 'echo "
      "disk full >&2; exit 2' % @\nLine4=x\nLine5=x\n";
  TAddFixture f(failing);
  f.Cursor("a.txt");
  f.Add([](TFormAdd& w) { w.CheckBox1->setChecked(true); });
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_NE(f.Asker.Errors[0].indexOf(QStringLiteral("disk full")), -1)
      << f.Asker.Errors[0].toStdString();
  EXPECT_TRUE(fs::exists(f.Dir.Native("d/a.txt")));

  f.Form->ArchiverTable.Entry("zip")->Lines.assign(5, "no-such-archiver-here a % @");
  f.Asker.Errors.clear();
  f.Add([](TFormAdd& w) { w.CheckBox1->setChecked(true); });
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_TRUE(fs::exists(f.Dir.Native("d/a.txt")));
}

// The real archivers pack a tree that our own readers then list whole.
TEST(AddToArchive, RealArchiversPackATreeOurReadersReadBack) {
  for (const char* kind : {"zip", "arj"}) {
    SCOPED_TRACE(kind);
    if (platform::FindOnPath(kind == std::string("zip") ? "7zz" : "arj").empty())
      GTEST_SKIP() << "the archiver is not installed";
    TAddFixture f;
    fs::remove(f.Program.Dir.Native("arc.ini"));
    f.Program.Ship("arc.ini");
    f.Form->ArchiverTable.Reset();
    config::TIniFile arc(f.Program.Dir.Native("arc.ini"));
    f.Form->ArchiverTable.Load(arc);
    f.MarkOnly({"a.txt", "b.txt", "sub"});
    f.Add([&](TFormAdd& w) {
      w.Types[kind == std::string("zip") ? 0 : 1]->setChecked(true);
      w.Edit1->setText(QStringLiteral("packed"));
    });
    EXPECT_TRUE(f.Asker.Errors.empty())
        << (f.Asker.Errors.empty() ? "" : f.Asker.Errors[0].toStdString());
    const std::string made = f.Dir.Native(std::string("d/packed.") + kind);
    ASSERT_TRUE(fs::exists(made)) << made;
    EXPECT_EQ(f.Left()->Browser.EntryName(f.Left()->CursorIndex()), std::string("packed.") + kind);
    TBrowser reader;
    ASSERT_TRUE(reader.SetRoot(f.Dir.Model() + "d\\packed." + kind, skArchive, ""));
    std::vector<std::string> names;
    for (int i = 1; i <= reader.Count(); ++i)
      names.push_back(reader.EntryName(i));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "sub"}));
    ASSERT_TRUE(reader.ShowFolder("sub\\") == 0);
    EXPECT_GT(reader.FindEntry("inner.txt"), 0);
  }
}

} // namespace
} // namespace corvane
