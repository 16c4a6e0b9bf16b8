// Dialog resources (type 5): the classic and the extended dialog template decoded into plain
// structures. The explorer window builds its preview from them with widgets of its own; nothing
// of the examined file is run.
#pragma once

#include "resources/byte_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane::resources {

// Predefined control classes, given by number in a template.
inline constexpr uint16_t dcButton = 0x80;
inline constexpr uint16_t dcEdit = 0x81;
inline constexpr uint16_t dcStatic = 0x82;
inline constexpr uint16_t dcListBox = 0x83;
inline constexpr uint16_t dcScrollBar = 0x84;
inline constexpr uint16_t dcComboBox = 0x85;

inline constexpr uint32_t dsSetFont = 0x40;

// A field that is either a number (stored as 0xFFFF and the number) or a text; absent when it is
// neither (a single zero).
struct TNameOrId {
  bool Present = false;
  bool IsId = false;
  uint16_t Id = 0;
  std::string Name; // UTF-8

  bool operator==(const TNameOrId&) const = default;
};

struct TDialogControl {
  uint32_t HelpId = 0; // extended templates only
  uint32_t ExStyle = 0;
  uint32_t Style = 0;
  int16_t X = 0, Y = 0, Cx = 0, Cy = 0; // dialog units
  uint32_t Id = 0;                      // 16-bit in classic templates
  TNameOrId Class;                      // a dc... number or a class name
  TNameOrId Title;                      // a text, or a resource id (of an icon or a bitmap)
  std::vector<uint8_t> CreationData;
};

struct TDialogTemplate {
  bool Extended = false;
  uint32_t HelpId = 0;
  uint32_t ExStyle = 0;
  uint32_t Style = 0;
  uint16_t DeclaredCount = 0; // the control count the template gives
  int16_t X = 0, Y = 0, Cx = 0, Cy = 0;
  TNameOrId Menu;
  TNameOrId Class;
  std::string Caption;
  bool HasFont = false; // style dsSetFont
  uint16_t PointSize = 0;
  uint16_t Weight = 0; // extended templates only
  bool Italic = false; // extended templates only
  uint8_t CharSet = 0; // extended templates only
  std::string Typeface;
  std::vector<TDialogControl> Controls;
  // False when the data ended before DeclaredCount controls were read; Controls holds the whole
  // ones before that point.
  bool Complete = true;
};

// nullopt when not even the dialog's own header (up to its font) can be read.
std::optional<TDialogTemplate> DecodeDialog(TBytes data);

} // namespace corvane::resources
