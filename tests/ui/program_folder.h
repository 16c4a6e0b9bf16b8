// A fresh program folder for one test: CORVANE_HOME points at an empty temporary folder until the
// object goes, and files of the shipped data/ folder can be copied in.
#pragma once

#include "temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace corvane::test {

struct TProgramHome {
  TProgramHome() : Old(std::getenv("CORVANE_HOME") ? std::getenv("CORVANE_HOME") : "") {
    ::setenv("CORVANE_HOME", Dir.Path().c_str(), 1);
  }
  ~TProgramHome() { ::setenv("CORVANE_HOME", Old.c_str(), 1); }
  TProgramHome(const TProgramHome&) = delete;
  TProgramHome& operator=(const TProgramHome&) = delete;

  // Copies a file or folder of data/ ("arc.ini", "ToolBar") into the program folder.
  void Ship(const std::string& name) const {
    namespace fs = std::filesystem;
    fs::copy(fs::path(CORVANE_SOURCE_DIR "/data") / name, fs::path(Dir.Path()) / name,
             fs::copy_options::recursive);
  }
  void Write(const std::string& name, const std::string& text) const {
    WriteFile(Dir.Native(name), text);
  }
  std::string Read(const std::string& name) const { return ReadFile(Dir.Native(name)); }

  TTempFolder Dir;
  std::string Old;
};

} // namespace corvane::test
