#include "main/pictures.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace corvane {
namespace {

using pictures::TDrivePicture;
using pictures::TTypeIcon;

constexpr QRgb Magenta = 0xFFFF00FF;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;

constexpr TTypeIcon AllTypeIcons[] = {
    TTypeIcon::Folder,  TTypeIcon::UpFolder, TTypeIcon::Setup, TTypeIcon::Text,
    TTypeIcon::Picture, TTypeIcon::Archive,  TTypeIcon::Music, TTypeIcon::Video,
    TTypeIcon::Exec,    TTypeIcon::System,   TTypeIcon::Other,
};

int Distance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// Pixels other than the transparent colour.
int InkCount(const QImage& image, QRgb transparent) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      count += image.pixel(x, y) != transparent;
  return count;
}

TEST(Pictures, EveryPictureIsItsSizeOnItsTransparentColour) {
  struct Case {
    std::string Name;
    QImage Image;
    int Width, Height;
    QRgb Transparent;
    int MinInk;
  };
  std::vector<Case> cases;
  for (const TTypeIcon icon : AllTypeIcons)
    cases.push_back({"type icon " + std::to_string(static_cast<int>(icon)),
                     pictures::TypeIcon(icon), 16, 16, Magenta, 70});
  for (const TDrivePicture drive :
       {TDrivePicture::Floppy, TDrivePicture::Hdd, TDrivePicture::Network, TDrivePicture::CdRom})
    cases.push_back({"drive " + std::to_string(static_cast<int>(drive)),
                     pictures::DrivePicture(drive), 22, 22, Magenta, 150});
  cases.push_back({"letters", pictures::LetterGlyphStrip(), 208, 7, White, 26 * 8});
  cases.push_back({"bitmap 1", pictures::Bitmap(1), 32, 32, Magenta, 400});
  cases.push_back({"bitmap 2", pictures::Bitmap(2), 32, 32, Magenta, 400});
  cases.push_back({"bitmap 3", pictures::Bitmap(3), 32, 32, Black, 400});
  const QImage popup = pictures::PopupStrip();
  cases.push_back({"popup strip", popup, 64, 16, Magenta, 4 * 70});
  // The tray menu cuts the strip into its four pictures, each with its own top-left pixel.
  for (int i = 0; i < 4; ++i)
    cases.push_back(
        {"popup " + std::to_string(i), popup.copy(16 * i, 0, 16, 16), 16, 16, Magenta, 70});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(c.Image.size(), QSize(c.Width, c.Height));
    EXPECT_EQ(c.Image.pixel(0, 0), c.Transparent);
    EXPECT_GE(InkCount(c.Image, c.Transparent), c.MinInk);
    // Painting replaces exactly the transparent colour, so a near miss would show as a blotch.
    for (int y = 0; y < c.Image.height(); ++y)
      for (int x = 0; x < c.Image.width(); ++x) {
        const QRgb pixel = c.Image.pixel(x, y);
        if (pixel != c.Transparent) {
          ASSERT_GT(Distance(pixel, c.Transparent), 48) << "at " << x << "," << y;
        }
      }
  }
}

TEST(Pictures, TypeIconsAreDistinctAndStandOutOnTheList) {
  const QRgb backgrounds[] = {qRgb(0, 0, 128), qRgb(0, 168, 168)};
  for (const TTypeIcon a : AllTypeIcons) {
    const QImage image = pictures::TypeIcon(a);
    for (const TTypeIcon b : AllTypeIcons)
      if (a != b) {
        EXPECT_NE(image, pictures::TypeIcon(b))
            << static_cast<int>(a) << " " << static_cast<int>(b);
      }
    // Most of what is drawn must differ clearly from both backgrounds.
    for (const QRgb background : backgrounds) {
      int visible = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
          const QRgb pixel = image.pixel(x, y);
          visible += pixel != Magenta && Distance(pixel, background) > 64;
        }
      EXPECT_GE(visible * 4, InkCount(image, Magenta) * 3)
          << static_cast<int>(a) << " on " << QColor(background).name().toStdString();
    }
  }
}

TEST(Pictures, LetterCellsAreDarkLeftAlignedAndDistinct) {
  const QImage strip = pictures::LetterGlyphStrip();
  ASSERT_EQ(strip.size(), QSize(208, 7));
  std::vector<QImage> cells;
  for (int letter = 0; letter < 26; ++letter) {
    SCOPED_TRACE(std::string(1, static_cast<char>('a' + letter)));
    const QImage cell = strip.copy(letter * 8, 0, 8, 7);
    int ink[8] = {};
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 8; ++x) {
        const QRgb pixel = cell.pixel(x, y);
        if (pixel == White)
          continue;
        ++ink[x];
        EXPECT_LT(qGray(pixel), 64) << "at " << x << "," << y;
      }
    EXPECT_GT(ink[0], 0) << "not against the cell's left edge";
    EXPECT_EQ(ink[5] + ink[6] + ink[7], 0) << "wider than 5 pixels";
    for (const QImage& other : cells)
      EXPECT_NE(cell, other);
    cells.push_back(cell);
  }
}

TEST(Pictures, BitmapNumbersOutsideOneToThreeAreNull) {
  for (const int number : {-1, 0, 4})
    EXPECT_TRUE(pictures::Bitmap(number).isNull()) << number;
}

TEST(Pictures, ApplicationIconHasTheThreeSizesWithTransparentCorners) {
  const QIcon icon = pictures::ApplicationIcon();
  for (const int size : {16, 32, 48}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = icon.pixmap(size, size).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
    // The same drawing at every size: the dark outline around a blue title bar.
    EXPECT_EQ(image.pixel(size / 16, size / 2), Black);
    EXPECT_EQ(image.pixel(size / 2, size / 16 + 1), qRgb(0, 0, 255));
  }
}

} // namespace
} // namespace corvane
