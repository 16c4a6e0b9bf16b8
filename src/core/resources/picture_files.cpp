#include "resources/picture_files.h"

#include <algorithm>
#include <cstring>

namespace corvane::resources {

namespace {

constexpr uint32_t biBitFields = 3;
constexpr uint32_t biAlphaBitFields = 6;
constexpr size_t fileHeaderSize = 14;
constexpr size_t iconHeaderSize = 6 + 16; // ICONDIR with one ICONDIRENTRY

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// A width or height as the byte of a directory entry: 256 is stored as 0, and sizes that do not
// fit a byte at all have no truthful value, so they get 0 too.
uint8_t SizeByte(int64_t value) {
  return value > 0 && value < 256 ? static_cast<uint8_t>(value) : 0;
}

// What an icon or cursor image says about itself: width, height of the picture (without the mask),
// planes and bits per pixel. PNG-compressed images carry a PNG header instead of a bitmap header.
struct TImageShape {
  int64_t Width = 0, Height = 0;
  uint16_t Planes = 0, BitCount = 0;
};

TImageShape ShapeOf(TBytes image) {
  TImageShape shape;
  static constexpr uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (image.size() >= 24 && std::memcmp(image.data(), png, sizeof png) == 0) {
    shape.Width = Be32(image.data() + 16);
    shape.Height = Be32(image.data() + 20);
    shape.Planes = 1;
    shape.BitCount = 32;
  } else if (image.size() >= 16) {
    shape.Width = static_cast<int32_t>(Le32(image.data() + 4));
    shape.Height = static_cast<int32_t>(Le32(image.data() + 8)) / 2;
    shape.Planes = Le16(image.data() + 12);
    shape.BitCount = Le16(image.data() + 14);
  }
  return shape;
}

std::vector<uint8_t> OneImageFile(uint16_t kind, const uint8_t entry[8], TBytes image) {
  std::vector<uint8_t> out;
  out.reserve(iconHeaderSize + image.size());
  Put16(out, 0);
  Put16(out, kind);
  Put16(out, 1);
  out.insert(out.end(), entry, entry + 8);
  Put32(out, static_cast<uint32_t>(image.size()));
  Put32(out, iconHeaderSize);
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

} // namespace

std::vector<TGroupEntry> ReadGroupDirectory(TBytes data) {
  std::vector<TGroupEntry> entries;
  if (data.size() < 6)
    return entries;
  const size_t count = std::min<size_t>(Le16(data.data() + 4), (data.size() - 6) / 14);
  entries.resize(count);
  for (size_t i = 0; i < count; ++i)
    std::memcpy(entries[i].Raw.data(), data.data() + 6 + 14 * i, 14);
  return entries;
}

std::vector<uint8_t> BitmapFileImage(TBytes dib) {
  const auto field16 = [&](size_t at) -> uint32_t {
    return at + 2 <= dib.size() ? Le16(dib.data() + at) : 0;
  };
  const auto field32 = [&](size_t at) -> uint32_t {
    return at + 4 <= dib.size() ? Le32(dib.data() + at) : 0;
  };
  const auto tableSize = [](uint32_t bits) -> uint64_t {
    return bits == 1 || bits == 4 || bits == 8 ? uint64_t{1} << bits : 0;
  };
  const uint32_t headerSize = field32(0);
  uint64_t offset = 0;
  if (headerSize >= 40) {
    const uint64_t used = field32(32);
    const uint64_t colours = used ? used : tableSize(field16(14));
    const uint32_t compression = field32(16);
    uint64_t masks = 0;
    if (headerSize == 40 && compression == biBitFields)
      masks = 12;
    else if (headerSize == 40 && compression == biAlphaBitFields)
      masks = 16;
    offset = fileHeaderSize + headerSize + masks + 4 * colours;
  } else {
    offset = fileHeaderSize + 12 + 3 * tableSize(field16(10));
  }
  const uint64_t fileSize = fileHeaderSize + dib.size();
  offset = std::min(offset, fileSize);

  std::vector<uint8_t> out;
  out.reserve(fileSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(fileSize));
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(offset));
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

std::vector<uint8_t> IconFileImage(TBytes image, const TGroupEntry* entry) {
  uint8_t fields[8] = {};
  if (entry) {
    std::memcpy(fields, entry->Raw.data(), 8);
  } else {
    const TImageShape shape = ShapeOf(image);
    fields[0] = SizeByte(shape.Width);
    fields[1] = SizeByte(shape.Height);
    fields[2] =
        shape.BitCount > 0 && shape.BitCount < 8 ? static_cast<uint8_t>(1u << shape.BitCount) : 0;
    fields[4] = static_cast<uint8_t>(shape.Planes);
    fields[5] = static_cast<uint8_t>(shape.Planes >> 8);
    fields[6] = static_cast<uint8_t>(shape.BitCount);
    fields[7] = static_cast<uint8_t>(shape.BitCount >> 8);
  }
  return OneImageFile(1, fields, image);
}

std::vector<uint8_t> CursorFileImage(TBytes image, const TGroupEntry* entry) {
  uint16_t hotX = 0, hotY = 0;
  TBytes picture;
  if (image.size() >= 4) {
    hotX = Le16(image.data());
    hotY = Le16(image.data() + 2);
    picture = image.subspan(4);
  }
  uint8_t fields[8] = {};
  if (entry) {
    fields[0] = SizeByte(entry->CursorWidth());
    fields[1] = SizeByte(entry->CursorHeight() / 2);
  } else {
    const TImageShape shape = ShapeOf(picture);
    fields[0] = SizeByte(shape.Width);
    fields[1] = SizeByte(shape.Height);
  }
  fields[4] = static_cast<uint8_t>(hotX);
  fields[5] = static_cast<uint8_t>(hotX >> 8);
  fields[6] = static_cast<uint8_t>(hotY);
  fields[7] = static_cast<uint8_t>(hotY >> 8);
  return OneImageFile(2, fields, picture);
}

} // namespace corvane::resources
