// Taking one entry out of the archive the active panel shows, into the program's temporary folder,
// for whatever needs it as a file of its own: a viewer, a player, an archive inside the archive.
#include "main/asker.h"
#include "main/main_form.h"
#include "model/browser_events.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"
#include "platform/process_temp.h"

#include <QCoreApplication>
#include <QDialog>
#include <QProgressBar>

#include <cmath>
#include <memory>

namespace corvane {

std::optional<std::string> TForm1::GetArcFile(bool showProgress) {
  TFPanel* panel = ActivePanel();
  TBrowser& browser = panel->Browser;
  const TFileEntry* entry = browser.GetEntry(panel->CursorIndex());
  TDiskInterface* source = browser.CurrentSource();
  if (browser.SourceKind() != skArchive || !source || !entry || entry->IsFolder() || browser.Busy)
    return std::nullopt;
  const std::string name = entry->EntryName();
  // This instance's own temporary folder, made again should it have gone meanwhile.
  const std::string programFolder = platform::ModelToNativeFolder(ProgramFolder);
  const std::string nativeFolder = platform::MakeProcessTemp(programFolder);
  const std::optional<std::string> model =
      nativeFolder.empty() ? std::nullopt : platform::NativeToModel(nativeFolder);
  if (!model) {
    TAsker::Current().Error(
        this, QStringLiteral("Cannot make the temporary folder %1")
                  .arg(QString::fromStdString(platform::ProcessTempFolder(programFolder))));
    return std::nullopt;
  }
  const std::string folder = *model + "\\";

  // Big entries get a small window with a bar while they are unpacked.
  std::unique_ptr<QDialog> progress;
  QProgressBar* bar = nullptr;
  if (showProgress && entry->Size > 100000) {
    progress =
        std::make_unique<QDialog>(this, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    progress->setObjectName(QStringLiteral("ArcFileProgress"));
    progress->setWindowTitle(LangStrings.Get("Messages", "Extracting") + QStringLiteral("..."));
    bar = new QProgressBar(progress.get());
    bar->setObjectName(QStringLiteral("ProgressBar2"));
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    bar->setGeometry(8, 10, 185, 9);
    progress->setFixedSize(185 + 24, 50);
    progress->show();
  }
  std::string reason;
  TScopedEvent confirm(browser.OnCopyConfirm,
                       std::function<void(TCopyConfirm, const std::string&, bool&)>(
                           [](TCopyConfirm, const std::string&, bool& answer) { answer = true; }));
  TScopedEvent block(browser.OnCopyOneBlock,
                     std::function<void(int64_t, int64_t)>([bar](int64_t done, int64_t total) {
                       if (bar && total > 0) {
                         bar->setValue(static_cast<int>(std::lround(done * 100.0 / total)));
                         QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                       }
                     }));
  TScopedEvent error(browser.OnCopyError,
                     std::function<void(TCopyError, const std::string&)>(
                         [&reason](TCopyError, const std::string& text) { reason = text; }));
  browser.Busy = true; // the password prompt's Cancel clears it
  const std::string target = folder + name;
  const bool copied = source->CopyOut(browser.RelPath() + name, target, false);
  browser.Busy = false;
  progress.reset();
  if (!copied) {
    // No stale copy from an earlier run is ever handed on as if it were this entry.
    TAsker::Current().Error(
        this, QStringLiteral("Cannot copy files") +
                  (reason.empty() ? QString() : '\n' + QString::fromStdString(reason)));
    return std::nullopt;
  }
  return target;
}

} // namespace corvane
