// What the drive bars and the change-drive window share: the list of drives they offer, their
// pictures and the label text shown beside a drive letter.
//
// Both show every drive of the drive table in letter order. Nothing here touches a drive's file
// system: the list and the kinds come from the table, the volume label from the label links of
// the device, so that painting a bar or the window can never wait on a dead network mount. Only
// choosing a drive asks whether it is ready, through the guarded probe.
#pragma once

#include "platform/drive_table.h"

#include <QImage>
#include <QString>

#include <vector>

class QPainter;

namespace corvane {

class TFPanel;
class TLanguageFile;

// The two parallel lists of a bar or of the window: drive kinds and lower-case letters.
struct TDriveLists {
  std::vector<platform::TDriveKind> Kinds;
  std::vector<char> Letters;

  int Count() const { return static_cast<int>(Letters.size()); }
  // The 1-based place of a letter (either case) in the list, or 0.
  int IndexOf(char letter) const;
};

// Every drive of the table, in letter order.
TDriveLists ListedDrives();

// The label beside a letter: "[Floppy]" for a removable drive (the language file's text),
// "[CD-ROM]" for an optical one, else the volume label lower-cased with its first character
// upper-cased ("[Data]"), or `noName` in brackets when the volume has none.
QString DriveLabelText(char letter, platform::TDriveKind kind, const TLanguageFile* language,
                       const QString& noName);

// The 22x22 picture of a drive kind, its transparent colour made transparent.
const QImage& DriveKindPicture(platform::TDriveKind kind);
// The 8x7 glyph of a lower-case letter from the letter strip, its white ground transparent.
QImage LetterGlyph(char letter);

// Puts a panel on a folder of a drive (a model path such as "D:\" or "C:\etc\"), as the drive bar
// and the change-drive window do: a panel in the information page or the quick view goes back to
// the brief list, the cursor to the first entry, the folder monitor to the new folder, and the
// other panel's information page is repainted (it shows the drives' figures).
void OpenDriveFolder(TFPanel& panel, TFPanel* other, const QString& modelPath);

} // namespace corvane
