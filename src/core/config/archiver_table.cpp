#include "config/archiver_table.h"

#include "archive/archive_types.h"
#include "config/ini_file.h"
#include "model/archiver_command.h"

#include <algorithm>
#include <utility>

namespace corvane::config {

namespace {

using archive::TArcType;

constexpr std::array<const char*, 8> Names = {"zip", "arj", "rar", "arc",
                                              "lha", "lzh", "cab", "ha"};
// The entries with an archiver, in the order they are read and written.
constexpr std::array<TArcType, 3> Stored = {TArcType::atZIP, TArcType::atARJ, TArcType::atRAR};

size_t IndexOf(TArcType type) {
  return type == TArcType::atZIP ? 0 : type == TArcType::atARJ ? 1 : 2;
}

// The longest prefix of `text` of at most `length` bytes that does not split a UTF-8 character.
std::string CutAtCharacter(const std::string& text, size_t length) {
  if (text.size() <= length)
    return text;
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
    --length;
  return text.substr(0, length);
}

} // namespace

void TArchiverTable::Reset() {
  for (size_t i = 0; i < Table.size(); ++i)
    Table[i] = TArchiverEntry{Names[i], {}, false, false, false, false};
}

void TArchiverTable::Load(TIniFile& file) {
  for (const TArcType type : Stored) {
    TArchiverEntry& entry = Table[IndexOf(type)];
    const std::string& section = entry.Name;
    for (int line = 1; line <= LineCount; ++line)
      entry.Lines.push_back(file.ReadString(section, "Line" + std::to_string(line), " "));
    const bool rar = type == TArcType::atRAR;
    entry.UseInternal = file.ReadBool(section, "UseInternal", false);
    entry.UseLongFN = file.ReadBool(section, "UseLongFN", rar);
    entry.ConvertToOEM = file.ReadBool(section, "ConvertToOEM", rar);
    entry.HideWindow = file.ReadBool(section, "HideWindow", false);
  }
}

bool TArchiverTable::Save(TIniFile& file) const {
  TIniBatch batch(file);
  for (const TArcType type : Stored) {
    const TArchiverEntry& entry = Table[IndexOf(type)];
    const std::string& section = entry.Name;
    for (int line = 0; line < LineCount; ++line) {
      const auto index = static_cast<size_t>(line);
      file.WriteString(section, "Line" + std::to_string(line + 1),
                       index < entry.Lines.size() ? entry.Lines[index]
                                                  : DefaultArchiverCommand(type, line));
    }
    file.WriteBool(section, "UseInternal", entry.UseInternal);
    file.WriteBool(section, "UseLongFN", entry.UseLongFN);
    file.WriteBool(section, "ConvertToOEM", entry.ConvertToOEM);
    file.WriteBool(section, "HideWindow", entry.HideWindow);
  }
  return batch.Commit();
}

const TArchiverEntry* TArchiverTable::EntryForType(int typeCode) const {
  for (const TArcType type : Stored)
    if (typeCode == static_cast<int>(type))
      return &Table[IndexOf(type)];
  return nullptr;
}

TArchiverEntry* TArchiverTable::EntryForType(int typeCode) {
  return const_cast<TArchiverEntry*>(std::as_const(*this).EntryForType(typeCode));
}

TArchiverEntry* TArchiverTable::Entry(std::string_view name) {
  for (TArchiverEntry& entry : Table)
    if (entry.Name == name)
      return &entry;
  return nullptr;
}

void TArchiverTable::Parameters(int typeCode, int line, int maxLength, std::string& text) const {
  const TArchiverEntry* entry = EntryForType(typeCode);
  if (!entry || line < 0 || line >= LineCount || static_cast<size_t>(line) >= entry->Lines.size())
    return;
  text = CutAtCharacter(entry->Lines[static_cast<size_t>(line)],
                        static_cast<size_t>(std::max(maxLength, 0)));
}

void TArchiverTable::Mode(int typeCode, bool& flag1, bool& flag2, bool& flag3) const {
  const TArchiverEntry* entry = EntryForType(typeCode);
  flag1 = entry && entry->UseLongFN;
  flag2 = false;
  flag3 = entry && entry->ConvertToOEM;
}

} // namespace corvane::config
