// Small 32-bit Windows libraries made in memory for tests: a PE image with one resource section
// laid out as the format has it (type, name and language directories, data entries, names,
// data), plus the contents the resource explorer decodes (icon images and groups, bitmaps,
// dialog templates, version information). The images hold no code.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace corvane::test {

using TBytesOut = std::vector<uint8_t>;
// A type or a name: a number or a text (stored in UTF-16, upper-case as resource compilers do).
using TResId = std::variant<uint16_t, std::string>;

struct TPeResource {
  TResId Type;
  TResId Name;
  uint16_t Language = 0x409;
  TBytesOut Data;
};

// The whole image: DOS header, PE headers, section table and the ".rsrc" section.
TBytesOut MakePeImage(const std::vector<TPeResource>& resources);

// A bottom-up device-independent bitmap of `width` x `height` 32-bit pixels (0xAARRGGBB, rows
// from the top) with a 40-byte header, as a bitmap resource holds it.
TBytesOut MakeDib(int width, int height, const std::vector<uint32_t>& pixels);
// An icon image: the same 32-bit bitmap with its height doubled and an all-visible AND mask.
TBytesOut MakeIconImage(int width, int height, const std::vector<uint32_t>& pixels);
// A cursor image: the hotspot, then an icon image.
TBytesOut MakeCursorImage(int width, int height, const std::vector<uint32_t>& pixels, uint16_t hotX,
                          uint16_t hotY);
// A group icon (or group cursor) directory listing images by id; sizes as the images give them.
struct TGroupImage {
  int Width, Height;
  uint16_t Id;
  uint32_t Bytes;
};
TBytesOut MakeIconGroup(const std::vector<TGroupImage>& images, bool cursors = false);

// A classic dialog template with a font.
struct TDialogItem {
  uint32_t Style;
  int16_t X, Y, Cx, Cy;
  uint16_t Id;
  TResId Class; // 0x80 .. 0x85 or a class name
  std::string Text;
};
TBytesOut MakeDialog(uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy,
                     const std::string& caption, uint16_t pointSize, const std::string& face,
                     const std::vector<TDialogItem>& items);

// Version information with the fixed part and one string table for language 0x409, code page
// 1200 ("040904B0").
struct TVersionData {
  uint16_t File[4] = {1, 0, 0, 0};
  uint16_t Product[4] = {1, 0, 0, 0};
  uint32_t FlagsMask = 0x3F, Flags = 0, Os = 0x40004, Type = 1, Subtype = 0;
  std::vector<std::pair<std::string, std::string>> Strings;
};
TBytesOut MakeVersionInfo(const TVersionData& version);

} // namespace corvane::test
