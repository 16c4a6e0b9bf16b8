// Enter on files with an execute bit, and the per-process temporary folder of the main window.
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"
#include "platform/program_folder.h"
#include "temp_folder.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace corvane {
namespace {

using test::TTempFolder;

bool PollUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1000 && !done(); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// Enter runs a program and opens any other file, whatever its execute bits say: on exFAT, NTFS
// and CIFS mounts every file has them.
TEST(PanelEnter, OnlyProgramsRunAndOtherFilesOpen) {
  TTempFolder dir;
  const std::string opened = dir.Native("opened");
  const std::string ran = dir.Native("ran");
  test::WriteFile(dir.File("stubs/xdg-open"),
                  "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened + "'\n");
  dir.Chmod("stubs/xdg-open", 0755);
  const std::string oldPath = std::getenv("PATH");
  ::setenv("PATH", (dir.Native("stubs") + ":" + oldPath).c_str(), 1);

  test::WriteFile(dir.File("d/notes.txt"), "hello\n");
  dir.Chmod("d/notes.txt", 0755);
  test::WriteFile(dir.File("d/report.doc"), "\xd0\xcf\x11\xe0 a document");
  dir.Chmod("d/report.doc", 0777);
  test::WriteFile(dir.File("d/tool"), "#!/bin/sh\n: > '" + ran + "'\n");
  dir.Chmod("d/tool", 0755);

  TFPanel panel(nullptr, TPanelSide::Left);
  panel.ApplyDefaults();
  panel.Active = true;
  panel.Settings.Path = QString::fromStdString(dir.Model() + "d");
  panel.InitFromPath();
  panel.resize(300, 240);
  panel.LayoutAndPaint();
  for (const char* name : {"notes.txt", "report.doc", "tool"}) {
    panel.ShowCursorAt(0, panel.Browser.FindEntry(name) - 1);
    ASSERT_EQ(panel.CurrentName, name);
    panel.OpenCurrent();
  }
  EXPECT_TRUE(PollUntil([&] { return ::access(ran.c_str(), F_OK) == 0; })) << "tool did not run";
  // The two openers run side by side; either may write first.
  const std::string notes = dir.Native("d/notes.txt") + "\n";
  const std::string report = dir.Native("d/report.doc") + "\n";
  EXPECT_TRUE(PollUntil([&] {
    const std::string seen = test::ReadFile(opened);
    return seen == notes + report || seen == report + notes;
  })) << test::ReadFile(opened);
  ::setenv("PATH", oldPath.c_str(), 1);
}

// Both panels' archive sources work in this process's own temporary folder, which is there while
// the window lives and gone with it; a folder an ended process left behind is cleared at start.
TEST(MainFormTemp, PanelsWorkInAFolderOfThisProcessRemovedAtTheEnd) {
  const std::string home = platform::ProgramFolder();
  const pid_t ended = ::fork();
  if (ended == 0)
    ::_exit(0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  const std::string stale = home + "/temp/" + std::to_string(ended);
  ::mkdir((home + "/temp").c_str(), 0700);
  ASSERT_EQ(::mkdir(stale.c_str(), 0700), 0);
  test::WriteFile(stale + ".owner", "gone\n");
  const std::string own = home + "/temp/" + std::to_string(::getpid());
  {
    TForm1 form;
    EXPECT_FALSE(::access(stale.c_str(), F_OK) == 0);
    const std::string work = platform::NativeToModel(own).value_or("?") + "\\";
    EXPECT_EQ(form.LeftPanel()->Browser.WorkFolder, work);
    EXPECT_EQ(form.RightPanel()->Browser.WorkFolder, work);
    EXPECT_EQ(::access(own.c_str(), W_OK), 0);
    test::WriteFile(own + "/archiver.log", "log\n");
  }
  EXPECT_NE(::access(own.c_str(), F_OK), 0);
  EXPECT_NE(::access((own + ".owner").c_str(), F_OK), 0);
}

} // namespace
} // namespace corvane
