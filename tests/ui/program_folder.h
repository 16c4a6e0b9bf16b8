// A fresh program folder for one test (CORVANE_HOME points at it while it lives), optionally
// with the shipped language files.
#pragma once

#include "temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#ifndef CORVANE_SOURCE_DIR
#error "CORVANE_SOURCE_DIR must name the source tree"
#endif

namespace corvane::test {

struct TProgramFolder {
  explicit TProgramFolder(bool withLanguages) {
    Old = std::getenv("CORVANE_HOME");
    ::setenv("CORVANE_HOME", Dir.Path().c_str(), 1);
    if (withLanguages)
      for (const auto& entry : std::filesystem::directory_iterator(CORVANE_SOURCE_DIR "/data"))
        if (entry.path().extension() == ".ini")
          std::filesystem::copy_file(entry.path(), Dir.Native(entry.path().filename().string()));
  }
  ~TProgramFolder() { ::setenv("CORVANE_HOME", Old.c_str(), 1); }
  TProgramFolder(const TProgramFolder&) = delete;
  TProgramFolder& operator=(const TProgramFolder&) = delete;
  std::string Ini() const { return Dir.Native("cv.ini"); }
  void Write(const std::string& text) const { std::ofstream(Ini(), std::ios::binary) << text; }

  TTempFolder Dir;
  std::string Old;
};

} // namespace corvane::test
