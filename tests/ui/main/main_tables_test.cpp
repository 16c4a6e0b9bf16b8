#include "fileops/copy_form.h"
#include "main/asker.h"
#include "main/colors.h"
#include "main/main_form.h"
#include "main/tool_bar.h"
#include "panels/file_panel.h"
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "window_part.h"
#include "zip_writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QToolButton>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>

namespace corvane {
namespace {

using test::ReadFile;
using test::TProgramFolder;
using test::TTempFolder;

// Puts a folder in front of PATH for the lifetime of the object.
struct TPathFront {
  explicit TPathFront(const std::string& folder) : Old(std::getenv("PATH")) {
    ::setenv("PATH", (folder + ":" + Old).c_str(), 1);
  }
  ~TPathFront() { ::setenv("PATH", Old.c_str(), 1); }
  std::string Old;
};

// A program that writes its working folder and arguments, one a line, to `record`.
void WriteRecorder(const std::string& path, const std::string& record) {
  test::WriteFile(path, "#!/bin/sh\n{ pwd; printf '%s\\n' \"$@\"; } > '" + record + ".part'\nmv '" +
                            record + ".part' '" + record + "'\n");
  ::chmod(path.c_str(), 0755);
}

std::string WaitForFile(const std::string& path) {
  QElapsedTimer timer;
  timer.start();
  while (!std::filesystem::exists(path) && timer.elapsed() < 10000)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return ReadFile(path);
}

const char* const ThreeButtons = "[Common]\nCount=3\n"
                                 "[Button1]\nCommand=help\nHint=Help me\n"
                                 "[Button2]\nCommand=splitter\n"
                                 "[Button3]\nCommand=Calculator\nHint=Sums\n";

TEST(ToolBar, ButtonsSeparatorsAndImageNumbersFollowTheTable) {
  TProgramFolder home;
  home.Ship("ToolBar");
  home.Write("tb.ini", ThreeButtons);
  TForm1 form;
  auto* bar = test::Part<TToolBar>(form, "ToolBar");
  ASSERT_EQ(bar->Buttons().size(), 3u);
  auto* first = test::Part<QToolButton>(form, "Button1");
  auto* third = test::Part<QToolButton>(form, "Button3");
  QWidget* gap = test::Part<QWidget>(form, "Button2");
  EXPECT_EQ(qobject_cast<QToolButton*>(gap), nullptr);
  EXPECT_EQ(gap->width(), TToolBar::SeparatorWidth);
  EXPECT_EQ(third->x(), first->x() + TToolBar::ButtonWidth + TToolBar::SeparatorWidth);
  EXPECT_EQ(first->toolTip(), QStringLiteral("Help me"));
  EXPECT_EQ(third->property("Tag").toInt(), 3);
  // The separator holds image 1, so the third button shows image 2: the calculator's picture.
  ASSERT_EQ(bar->Images().size(), 3u);
  EXPECT_EQ(third->icon().cacheKey(), bar->Images()[2].cacheKey());
  const QImage help = first->icon().pixmap(16, 16).toImage();
  const QImage calculator = third->icon().pixmap(16, 16).toImage();
  EXPECT_EQ(help.pixelColor(8, 2), QColor(0, 0, 255)); // the blue ball of b1.bmp, "help" or not
  EXPECT_NE(calculator, help);
}

TEST(ToolBar, ClicksRunBuiltInCommandsOrPrograms) {
  TProgramFolder home;
  TTempFolder bin;
  const std::string record = bin.Native("record");
  WriteRecorder(bin.Native("help"), record);
  WriteRecorder(bin.Native("tool"), record);
  bin.Folder("work dir");
  home.Write("tb.ini", "[Common]\nCount=6\n[Button6]\nCommand=Editor\n"
                       "[Button1]\nCommand=help\n"
                       "[Button2]\nCommand=splitter\n"
                       "[Button3]\nCommand=Resource Explorer\n"
                       "[Button4]\nCommand=Calculator\n"
                       "[Button5]\nCommand=" +
                           bin.Native("tool") + "\nParam=-x \"two words\" 'it''s'\nPath=" +
                           bin.Native("work dir") + "\n");
  TPathFront path(bin.Path());
  test::TScriptedAsker asker;
  TAsker::Replace(&asker);
  TForm1 form;
  // Built-in words go through the command table by their commands' names; a separator does
  // nothing.
  form.CommandLog.clear();
  for (int tag : {2, 3, 4})
    form.ToolButtonClick(tag);
  EXPECT_EQ(form.CommandLog, (std::vector<std::string>{"ViewResource", "Calculator"}));
  // "help" in lower case is no built-in word: the program help runs, here without parameters or
  // working folder of its own.
  test::Part<QToolButton>(form, "Button1")->click();
  EXPECT_EQ(WaitForFile(record), std::filesystem::current_path().string() + "\n\n");
  std::filesystem::remove(record);
  // A program gets its parameters as arguments, in its working folder.
  form.ToolButtonClick(5);
  EXPECT_EQ(WaitForFile(record), bin.Native("work dir") + "\n-x\ntwo words\nits\n");
  std::filesystem::remove(record);
  // The editor button runs the editor of the settings, without a file.
  form.Settings.EditorName = QString::fromStdString(bin.Native("tool") + " --new");
  form.ToolButtonClick(6);
  EXPECT_EQ(WaitForFile(record), std::filesystem::current_path().string() + "\n--new\n");
  TAsker::Replace(nullptr);
}

TEST(ToolBar, PicturesComeFromBitmapsIconsAndExecutables) {
  TTempFolder dir;
  // A bitmap whose top-left colour (green) is transparent wherever it is.
  QImage bitmap(4, 4, QImage::Format_RGB32);
  bitmap.fill(QColor(0, 255, 0));
  bitmap.setPixelColor(2, 2, QColor(255, 0, 0));
  ASSERT_TRUE(bitmap.save(QString::fromStdString(dir.Native("p.BMP")), "BMP"));
  const QImage loaded = ToolPicture(dir.Native("p.BMP")).pixmap(4, 4).toImage();
  EXPECT_EQ(qAlpha(loaded.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(loaded.pixel(3, 1)), 0);
  EXPECT_EQ(loaded.pixelColor(2, 2), QColor(255, 0, 0));
  // An icon file as it is; an executable's first icon group with all its sizes.
  ASSERT_TRUE(bitmap.save(QString::fromStdString(dir.Native("p.ico")), "ICO"));
  EXPECT_FALSE(ToolPicture(dir.Native("p.ico")).isNull());
  const std::string fixtures = CORVANE_SOURCE_DIR "/tests/core/resources/fixtures/";
  const QList<QSize> sizes = ToolPicture(fixtures + "res32.dll").availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32))) << sizes.size();
  // Whatever gives no picture gives a null icon.
  test::WriteFile(dir.Native("bad.bmp"), "BM not really");
  test::WriteFile(dir.Native("bad.exe"), "MZ not really");
  for (const std::string& none :
       {fixtures + "nores32.dll", dir.Native("bad.bmp"), dir.Native("bad.exe"),
        dir.Native("missing.ico"), dir.Native("missing.txt"), std::string()})
    EXPECT_TRUE(ToolPicture(none).isNull()) << none;
}

TEST(ToolBar, APictureThatFailsKeepsTheOthersInTheirPlaces) {
  TProgramFolder home;
  home.Ship("ToolBar");
  home.Write("tb.ini", "[Common]\nCount=2\n[Button1]\nCommand=x\nIcon=" +
                           home.Dir.Native("no.bmp") + "\n[Button2]\nCommand=Editor\n");
  TForm1 form;
  auto* bar = test::Part<TToolBar>(form, "ToolBar");
  ASSERT_EQ(bar->Images().size(), 2u);
  EXPECT_TRUE(test::Part<QToolButton>(form, "Button1")->icon().isNull());
  EXPECT_FALSE(test::Part<QToolButton>(form, "Button2")->icon().isNull());
}

TEST(MainTables, ClosingWritesTheToolBarAlwaysAndTheOthersWithAutoSave) {
  for (const bool autoSave : {false, true}) {
    TProgramFolder home;
    home.Write("tb.ini", ThreeButtons);
    home.Write("fc.ini", "[Main]\nCount=1\nLine1=255,0;.txt:\n");
    {
      TForm1 form;
      form.Settings.AutoSave = autoSave;
      form.ToolBarTable.Buttons[0].Minimize = "True";
      form.FileColorsTable.ReadLine(1, "1,2;.doc:");
      form.close();
    }
    const std::string tb = home.Read("tb.ini");
    EXPECT_NE(tb.find("Minimize=True"), std::string::npos) << autoSave;
    EXPECT_EQ(home.Read("fc.ini").find(".doc") != std::string::npos, autoSave);
    EXPECT_EQ(std::filesystem::exists(home.Dir.Native("arc.ini")), autoSave);
    EXPECT_EQ(std::filesystem::exists(home.Dir.Native("cv.ini")), autoSave);
    // What was written starts the next run the same way.
    TForm1 again;
    EXPECT_EQ(again.ToolBarTable.Buttons[0].Minimize, "True");
    EXPECT_EQ(again.ToolBarTable.Buttons.size(), 3u);
  }
}

TEST(MainTables, SaveConfigurationWritesAllFourAndDefaultsEmptyTheArchivers) {
  TProgramFolder home;
  home.Ship("arc.ini");
  test::TScriptedAsker asker;
  asker.Answer = TAsker::Yes;
  TAsker::Replace(&asker);
  {
    TForm1 form;
    form.Settings.AutoSave = false;
    form.RunCommand("SaveConfig");
    for (const char* name : {"cv.ini", "tb.ini", "fc.ini", "arc.ini"})
      EXPECT_TRUE(std::filesystem::exists(home.Dir.Native(name))) << name;
    std::string line = "built-in";
    form.MGetARCParameters(23, 0, 255, line);
    EXPECT_EQ(line, "7zz a -tzip % @");
    // Defaults: no lines, so the archive sources keep their built-in ones.
    form.RunCommand("SetDefaultConfig");
    line = "built-in";
    form.MGetARCParameters(23, 0, 255, line);
    EXPECT_EQ(line, "built-in");
  }
  TAsker::Replace(nullptr);
}

// The left panel over a folder of files named to show the colour rules.
TEST(MainTables, PanelsDrawNamesInTheColoursOfTheirGroups) {
  TProgramFolder home;
  // .txt red, its hidden files green; a group that lists .TXT in blue, which never matches.
  home.Write("fc.ini", "[Main]\nCount=2\nLine1=255,65280;.txt:\nLine2=16711680,0;.TXT,.doc:\n");
  TTempFolder dir;
  for (const char* name : {"a.txt", "b.TXT", ".h.txt", "c.doc", "d.pdf"})
    dir.File(name, 1);
  TForm1 form;
  TFPanel* panel = form.LeftPanel();
  panel->Settings.Path = QString::fromStdString(dir.Model());
  panel->Settings.SortMode = smName;
  panel->Settings.Show_FileHide = true;
  panel->Browser.ShowHidden = true;
  panel->Settings.Show_Icons = false;
  panel->InitFromPath();
  panel->resize(300, 300);
  panel->LayoutAndPaint();
  // The colours found in the row of an entry.
  auto colours = [panel](const std::string& name) {
    const int index = panel->Browser.FindEntry(name);
    EXPECT_GT(index, 1) << name; // not under the cursor bar, which is on ".."
    const QImage canvas = panel->Canvas().toImage();
    const TPanelGeometry& g = panel->Geometry();
    std::set<QRgb> found;
    const int top = g.ListTop + 2 + (index - 1) * g.LineHeight;
    for (int y = top; y < top + g.LineHeight; ++y)
      for (int x = g.ListLeft + 2; x < g.ListLeft + g.ColumnStep - 4; ++x)
        found.insert(canvas.pixel(x, y) | 0xFF000000u);
    return found;
  };
  const QRgb red = ColorFromNumber(255).rgb();
  const QRgb green = ColorFromNumber(65280).rgb();
  const QRgb blue = ColorFromNumber(16711680).rgb();
  const QRgb plain = ColorFromNumber(panel->Settings.FileColor).rgb();
  struct Case {
    const char* Name;
    QRgb Colour;
  };
  for (const Case& c : {Case{"a.txt", red}, Case{"b.TXT", red}, Case{".h.txt", green},
                        Case{"c.doc", blue}, Case{"d.pdf", plain}}) {
    const std::set<QRgb> found = colours(c.Name);
    EXPECT_TRUE(found.count(c.Colour)) << c.Name;
    for (const QRgb other : {red, green, blue})
      if (other != c.Colour) {
        EXPECT_FALSE(found.count(other)) << c.Name << " " << std::hex << other;
      }
  }
  // Without file colours a hidden file takes the folder colour.
  panel->Settings.Show_FileColors = false;
  panel->Settings.DirectoryColor = 16711680;
  panel->LayoutAndPaint();
  EXPECT_TRUE(colours(".h.txt").count(blue));
  EXPECT_FALSE(colours("a.txt").count(red));
}

TEST(MainTables, CopyingIntoAZipPanelRunsTheArchiverOfArcIni) {
  TProgramFolder home;
  TTempFolder dir;
  const std::string stub = dir.Native("bin/stub zip");
  dir.Folder("bin");
  test::WriteFile(stub, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + dir.Native("bin/args") +
                            "'\ncat \"${3#@}\" >> '" + dir.Native("bin/args") + "'\n");
  ::chmod(stub.c_str(), 0755);
  // Line1 adds files; the stub's path holds a blank, so it is quoted.
  home.Write("arc.ini", "[zip]\nLine1=\"" + stub + "\" add % @\nLine5=" + stub + " d % @\n");
  dir.Folder("d");
  dir.Folder("src");
  test::WriteFile(dir.Native("d/a.zip"),
                  test::BuildZip(test::TZipArchive({test::TZipItem("old.txt", "old")})));
  test::WriteFile(dir.Native("src/new.txt"), "new");
  test::TScriptedAsker asker;
  TAsker::Replace(&asker);
  {
    TForm1 form;
    form.Settings.ConfirmCopy = false;
    TFPanel* left = form.LeftPanel();
    TFPanel* right = form.RightPanel();
    for (auto [panel, folder] : {std::pair{left, "d"}, std::pair{right, "src"}}) {
      panel->Settings.Path = QString::fromStdString(dir.Model() + folder);
      panel->Settings.SortMode = smName;
      panel->InitFromPath();
      panel->resize(300, 300);
      panel->LayoutAndPaint();
    }
    left->ShowCursorAt(0, left->Browser.FindEntry("a.zip") - 1);
    left->OpenCurrent();
    ASSERT_EQ(left->Browser.SourceKind(), skArchive);
    form.SetActive(TPanelSide::Right, false);
    right->ShowCursorAt(0, right->Browser.FindEntry("new.txt") - 1);
    TFormCopy copy(&form);
    copy.FormActivate();
    copy.Button1Click();
  }
  TAsker::Replace(nullptr);
  // The stub's arguments, then the list file's lines.
  std::vector<std::string> lines;
  std::istringstream args(ReadFile(dir.Native("bin/args")));
  for (std::string line; std::getline(args, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u) << (asker.Errors.empty() ? "" : asker.Errors.front().toStdString());
  EXPECT_EQ(lines[0], "add");
  EXPECT_EQ(lines[1], dir.Native("d/a.zip"));
  EXPECT_TRUE(lines[2].starts_with("@/")) << lines[2];
  EXPECT_EQ(lines[3], "new.txt");
  EXPECT_TRUE(asker.Errors.empty());
}

} // namespace
} // namespace corvane
