#include "config/file_colors.h"

#include "config/ini_file.h"

#include <algorithm>

namespace corvane::config {

void TFileColorTable::ReadLine(int index, std::string_view line) {
  TGroup& group = Group(index);
  std::string color, hidden, token;
  int tokens = 0; // tokens ended so far
  size_t slot = 0;
  for (const char c : line) {
    if (c != ',' && c != ';' && c != ':') {
      token += c;
      continue;
    }
    if (tokens == 0) {
      color = token;
    } else if (tokens == 1) {
      hidden = token;
    } else if (slot < group.size()) {
      group[slot++] = TColorSlot{token, color, hidden};
    }
    ++tokens;
    token.clear();
  }
  // Whatever follows the last separator is dropped.
}

void TFileColorTable::Load(TIniFile& file) {
  const int count = std::min(file.ReadInteger("Main", "Count", 0), GroupCount);
  for (int i = 0; i < count; ++i)
    ReadLine(i, file.ReadString("Main", "Line" + std::to_string(i + 1), ""));
}

int TFileColorTable::SavedCount() const {
  int count = 0;
  while (count < GroupCount && GroupInUse(count))
    ++count;
  return count;
}

std::string TFileColorTable::LineOf(int index) const {
  const TGroup& group = Group(index);
  std::string line = group[0].Color + "," + group[0].HiddenColor + ";";
  // Empty slots are left out: a comma stands between every two extensions written, so an empty
  // slot between two of them never glues them into one.
  bool first = true;
  for (const TColorSlot& slot : group) {
    if (slot.Ext.empty())
      continue;
    if (!first)
      line += ',';
    line += slot.Ext;
    first = false;
  }
  return line + ":";
}

bool TFileColorTable::Save(TIniFile& file) const {
  TIniBatch batch(file);
  const int count = SavedCount();
  file.WriteInteger("Main", "Count", count);
  for (int i = 0; i < count; ++i)
    file.WriteString("Main", "Line" + std::to_string(i + 1), LineOf(i));
  return batch.Commit();
}

std::optional<uint32_t> TFileColorTable::Lookup(std::string_view dotExt, bool hidden) const {
  if (dotExt.empty())
    return std::nullopt;
  for (size_t slot = 0; slot < SlotCount; ++slot)
    for (const TGroup& group : Groups) {
      const TColorSlot& entry = group[slot];
      if (entry.Ext != dotExt)
        continue;
      uint32_t value = 0;
      const std::string& text = hidden ? entry.HiddenColor : entry.Color;
      if (!text.empty() && TIniFile::ParseNumber(text, value))
        return value;
    }
  return std::nullopt;
}

} // namespace corvane::config
