// "inkwell.exe": a small program-like library made by test code for the explorer's tests and for
// looking at the window: an application icon in three sizes, a cursor, a tool-bar bitmap,
// strings, accelerators, a Find dialog with a control of every predefined class, a dialog with a
// control of a class of its own, version information and an AVI clip. The pictures are drawn with
// QPainter.
#pragma once

#include "pe_writer.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::test {

inline std::vector<uint32_t> Pixels(const QImage& picture) {
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  std::vector<uint32_t> pixels;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      pixels.push_back(image.pixel(x, y));
  return pixels;
}

// An ink bottle with a quill, at any size.
inline QImage InkwellPicture(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);
  painter.setPen(QPen(QColor(20, 20, 60), 1.2));
  painter.setBrush(QColor(40, 70, 170));
  painter.drawRoundedRect(QRectF(7, 14, 18, 15), 3, 3);
  painter.setBrush(QColor(90, 90, 110));
  painter.drawRect(QRectF(11, 10, 10, 4));
  QPainterPath quill;
  quill.moveTo(16, 12);
  quill.cubicTo(18, 4, 24, 1, 29, 1);
  quill.cubicTo(27, 6, 22, 10, 16, 12);
  painter.setBrush(QColor(240, 220, 120));
  painter.drawPath(quill);
  painter.setPen(QPen(Qt::white, 1.5));
  painter.drawLine(QPointF(10, 18), QPointF(10, 25));
  return image;
}

inline QImage ToolBarPicture() {
  QImage image(64, 16, QImage::Format_ARGB32);
  image.fill(QColor(192, 192, 192));
  QPainter painter(&image);
  const QColor colours[4] = {Qt::darkBlue, Qt::darkGreen, Qt::darkRed, Qt::darkYellow};
  for (int i = 0; i < 4; ++i) {
    painter.setBrush(colours[i]);
    painter.drawRect(i * 16 + 2, 2, 11, 11);
  }
  return image;
}

// A RIFF AVI header with nothing to play: enough for the type test.
inline TBytesOut AviClip() {
  std::string riff = std::string("RIFF") + std::string("\x24\0\0\0", 4) + "AVI LIST" +
                     std::string("\x18\0\0\0", 4) + "hdrlavih" + std::string(16, '\0');
  return {riff.begin(), riff.end()};
}

// A string-table block: 16 slots of a 16-bit length and UTF-16 text (ASCII here).
inline TBytesOut StringBlock(const std::vector<std::string>& strings) {
  TBytesOut out;
  for (size_t slot = 0; slot < 16; ++slot) {
    const std::string text = slot < strings.size() ? strings[slot] : std::string();
    out.push_back(static_cast<uint8_t>(text.size()));
    out.push_back(0);
    for (char c : text) {
      out.push_back(static_cast<uint8_t>(c));
      out.push_back(0);
    }
  }
  return out;
}

// Accelerator entries: flags, key, command id, padding; the last one flagged 0x80.
inline TBytesOut Accelerators(const std::vector<std::array<uint16_t, 3>>& keys) {
  TBytesOut out;
  for (size_t i = 0; i < keys.size(); ++i) {
    const uint16_t flags = keys[i][0] | (i + 1 == keys.size() ? 0x80 : 0);
    for (uint16_t value : {flags, keys[i][1], keys[i][2], uint16_t{0}}) {
      out.push_back(static_cast<uint8_t>(value));
      out.push_back(static_cast<uint8_t>(value >> 8));
    }
  }
  return out;
}

inline TBytesOut InkwellProgram() {
  constexpr uint16_t Bn = 0x80, Ed = 0x81, St = 0x82, Lb = 0x83, Sb = 0x84, Cb = 0x85;
  constexpr uint32_t Child = 0x50000000; // child, visible
  std::vector<TPeResource> r;
  const TBytesOut big = MakeIconImage(48, 48, Pixels(InkwellPicture(48)));
  const TBytesOut mid = MakeIconImage(32, 32, Pixels(InkwellPicture(32)));
  const TBytesOut small = MakeIconImage(16, 16, Pixels(InkwellPicture(16)));
  r.push_back({uint16_t{3}, uint16_t{1}, 0x409, big});
  r.push_back({uint16_t{3}, uint16_t{2}, 0x409, mid});
  r.push_back({uint16_t{3}, uint16_t{3}, 0x409, small});
  r.push_back({uint16_t{14}, std::string("MAINICON"), 0x409,
               MakeIconGroup({{48, 48, 1, uint32_t(big.size())},
                              {32, 32, 2, uint32_t(mid.size())},
                              {16, 16, 3, uint32_t(small.size())}})});
  const TBytesOut pen = MakeCursorImage(32, 32, Pixels(InkwellPicture(32)), 29, 1);
  r.push_back({uint16_t{1}, uint16_t{1}, 0x409, pen});
  r.push_back({uint16_t{12}, uint16_t{1}, 0x409,
               MakeIconGroup({{32, 32, 1, uint32_t(pen.size() - 4)}}, true)});
  r.push_back(
      {uint16_t{2}, std::string("TOOLBAR"), 0x409, MakeDib(64, 16, Pixels(ToolBarPicture()))});
  r.push_back({uint16_t{5}, uint16_t{100}, 0x409,
               MakeDialog(0x80C80080, 0, 0, 236, 112, "Find", 8, "MS Sans Serif",
                          {{Child | 0x0, 7, 9, 40, 8, 0xFFFF, St, "Fi&nd what:"},
                           {Child | 0x00810080, 48, 7, 120, 12, 1001, Ed, "ink"},
                           {Child | 0x7, 7, 26, 90, 32, 0xFFFF, Bn, "Direction"},
                           {Child | 0x9, 14, 37, 35, 10, 1002, Bn, "&Up"},
                           {Child | 0x9, 52, 37, 40, 10, 1003, Bn, "&Down"},
                           {Child | 0x3, 7, 62, 70, 10, 1004, Bn, "Match &case"},
                           {Child | 0x1, 178, 6, 50, 14, 1, Bn, "Find &Next"},
                           {Child | 0x0, 178, 23, 50, 14, 2, Bn, "Cancel"},
                           {Child | 0x00A00001, 104, 26, 64, 36, 1005, Lb, ""},
                           {Child | 0x00200003, 7, 78, 100, 60, 1006, Cb, ""},
                           {Child | 0x0, 112, 80, 116, 10, 1007, Sb, ""},
                           {Child | 0x1, 104, 96, 124, 8, 0xFFFF, St, "Searches the open page"}})});
  r.push_back({uint16_t{5}, uint16_t{101}, 0x409,
               MakeDialog(0x80C80080, 0, 0, 160, 60, "Notes", 8, "MS Sans Serif",
                          {{Child, 5, 5, 150, 30, 2001, std::string("RichNotes"), ""},
                           {Child, 105, 40, 50, 14, 1, Bn, "OK"}})});
  r.push_back({uint16_t{6}, uint16_t{1}, 0x409,
               StringBlock({"Inkwell", "Untitled", "Cannot find \"%s\".", "", "Save changes?"})});
  r.push_back({uint16_t{9}, uint16_t{1}, 0x409,
               Accelerators({{0x9, 'F', 100}, {0x9, 'S', 101}, {0x1, 0x72, 102}})});
  TVersionData version;
  version.File[0] = 2;
  version.File[1] = 5;
  version.File[2] = 0;
  version.File[3] = 31;
  version.Product[0] = 2;
  version.Product[1] = 5;
  version.Strings = {{"CompanyName", "Inkwell Writing Tools"},
                     {"FileDescription", "Inkwell text editor"},
                     {"FileVersion", "2.5.0.31"},
                     {"InternalName", "inkwell"},
                     {"LegalCopyright", "(c) 1999 Inkwell Writing Tools"},
                     {"OriginalFilename", "inkwell.exe"},
                     {"ProductName", "Inkwell"},
                     {"ProductVersion", "2.5"}};
  r.push_back({uint16_t{16}, uint16_t{1}, 0x409, MakeVersionInfo(version)});
  r.push_back({std::string("AVI"), std::string("WRITING"), 0x409, AviClip()});
  return MakePeImage(r);
}

} // namespace corvane::test
