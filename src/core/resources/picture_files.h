// The picture resources in the form of files: a bitmap resource with its file header in front, an
// icon or cursor image wrapped in a one-image .ico or .cur file. The explorer window loads these
// file images with the platform's picture readers, and "save as" writes them unchanged.
#pragma once

#include "resources/byte_reader.h"

#include <array>
#include <cstdint>
#include <vector>

namespace corvane::resources {

// One 14-byte entry of an icon or cursor group (types 14 and 12). The same bytes mean different
// things in the two: an icon entry has byte-sized width, height and colour count; a cursor entry
// has a 16-bit width and a 16-bit height that counts the image and its mask (twice the height).
struct TGroupEntry {
  std::array<uint8_t, 14> Raw{};

  // Icon entries. A width or height of 0 stands for 256 (the published meaning since images that
  // large exist); the colour count is as stored, 0 for 256 colours and more.
  int IconWidth() const { return Raw[0] ? Raw[0] : 256; }
  int IconHeight() const { return Raw[1] ? Raw[1] : 256; }
  int ColorCount() const { return Raw[2]; }
  uint16_t Planes() const { return Le16(Raw.data() + 4); }
  uint16_t BitCount() const { return Le16(Raw.data() + 6); }
  // Cursor entries.
  uint16_t CursorWidth() const { return Le16(Raw.data()); }
  uint16_t CursorHeight() const { return Le16(Raw.data() + 2); }
  // Both.
  uint32_t BytesInRes() const { return Le32(Raw.data() + 8); }
  uint16_t ImageId() const { return Le16(Raw.data() + 12); }
};

// The entries of a group resource: the 16-bit count at +4, cut to the entries that the data holds.
std::vector<TGroupEntry> ReadGroupDirectory(TBytes data);

// A bitmap resource as a .bmp file: the 14-byte file header, then the resource. The pixels start
// behind the header, the colour masks of a 40-byte header with bit-field compression and the
// colour table; a colour table has used-colour count entries, or 2^bits for 1, 4 and 8 bits when
// that count is 0 (3-byte entries for the 12-byte core header, 4-byte ones otherwise).
std::vector<uint8_t> BitmapFileImage(TBytes dib);

// An icon image (type 3) as a one-image .ico file. The directory entry is the group's entry when
// the image was reached through a group (size and colours as the group says), else it is derived
// from the image's own header; the size field is always the image's real size.
std::vector<uint8_t> IconFileImage(TBytes image, const TGroupEntry* entry);

// A cursor image (type 1: a 4-byte hotspot, then the image) as a one-image .cur file with that
// hotspot. Width and height come from the group entry (its height halved) or the image header.
std::vector<uint8_t> CursorFileImage(TBytes image, const TGroupEntry* entry);

} // namespace corvane::resources
