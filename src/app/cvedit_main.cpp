// cvedit: the program's own viewer and editor. Started by the file manager without arguments, it
// takes the file, the mode, the language and its window's place from [Editor] of cv.ini in the
// program folder. From a shell, `cvedit FILE` or `cvedit --view FILE` views a file and
// `cvedit --edit FILE` edits it, in the language of the last hand-off.
//
// `--first-paint-ms` (for the benchmark) prints the time from the start of the process to the
// first painted page and the resident memory then, and ends.
#include "config/ini_file.h"
#include "main/fonts.h"
#include "platform/program_files.h"
#include "viewer/form_edit.h"
#include "viewer/hand_off.h"
#include "viewer/text_view.h"

#include "first_paint_probe.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char* argv[]) {
  if (std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "xcb", 0);
  bool firstPaint = false;
  int mode = -1; // -1: the hand-off's, 0 view, 1 edit
  std::string file;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--first-paint-ms") == 0)
      firstPaint = true;
    else if (std::strcmp(argv[i], "--view") == 0)
      mode = 0;
    else if (std::strcmp(argv[i], "--edit") == 0)
      mode = 1;
    else if (std::strcmp(argv[i], "--") == 0 && i + 1 < argc)
      file = argv[++i];
    else
      file = argv[i];
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  corvane::InstallFontSubstitutions();

  corvane::config::TIniFile ini(corvane::platform::ProgramFile("cv.ini"));
  corvane::viewer::TEditorHandOff handOff = corvane::viewer::ReadEditorHandOff(ini);
  if (!file.empty()) {
    // From a shell: the file named, in view mode unless asked otherwise, and no archive copy.
    handOff.FileName = file;
    handOff.EditMode = mode == 1;
    handOff.Archive = false;
    handOff.Left = handOff.Top = handOff.Width = handOff.Height = std::nullopt;
  } else if (mode >= 0) {
    handOff.EditMode = mode == 1;
  }

  corvane::TFormEdit form;
  corvane::app::TFirstPaintProbe probe([] {
    std::printf("figure viewer_open_ms %.0f ms\n", corvane::app::MillisecondsSinceProcessStart());
    std::printf("figure viewer_rss_mib %.1f MiB\n", corvane::app::ResidentMib());
  });
  if (firstPaint)
    form.findChild<corvane::TTextView*>()->viewport()->installEventFilter(&probe);
  if (!form.ApplyHandOff(handOff))
    return 1;
  form.show();
  return QApplication::exec();
}
