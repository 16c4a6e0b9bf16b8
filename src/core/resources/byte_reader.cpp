#include "resources/byte_reader.h"

namespace corvane::resources {

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

} // namespace

std::string Utf16ToUtf8(const uint8_t* data, size_t units) {
  std::string out;
  out.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    const uint32_t unit = Le16(data + 2 * i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
      const uint32_t low = Le16(data + 2 * (i + 1));
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
  }
  return out;
}

bool TByteReader::Skip(size_t count) {
  if (!Has(count))
    return false;
  Position += count;
  return true;
}

bool TByteReader::U8(uint8_t& value) {
  if (!Has(1))
    return false;
  value = Bytes[Position++];
  return true;
}

bool TByteReader::U16(uint16_t& value) {
  if (!Has(2))
    return false;
  value = Le16(Bytes.data() + Position);
  Position += 2;
  return true;
}

bool TByteReader::U32(uint32_t& value) {
  if (!Has(4))
    return false;
  value = Le32(Bytes.data() + Position);
  Position += 4;
  return true;
}

bool TByteReader::Take(size_t count, TBytes& out) {
  if (!Has(count))
    return false;
  out = Bytes.subspan(Position, count);
  Position += count;
  return true;
}

bool TByteReader::Align4() {
  const size_t aligned = (Position + 3) & ~static_cast<size_t>(3);
  if (aligned > Bytes.size())
    return false;
  Position = aligned;
  return true;
}

bool TByteReader::Utf16z(std::string& text) {
  const size_t units = Remaining() / 2;
  const uint8_t* start = Bytes.data() + Position;
  for (size_t i = 0; i < units; ++i) {
    if (Le16(start + 2 * i) == 0) {
      text = Utf16ToUtf8(start, i);
      Position += 2 * (i + 1);
      return true;
    }
  }
  return false;
}

bool TByteReader::Utf16(size_t units, std::string& text) {
  if (units > Remaining() / 2)
    return false;
  text = Utf16ToUtf8(Bytes.data() + Position, units);
  Position += 2 * units;
  return true;
}

} // namespace corvane::resources
