// cv: the file manager.
#include "archive/archive_libraries.h"
#include "main/fonts.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/process_messages.h"

#include "first_paint_probe.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

int main(int argc, char* argv[]) {
  corvane::archive::LoadArchiveLibraries();
  // Windows are placed by the program itself, which Wayland does not allow: use XWayland there.
  if (std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "xcb", 0);
  bool firstPaint = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--first-paint-ms") == 0)
      firstPaint = true;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  QApplication::setQuitOnLastWindowClosed(false);
  corvane::InstallFontSubstitutions();
  corvane::platform::SetProcessMessagesHook([] { QCoreApplication::processEvents(); });

  corvane::TForm1 form;
  corvane::app::TFirstPaintProbe probe([] {
    std::printf("figure first_paint_ms %.0f ms\n", corvane::app::MillisecondsSinceProcessStart());
  });
  if (firstPaint)
    form.LeftPanel()->installEventFilter(&probe);
  form.show();
  return QApplication::exec();
}
