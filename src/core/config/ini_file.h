// TIniFile: the settings files (cv.ini, the language files, the tool-bar, archiver and colour
// files) with the rules their writers have always used:
// - section and key names match ignoring case; the first occurrence of a section or key wins;
// - a value is the text after the first "=", blanks trimmed and one pair of enclosing quotes
//   removed; there are no escapes, lists or inline comments; "key=" is empty; anything missing
//   gives the caller's default;
// - numbers are a sign and decimal digits (or "$"/"0x" hex) up to 2^32-1, kept as their low 32
//   bits (system colours are stored as 2147483663); anything else gives the default; a boolean is
//   a number other than 0.
//
// Every write goes to the file at once, keeps every other line as it was (comments, other
// programs' keys), appends a new key at the end of its section and a new section at the end of
// the file, and replaces the file in one step, so a crash never leaves half of it. Reads come from
// a copy that is read again whenever the file changed on disk, so writes by another program are
// never overwritten with a stale copy. A batch (TIniBatch) makes many writes one file write.
//
// Files are UTF-8. A file that is not valid UTF-8 is an older one in a legacy code page (the
// language's, given when opening); it is read through that code page and written back as UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::config {

class TIniFile final {
public:
  explicit TIniFile(std::string nativePath, std::string legacyCodePage = "CP1252");

  const std::string& FileName() const { return Path; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue);
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue);
  uint32_t ReadColor(std::string_view section, std::string_view key, uint32_t defaultValue);
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue);
  bool SectionExists(std::string_view section);
  bool ValueExists(std::string_view section, std::string_view key);
  // The keys of a section in file order (first occurrences only).
  std::vector<std::string> ReadSection(std::string_view section);

  // False when the file could not be written; it is then as it was.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int64_t value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  bool EraseSection(std::string_view section);

  // Parses a number by the rules above.
  static bool ParseNumber(std::string_view text, uint32_t& value);

private:
  friend class TIniBatch;
  void Refresh();
  bool Store();
  int FindSection(std::string_view section) const;
  int FindKey(int sectionLine, std::string_view key) const;
  int SectionEnd(int sectionLine) const;

  std::string Path;
  std::string CodePage;
  std::vector<std::string> Lines;
  bool Crlf = false;
  bool Loaded = false;
  // What the file on disk looked like when it was read, to notice changes by others.
  int64_t StampTime = -1;
  int64_t StampSize = -1;
  uint64_t StampInode = 0;
  int BatchDepth = 0;
  bool BatchDirty = false;
  bool BatchOk = true;
};

// Holds writes back until it ends, then writes the file once; nested batches join the outer one.
class TIniBatch final {
public:
  explicit TIniBatch(TIniFile& file);
  TIniBatch(const TIniBatch&) = delete;
  TIniBatch& operator=(const TIniBatch&) = delete;
  ~TIniBatch();
  // Ends the batch now; false when the file could not be written.
  bool Commit();

private:
  TIniFile& File;
  bool Done = false;
};

// The text of one line as a name: blanks trimmed.
std::string_view TrimBlanks(std::string_view text);

} // namespace corvane::config
