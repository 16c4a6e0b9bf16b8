// Entry point of the core tests. The program's settings folders point into a temporary folder, so
// that no test reads or writes the settings of whoever runs the tests.
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  corvane::test::TTempFolder home;
  ::setenv("XDG_CONFIG_HOME", home.Folder("config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", home.Folder("data").c_str(), 1);
  ::unsetenv("CORVANE_DRIVES");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
