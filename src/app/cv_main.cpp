// cv: the file manager.
#include "archive/archive_libraries.h"
#include "main/fonts.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/process_messages.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

// Milliseconds since the kernel started this process (its start time is kept in clock ticks
// since boot).
double MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  const size_t close = text.rfind(')');
  if (close == std::string::npos)
    return -1;
  // Fields after the command name start at field 3; the start time is field 22.
  size_t pos = close + 2;
  for (int field = 3; field < 22 && pos != std::string::npos; ++field)
    pos = text.find(' ', pos) + 1;
  const double startTicks = std::strtod(text.c_str() + pos, nullptr);
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
  return nowMs - startTicks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Reports when the main window has first been painted, then ends the program: the benchmark of
// the time to the first picture.
class TFirstPaintProbe final : public QObject {
public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !Reported) {
      Reported = true;
      QTimer::singleShot(0, [] {
        std::printf("figure first_paint_ms %.0f ms\n", MillisecondsSinceProcessStart());
        std::fflush(stdout);
        QCoreApplication::exit(0);
      });
    }
    return QObject::eventFilter(watched, event);
  }

private:
  bool Reported = false;
};

} // namespace

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
  TFirstPaintProbe probe;
  if (firstPaint)
    form.LeftPanel()->installEventFilter(&probe);
  form.show();
  return QApplication::exec();
}
