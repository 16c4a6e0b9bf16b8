#include "resources/resource_directory.h"

#include "resources/exe_image.h"

#include <algorithm>
#include <unordered_map>

namespace corvane::resources {

namespace {

constexpr uint64_t directoryHeaderSize = 16;
constexpr uint64_t entrySize = 8;

} // namespace

TResourceDirectory::TResourceDirectory(const TExeImage& image, uint64_t root)
    : Image(image), File(image.Bytes()), Root(root) {}

std::vector<TDirEntry> TResourceDirectory::Entries(uint32_t offset) const {
  std::vector<TDirEntry> entries;
  const uint64_t at = Root + offset;
  if (!FitsIn(at, directoryHeaderSize, File.size()))
    return entries;
  const uint64_t declared = uint64_t{Le16(File.data() + at + 12)} + Le16(File.data() + at + 14);
  const uint64_t first = at + directoryHeaderSize;
  const uint64_t count = std::min(declared, (File.size() - first) / entrySize);
  entries.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* p = File.data() + first + i * entrySize;
    entries.push_back({Le32(p), Le32(p + 4)});
  }
  return entries;
}

bool TResourceDirectory::FirstEntry(uint32_t offset, TDirEntry& entry) const {
  const uint64_t at = Root + offset;
  if (!FitsIn(at, directoryHeaderSize + entrySize, File.size()))
    return false;
  const uint8_t* p = File.data() + at;
  if (Le16(p + 12) == 0 && Le16(p + 14) == 0)
    return false;
  entry = {Le32(p + directoryHeaderSize), Le32(p + directoryHeaderSize + 4)};
  return true;
}

TDataEntry TResourceDirectory::Data(uint32_t offset) const {
  TDataEntry data;
  const uint64_t at = Root + offset;
  if (!FitsIn(at, 8, File.size()))
    return data;
  data.Present = true;
  data.Rva = Le32(File.data() + at);
  data.Size = Le32(File.data() + at + 4);
  uint64_t position = 0;
  if (Image.RvaToOffset(data.Rva, data.Size, position)) {
    data.InFile = true;
    data.Bytes = File.subspan(position, data.Size);
  }
  return data;
}

std::string TResourceDirectory::Name(uint32_t offset) const {
  const uint64_t at = Root + offset;
  if (!FitsIn(at, 2, File.size()))
    return {};
  const uint64_t stored = Le16(File.data() + at);
  const uint64_t fits = (File.size() - at - 2) / 2;
  const uint64_t units = std::min({stored, fits, uint64_t{MaxNameUnits}});
  return Utf16ToUtf8(File.data() + at + 2, units);
}

TResourceName TResourceDirectory::NameOf(const TDirEntry& entry) const {
  TResourceName name;
  name.Named = entry.IsNamed();
  if (name.Named)
    name.Name = Name(entry.NameOffset());
  else
    name.Id = entry.Id();
  return name;
}

bool TResourceDirectory::Claim(uint32_t offset) {
  return Claimed.insert(offset).second;
}

size_t TResourceDirectory::Grant(size_t wanted) {
  const size_t granted = std::min(wanted, ItemsLeft);
  ItemsLeft -= granted;
  return granted;
}

void TResourceDirectory::WalkLeaves(const std::function<bool(const TResourceLeaf&)>& visit) const {
  std::unordered_set<uint32_t> walked{0};
  size_t budget = MaxLeaves;
  // Names met more than once (a hostile file may point many entries at one long name) are
  // converted once.
  std::unordered_map<uint32_t, TResourceName> names;
  const auto nameOf = [&](const TDirEntry& entry) -> const TResourceName& {
    auto [it, added] = names.try_emplace(entry.NameField);
    if (added)
      it->second = NameOf(entry);
    return it->second;
  };
  // Every entry looked at, on any level, costs one step of the budget.
  const auto step = [&] { return budget ? (--budget, true) : false; };
  const auto enter = [&](const TDirEntry& entry) {
    return entry.IsDirectory() && walked.insert(entry.Target()).second;
  };
  TResourceLeaf leaf;
  for (const TDirEntry& type : Entries(0)) {
    if (!step())
      return;
    if (!enter(type))
      continue;
    leaf.Type = nameOf(type);
    for (const TDirEntry& name : Entries(type.Target())) {
      if (!step())
        return;
      if (!enter(name))
        continue;
      leaf.Name = nameOf(name);
      for (const TDirEntry& language : Entries(name.Target())) {
        if (!step())
          return;
        if (language.IsDirectory())
          continue;
        leaf.Language = nameOf(language);
        leaf.Data = Data(language.Target());
        if (!visit(leaf))
          return;
      }
    }
  }
}

} // namespace corvane::resources
