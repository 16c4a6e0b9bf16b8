// Colours as the settings files store them: numbers in blue-green-red byte order, where a high
// byte of 0x80 names a colour of the desktop's palette instead (button face, highlight, ...).
#pragma once

#include <QColor>

#include <cstdint>

namespace corvane {

// Colour numbers of the named colours the defaults use.
namespace colors {
inline constexpr uint32_t Black = 0x000000;
inline constexpr uint32_t White = 0xFFFFFF;
inline constexpr uint32_t Yellow = 0x00FFFF;
inline constexpr uint32_t Lime = 0x00FF00;
inline constexpr uint32_t Navy = 0x800000;
inline constexpr uint32_t Silver = 0xC0C0C0;
inline constexpr uint32_t Gray = 0x808080;
inline constexpr uint32_t DarkTeal = 0xA8A800;
inline constexpr uint32_t BtnFace = 0x8000000F;
inline constexpr uint32_t BtnHighlight = 0x80000014;
inline constexpr uint32_t WindowText = 0x80000008;
inline constexpr uint32_t InfoBk = 0x80000018;
} // namespace colors

// The colour a number stands for; palette colours come from the application's palette.
QColor ColorFromNumber(uint32_t number);

} // namespace corvane
