// A fresh program folder for one test: CORVANE_HOME points at an empty temporary folder until the
// object goes, optionally with the shipped language files; other files of the shipped data/
// folder can be copied in.
#pragma once

#include "temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef CORVANE_SOURCE_DIR
#error "CORVANE_SOURCE_DIR must name the source tree"
#endif

namespace corvane::test {

struct TProgramFolder {
  explicit TProgramFolder(bool withLanguages = false)
      : Old(std::getenv("CORVANE_HOME") ? std::getenv("CORVANE_HOME") : "") {
    ::setenv("CORVANE_HOME", Dir.Path().c_str(), 1);
    if (withLanguages)
      for (const auto& entry : std::filesystem::directory_iterator(CORVANE_SOURCE_DIR "/data"))
        if (entry.path().filename().string().rfind("cv_", 0) == 0 &&
            entry.path().extension() == ".ini")
          Ship(entry.path().filename().string());
  }
  ~TProgramFolder() { ::setenv("CORVANE_HOME", Old.c_str(), 1); }
  TProgramFolder(const TProgramFolder&) = delete;
  TProgramFolder& operator=(const TProgramFolder&) = delete;

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
  std::string Ini() const { return Dir.Native("cv.ini"); }

  TTempFolder Dir;
  std::string Old;
};

} // namespace corvane::test
