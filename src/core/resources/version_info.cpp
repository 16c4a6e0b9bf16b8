#include "resources/version_info.h"

#include <algorithm>

namespace corvane::resources {

namespace {

constexpr size_t nodeHeaderSize = 6;

struct TNode {
  size_t End = 0; // where the node ends, inside its parent
  uint16_t ValueLength = 0;
  uint16_t Type = 0; // 1 text, 0 binary
  std::string Key;
  size_t Value = 0; // where the value starts
};

// Reads the node at `at` inside [.., end). False when no node is there: too short, a length of
// 0 (padding at the end of the parent) or a key without its terminator.
bool ReadNode(TBytes data, size_t at, size_t end, TNode& node) {
  if (at > end || end - at < nodeHeaderSize)
    return false;
  const uint16_t length = Le16(data.data() + at);
  if (length < nodeHeaderSize)
    return false;
  node.End = std::min(end, at + length);
  node.ValueLength = Le16(data.data() + at + 2);
  node.Type = Le16(data.data() + at + 4);
  TByteReader reader(data.first(node.End), at + nodeHeaderSize);
  if (!reader.Utf16z(node.Key))
    return false;
  // The value starts at the next 4-byte boundary; past the node's end it is empty.
  node.Value = std::min(node.End, (reader.Pos() + 3) & ~size_t{3});
  return true;
}

// Where the next sibling of a node that started at `at` begins.
size_t NextSibling(TBytes data, size_t at) {
  return (at + Le16(data.data() + at) + 3) & ~size_t{3};
}

// Calls `each(node, start)` for the children of a node that lie in [from, end).
template <typename Each> void ForEachChild(TBytes data, size_t from, size_t end, Each each) {
  TNode node;
  for (size_t at = (from + 3) & ~size_t{3}; ReadNode(data, at, end, node);
       at = NextSibling(data, at))
    each(node);
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return out;
}

} // namespace

const std::string* TVersionInfo::FindString(std::string_view table, std::string_view key) const {
  const std::string wanted = Lower(table);
  for (const TVersionStringTable& t : StringTables) {
    if (Lower(t.Key) != wanted)
      continue;
    for (const auto& [k, v] : t.Strings)
      if (k == key)
        return &v;
  }
  return nullptr;
}

std::optional<TVersionInfo> DecodeVersionInfo(TBytes data) {
  TNode root;
  if (!ReadNode(data, 0, data.size(), root) || root.Key != "VS_VERSION_INFO")
    return std::nullopt;
  TVersionInfo info;
  const size_t fixedEnd = root.Value + root.ValueLength;
  if (root.ValueLength >= 52 && fixedEnd <= root.End &&
      Le32(data.data() + root.Value) == FixedInfoSignature) {
    uint32_t f[12];
    for (size_t i = 0; i < 12; ++i)
      f[i] = Le32(data.data() + root.Value + 4 + 4 * i);
    info.Fixed =
        TVersionFixed{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11]};
  }
  const size_t children = std::min(root.End, root.Value + root.ValueLength);

  ForEachChild(data, children, root.End, [&](const TNode& block) {
    if (block.Key == "StringFileInfo") {
      ForEachChild(data, block.Value, block.End, [&](const TNode& table) {
        TVersionStringTable strings;
        strings.Key = table.Key;
        ForEachChild(data, table.Value, table.End, [&](const TNode& entry) {
          // The value is text up to its terminator or the node's end; the stored value length
          // is not trusted (compilers disagree whether it counts characters or bytes).
          TByteReader reader(data.first(entry.End), entry.Value);
          std::string value;
          if (!reader.Utf16z(value))
            reader.Utf16(reader.Remaining() / 2, value);
          strings.Strings.emplace_back(entry.Key, std::move(value));
        });
        info.StringTables.push_back(std::move(strings));
      });
    } else if (block.Key == "VarFileInfo") {
      ForEachChild(data, block.Value, block.End, [&](const TNode& var) {
        if (var.Key != "Translation")
          return;
        const size_t end = std::min(var.End, var.Value + var.ValueLength);
        for (size_t at = var.Value; at + 4 <= end; at += 4)
          info.Translations.push_back({Le16(data.data() + at), Le16(data.data() + at + 2)});
      });
    }
  });
  return info;
}

} // namespace corvane::resources
