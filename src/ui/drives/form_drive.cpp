#include "drives/form_drive.h"

#include "drives/my_drives.h"
#include "main/asker.h"
#include "main/language.h"
#include "panels/file_panel.h"
#include "platform/drive_probe.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <cctype>

namespace corvane {

TFormDrive::TFormDrive(QWidget* mainWindow) : QDialog(mainWindow) {
  setObjectName(QStringLiteral("FormDrive"));
  setWindowTitle(QStringLiteral("Change drive"));
  // A small fixed window: a caption and a close button, nothing to minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  Drives = new TMyDrives(this);
  Drives->setObjectName(QStringLiteral("Drives"));
  Drives->move(1, 0);
  Drives->OnChoose = [this] { ChooseRow(Drives->CurrentRow()); };
  Drives->OnRightClick = [this] { hide(); };
  FitToList();
}

void TFormDrive::SetDrives(const TDriveLists& drives) {
  Drives->SetDrives(drives, Language);
  FitToList();
}

void TFormDrive::FitToList() {
  setFixedSize(Drives->width() + 2, std::max(Drives->height(), TMyDrives::RowHeight));
}

void TFormDrive::Open(TPanelSide side, bool modal) {
  TargetSide = side;
  if (isVisible())
    hide(); // the modality of a shown window cannot change
  setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  FormActivate();
  show();
  raise();
  activateWindow();
  Drives->setFocus();
}

void TFormDrive::FormActivate() {
  const QString missing = QStringLiteral("Error loading resource");
  setWindowTitle(Language ? Language->Read("ChangeDrive", "Caption", missing) : missing);
  NotReadyText = Language ? Language->Read("ChangeDrive", "DriveNotReady", missing) : missing;
  // The labels may have changed since the list was filled (a disc put in).
  Drives->SetDrives(Drives->Drives(), Language);
  FitToList();
  const TFPanel* target = TargetSide == TPanelSide::Left ? PanelLeft : PanelRight;
  if (target && !target->Browser.RootPath().empty())
    Drives->SetCurrentRow(Drives->Drives().IndexOf(target->Browser.RootPath()[0]));
  if (const QWidget* main = parentWidget()) {
    const int left =
        TargetSide == TPanelSide::Left ? main->x() + 60 : main->x() + main->width() / 2 + 40;
    move(left, main->y() + 140);
  }
}

void TFormDrive::ChooseRow(int row) {
  const TDriveLists& lists = Drives->Drives();
  if (row < 1 || row > lists.Count())
    return;
  const char letter = lists.Letters[static_cast<size_t>(row - 1)];
  if (!platform::IsDriveReady(letter)) {
    Asking = true;
    TAsker::Current().Error(this, NotReadyText);
    Asking = false;
    return;
  }
  TFPanel* target = TargetSide == TPanelSide::Left ? PanelLeft : PanelRight;
  TFPanel* other = TargetSide == TPanelSide::Left ? PanelRight : PanelLeft;
  if (!target)
    return;
  QString path = QString(QChar::fromLatin1(letter)) + QStringLiteral(":\\");
  // The inactive panel put on the drive the active one shows opens the active one's folder.
  if (!target->Active && other && other->Active && other->Browser.SourceKind() == skFolder &&
      !other->Browser.RootPath().empty() &&
      std::tolower(static_cast<unsigned char>(other->Browser.RootPath()[0])) == letter) {
    const std::string folder = other->Browser.RootPath() + other->Browser.RelPath();
    path = QString::fromUtf8(folder.data(), qsizetype(folder.size()));
  }
  OpenDriveFolder(*target, other, path);
  hide();
}

bool TFormDrive::KeyDown(int key, const QString& text) {
  const int count = Drives->DriveCount();
  if (count == 0)
    return key == Qt::Key_Escape ? (hide(), true) : false;
  const int row = Drives->CurrentRow();
  switch (key) {
  case Qt::Key_Down:
  case Qt::Key_Right:
    Drives->SetCurrentRow(row >= count ? 1 : row + 1);
    return true;
  case Qt::Key_Up:
  case Qt::Key_Left:
    Drives->SetCurrentRow(row <= 1 ? count : row - 1);
    return true;
  case Qt::Key_Home:
    Drives->SetCurrentRow(1);
    return true;
  case Qt::Key_End:
    Drives->SetCurrentRow(count);
    return true;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    ChooseRow(row);
    return true;
  case Qt::Key_Escape:
    hide();
    return true;
  default:
    break;
  }
  if (text.size() == 1 && text[0].isLetter() && text[0].unicode() < 128) {
    const int found = Drives->Drives().IndexOf(static_cast<char>(text[0].unicode()));
    if (found > 0) {
      Drives->SetCurrentRow(found);
      ChooseRow(found);
    }
    return true;
  }
  return false;
}

void TFormDrive::keyPressEvent(QKeyEvent* event) {
  if (!KeyDown(event->key(), event->text()))
    QDialog::keyPressEvent(event);
}

void TFormDrive::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton)
    hide();
}

bool TFormDrive::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate && isVisible() && !Asking)
    hide();
  return QDialog::event(event);
}

} // namespace corvane
