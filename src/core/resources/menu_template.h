// Menu resources (type 4): the template decoded into a tree of items, and the tree written as
// menu-script lines for the explorer's text page.
#pragma once

#include "resources/byte_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane::resources {

inline constexpr uint16_t mfPopup = 0x10;
inline constexpr uint16_t mfEnd = 0x80; // the last item of its level

struct TMenuItemTemplate {
  uint16_t Flags = 0;
  uint16_t Id = 0;                      // command id; popups have none
  std::string Text;                     // UTF-8
  std::vector<TMenuItemTemplate> Items; // a popup's items

  bool IsPopup() const { return (Flags & mfPopup) != 0; }
  bool IsSeparator() const { return !IsPopup() && Text.empty(); }
};

struct TMenuTemplate {
  std::vector<TMenuItemTemplate> Items;
  // False when the data ended, or popups nested deeper than MaxMenuDepth, before the last item:
  // the items read so far are kept.
  bool Complete = true;
};

inline constexpr int MaxMenuDepth = 32;

// The standard template (version 0): a 4-byte header, then items, each level ending with the item
// that carries the end flag. nullopt for anything else: an extended template (version 1) or data
// shorter than the header, which the explorer shows as raw data.
std::optional<TMenuTemplate> DecodeMenu(TBytes data);

// The menu as script lines, two spaces of indentation per level:
//   POPUP "&File"
//     MENUITEM "&Open",  1
//     MENUITEM SEPARATOR
//   ENDPOPUP
// Each popup's items follow its line one level deeper and "ENDPOPUP" closes them at the popup's
// own indentation, also for a popup that is itself the last item of its level.
std::vector<std::string> MenuScriptLines(const TMenuTemplate& menu);

} // namespace corvane::resources
