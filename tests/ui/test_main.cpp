// Entry point of the UI tests: one offscreen QApplication for all of them, with the fonts mapped
// as the program maps them and the settings folders in a temporary folder.
#include "main/fonts.h"
#include "temp_folder.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  corvane::test::TTempFolder home;
  ::setenv("XDG_CONFIG_HOME", home.Folder("config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", home.Folder("data").c_str(), 1);
  ::setenv("CORVANE_HOME", home.Folder("program").c_str(), 1);
  ::unsetenv("CORVANE_DRIVES");
  QApplication app(argc, argv);
  corvane::InstallFontSubstitutions();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
