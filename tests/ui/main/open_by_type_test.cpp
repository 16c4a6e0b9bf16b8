// F3, Alt+F3 and F4 on the active panel's cursor file: what is started, with which hand-off, and
// what happens to files taken out of an archive for it. The program's own viewer and page viewer
// are stubs here that write down what they were given.
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using test::TZipArchive;
using test::TZipItem;

bool PollUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty())
      lines.push_back(line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
  return lines;
}

// Remembers which named windows were shown.
struct TShownWindows final : QObject {
  TShownWindows() { QCoreApplication::instance()->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow())
      Names.insert(watched->objectName().toStdString());
    return false;
  }
  std::set<std::string> Names;
};

// The main window with its left panel over "d" and a program folder whose cvedit and cvinet
// write what they found into "<name>.run": their arguments, their working folder, and the
// hand-off section of cv.ini as it was when they started.
struct TOpenFixture {
  TOpenFixture() {
    TAsker::Replace(&Asker);
    for (const char* name : {"cvedit", "cvinet"})
      Stub(Program.Dir.Native(name), Program.Dir.Native(std::string(name) + ".run"),
           name == std::string("cvedit") ? "Editor" : "TForm1");
    Dir.Folder("d");
    Form = std::make_unique<TForm1>();
    TFPanel* panel = Left();
    panel->Settings.Path = QString::fromStdString(Dir.Model() + "d");
    panel->Settings.SortMode = smName;
    panel->InitFromPath();
    panel->resize(300, 300);
    panel->LayoutAndPaint();
  }
  ~TOpenFixture() {
    Form.reset();
    TAsker::Replace(nullptr);
  }
  // A program that writes down its arguments, its folder and one section of cv.ini.
  static void Stub(const std::string& path, const std::string& record, const std::string& section) {
    test::WriteFile(path,
                    "#!/bin/sh\n"
                    "{ printf 'argc=%s\\n' \"$#\"; for a; do printf 'arg=%s\\n' \"$a\"; done\n"
                    "  printf 'pwd=%s\\n' \"$(pwd)\"\n"
                    "  sed -n '/^\\[" +
                        section +
                        "\\]/,/^\\[/p' \"$(dirname \"$0\")/cv.ini\" 2>/dev/null || :\n"
                        "} > '" +
                        record + ".part' && mv '" + record + ".part' '" + record + "'\n");
    ::chmod(path.c_str(), 0755);
  }
  TFPanel* Left() { return Form->LeftPanel(); }
  void Refresh() { Left()->Browser.Refresh(); }
  void Cursor(const std::string& name) {
    const int index = Left()->Browser.FindEntry(name);
    ASSERT_GT(index, 0) << name;
    Left()->ShowCursorAt(0, index - 1);
  }
  void Zip(const std::string& name, std::vector<TZipItem> items) {
    test::WriteFile(Dir.Native("d/" + name), test::BuildZip(TZipArchive(std::move(items))));
    Refresh();
  }
  void EnterArchive(const std::string& name, const std::string& folder = "") {
    Cursor(name);
    Left()->OpenCurrent();
    ASSERT_EQ(Left()->Browser.SourceKind(), skArchive);
    if (!folder.empty()) {
      Cursor(folder);
      Left()->OpenCurrent();
    }
  }
  std::string RunFile(const char* program) const {
    return Program.Dir.Native(std::string(program) + ".run");
  }
  // What the program wrote down; empty when it did not run within a few seconds.
  std::vector<std::string> WaitForRun(const char* program) const {
    const std::string file = RunFile(program);
    if (!PollUntil([&] { return ::access(file.c_str(), F_OK) == 0; }))
      return {};
    std::vector<std::string> lines = Lines(test::ReadFile(file));
    ::unlink(file.c_str());
    return lines;
  }
  bool Ran(const char* program) const {
    // Long enough for a stub that was started to have written its record.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QCoreApplication::processEvents();
    return ::access(RunFile(program).c_str(), F_OK) == 0;
  }

  test::TProgramFolder Program{false};
  test::TTempFolder Dir;
  test::TScriptedAsker Asker;
  std::unique_ptr<TForm1> Form;
};

std::string Value(const std::vector<std::string>& lines, const std::string& key) {
  for (const std::string& line : lines)
    if (line.rfind(key + "=", 0) == 0)
      return line.substr(key.size() + 1);
  return "<none>";
}

std::vector<std::string> Keys(const std::vector<std::string>& lines) {
  std::vector<std::string> keys;
  for (const std::string& line : lines)
    if (line.rfind("ec_", 0) == 0)
      keys.push_back(line.substr(0, line.find('=')));
  return keys;
}

TEST(OpenByType, ViewingATextFileHandsItToTheViewerWithTheKeysWrittenFirst) {
  TOpenFixture f;
  test::WriteFile(f.Dir.File("d/readme.txt"), "hello\n");
  f.Refresh();
  f.Form->move(40, 30);
  f.Form->resize(700, 500);
  f.Cursor("readme.txt");
  f.Form->RunCommand("View");
  const std::vector<std::string> run = f.WaitForRun("cvedit");
  ASSERT_FALSE(run.empty()) << "cvedit did not start";
  EXPECT_EQ(Value(run, "argc"), "0");
  EXPECT_EQ(Value(run, "pwd"), f.Dir.Native("d"));
  EXPECT_EQ(Value(run, "ec_FileName"), f.Dir.Native("d/readme.txt"));
  EXPECT_EQ(Value(run, "ec_EditMode"), "0");
  EXPECT_EQ(Value(run, "ec_Archive"), "0");
  EXPECT_EQ(Value(run, "ec_Language"), "cv_eng");
  EXPECT_EQ(Value(run, "ec_Width"), "700");
  EXPECT_EQ(Value(run, "ec_Height"), "500");
  EXPECT_EQ(Keys(run),
            (std::vector<std::string>{"ec_FileName", "ec_EditMode", "ec_Language", "ec_Left",
                                      "ec_Top", "ec_Width", "ec_Height", "ec_Archive"}));
  EXPECT_TRUE(f.Asker.Said.empty());
}

// What each kind of file opens with, by its extension and where it is; Alt+F3 always gives the
// text viewer.
TEST(OpenByType, EachGroupGoesToItsOwnViewer) {
  TOpenFixture f;
  for (const char* name : {"photo.BMP", "page.htm", "song.mp3", "tune.xm", "notes.ini", "clip.avi"})
    test::WriteFile(f.Dir.File(std::string("d/") + name), name);
  f.Refresh();
  std::vector<std::string> viewed;
  f.Form->FileViewers[TFileGroup::Picture] = [&](const std::string& path) {
    viewed.push_back("picture " + path);
  };
  f.Form->FileViewers[TFileGroup::MpegAudio] = [&](const std::string& path) {
    viewed.push_back("mpeg " + path);
  };
  const std::string d = f.Dir.Model() + "d\\";

  f.Cursor("photo.BMP");
  f.Form->RunCommand("View");
  f.Cursor("song.mp3");
  f.Form->RunCommand("View");
  EXPECT_EQ(viewed,
            (std::vector<std::string>{"picture " + d + "photo.BMP", "mpeg " + d + "song.mp3"}));
  EXPECT_FALSE(f.Ran("cvedit"));
  // Enter on a sound hands it over the same way.
  f.Cursor("song.mp3");
  f.Left()->OpenCurrent();
  EXPECT_EQ(viewed.back(), "mpeg " + d + "song.mp3");

  // Video goes to the desktop's opener for it.
  const std::string oldPath = std::getenv("PATH");
  TOpenFixture::Stub(f.Dir.File("bin/xdg-open"), f.Dir.Native("xdg-open.run"), "none");
  ::setenv("PATH", (f.Dir.Native("bin") + ":" + oldPath).c_str(), 1);
  f.Cursor("clip.avi");
  f.Form->RunCommand("View");
  ::setenv("PATH", oldPath.c_str(), 1);
  ASSERT_TRUE(PollUntil([&] { return ::access(f.Dir.Native("xdg-open.run").c_str(), F_OK) == 0; }));
  EXPECT_EQ(Value(Lines(test::ReadFile(f.Dir.Native("xdg-open.run"))), "arg"),
            f.Dir.Native("d/clip.avi"));

  // Alt+F3 on a picture: the text viewer, and the picture viewer is not asked.
  f.Cursor("photo.BMP");
  f.Form->RunCommand("ViewAsText");
  EXPECT_EQ(Value(f.WaitForRun("cvedit"), "ec_FileName"), f.Dir.Native("d/photo.BMP"));
  EXPECT_EQ(viewed.size(), 3u);
  EXPECT_FALSE(f.Form->SkipTypeDispatch);

  // A group whose player is not there yet falls through to the text viewer.
  f.Cursor("tune.xm");
  f.Form->RunCommand("View");
  EXPECT_EQ(Value(f.WaitForRun("cvedit"), "ec_FileName"), f.Dir.Native("d/tune.xm"));

  // A page on disk goes to the page viewer through [TForm1] URL.
  f.Cursor("page.htm");
  f.Form->RunCommand("View");
  const std::vector<std::string> page = f.WaitForRun("cvinet");
  EXPECT_EQ(Value(page, "URL"), f.Dir.Native("d/page.htm"));
  EXPECT_EQ(Value(page, "argc"), "0");
  EXPECT_FALSE(f.Ran("cvedit"));
  EXPECT_TRUE(f.Asker.Said.empty());
}

TEST(OpenByType, AFileInsideAnArchiveIsViewedAsACopyOfIt) {
  TOpenFixture f;
  f.Zip("site.zip", {TZipItem("www/index.htm", "<p>inside</p>"), TZipItem("www/a b.txt", "text")});
  f.EnterArchive("site.zip", "www");

  // A page inside an archive is not for the page viewer: the text viewer gets the copy.
  f.Cursor("index.htm");
  f.Form->RunCommand("View");
  std::vector<std::string> run = f.WaitForRun("cvedit");
  ASSERT_FALSE(run.empty());
  const std::string copy = Value(run, "ec_FileName");
  EXPECT_EQ(Value(run, "ec_Archive"), "1");
  EXPECT_EQ(copy.substr(copy.rfind('/') + 1), "index.htm");
  EXPECT_EQ(copy.find(f.Dir.Native("d")), std::string::npos) << copy;
  EXPECT_EQ(test::ReadFile(copy), "<p>inside</p>");
  EXPECT_FALSE(f.Ran("cvinet"));

  // Viewing it again puts the entry's bytes there again, over the earlier copy.
  test::WriteFile(copy, "changed by the viewer");
  f.Form->RunCommand("View");
  EXPECT_EQ(Value(f.WaitForRun("cvedit"), "ec_FileName"), copy);
  EXPECT_EQ(test::ReadFile(copy), "<p>inside</p>");

  // Editing is not offered inside an archive: F4 starts nothing and says nothing.
  f.Cursor("a b.txt");
  f.Form->RunCommand("Edit");
  f.Form->N10Click();
  EXPECT_FALSE(f.Ran("cvedit"));
  EXPECT_TRUE(f.Asker.Said.empty());
}

// A picture's copy is gone once the (modal) picture viewer has closed; a copy that cannot be
// made opens nothing, not an older file of the same name.
TEST(OpenByType, APicturesCopyGoesAfterViewingAndAFailedCopyOpensNothing) {
  TOpenFixture f;
  f.Zip("pics.zip", {TZipItem("cat.gif", "GIF89a..."), TZipItem("broken.txt", "x")});
  f.EnterArchive("pics.zip");
  std::string seen;
  bool existedWhileViewed = false;
  f.Form->FileViewers[TFileGroup::Picture] = [&](const std::string& path) {
    seen = path;
    existedWhileViewed = ::access(platform::ModelToNative(path).value().c_str(), F_OK) == 0;
  };
  f.Cursor("cat.gif");
  f.Form->RunCommand("View");
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(existedWhileViewed);
  const std::string native = platform::ModelToNative(seen).value();
  EXPECT_NE(::access(native.c_str(), F_OK), 0) << native;

  // The archive is damaged under the panel: the entry cannot be read, the user is told, and
  // the stale copy left from an earlier view is not opened.
  const std::string stale = native.substr(0, native.rfind('/') + 1) + "broken.txt";
  test::WriteFile(stale, "stale copy");
  test::WriteFile(f.Dir.Native("d/pics.zip"), "not a zip any more");
  f.Cursor("broken.txt");
  f.Form->RunCommand("View");
  EXPECT_FALSE(f.Ran("cvedit"));
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_TRUE(f.Asker.Errors[0].startsWith(QStringLiteral("Cannot copy files")));
}

TEST(OpenByType, BigEntriesAreTakenOutWithAProgressWindow) {
  TOpenFixture f;
  f.Zip("big.zip", {TZipItem("big.txt", std::string(200000, 'b')),
                    TZipItem("small.txt", std::string(50000, 's'))});
  f.EnterArchive("big.zip");
  for (const auto& [name, shown] : {std::pair{"big.txt", true}, std::pair{"small.txt", false}}) {
    SCOPED_TRACE(name);
    TShownWindows windows;
    f.Cursor(name);
    f.Form->RunCommand("View");
    EXPECT_EQ(windows.Names.count("ArcFileProgress"), shown ? 1u : 0u);
    const std::string copy = Value(f.WaitForRun("cvedit"), "ec_FileName");
    EXPECT_EQ(test::ReadFile(copy).size(), shown ? 200000u : 50000u);
  }
}

TEST(OpenByType, EditingUsesOurEditorOrTheConfiguredOneWithThePathAsOneArgument) {
  TOpenFixture f;
  test::WriteFile(f.Dir.File("d/a b/notes $1.txt"), "notes");
  test::WriteFile(f.Dir.File("d/plain.txt"), "plain");
  f.Refresh();

  f.Cursor("plain.txt");
  f.Form->RunCommand("Edit");
  const std::vector<std::string> own = f.WaitForRun("cvedit");
  EXPECT_EQ(Value(own, "ec_EditMode"), "1");
  EXPECT_EQ(Value(own, "ec_Archive"), "0");
  EXPECT_EQ(Value(own, "ec_FileName"), f.Dir.Native("d/plain.txt"));

  // An editor of the user's, named with a blank and given options of its own.
  const std::string editor = f.Dir.File("my tools/the editor");
  TOpenFixture::Stub(editor, f.Dir.Native("editor.run"), "none");
  f.Form->Settings.EditorType = QStringLiteral("ext");
  f.Form->Settings.EditorName = QString::fromStdString("'" + editor + "' -n --line=3");
  f.Cursor("a b");
  f.Left()->OpenCurrent();
  f.Cursor("notes $1.txt");
  f.Form->RunCommand("Edit");
  ASSERT_TRUE(PollUntil([&] { return ::access(f.Dir.Native("editor.run").c_str(), F_OK) == 0; }));
  const std::vector<std::string> ext = Lines(test::ReadFile(f.Dir.Native("editor.run")));
  ASSERT_GE(ext.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(ext.begin(), ext.begin() + 4),
            (std::vector<std::string>{"argc=3", "arg=-n", "arg=--line=3",
                                      "arg=" + f.Dir.Native("d/a b/notes $1.txt")}));
  EXPECT_EQ(Value(ext, "pwd"), f.Dir.Native("d/a b"));
  EXPECT_FALSE(f.Ran("cvedit"));

  // An editor that is not there: nothing starts, and the user hears which program it was.
  f.Form->Settings.EditorName = QStringLiteral("no-such-editor-here --wait");
  f.Form->RunCommand("Edit");
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_EQ(f.Asker.Errors[0], QStringLiteral("Cannot start the program no-such-editor-here"));
}

TEST(OpenByType, AFolderGetsItsSizeAndAMissingViewerIsReported) {
  TOpenFixture f;
  test::WriteFile(f.Dir.File("d/sub/a.bin"), std::string(1500, 'a'));
  test::WriteFile(f.Dir.File("d/sub/deeper/b.bin"), std::string(2500, 'b'));
  test::WriteFile(f.Dir.File("d/readme.txt"), "read me");
  f.Refresh();
  f.Cursor("sub");
  f.Form->RunCommand("View");
  EXPECT_EQ(f.Left()->Browser.GetEntry(f.Left()->CursorIndex())->Size, 4000);
  EXPECT_FALSE(f.Ran("cvedit"));

  // Without the viewer program nothing is started and nothing breaks; the user is told.
  ::unlink(f.Program.Dir.Native("cvedit").c_str());
  f.Cursor("readme.txt");
  f.Form->RunCommand("View");
  ASSERT_EQ(f.Asker.Errors.size(), 1u);
  EXPECT_EQ(f.Asker.Errors[0], QStringLiteral("Cannot start the program ") +
                                   QString::fromStdString(f.Program.Dir.Native("cvedit")));
  f.Cursor("sub");
  EXPECT_EQ(f.Left()->CurrentName, "sub");
}

} // namespace
} // namespace corvane
