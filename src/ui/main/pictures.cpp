#include "main/pictures.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

namespace corvane::pictures {

namespace {

constexpr QRgb Magenta = 0xFFFF00FF;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;

// The one palette all pixel maps draw from, so that the same key is the same colour in every
// picture. '.' is the picture's transparent colour.
struct TInk {
  char Key;
  QRgb Color;
};
constexpr TInk Inks[] = {
    {'k', 0xFF000000}, // outline
    {'d', 0xFF404040}, // dark grey
    {'g', 0xFF808080}, // grey: shade of silver and white
    {'s', 0xFFC0C0C0}, // silver
    {'w', 0xFFFFFFFF}, // white: paper, highlights
    {'n', 0xFF000080}, // navy
    {'b', 0xFF0000FF}, // blue
    {'c', 0xFF00FFFF}, // cyan
    {'e', 0xFF008000}, // green: shade of lime
    {'l', 0xFF00FF00}, // lime
    {'o', 0xFF808000}, // olive: shade of yellow
    {'y', 0xFFFFFF00}, // yellow
    {'h', 0xFFFFFFA0}, // pale yellow: highlight of yellow
    {'m', 0xFF800000}, // maroon: shade of red
    {'r', 0xFFFF0000}, // red
    {'B', 0xFF985018}, // brown: shade of tan
    {'T', 0xFFE0A050}, // tan: cardboard, wood
};

constexpr bool IsKey(char key) {
  if (key == '.')
    return true;
  for (const TInk& ink : Inks)
    if (ink.Key == key)
      return true;
  return false;
}

QRgb InkOf(char key) {
  for (const TInk& ink : Inks)
    if (ink.Key == key)
      return ink.Color;
  return Magenta;
}

// A pixel map of W x H palette keys. Made at compile time only, so that a row of the wrong length
// or an unknown key stops the build instead of drawing a wrong picture.
template <int W, int H> struct TArt {
  std::array<std::string_view, H> Rows{};

  consteval TArt(std::initializer_list<std::string_view> rows) {
    if (rows.size() != H)
      throw "pixel map: wrong number of rows";
    int y = 0;
    for (const std::string_view row : rows) {
      if (row.size() != W)
        throw "pixel map: row of the wrong width";
      for (const char key : row)
        if (!IsKey(key))
          throw "pixel map: key not in the palette";
      Rows[y++] = row;
    }
  }
};

QImage Blank(int width, int height, QRgb transparent) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(transparent);
  return image;
}

// Draws every key but '.' of `art` with its top-left corner at (x, y).
template <int W, int H> void Paint(QImage& image, const TArt<W, H>& art, int x = 0, int y = 0) {
  for (int row = 0; row < H; ++row)
    for (int col = 0; col < W; ++col) {
      const char key = art.Rows[row][col];
      if (key != '.' && image.valid(x + col, y + row))
        image.setPixel(x + col, y + row, InkOf(key));
    }
}

template <int W, int H> QImage FromArt(const TArt<W, H>& art, QRgb transparent = Magenta) {
  QImage image = Blank(W, H, transparent);
  Paint(image, art);
  return image;
}

// ---- File types -----------------------------------------------------------------------------

constexpr TArt<16, 16> FolderArt{
    "................", //
    "................", //
    "................", //
    "..kkkk..........", //
    ".kyhhyk.........", //
    ".kyyyyykkkkkkkk.", //
    ".khhhhhhhhhhhhk.", //
    ".khyyyyyyyyyyok.", //
    ".khyyyyyyyyyyok.", //
    ".khyyyyyyyyyyok.", //
    ".khyyyyyyyyyyok.", //
    ".khyyyyyyyyyyok.", //
    ".khyyyyyyyyyyok.", //
    ".kooooooooooook.", //
    ".kkkkkkkkkkkkkk.", //
    "................", //
};

// Laid over the folder for the way up.
constexpr TArt<9, 10> UpArrowArt{
    "....k....", //
    "...klk...", //
    "..klllk..", //
    ".klllllk.", //
    "klllllllk", //
    "kkklllkkk", //
    "..kllek..", //
    "..kllek..", //
    "..kllek..", //
    "..kkkkk..", //
};

constexpr TArt<16, 16> SetupArt{
    "................", //
    "......kkkk......", //
    "......kllk......", //
    "......kllk......", //
    "......kllk......", //
    "kk..kkkllkkk..kk", //
    "kTk.kllllllk.kTk", //
    "kTTk.kllllk.kTTk", //
    ".kTTk.kllk.kTTk.", //
    "..kkkkkkkkkkkk..", //
    "..kTTTTTTTTTTk..", //
    "..kTTTTTTTTTBk..", //
    "..kTTTTTTTTTBk..", //
    "..kTTTTTTTTTBk..", //
    "..kBBBBBBBBBBk..", //
    "..kkkkkkkkkkkk..", //
};

constexpr TArt<16, 16> PageArt{
    "................", //
    "..kkkkkkkk......", //
    "..kwwwwwwkk.....", //
    "..kwwwwwwksk....", //
    "..kwwwwwwkssk...", //
    "..kwwwwwwkkkkk..", //
    "..kwwwwwwwwwsk..", //
    "..kwwwwwwwwwsk..", //
    "..kwwwwwwwwwsk..", //
    "..kwwwwwwwwwsk..", //
    "..kwwwwwwwwwsk..", //
    "..kwwwwwwwwwsk..", //
    "..kwwwwwwwwwsk..", //
    "..kssssssssssk..", //
    "..kkkkkkkkkkkk..", //
    "................", //
};

// Laid over the page for text.
constexpr TArt<16, 16> TextLinesArt{
    "................", //
    "................", //
    "................", //
    "....gggg........", //
    "................", //
    "....ggg.........", //
    "................", //
    "....ggggggg.....", //
    "................", //
    "....gggggg......", //
    "................", //
    "....ggggggg.....", //
    "................", //
    "................", //
    "................", //
    "................", //
};

constexpr TArt<16, 16> PictureArt{
    "................", //
    "................", //
    ".kkkkkkkkkkkkkk.", //
    ".kTTTTTTTTTTTTk.", //
    ".kTkkkkkkkkkkBk.", //
    ".kTkcccccyykkBk.", //
    ".kTkcccccyyckBk.", //
    ".kTkcclecccckBk.", //
    ".kTkclllecclkBk.", //
    ".kTkllllllllkBk.", //
    ".kTkeeeeeeeekBk.", //
    ".kTkkkkkkkkkkBk.", //
    ".kTBBBBBBBBBBBk.", //
    ".kkkkkkkkkkkkkk.", //
    "................", //
    "................", //
};

constexpr TArt<16, 16> ArchiveArt{
    "................", //
    "................", //
    "..kkkkkkkkkkkk..", //
    "..krrrrssrrrwk..", //
    "..krrrrssrrrwk..", //
    "..kmmmmgsmmmsk..", //
    "..kkkkkkkkkkkk..", //
    "..klllyyyylllk..", //
    "..klllykkylllk..", //
    "..keeeyyyyeeek..", //
    "..kkkkkkkkkkkk..", //
    "..kbbbbssbbbwk..", //
    "..kbbbbssbbbwk..", //
    "..knnnngsnnnsk..", //
    "..kkkkkkkkkkkk..", //
    "................", //
};

constexpr TArt<16, 16> MusicArt{
    "................", //
    ".....kkkkkkkkkk.", //
    ".....kwwwwwwwwk.", //
    ".....kwwwwwwwwk.", //
    ".....kwkkkkkkwk.", //
    ".....kwk....kwk.", //
    ".....kwk....kwk.", //
    ".....kwk....kwk.", //
    ".....kwk....kwk.", //
    ".....kwk....kwk.", //
    "...kkkwk..kkkwk.", //
    "..kwwwwk.kwwwwk.", //
    ".kwwwwwkkwwwwwk.", //
    ".kwwwwk.kwwwwk..", //
    "..kkkk...kkkk...", //
    "................", //
};

constexpr TArt<16, 16> VideoArt{
    "................", //
    "................", //
    ".kkkkkkkkkkkkkk.", //
    ".kggggggggggggk.", //
    ".kgwgwgwgwgwgwk.", //
    ".kggggggggggggk.", //
    ".kgccccggccccgk.", //
    ".kgccccggccccgk.", //
    ".kgllllggllllgk.", //
    ".kgeeeeggeeeegk.", //
    ".kggggggggggggk.", //
    ".kgwgwgwgwgwgwk.", //
    ".kggggggggggggk.", //
    ".kkkkkkkkkkkkkk.", //
    "................", //
    "................", //
};

constexpr TArt<16, 16> ExecArt{
    "................", //
    "................", //
    ".kkkkkkkkkkkkkk.", //
    ".kbbbbbbbbbbbbk.", //
    ".kbwwwwbbbbbsbk.", //
    ".kbbbbbbbbbbbbk.", //
    ".kkkkkkkkkkkkkk.", //
    ".kwwwwwwwwwwwsk.", //
    ".kwwwwwwwwwwwsk.", //
    ".kwwwwwwwwwwwsk.", //
    ".kwwwwwwwwwwwsk.", //
    ".kwwwwwwwwwwwsk.", //
    ".kssssssssssssk.", //
    ".kkkkkkkkkkkkkk.", //
    "................", //
    "................", //
};

constexpr TArt<16, 16> SystemArt{
    "................", //
    "......kkkk......", //
    "..kk..kssk..kk..", //
    "..kskksssskksk..", //
    "...kwwwsssssk...", //
    "...kwsssssssk...", //
    ".kkwssskksssskk.", //
    ".kwsssk..kssgsk.", //
    ".kssssk..ksssgk.", //
    ".kksssskksssgkk.", //
    "...ksssssssgk...", //
    "...ksssssgggk...", //
    "..kskkggggkksk..", //
    "..kk..kggk..kk..", //
    "......kkkk......", //
    "................", //
};

} // namespace

QImage TypeIcon(TTypeIcon icon) {
  switch (icon) {
  case TTypeIcon::Folder:
    return FromArt(FolderArt);
  case TTypeIcon::UpFolder: {
    QImage image = FromArt(FolderArt);
    Paint(image, UpArrowArt, 5, 2);
    return image;
  }
  case TTypeIcon::Setup:
    return FromArt(SetupArt);
  case TTypeIcon::Text: {
    QImage image = FromArt(PageArt);
    Paint(image, TextLinesArt);
    return image;
  }
  case TTypeIcon::Picture:
    return FromArt(PictureArt);
  case TTypeIcon::Archive:
    return FromArt(ArchiveArt);
  case TTypeIcon::Music:
    return FromArt(MusicArt);
  case TTypeIcon::Video:
    return FromArt(VideoArt);
  case TTypeIcon::Exec:
    return FromArt(ExecArt);
  case TTypeIcon::System:
    return FromArt(SystemArt);
  case TTypeIcon::Other:
    return FromArt(PageArt);
  }
  return {};
}

namespace {

// ---- Drives ---------------------------------------------------------------------------------

constexpr TArt<22, 22> FloppyArt{
    ".....kkkkkkkkkkkkk....", //
    ".....kbbksssddskbbk...", //
    ".....kbbksssddskbbk...", //
    ".....kbbksssddskbbk...", //
    ".....kbbkkkkkkkkbbk...", //
    ".....kbbbbbbbbbbbbk...", //
    ".....knbbbbbbbbbbbk...", //
    ".....knkkkkkkkkkknk...", //
    ".....knkwwwwwwwwknk...", //
    ".....knkwggggggwknk...", //
    ".....knkwwwwwwwwknk...", //
    ".....knkwggggwwwknk...", //
    ".....knkwwwwwwwwknk...", //
    ".....kkkkkkkkkkkkkk...", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
};

constexpr TArt<22, 22> HddArt{
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "....kkkkkkkkkkkkkkkkk.", //
    "...kwwwwwwwwwwwwwwwkk.", //
    "..kwwwwwwwwwwwwwwwkgk.", //
    ".kkkkkkkkkkkkkkkkkggk.", //
    ".kssssssssssssssskggk.", //
    ".ksddddddddddsssskggk.", //
    ".kssssssssssssssskggk.", //
    ".kssssssssssssllskggk.", //
    ".kssssssssssssssskgk..", //
    ".kgggggggggggggggkk...", //
    ".kkkkkkkkkkkkkkkkk....", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
};

// Laid under the drive for a network drive: the cable runs down and to the right of the letter.
constexpr TArt<22, 22> NetworkCableArt{
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "...............kek....", //
    "...............kek....", //
    "...............kek....", //
    "...............kek....", //
    ".............kkkekkkkk", //
    ".............keeeeeeek", //
    ".............kkkkkkkkk", //
    "......................", //
    "......................", //
    "......................", //
};

constexpr TArt<22, 22> CdRomArt{
    "........kkkkkk........", //
    "......kksswwsskk......", //
    ".....kscwwssssssk.....", //
    "....kcwssssggssssk....", //
    "....kcsssggkkggssk....", //
    "....kssssgk..kgsyk....", //
    "....kssssggkkggyyk....", //
    ".kkkkkkkkkkkkkkkkkkkk.", //
    ".kssssssssssssssssssk.", //
    ".ksddddddddddddddddsk.", //
    ".kssssssssssssssssssk.", //
    ".kssssssssssssssllssk.", //
    ".kggggggggggggggggggk.", //
    ".kkkkkkkkkkkkkkkkkkkk.", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
    "......................", //
};

// ---- The emblem -----------------------------------------------------------------------------

// The program emblem: a window whose title bar sits over two file panels, the left one with the
// cursor bar. Drawn from rectangles whose sizes follow the picture's size (one unit is 1, 2 or 3
// pixels), so that the 16, 32 and 48 pixel emblems are one drawing, while lines stay 1 pixel
// wide. Every dark pixel is `dark`, so that the emblem can be drawn on black.
QImage Emblem(int size, QRgb transparent, QRgb dark) {
  QImage image = Blank(size, size, transparent);
  QPainter p(&image);
  const auto fill = [&p](int x0, int y0, int x1, int y1, QRgb color) {
    p.fillRect(QRect(QPoint(x0, y0), QPoint(x1, y1)), QColor::fromRgb(color));
  };
  const int unit = size / 16;
  const int left = unit;
  const int right = size - unit; // the width is odd, so the two panels are equal
  const int top = unit;
  const int bottom = size - unit;
  const int titleBottom = top + 2 * unit;
  const int keyBar = unit > 1 ? unit : 0;
  const int panelTop = titleBottom + 2;
  const int panelBottom = keyBar > 0 ? bottom - keyBar - 2 : bottom - 1;
  const int middle = (left + right) / 2;

  fill(left, top, right, bottom, dark);
  fill(left + 1, top + 1, right - 1, titleBottom, InkOf('b'));
  if (unit > 1) {
    // Caption and two buttons, centred in the title bar.
    const int y0 = top + 1 + unit / 2;
    const int y1 = titleBottom - unit / 2;
    fill(left + 1 + unit, y0, left + 5 * unit, y1, InkOf('w'));
    for (int i = 0; i < 2; ++i) {
      const int x1 = right - 1 - unit / 2 - i * (y1 - y0 + 2);
      fill(x1 - (y1 - y0), y0, x1, y1, InkOf('s'));
    }
    fill(left + 1, bottom - keyBar, right - 1, bottom - 1, InkOf('s'));
    const int keyWidth = right - left - 1;
    for (int i = 1; i < 5; ++i) {
      const int x = left + 1 + i * keyWidth / 5;
      fill(x, bottom - keyBar, x, bottom - 1, InkOf('g'));
    }
  }

  // The panels: names every `pitch` rows, `line` rows thick, inside a frame from 32 pixels up.
  const int pitch = unit + 1;
  const int line = (unit + 1) / 2;
  const int frame = unit > 1 ? 1 : 0;
  constexpr int Lengths[] = {4, 3, 5, 2, 4, 5, 3, 4, 2, 5, 3};
  for (int side = 0; side < 2; ++side) {
    const int x0 = side == 0 ? left + 1 : middle + 1;
    const int x1 = side == 0 ? middle - 1 : right - 1;
    fill(x0, panelTop, x1, panelBottom, InkOf('n'));
    if (frame > 0) {
      fill(x0 + 1, panelTop + 1, x1 - 1, panelTop + 1, InkOf('c'));
      fill(x0 + 1, panelBottom - 1, x1 - 1, panelBottom - 1, InkOf('c'));
      fill(x0 + 1, panelTop + 1, x0 + 1, panelBottom - 1, InkOf('c'));
      fill(x1 - 1, panelTop + 1, x1 - 1, panelBottom - 1, InkOf('c'));
    }
    const int textLeft = x0 + 1 + 2 * frame;
    const int textWidth = x1 - 1 - 2 * frame - textLeft + 1;
    int n = 0;
    for (int y = panelTop + 1 + 2 * frame; y + line - 1 <= panelBottom - 1 - 2 * frame;
         y += pitch, ++n) {
      const int width = textWidth * Lengths[(n + 4 * side) % 11] / 5;
      if (side == 0 && n == 1) {
        // The cursor bar in the list's cursor colour; at 16 pixels it is just a teal line.
        fill(x0 + 2 * frame, y - frame, x1 - 2 * frame, y + line - 1 + frame, qRgb(0, 168, 168));
        if (frame > 0)
          fill(textLeft, y, textLeft + width - 1, y + line - 1, dark);
      } else {
        fill(textLeft, y, textLeft + width - 1, y + line - 1, InkOf('c'));
      }
    }
  }
  p.end();
  return image;
}

// ---- Dialog pictures ------------------------------------------------------------------------

// A page with a folded top-right corner and lines of text, its outer edge `r`.
void Page(QImage& image, const QRect& r, int fold) {
  const auto put = [&](int x, int y, QRgb c) {
    if (image.valid(x, y))
      image.setPixel(x, y, c);
  };
  const QRgb outline = InkOf('k');
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const int fromRight = r.right() - x;
      const int fromTop = y - r.top();
      if (fromRight + fromTop < fold)
        continue; // cut off by the fold
      QRgb c = InkOf('w');
      if (x == r.left() || y == r.top() || x == r.right() || y == r.bottom() ||
          fromRight + fromTop == fold)
        c = outline;
      else if (x == r.right() - 1 || y == r.bottom() - 1)
        c = InkOf('s');
      put(x, y, c);
    }
  // The folded-over corner.
  for (int i = 0; i < fold; ++i)
    for (int j = 0; j <= i; ++j) {
      const int x = r.right() - fold + j;
      const int y = r.top() + i;
      put(x, y, j == 0 || i == fold - 1 || j == i ? outline : InkOf('s'));
    }
  const int lengths[] = {9, 12, 10, 12, 7, 11, 12, 9, 12, 6};
  int n = 0;
  for (int y = r.top() + 3; y <= r.bottom() - 3; y += 2, ++n) {
    const int x0 = r.left() + 3;
    const int limit = (y - r.top() <= fold) ? r.right() - fold - 2 : r.right() - 3;
    const int x1 = std::min(limit, x0 + lengths[n % 10] - 1);
    for (int x = x0; x <= x1; ++x)
      put(x, y, InkOf('g'));
  }
}

QImage Documents() {
  QImage image = Blank(32, 32, Magenta);
  Page(image, QRect(QPoint(3, 1), QPoint(21, 24)), 5);
  Page(image, QRect(QPoint(10, 7), QPoint(28, 30)), 5);
  return image;
}

// ---- Tray menu ------------------------------------------------------------------------------

constexpr TArt<16, 16> HelpArt{
    "................", //
    "..kkkkkkkkkkkk..", //
    "..knbbbbbbbbbk..", //
    "..knbbbyyyybbk..", //
    "..knbbyybbyybk..", //
    "..knbbbbbbyybk..", //
    "..knbbbbbyybbk..", //
    "..knbbbbyybbbk..", //
    "..knbbbbyybbbk..", //
    "..knbbbbbbbbbk..", //
    "..knbbbbyybbbk..", //
    "..knbbbbbbbbbk..", //
    "..knkkkkkkkkkk..", //
    "..knkwwwwwwwwk..", //
    "..kkkkkkkkkkkk..", //
    "................", //
};

constexpr TArt<16, 16> InfoArt{
    "................", //
    ".....kkkkkk.....", //
    "...kkbbbbbbkk...", //
    "..kbbbbwwbbbbk..", //
    "..kbbbbwwbbbbk..", //
    ".kbbbbbbbbbbbbk.", //
    ".kbbbbwwwbbbbbk.", //
    ".kbbbbbwwbbbbbk.", //
    ".kbbbbbwwbbbbbk.", //
    ".kbbbbbwwbbbbbk.", //
    ".kbbbbbwwbbbbbk.", //
    "..kbbbwwwwbbbk..", //
    "..kbbbbbbbbbbk..", //
    "...kkbbbbbbkk...", //
    ".....kkkkkk.....", //
    "................", //
};

constexpr TArt<16, 16> ExitArt{
    "................", //
    ".....kkkkkk.....", //
    "...kkrrrrrrkk...", //
    "..krrrrwwrrrrk..", //
    "..krrwrwwrwrrk..", //
    ".krrwwrwwrwwrrk.", //
    ".krwwrrwwrrwwrk.", //
    ".krwwrrwwrrwwrk.", //
    ".krwwrrrrrrwwrk.", //
    ".krwwrrrrrrwwrk.", //
    ".krrwwrrrrwwrrk.", //
    "..krrwwwwwwrrk..", //
    "..kmrrwwwwrrmk..", //
    "...kkmmmmmmkk...", //
    ".....kkkkkk.....", //
    "................", //
};

// ---- Letters --------------------------------------------------------------------------------

// The letter font: 5 columns a letter and a space between letters, a..m and n..z.
struct TFontRows {
  std::array<std::string_view, 7> Rows{};

  consteval TFontRows(std::initializer_list<std::string_view> rows) {
    if (rows.size() != 7)
      throw "font: wrong number of rows";
    int y = 0;
    for (const std::string_view row : rows) {
      if (row.size() != 13 * 6)
        throw "font: row of the wrong width";
      for (size_t i = 0; i < row.size(); ++i)
        if (i % 6 == 5 ? row[i] != ' ' : (row[i] != '#' && row[i] != '.'))
          throw "font: bad character";
      Rows[y++] = row;
    }
  }
};

constexpr TFontRows LettersAtoM{
    "..... #.... ..... ...#. ..... ..##. ..... #.... .#... ..#.. #.... ##... ..... ",
    ".##.. #.... .###. ...#. .##.. .#... .###. #.... ..... ..... #.... .#... ####. ",
    "...#. ###.. #.... .###. #..#. ###.. #..#. ###.. ##... .##.. #..#. .#... #.#.# ",
    ".###. #..#. #.... #..#. ####. .#... #..#. #..#. .#... ..#.. #.#.. .#... #.#.# ",
    "#..#. #..#. #.... #..#. #.... .#... .###. #..#. .#... ..#.. ###.. .#... #.#.# ",
    ".###. ###.. .###. .###. .###. .#... ...#. #..#. ###.. ..#.. #..#. ###.. #.#.# ",
    "..... ..... ..... ..... ..... ..... ###.. ..... ..... ##... ..... ..... ..... ",
};

constexpr TFontRows LettersNtoZ{
    "..... ..... ..... ..... ..... ..... .#... ..... ..... ..... ..... ..... ..... ",
    "###.. .##.. ###.. .###. #.##. .###. ###.. #..#. #...# #...# #...# #..#. ####. ",
    "#..#. #..#. #..#. #..#. ##... #.... .#... #..#. #...# #...# .#.#. #..#. ...#. ",
    "#..#. #..#. #..#. #..#. #.... .##.. .#... #..#. .#.#. #.#.# ..#.. #..#. ..#.. ",
    "#..#. #..#. ###.. .###. #.... ...#. .#... #..#. .#.#. #.#.# .#.#. .###. .#... ",
    "#..#. .##.. #.... ...#. #.... ###.. ..##. .###. ..#.. .#.#. #...# ...#. ####. ",
    "..... ..... #.... ...#. ..... ..... ..... ..... ..... ..... ..... ###.. ..... ",
};

void PaintLetters(QImage& image, const TFontRows& font, int firstCell) {
  for (int y = 0; y < 7; ++y)
    for (int letter = 0; letter < 13; ++letter)
      for (int x = 0; x < 5; ++x)
        if (font.Rows[y][letter * 6 + x] == '#')
          image.setPixel((firstCell + letter) * 8 + x, y, Black);
}

} // namespace

QImage DrivePicture(TDrivePicture picture) {
  switch (picture) {
  case TDrivePicture::Floppy:
    return FromArt(FloppyArt);
  case TDrivePicture::Hdd:
  case TDrivePicture::Network: {
    // The drive sits at the top, clear of the letter's corner.
    QImage image =
        picture == TDrivePicture::Network ? FromArt(NetworkCableArt) : Blank(22, 22, Magenta);
    Paint(image, HddArt, 0, -5);
    return image;
  }
  case TDrivePicture::CdRom:
    return FromArt(CdRomArt);
  }
  return {};
}

QImage LetterGlyphStrip() {
  QImage image = Blank(26 * 8, 7, White);
  PaintLetters(image, LettersAtoM, 0);
  PaintLetters(image, LettersNtoZ, 13);
  return image;
}

QImage Bitmap(int number) {
  switch (number) {
  case 1:
    return Emblem(32, Magenta, Black);
  case 2:
    return Documents();
  case 3:
    return Emblem(32, Black, InkOf('g'));
  default:
    return {};
  }
}

QImage PopupStrip() {
  QImage image = Blank(64, 16, Magenta);
  QPainter p(&image);
  p.drawImage(0, 0, Emblem(16, Magenta, Black));
  p.end();
  Paint(image, HelpArt, 16);
  Paint(image, InfoArt, 32);
  Paint(image, ExitArt, 48);
  return image;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    QImage image = Emblem(size, Magenta, Black).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        if (image.pixel(x, y) == Magenta)
          image.setPixel(x, y, qRgba(0, 0, 0, 0));
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

} // namespace corvane::pictures
