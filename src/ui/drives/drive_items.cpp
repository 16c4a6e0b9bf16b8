#include "drives/drive_items.h"

#include "main/language.h"
#include "main/pictures.h"
#include "panels/file_panel.h"
#include "platform/drive_probe.h"

#include <array>
#include <cctype>

namespace corvane {

using platform::TDriveKind;

namespace {

// A picture with every pixel of its top-left pixel's colour made transparent.
QImage WithTransparentColour(const QImage& picture) {
  QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  if (image.isNull())
    return image;
  const QRgb transparent = image.pixel(0, 0);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == transparent)
        image.setPixel(x, y, qRgba(0, 0, 0, 0));
  return image;
}

pictures::TDrivePicture PictureOf(TDriveKind kind) {
  switch (kind) {
  case TDriveKind::Removable:
    return pictures::TDrivePicture::Floppy;
  case TDriveKind::Remote:
    return pictures::TDrivePicture::Network;
  case TDriveKind::CdRom:
    return pictures::TDrivePicture::CdRom;
  case TDriveKind::Fixed:
  case TDriveKind::RamDisk:
    break;
  }
  return pictures::TDrivePicture::Hdd;
}

} // namespace

int TDriveLists::IndexOf(char letter) const {
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  for (size_t i = 0; i < Letters.size(); ++i)
    if (Letters[i] == lower)
      return static_cast<int>(i) + 1;
  return 0;
}

TDriveLists ListedDrives() {
  TDriveLists lists;
  for (const platform::TDrive& drive : platform::TDriveTable::Instance().Drives()) {
    lists.Kinds.push_back(drive.Kind);
    lists.Letters.push_back(
        static_cast<char>(std::tolower(static_cast<unsigned char>(drive.Letter))));
  }
  return lists;
}

QString DriveLabelText(char letter, TDriveKind kind, const TLanguageFile* language,
                       const QString& noName) {
  if (kind == TDriveKind::Removable) {
    const QString floppy = QStringLiteral("Floppy");
    return QLatin1Char('[') +
           (language ? language->Read("Messages", "Hint_Floppy", floppy) : floppy) +
           QLatin1Char(']');
  }
  if (kind == TDriveKind::CdRom)
    return QStringLiteral("[CD-ROM]");
  const std::string bytes = platform::VolumeLabel(letter);
  QString label = QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toLower();
  if (label.isEmpty())
    label = noName;
  else
    label[0] = label[0].toUpper();
  return QLatin1Char('[') + label + QLatin1Char(']');
}

const QImage& DriveKindPicture(TDriveKind kind) {
  static const std::array<QImage, 4> images = {
      WithTransparentColour(pictures::DrivePicture(pictures::TDrivePicture::Floppy)),
      WithTransparentColour(pictures::DrivePicture(pictures::TDrivePicture::Hdd)),
      WithTransparentColour(pictures::DrivePicture(pictures::TDrivePicture::Network)),
      WithTransparentColour(pictures::DrivePicture(pictures::TDrivePicture::CdRom)),
  };
  return images[static_cast<size_t>(PictureOf(kind))];
}

QImage LetterGlyph(char letter) {
  static const QImage strip = WithTransparentColour(pictures::LetterGlyphStrip());
  const int cell = std::tolower(static_cast<unsigned char>(letter)) - 'a';
  if (cell < 0 || cell >= 26)
    return {};
  return strip.copy(cell * 8, 0, 8, 7);
}

void OpenDriveFolder(TFPanel& panel, TFPanel* other, const QString& modelPath) {
  panel.StopMonitor();
  panel.EraseCursor();
  panel.Settings.Path = modelPath;
  panel.Settings.PathType = QStringLiteral("Standart");
  // Upper-cases the letter only (Linux names keep their case), sets the sort and filter flags
  // from the panel's settings, opens the folder and reads the drive's figures.
  panel.InitFromPath();
  panel.TopIndex = 0;
  panel.CursorOffset = 0;
  panel.Browser.Cursor = 1;
  if (panel.ViewMode == TFPanel::vmInfo || panel.ViewMode == TFPanel::vmQuickView) {
    panel.SetViewMode(TFPanel::vmBrief);
  } else {
    panel.SyncCursorCell();
    panel.DrawList();
    panel.DrawCursor();
  }
  if (panel.OnChangeFolder)
    panel.OnChangeFolder(panel.Side);
  panel.StartMonitor();
  if (other && other->ViewMode == TFPanel::vmInfo)
    other->LayoutAndPaint();
}

} // namespace corvane
