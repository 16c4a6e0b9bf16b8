#include "resources/resource_command.h"

#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"
#include "resources/resource_form.h"

namespace corvane {

TFormResource* ResourceExplorer(const TForm1& form) {
  return form.findChild<TFormResource*>(QStringLiteral("FormResource"), Qt::FindDirectChildrenOnly);
}

void OpenResourceExplorer(TForm1& form, const std::string& modelPath) {
  std::string path = modelPath;
  if (form.ActivePanel()->Browser.SourceKind() == skArchive) {
    const std::optional<std::string> copy = form.GetArcFile(true);
    if (!copy)
      return;
    path = *copy;
  }
  TFormResource* window = ResourceExplorer(form);
  if (!window) {
    window = new TFormResource(&form);
    window->setWindowFlag(Qt::Window);
    window->OnLeftFolder = [&form] {
      const TBrowser& browser = form.LeftPanel()->Browser;
      return browser.RootPath() + browser.RelPath();
    };
  }
  window->Language = &form.LanguageFile;
  window->LanguageName = form.Settings.Language;
  window->setGeometry(form.geometry());
  window->show();
  window->raise();
  window->activateWindow();
  const std::optional<std::string> native = platform::ModelToNative(path);
  window->SetFile(native ? *native : std::string());
}

} // namespace corvane
