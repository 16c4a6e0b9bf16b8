// The program's own small pictures: file-type icons, drive pictures, the letter strip of the drive
// bar, the dialogs' decorations, the tray menu's pictures and the program emblem.
//
// Every picture is drawn here by code, pixel by pixel, in the manner of the small desktop icons of
// the 16-colour era: a dark outline, flat fills from one shared palette and a single highlight. No
// smoothing is ever used, so each picture is exactly the same on every screen and every Qt style,
// and a picture enlarged by whole steps stays crisp.
//
// The pictures are plain RGB32 images without an alpha channel, as the code that paints them
// expects: a picture has one transparent colour, always the colour of its top-left pixel, and
// whoever draws it repaints every pixel of that colour in its own background. The drawings
// therefore never use their transparent colour (magenta for most, white for the letter strip,
// black for one dialog picture) and never touch the top-left pixel.
#pragma once

#include <QIcon>
#include <QImage>

namespace corvane::pictures {

// The icons in front of the names of a file list, 16x16, transparent magenta. The list is dark
// navy and the cursor bar dark teal, and every icon reads on both.
enum class TTypeIcon {
  Folder,
  UpFolder,
  Setup,
  Text,
  Picture,
  Archive,
  Music,
  Video,
  Exec,
  System,
  Other
};
QImage TypeIcon(TTypeIcon icon);

// The drives of the drive bar, 22x22 for a button face, transparent magenta. The bar draws the
// drive's letter over the picture's lower left corner (8x7 from (4, 15)), so every drive keeps
// x 3 to 12 from row 14 down clear.
enum class TDrivePicture { Floppy, Hdd, Network, CdRom };
QImage DrivePicture(TDrivePicture picture);

// The lower-case letters a..z, 208x7: each in an 8x7 cell of its own in alphabetical order, drawn
// in black from the cell's left edge on a white (transparent) ground, at most 5 pixels wide so
// that at least the last three columns of each cell are blank.
QImage LetterGlyphStrip();

// Decorations the dialogs share, 32x32: 1 the program emblem and 2 a pair of documents, both on
// magenta, and 3 the emblem on black, drawn without black. Any other number gives a null image.
QImage Bitmap(int number);

// The tray menu's pictures, 64x16: the program emblem, help, information and exit, 16x16 each
// from the left, transparent magenta.
QImage PopupStrip();

// The program emblem at 16, 32 and 48 pixels.
QIcon ApplicationIcon();

} // namespace corvane::pictures
