// What the file manager hands the viewer and the page viewer through cv.ini in the program
// folder: [Editor] for cvedit (the file, view or edit mode, the language, the window's place,
// whether the file is a temporary copy out of an archive) and [TForm1] URL for cvinet. The
// programs are started without arguments and read these keys at once.
#pragma once

#include "config/ini_file.h"

#include <optional>
#include <string>

namespace corvane::viewer {

struct TEditorHandOff {
  std::string FileName;
  bool EditMode = false;
  std::string Language; // a language file's base name ("cv_eng"), or empty
  // The window's place; nothing when a key is missing or the size is not a usable one.
  std::optional<int> Left, Top, Width, Height;
  bool Archive = false;
};

TEditorHandOff ReadEditorHandOff(config::TIniFile& ini);
std::string ReadUrlHandOff(config::TIniFile& ini);

} // namespace corvane::viewer
