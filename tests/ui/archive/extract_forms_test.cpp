// The extraction windows driven as the user drives them: Shift+Enter on an archive in a panel and
// the "Extract files" dialog, over small ZIP archives made for each case.
#include "archive/extract_forms.h"
#include "listing.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/process_messages.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::TTempFolder;
using test::TZipArchive;
using test::TZipItem;

// What the extraction window showed at one moment.
struct TSnapshot {
  QString Label1, Label2;
  int PB1 = -1, PB2 = -1;
  QString Title;
};

// A main window whose left (active) panel shows "left" and right panel "right".
struct TExtractFixture {
  TExtractFixture() {
    Dir.Folder("left");
    Dir.Folder("right");
    TAsker::Replace(&Asker);
    ExtractPassword().clear();
    for (auto [panel, folder] :
         {std::pair{Form.LeftPanel(), "left"}, std::pair{Form.RightPanel(), "right"}}) {
      panel->Settings.Path = QString::fromStdString(Dir.Model() + folder);
      panel->Settings.SortMode = smName;
      panel->InitFromPath();
      panel->resize(300, 300);
      panel->LayoutAndPaint();
    }
  }
  ~TExtractFixture() {
    platform::SetProcessMessagesHook({});
    TAsker::Replace(nullptr);
    ExtractPassword().clear();
  }

  // Puts a file into the left folder and the cursor on it.
  void Put(const std::string& name, const std::string& bytes) {
    test::WriteFile(Dir.Native("left/" + name), bytes);
    TFPanel* panel = Form.LeftPanel();
    panel->RefreshKeepingCursor();
    panel->ShowCursorAt(0, panel->Browser.FindEntry(name) - 1);
  }
  // Runs a command that opens the extraction windows. They must close by themselves: a window
  // still open after some seconds is closed by force and the run counts as failed.
  bool Run(const std::function<void()>& command) {
    bool closed = true;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this, &closed] {
      closed = false;
      for (QDialog* dialog : Form.findChildren<QDialog*>())
        if (dialog->isVisible())
          dialog->done(QDialog::Rejected);
    });
    watchdog.start(20000);
    command();
    return closed;
  }
  bool ShiftEnter() {
    return Run([this] { Form.FormKeyDown(Qt::Key_Return, Qt::ShiftModifier); });
  }
  // "Extract files" through its command, with the dialog's fields filled in as the user would.
  bool Dialog(const QString& target, const QString& password) {
    return Run([&] {
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TFormExtract*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        Default = dialog->Edit1->currentText();
        if (!target.isEmpty())
          dialog->Edit1->setEditText(target);
        dialog->Edit2->setText(password);
        dialog->Button1->click();
      });
      Form.RunCommand("ExtractFiles");
    });
  }
  // Records the extraction window between entries, where the extractor lets events run.
  void Watch() {
    platform::SetProcessMessagesHook([this] {
      if (const auto* window = Form.findChild<TFormExtFile*>())
        Seen.push_back({window->Label1->text(), window->Label2->text(), window->PB1->value(),
                        window->PB2->value(), Form.windowTitle()});
    });
  }
  Names Left() const { return test::Listing(Form.LeftPanel()->Browser); }
  std::string Read(const std::string& relative) const {
    return test::ReadFile(Dir.Native(relative));
  }
  void ExpectAtRest() {
    EXPECT_EQ(Form.windowTitle(), QStringLiteral("Corvane v1.50"));
    EXPECT_TRUE(Form.LeftPanel()->MonitorActive());
    EXPECT_TRUE(Form.RightPanel()->MonitorActive());
  }

  TTempFolder Dir;
  test::TScriptedAsker Asker;
  TForm1 Form;
  std::vector<TSnapshot> Seen;
  QString Default; // the dialog's target as it opened
};

TZipItem Item(const std::string& name, const std::string& data,
              uint16_t method = test::zipDeflate) {
  return TZipItem(name, data, method);
}

TZipItem Damaged(const std::string& name) {
  TZipItem item(name, "contents of " + name);
  item.StatedCrc = 0x12345678;
  return item;
}

// An HA archive with one stored file: a format that is listed but has no extractor.
std::string HaArchive() {
  const std::string content = "ha contents";
  auto put32 = [](std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      out += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  std::string out = "HA";
  out += '\x01';
  out += '\0';
  out += '\x20'; // version 2, stored
  put32(out, static_cast<uint32_t>(content.size()));
  put32(out, static_cast<uint32_t>(content.size()));
  put32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                                         static_cast<uInt>(content.size()))));
  put32(out, 1'700'000'000);
  out += std::string("\0file.txt\0", 10);
  out += std::string("\x07\x02\xA4\x81\xE8\x03\xE8\x03", 8); // Unix mode 0100644, owner 1000
  return out + content;
}

TEST(ExtractWindows, ShiftEnterUnpacksIntoThePanelsFolderReplacingFiles) {
  // The extractor follows what the file is: a ZIP named .arj is unpacked as a ZIP.
  for (const char* name : {"pack.zip", "pack.arj"}) {
    TExtractFixture f;
    test::WriteFile(f.Dir.Native("left/top.txt"), "old top");
    f.Put(name, test::BuildZip(TZipArchive({Item("top.txt", "new top"),
                                            Item("sub/inner/deep.txt", std::string(5000, 'd')),
                                            Item("sub/empty/", "", test::zipStore)})));
    ASSERT_TRUE(f.ShiftEnter()) << name;
    EXPECT_EQ(f.Read("left/top.txt"), "new top") << name;
    EXPECT_EQ(f.Read("left/sub/inner/deep.txt"), std::string(5000, 'd')) << name;
    EXPECT_TRUE(fs::is_directory(f.Dir.Native("left/sub/empty"))) << name;
    EXPECT_TRUE(f.Asker.Said.empty()) << name;
    // The panel shows what was unpacked.
    EXPECT_EQ(f.Left(), (Names{"..", "sub", name, "top.txt"})) << name;
    f.ExpectAtRest();
  }
}

TEST(ExtractWindows, ProgressCountsTheFilesAndTheOverallBarReachesAHundred) {
  TExtractFixture f;
  f.Put("three.zip",
        test::BuildZip(TZipArchive({Item("sub/", "", test::zipStore), Item("sub/a.txt", "a"),
                                    Item("b.txt", std::string(100000, 'b')), Item("c.txt", "")})));
  f.Watch();
  ASSERT_TRUE(f.ShiftEnter());
  ASSERT_EQ(f.Seen.size(), 4u); // after the folder entry and after each file
  // Folders are not counted: the reader reports the three files.
  EXPECT_EQ(f.Seen[0].Label1, QString());
  EXPECT_EQ(f.Seen[0].Label2, QStringLiteral("Preparing to extract files..."));
  struct Want {
    const char* Label1;
    const char* Label2;
    int PB2;
    const char* Title;
  };
  const Want want[] = {
      {"File 1 from 3", "Extracting: sub\\a.txt", 33, "Corvane (33%)"},
      {"File 2 from 3", "Extracting: b.txt", 67, "Corvane (67%)"},
      {"File 3 from 3", "Extracting: c.txt", 100, "Corvane (100%)"},
  };
  for (size_t i = 0; i < std::size(want); ++i) {
    const TSnapshot& seen = f.Seen[i + 1];
    EXPECT_EQ(seen.Label1, QLatin1String(want[i].Label1)) << i;
    EXPECT_EQ(seen.Label2, QLatin1String(want[i].Label2)) << i;
    EXPECT_EQ(seen.PB1, 100) << i; // each file ran to its end
    EXPECT_EQ(seen.PB2, want[i].PB2) << i;
    EXPECT_EQ(seen.Title, QLatin1String(want[i].Title)) << i;
  }
  f.ExpectAtRest();
}

TEST(ExtractWindows, TheDialogsTargetAndPasswordAreUsedAndShiftEnterReusesThePassword) {
  TExtractFixture f;
  const TZipItem secret = Item("secret.txt", "for the right eyes").WithPassword("right");
  f.Put("locked.zip", test::BuildZip(TZipArchive({secret})));
  // The target defaults to the other panel's folder; a typed native path that does not exist yet
  // is made.
  ASSERT_TRUE(f.Dialog(QString::fromStdString(f.Dir.Native("made/here")), "right"));
  EXPECT_EQ(f.Default, QString::fromStdString(f.Dir.Model() + "right\\"));
  EXPECT_EQ(f.Read("made/here/secret.txt"), "for the right eyes");
  EXPECT_TRUE(f.Asker.Said.empty());
  // Without changing the target the other panel's folder gets the files.
  ASSERT_TRUE(f.Dialog(QString(), "right"));
  EXPECT_EQ(f.Read("right/secret.txt"), "for the right eyes");
  EXPECT_NE(f.Form.RightPanel()->Browser.FindEntry("secret.txt"), 0);

  f.Put("again.zip",
        test::BuildZip(TZipArchive({Item("again.txt", "second time").WithPassword("right")})));
  ASSERT_TRUE(f.ShiftEnter());
  EXPECT_EQ(f.Read("left/again.txt"), "second time");
  EXPECT_TRUE(f.Asker.Said.empty());
  f.ExpectAtRest();
}

TEST(ExtractWindows, AWrongOrMissingPasswordFailsThoseEntriesOnceAndTheRestIsExtracted) {
  struct Case {
    const char* Password;
    const char* Said;
  };
  for (const Case& c : {Case{"wrong", "2 files could not be extracted:\n"
                                      "one.txt: 26517 Invalid password\n"
                                      "sub\\two.txt: 26517 Invalid password"},
                        Case{"", "2 files could not be extracted:\n"
                                 "one.txt: 26522 Password failed\n"
                                 "sub\\two.txt: 26522 Password failed"}}) {
    TExtractFixture f;
    f.Put("mixed.zip", test::BuildZip(TZipArchive(
                           {Item("one.txt", "1").WithPassword("right"), Item("plain.txt", "open"),
                            Item("sub/two.txt", "2").WithPassword("right")})));
    ExtractPassword() = c.Password;
    ASSERT_TRUE(f.ShiftEnter()) << c.Password;
    ASSERT_EQ(f.Asker.Errors.size(), 1u) << c.Password;
    EXPECT_EQ(f.Asker.Errors[0], QLatin1String(c.Said));
    EXPECT_EQ(f.Read("left/plain.txt"), "open");
    EXPECT_FALSE(fs::exists(f.Dir.Native("left/one.txt")));
    EXPECT_FALSE(fs::exists(f.Dir.Native("left/sub/two.txt")));
    f.ExpectAtRest();
  }
}

TEST(ExtractWindows, DamagedEntriesAreNamedTogetherAndTheOthersAreExtracted) {
  TExtractFixture f;
  f.Put("crc.zip", test::BuildZip(TZipArchive(
                       {Item("a.txt", "fine a"), Damaged("sub/b.txt"), Item("c.txt", "fine c")})));
  ASSERT_TRUE(f.ShiftEnter());
  ASSERT_EQ(f.Asker.Said.size(), 1u);
  EXPECT_EQ(
      f.Asker.Errors.at(0),
      QStringLiteral("1 file could not be extracted:\nsub\\b.txt: 25151 File fails CRC check"));
  EXPECT_EQ(f.Read("left/a.txt"), "fine a");
  EXPECT_EQ(f.Read("left/c.txt"), "fine c");
  EXPECT_FALSE(fs::exists(f.Dir.Native("left/sub/b.txt"))); // no partial file is left
  f.ExpectAtRest();
}

TEST(ExtractWindows, AFaultSummaryStaysReadableForManyFaults) {
  struct Case {
    int Damaged;
    int Lines; // after the first
    const char* Last;
  };
  // Eleven are all listed: "and 1 more" would take the line the fault itself needs.
  for (const Case& c :
       {Case{11, 11, "f10.txt: 25151 File fails CRC check"}, Case{14, 11, "... and 4 more"}}) {
    TExtractFixture f;
    TZipArchive archive;
    for (int i = 0; i < c.Damaged; ++i)
      archive.Items.push_back(Damaged("f" + std::to_string(i) + ".txt"));
    f.Put("many.zip", test::BuildZip(archive));
    ASSERT_TRUE(f.ShiftEnter());
    ASSERT_EQ(f.Asker.Errors.size(), 1u);
    const QStringList lines = f.Asker.Errors[0].split('\n');
    EXPECT_EQ(lines.front(), QStringLiteral("%1 files could not be extracted:").arg(c.Damaged));
    EXPECT_EQ(lines.size(), c.Lines + 1) << c.Damaged;
    EXPECT_EQ(lines.back(), QLatin1String(c.Last));
  }
}

TEST(ExtractWindows, WhatCannotBeExtractedIsToldAndNothingIsWritten) {
  const std::string zip = test::BuildZip(
      TZipArchive({Item("a.txt", std::string(3000, 'a')), Item("b.txt", std::string(3000, 'b'))}));
  struct Case {
    const char* What;
    std::string Name;
    std::string Bytes;
    const char* Target; // below the test folder
    bool Information;   // the reader's own box; otherwise an error box
    QString Said;       // what the box says after the archive's name
  };
  const Case cases[] = {
      {"not an archive", "text.zip", "Just some words, no archive at all.", "out", true,
       "Error#: 25242\n\nError: Invalid or unsupported archive type for this operation\n\n"},
      {"cut short", "cut.zip", zip.substr(0, zip.size() / 2), "out", true,
       "Error#: 25257\n\nError: Header not found. File may be corrupt\n\n"},
      {"no extractor", "old.ha", HaArchive(), "out", false,
       "Archives of this type cannot be extracted."},
  };
  for (const Case& c : cases) {
    TExtractFixture f;
    f.Put(c.Name, c.Bytes);
    ASSERT_TRUE(f.Dialog(QString::fromStdString(f.Dir.Native(c.Target)), "")) << c.What;
    ASSERT_EQ(f.Asker.Said.size(), 1u) << c.What;
    EXPECT_EQ(f.Asker.Errors.size(), c.Information ? 0u : 1u) << c.What;
    const QString name = QString::fromStdString(f.Dir.Model() + "left\\" + c.Name);
    EXPECT_EQ(f.Asker.Said[0], name + "\n\n" + c.Said) << c.What;
    EXPECT_FALSE(fs::exists(f.Dir.Native(c.Target))) << c.What;
    f.ExpectAtRest();
  }
}

TEST(ExtractWindows, ATargetThatCannotBeMadeIsToldByName) {
  TExtractFixture f;
  test::WriteFile(f.Dir.Native("right/blocker"), "a file where a folder should be");
  f.Put("good.zip", test::BuildZip(TZipArchive({Item("a.txt", "a")})));
  ASSERT_TRUE(f.Dialog(QString::fromStdString(f.Dir.Model() + "right\\blocker\\inside"), ""));
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_EQ(f.Asker.Errors[0], QString::fromStdString("The target folder cannot be created:\n" +
                                                      f.Dir.Model() + "right\\blocker\\inside"));
  f.ExpectAtRest();
}

TEST(ExtractWindows, ClosingTheWindowStopsTheExtraction) {
  TExtractFixture f;
  TZipArchive archive;
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt"})
    archive.Items.push_back(Item(name, name));
  f.Put("stop.zip", test::BuildZip(archive));
  platform::SetProcessMessagesHook([&f] {
    if (auto* window = f.Form.findChild<TFormExtFile*>())
      window->close();
  });
  ASSERT_TRUE(f.ShiftEnter());
  EXPECT_EQ(f.Read("left/1.txt"), "1.txt");
  for (const char* name : {"2.txt", "3.txt", "4.txt"})
    EXPECT_FALSE(fs::exists(f.Dir.Native(std::string("left/") + name))) << name;
  EXPECT_TRUE(f.Asker.Said.empty()); // stopping is no fault
  f.ExpectAtRest();
}

} // namespace
} // namespace corvane
