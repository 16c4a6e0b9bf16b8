// cvinet: the program's own viewer of local web pages. Started by the file manager without
// arguments, it shows the page named by [TForm1] URL of cv.ini in the program folder; `cvinet
// FILE` shows a page from a shell. Its texts follow the language of the last [Editor] hand-off.
#include "config/ini_file.h"
#include "main/fonts.h"
#include "platform/program_files.h"
#include "viewer/form_inet.h"
#include "viewer/hand_off.h"

#include <QApplication>

#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
  if (std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "xcb", 0);
  std::string page;
  for (int i = 1; i < argc; ++i)
    page = argv[i];

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  corvane::InstallFontSubstitutions();

  corvane::config::TIniFile ini(corvane::platform::ProgramFile("cv.ini"));
  if (page.empty())
    page = corvane::viewer::ReadUrlHandOff(ini);
  corvane::TFormInet form;
  form.SetLanguage(corvane::viewer::ReadEditorHandOff(ini).Language);
  if (!form.OpenPage(page))
    return 1;
  form.show();
  return QApplication::exec();
}
