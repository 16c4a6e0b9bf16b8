// The CRC-16 of the ARC, ZOO and LHA families: polynomial x^16 + x^15 + x^2 + 1, bits taken from
// the low end, starting from 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane::archive {

namespace detail {
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xA001u ^ (c >> 1) : c >> 1;
    table[i] = static_cast<uint16_t>(c);
  }
  return table;
}
inline constexpr std::array<uint16_t, 256> kCrc16Table = MakeCrc16Table();
} // namespace detail

inline uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i)
    crc = static_cast<uint16_t>(detail::kCrc16Table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

} // namespace corvane::archive
