#include "fileops/transfer.h"

#include "main/asker.h"
#include "main/main_form.h"
#include "model/browser_events.h"
#include "panels/file_panel.h"
#include "platform/drive_probe.h"
#include "platform/drive_table.h"
#include "platform/native_path.h"
#include "platform/process_messages.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

#include <cmath>

namespace corvane {

namespace {

QString FromBytes(const std::string& text) {
  return QString::fromStdString(text);
}

int Percent(double part, double whole) {
  return whole > 0 ? static_cast<int>(std::nearbyint(part * 100.0 / whole)) : 0;
}

} // namespace

TProgressPage MakeProgressPage(QDialog* dialog, int height) {
  TProgressPage page{};
  page.Box = new QGroupBox(dialog);
  page.Box->setObjectName(QStringLiteral("GB2"));
  page.Box->setGeometry(8, 4, 384, height);
  page.Box->hide();
  page.Status = new QLabel(page.Box);
  page.Status->setGeometry(10, 12, 364, 16);
  page.Current = new QLabel(page.Box);
  page.Current->setGeometry(10, 30, 364, 16);
  page.FileBar = new QProgressBar(page.Box);
  page.FileBar->setGeometry(10, 52, 364, 14);
  page.TotalBar = new QProgressBar(page.Box);
  page.TotalBar->setGeometry(10, 76, 364, 14);
  for (QProgressBar* bar : {page.FileBar, page.TotalBar})
    bar->setRange(0, 100);
  return page;
}

TTransfer::TTransfer(TForm1* main, QDialog* dialog, QLabel* status, QLabel* current,
                     QProgressBar* fileBar, QProgressBar* totalBar)
    : Main(main), Dialog(dialog), Status(status), Current(current), FileBar(fileBar),
      TotalBar(totalBar) {}

bool TTransfer::EnoughSpace(TFPanel* source, const QString& target, const QString& question) {
  // The drive the typed text names as the copy engine reads it ("a:b.txt" is a name in the
  // shown folder, not drive A).
  const TBrowser& browser = source->Browser;
  const auto model = platform::TypedToModel(
      target.toStdString(),
      browser.SourceKind() == skFolder ? browser.RootPath() + browser.RelPath() : std::string());
  if (!model || model->empty() || ((*model)[0] != 'A' && (*model)[0] != 'B'))
    return true;
  const auto* drive = platform::TDriveTable::Instance().Find((*model)[0]);
  const auto figures =
      drive && drive->Mounted ? platform::FolderFigures(drive->MountPoint) : std::nullopt;
  const uint64_t free = figures ? figures->FreeBytes : 0;
  if (static_cast<uint64_t>(std::max<int64_t>(source->Browser.SelectionSize(), 0)) <= free)
    return true;
  return TAsker::Current().YesNo(Dialog, question) == TAsker::Yes;
}

void TTransfer::Stop() {
  if (IsRunning && Source)
    Source->Browser.StopOperation();
}

bool TTransfer::Run(TFPanel* source, const QString& target, const QString& initialTarget, bool move,
                    bool reportErrors, const TTransferTexts& texts) {
  Source = source;
  TBrowser& browser = source->Browser;
  const int dragged = Main->DraggedName.empty() ? 0 : browser.FindEntry(Main->DraggedName);
  browser.Cursor = dragged > 0 ? dragged : source->CursorIndex();
  using TBegin = std::function<void(const std::string&, int64_t)>;
  using TFirst = std::function<void(const std::string&, const std::string&, int64_t)>;
  using TBlock = std::function<void(int64_t, int64_t)>;
  using TConfirm = std::function<void(TCopyConfirm, const std::string&, bool&)>;
  using TError = std::function<void(TCopyError, const std::string&)>;
  using TPlain = std::function<void()>;
  TScopedEvent begin(browser.OnCopyBegin, TBegin([this](const std::string&, int64_t total) {
                       GrandTotal = total;
                       FinishedBytes = 0;
                       Dialog->setWindowTitle(Dialog->windowTitle() +
                                              QStringLiteral(" (%1 Mb)").arg(total / 1000000));
                     }));
  // Thousands of small files: the page shows the file under way at most every UpdateMs, so that
  // painting does not cost more than copying; the window still answers Stop between them.
  QElapsedTimer shown;
  const auto due = [&shown] {
    if (shown.isValid() && shown.elapsed() < UpdateMs)
      return false;
    shown.start();
    return true;
  };
  TScopedEvent first(
      browser.OnCopyFirstBlock,
      TFirst([this, &texts, &due](const std::string& from, const std::string&, int64_t size) {
        CurrentSize = size;
        if (!due())
          return;
        Status->setText(texts.Copied + ' ' + QString::number(FilesDone));
        Current->setText(FromBytes(from));
      }));
  TScopedEvent block(
      browser.OnCopyOneBlock, TBlock([this, &due](int64_t done, int64_t size) {
        if (!due())
          return;
        platform::ProcessMessages();
        if (size > 0)
          FileBar->setValue(Percent(double(done), double(size)));
        if (done + FinishedBytes > 0) {
          TotalBar->setValue(
              std::min(100, Percent(double(done + FinishedBytes), double(GrandTotal))));
          Main->setWindowTitle(QStringLiteral("Corvane (%1%)").arg(TotalBar->value()));
        }
      }));
  int shownSelection = browser.SelectedCount();
  TScopedEvent fileEnd(browser.OnCopyFileEnd, TPlain([this, &browser, &shownSelection] {
                         FinishedBytes += CurrentSize;
                         ++FilesDone;
                         // Entries are unmarked as they are done: let the user see it shrink.
                         if (browser.SelectedCount() > 0 &&
                             browser.SelectedCount() != shownSelection) {
                           shownSelection = browser.SelectedCount();
                           Source->DrawList();
                         }
                       }));
  TScopedEvent confirm(
      browser.OnCopyConfirm,
      TConfirm([this, &browser, &texts](TCopyConfirm kind, const std::string& path, bool& answer) {
        const QString text =
            texts.File + ' ' + FromBytes(path) + '\n' +
            (kind == TCopyConfirm::ExistsReadOnly ? texts.OverwriteReadOnly : texts.Overwrite);
        answer = TAsker::AskDuringOperation(Dialog, text, YesToAll,
                                            [&browser] { browser.StopOperation(); });
      }));
  // The move window reports no single failures; no earlier handler may be called either. An
  // archive library's message (kind 5) says why the failure reported next happened.
  std::string reason;
  TScopedEvent error(
      browser.OnCopyError,
      TError([this, reportErrors, &texts, &reason](TCopyError kind, const std::string& path) {
        if (kind == TCopyError::ArchiveMessage) {
          reason = path;
          return;
        }
        if (reportErrors)
          TAsker::Current().Error(Dialog,
                                  texts.Error + ' ' + FromBytes(path) +
                                      (reason.empty() ? QString() : '\n' + FromBytes(reason)));
        reason.clear();
      }));
  // The monitors would re-read the panels after every file: off for the run, on again after it,
  // whatever its result.
  for (TFPanel* panel : {Main->LeftPanel(), Main->RightPanel()})
    panel->StopMonitor();
  IsRunning = true;
  const bool started = target != initialTarget
                           ? browser.CopyToPath(target.toStdString(), move)
                           : browser.CopyToBrowser(Main->OtherPanel()->Browser, move);
  IsRunning = false;
  Main->setWindowTitle(QStringLiteral("Corvane v1.50"));
  Main->Update_AllPanels();
  for (TFPanel* panel : {Main->LeftPanel(), Main->RightPanel()})
    panel->StartMonitor();
  return started;
}

} // namespace corvane
