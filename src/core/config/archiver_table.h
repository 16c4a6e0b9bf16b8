// The outside archivers' table and its file arc.ini.
//
// Eight entries, in this order: zip, arj, rar, arc, lha, lzh, cab, ha. Each holds the archiver's
// command lines (add files, add files and folders, move files, move files and folders, delete;
// "%" stands for the archive) and four flags. Only zip, arj and rar have archivers, and only they
// are read from and written to arc.ini, one section each with Line1 .. Line5 and the flags.
//
// The table starts empty (no lines, every flag off); reading appends the five lines of a section
// to its entry. While an entry has no line for a run, the archive source keeps its own built-in
// command line, and writing the table stores that built-in line, so that what is saved is what
// would run.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::config {

class TIniFile;

struct TArchiverEntry {
  std::string Name;
  std::vector<std::string> Lines; // items 0..4 are used
  bool UseInternal = false;
  bool UseLongFN = false;
  bool ConvertToOEM = false;
  bool HideWindow = false;
};

class TArchiverTable final {
public:
  static constexpr int LineCount = 5;
  TArchiverTable() { Reset(); }

  // Every entry empty again, as at start and after "Set default configuration".
  void Reset();
  // Reads [zip], [arj] and [rar]: a missing line reads as " ", a missing flag as off, except
  // UseLongFN and ConvertToOEM of [rar], which read as on.
  void Load(TIniFile& file);
  // Writes the three sections in one file write; false when the file could not be written.
  bool Save(TIniFile& file) const;

  // The entry of an archive type code (23 zip, 6 arj, 19 rar), or nullptr for any other code.
  TArchiverEntry* EntryForType(int typeCode);
  const TArchiverEntry* EntryForType(int typeCode) const;
  TArchiverEntry* Entry(std::string_view name);

  // The answers the archive sources get. Parameters copies line `line` (0..4) of the type's
  // archiver into `text`, cut to `maxLength` bytes at a character boundary; for another type or
  // line, or a line the entry does not have, `text` stays as it is. Mode gives UseLongFN, false
  // and ConvertToOEM for zip, arj and rar, and false three times for anything else.
  void Parameters(int typeCode, int line, int maxLength, std::string& text) const;
  void Mode(int typeCode, bool& flag1, bool& flag2, bool& flag3) const;

  const std::array<TArchiverEntry, 8>& Entries() const { return Table; }

private:
  std::array<TArchiverEntry, 8> Table;
};

} // namespace corvane::config
