// libFuzzer target for the readers of the tool-bar, archiver and colour files: the input is taken
// as each of the three files in turn, read into its table, written out and read back, and the
// tables must stay within their sizes.
#include "config/archiver_table.h"
#include "config/file_colors.h"
#include "config/ini_file.h"
#include "config/toolbar_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

using namespace corvane::config;

namespace {

// The work folder, made once and removed at exit; a plain buffer, so that it outlives every
// destructor that runs before the exit handler.
char FolderName[] = "/tmp/corvane-fuzz-settings-XXXXXX";

std::string Folder() {
  static const bool made = [] {
    if (!::mkdtemp(FolderName))
      std::abort();
    std::atexit([] {
      for (const char* file : {"/in.ini", "/out.ini"})
        ::unlink((std::string(FolderName) + file).c_str());
      ::rmdir(FolderName);
    });
    return true;
  }();
  (void)made;
  return FolderName;
}

void Check(bool condition) {
  if (!condition)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = Folder() + "/in.ini";
  const std::string output = Folder() + "/out.ini";
  {
    std::FILE* file = std::fopen(input.c_str(), "wb");
    Check(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
  }
  for (int pass = 0; pass < 2; ++pass) {
    TIniFile file(pass == 0 ? input : output);
    const TToolBarTable toolBar = ReadToolBar(file);
    Check(toolBar.Buttons.size() <= TToolBarTable::MaxButtons);
    for (const TToolButtonRecord& button : toolBar.Buttons) {
      Check(button.Minimize == "True" || button.Minimize == "False");
      (void)ToolWordToRun(button.Command);
      (void)ToolWordForPicture(button.Command);
    }
    TArchiverTable archivers;
    archivers.Load(file);
    for (const TArchiverEntry& entry : archivers.Entries())
      Check(entry.Lines.empty() || entry.Lines.size() == TArchiverTable::LineCount);
    std::string text;
    archivers.Parameters(23, 4, 255, text);
    Check(text.size() <= 255);
    TFileColorTable colors;
    colors.Load(file);
    Check(colors.SavedCount() <= TFileColorTable::GroupCount);
    (void)colors.Lookup(".txt", false);
    (void)colors.Lookup(".txt", true);
    if (pass == 0) {
      ::unlink(output.c_str());
      TIniFile out(output);
      Check(WriteToolBar(out, toolBar));
      Check(archivers.Save(out));
      Check(colors.Save(out));
    }
  }
  return 0;
}
