// cv: the file manager.
#include "main/main_form.h"
#include "platform/process_messages.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char* argv[]) {
  // Windows are placed by the program itself, which Wayland does not allow: use XWayland there.
  if (std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "xcb", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  QApplication::setQuitOnLastWindowClosed(false);
  corvane::platform::SetProcessMessagesHook([] { QCoreApplication::processEvents(); });

  corvane::TForm1 form;
  form.show();
  return QApplication::exec();
}
