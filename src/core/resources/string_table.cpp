#include "resources/string_table.h"

#include <algorithm>

namespace corvane::resources {

std::vector<TResourceString> DecodeStringBlock(TBytes data, uint32_t blockId) {
  std::vector<TResourceString> strings;
  TByteReader reader(data);
  for (int slot = 0; slot < 16; ++slot) {
    uint16_t length = 0;
    if (!reader.U16(length))
      break;
    std::string text;
    const size_t units = std::min<size_t>(length, reader.Remaining() / 2);
    reader.Utf16(units, text);
    if (length != 0)
      strings.push_back({(int64_t{blockId} - 1) * 16 + slot, std::move(text)});
    if (units < length)
      break;
  }
  return strings;
}

std::vector<std::string> StringTableLines(const std::vector<TResourceString>& strings) {
  std::vector<std::string> lines;
  lines.reserve(strings.size());
  for (const TResourceString& s : strings)
    lines.push_back(std::to_string(s.Id) + ",  \"" + s.Text + "\"");
  return lines;
}

} // namespace corvane::resources
