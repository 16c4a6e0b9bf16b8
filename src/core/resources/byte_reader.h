// TByteReader: a cursor over the bytes of one resource (or of the whole file) that never reads
// outside them. Every resource decoder works through it, so a length, count or terminator that
// points past the data ends the decoding instead of reading past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace corvane::resources {

using TBytes = std::span<const uint8_t>;

// True when [offset, offset + length) lies inside a block of `size` bytes, without overflowing.
inline bool FitsIn(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

inline uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// `units` little-endian UTF-16 code units as UTF-8. Surrogate pairs are joined; a lone surrogate
// becomes U+FFFD, so every stored name or text gives valid UTF-8.
std::string Utf16ToUtf8(const uint8_t* data, size_t units);

class TByteReader final {
public:
  explicit TByteReader(TBytes bytes, size_t position = 0) : Bytes(bytes), Position(position) {}

  size_t Pos() const { return Position; }
  size_t Size() const { return Bytes.size(); }
  size_t Remaining() const { return Position < Bytes.size() ? Bytes.size() - Position : 0; }
  bool Has(size_t count) const { return count <= Remaining(); }
  // Moves to a position inside the bytes (or just behind them); false otherwise.
  bool Seek(size_t position) {
    if (position > Bytes.size())
      return false;
    Position = position;
    return true;
  }

  // Each read moves on only when all its bytes are there; otherwise it returns false and the
  // position stays.
  bool Skip(size_t count);
  bool U8(uint8_t& value);
  bool U16(uint16_t& value);
  bool U32(uint32_t& value);
  bool Take(size_t count, TBytes& out);
  // Moves to the next multiple of 4 from the start of the bytes (the alignment of dialog items and
  // version nodes); false when that lies past the end.
  bool Align4();
  // A zero-terminated UTF-16 text; false (nothing consumed) when no terminator comes before the
  // end.
  bool Utf16z(std::string& text);
  // `units` UTF-16 code units; false when fewer are there.
  bool Utf16(size_t units, std::string& text);

private:
  TBytes Bytes;
  size_t Position;
};

} // namespace corvane::resources
