#include "resources/menu_template.h"

namespace corvane::resources {

namespace {

// Reads the items of one level up to the one with the end flag; false when the data (or the
// depth limit) ran out first.
bool ReadLevel(TByteReader& reader, int depth, std::vector<TMenuItemTemplate>& items) {
  for (;;) {
    TMenuItemTemplate item;
    if (!reader.U16(item.Flags))
      return false;
    if (!item.IsPopup() && !reader.U16(item.Id))
      return false;
    if (!reader.Utf16z(item.Text))
      return false;
    const bool last = (item.Flags & mfEnd) != 0;
    if (item.IsPopup()) {
      const bool complete = depth < MaxMenuDepth && ReadLevel(reader, depth + 1, item.Items);
      items.push_back(std::move(item));
      if (!complete)
        return false;
    } else {
      items.push_back(std::move(item));
    }
    if (last)
      return true;
  }
}

void WriteLevel(const std::vector<TMenuItemTemplate>& items, int level,
                std::vector<std::string>& lines) {
  const std::string indent(2 * static_cast<size_t>(level), ' ');
  for (const TMenuItemTemplate& item : items) {
    if (item.IsPopup()) {
      lines.push_back(indent + "POPUP \"" + item.Text + "\"");
      WriteLevel(item.Items, level + 1, lines);
      lines.push_back(indent + "ENDPOPUP");
    } else if (item.Text.empty()) {
      lines.push_back(indent + "MENUITEM SEPARATOR");
    } else {
      lines.push_back(indent + "MENUITEM \"" + item.Text + "\",  " + std::to_string(item.Id));
    }
  }
}

} // namespace

std::optional<TMenuTemplate> DecodeMenu(TBytes data) {
  TByteReader reader(data);
  uint16_t version = 0;
  if (!reader.U16(version) || version != 0 || !reader.Skip(2))
    return std::nullopt;
  TMenuTemplate menu;
  menu.Complete = ReadLevel(reader, 1, menu.Items);
  return menu;
}

std::vector<std::string> MenuScriptLines(const TMenuTemplate& menu) {
  std::vector<std::string> lines;
  WriteLevel(menu.Items, 0, lines);
  return lines;
}

} // namespace corvane::resources
