// Enter on files with an execute bit, and the per-process temporary folder of the main window.
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"
#include "platform/program_folder.h"
#include "temp_folder.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

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

  TFPanel panel(nullptr, "Left");
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

} // namespace
} // namespace corvane
