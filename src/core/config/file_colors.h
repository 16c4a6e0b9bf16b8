// The file-colour table and its file fc.ini (also the format of the colour dialog's exports).
//
// 30 groups of 30 slots. A slot holds an extension with its dot (".zip"), the group's colour for
// visible files and its colour for hidden files (both kept in every slot of the group), all as
// texts: the colours are decimal colour numbers (0x00BBGGRR). A group is in use when its first
// slot holds an extension. Extensions are compared exactly with a file's lower-cased extension,
// so an upper-case entry never matches.
//
// fc.ini: [Main] Count and Line1 .. LineCount, each line "visible,hidden;.ext,.ext,...:". The
// reader ends a token at each of ",", ";" and ":" and drops a last token that no separator ends
// (which is why every line is written with its ":"); it fills the slots the line names and leaves
// the others as they were. The writer writes the groups up to the first one not in use, so a table
// whose first group is empty writes Count=0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::config {

class TIniFile;

struct TColorSlot {
  std::string Ext;
  std::string Color;       // for visible files
  std::string HiddenColor; // for hidden files

  bool operator==(const TColorSlot&) const = default;
};

class TFileColorTable final {
public:
  static constexpr int GroupCount = 30;
  static constexpr int SlotCount = 30;
  using TGroup = std::array<TColorSlot, SlotCount>;

  TGroup& Group(int index) { return Groups[static_cast<size_t>(index)]; }
  const TGroup& Group(int index) const { return Groups[static_cast<size_t>(index)]; }
  bool GroupInUse(int index) const { return !Group(index)[0].Ext.empty(); }
  void Clear() { Groups = {}; }

  // Reads [Main] over the table (slots not named keep their contents).
  void Load(TIniFile& file);
  // Writes [Main] in one file write; false when the file could not be written.
  bool Save(TIniFile& file) const;
  // One line into group `index`, and the line a group is written as.
  void ReadLine(int index, std::string_view line);
  std::string LineOf(int index) const;
  // The groups written: those before the first one not in use.
  int SavedCount() const;

  // The colour for a lower-case extension with its dot: the table is searched slot by slot (slot
  // 1 of every group, then slot 2, ...), groups in order within a slot, and the first match whose
  // colour is a number wins. Nothing when no slot matches.
  std::optional<uint32_t> Lookup(std::string_view dotExt, bool hidden) const;

  bool operator==(const TFileColorTable&) const = default;

private:
  // No "{}" initialiser: the strings start empty anyway, and clang 14 crashes on one here.
  std::array<TGroup, GroupCount> Groups;
};

} // namespace corvane::config
