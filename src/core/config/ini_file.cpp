#include "config/ini_file.h"

#include "config/text_codec.h"
#include "platform/atomic_file.h"

#include <sys/stat.h>

#include <charconv>

namespace corvane::config {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z')
      x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z')
      y = static_cast<char>(y - 32);
    if (x != y)
      return false;
  }
  return true;
}

bool IsComment(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// The section a line opens, or false.
bool SectionName(std::string_view line, std::string_view& name) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.size() < 2 || trimmed.front() != '[')
    return false;
  const size_t close = trimmed.find(']');
  if (close == std::string_view::npos)
    return false;
  name = TrimBlanks(trimmed.substr(1, close - 1));
  return true;
}

// The key and raw value of a key line, or false.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || IsComment(trimmed) || trimmed.front() == '[')
    return false;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos)
    return false;
  key = TrimBlanks(line.substr(0, equals));
  value = line.substr(equals + 1);
  return !key.empty();
}

std::string CleanValue(std::string_view raw) {
  std::string_view value = TrimBlanks(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

} // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

TIniFile::TIniFile(std::string nativePath, std::string legacyCodePage)
    : Path(std::move(nativePath)), CodePage(std::move(legacyCodePage)) {}

void TIniFile::Refresh() {
  struct stat st {};
  const bool exists = ::stat(Path.c_str(), &st) == 0;
  const int64_t time = exists ? int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : -1;
  const int64_t size = exists ? int64_t(st.st_size) : -1;
  const uint64_t inode = exists ? uint64_t(st.st_ino) : 0;
  if (Loaded && time == StampTime && size == StampSize && inode == StampInode)
    return;
  Loaded = true;
  StampTime = time;
  StampSize = size;
  StampInode = inode;
  Lines.clear();
  Crlf = false;
  const auto raw = exists ? platform::ReadWholeFile(Path) : std::nullopt;
  if (!raw)
    return;
  std::string text = *raw;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0)
    text.erase(0, 3);
  if (!IsValidUtf8(text))
    text = DecodeToUtf8(text, CodePage);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      Crlf = true;
    }
    Lines.push_back(std::move(line));
    pos = end + 1;
  }
}

int TIniFile::FindSection(std::string_view section) const {
  std::string_view name;
  for (size_t i = 0; i < Lines.size(); ++i)
    if (SectionName(Lines[i], name) && SameName(name, section))
      return static_cast<int>(i);
  return -1;
}

int TIniFile::SectionEnd(int sectionLine) const {
  std::string_view name;
  size_t i = static_cast<size_t>(sectionLine) + 1;
  while (i < Lines.size() && !SectionName(Lines[i], name))
    ++i;
  return static_cast<int>(i);
}

int TIniFile::FindKey(int sectionLine, std::string_view key) const {
  const int end = SectionEnd(sectionLine);
  std::string_view name;
  std::string_view value;
  for (int i = sectionLine + 1; i < end; ++i)
    if (KeyValue(Lines[static_cast<size_t>(i)], name, value) && SameName(name, key))
      return i;
  return -1;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) {
  Refresh();
  const int sectionLine = FindSection(section);
  const int keyLine = sectionLine < 0 ? -1 : FindKey(sectionLine, key);
  if (keyLine < 0)
    return std::string(defaultValue);
  std::string_view name;
  std::string_view value;
  KeyValue(Lines[static_cast<size_t>(keyLine)], name, value);
  return CleanValue(value);
}

bool TIniFile::ParseNumber(std::string_view text, uint32_t& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      number > 0xFFFFFFFFull)
    return false;
  value = static_cast<uint32_t>(negative ? (~number + 1) : number);
  return true;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) {
  uint32_t value = 0;
  if (!ParseNumber(ReadString(section, key, ""), value))
    return defaultValue;
  return static_cast<int32_t>(value);
}

uint32_t TIniFile::ReadColor(std::string_view section, std::string_view key,
                             uint32_t defaultValue) {
  uint32_t value = 0;
  return ParseNumber(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) {
  Refresh();
  return FindSection(section) >= 0;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) {
  Refresh();
  const int sectionLine = FindSection(section);
  return sectionLine >= 0 && FindKey(sectionLine, key) >= 0;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) {
  Refresh();
  std::vector<std::string> keys;
  const int sectionLine = FindSection(section);
  if (sectionLine < 0)
    return keys;
  const int end = SectionEnd(sectionLine);
  std::string_view name;
  std::string_view value;
  for (int i = sectionLine + 1; i < end; ++i) {
    if (!KeyValue(Lines[static_cast<size_t>(i)], name, value))
      continue;
    bool seen = false;
    for (const auto& known : keys)
      seen = seen || SameName(known, name);
    if (!seen)
      keys.emplace_back(name);
  }
  return keys;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (BatchDepth == 0)
    Refresh();
  // A value cannot hold a line break: it would become a line of its own.
  std::string clean(value);
  for (char& c : clean)
    if (c == '\n' || c == '\r')
      c = ' ';
  std::string line = std::string(key) + "=" + clean;
  int sectionLine = FindSection(section);
  if (sectionLine < 0) {
    if (!Lines.empty() && !TrimBlanks(Lines.back()).empty())
      Lines.emplace_back();
    Lines.push_back("[" + std::string(section) + "]");
    Lines.push_back(std::move(line));
  } else if (const int keyLine = FindKey(sectionLine, key); keyLine >= 0) {
    std::string_view name;
    std::string_view old;
    KeyValue(Lines[static_cast<size_t>(keyLine)], name, old);
    if (CleanValue(old) == clean && TrimBlanks(old) == clean)
      return BatchDepth > 0 ? BatchOk : true; // nothing changes
    Lines[static_cast<size_t>(keyLine)] = std::move(line);
  } else {
    // After the section's last non-blank line, so that a blank line before the next section stays.
    int at = SectionEnd(sectionLine);
    while (at > sectionLine + 1 && TrimBlanks(Lines[static_cast<size_t>(at - 1)]).empty())
      --at;
    Lines.insert(Lines.begin() + at, std::move(line));
  }
  return Store();
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::EraseSection(std::string_view section) {
  if (BatchDepth == 0)
    Refresh();
  const int sectionLine = FindSection(section);
  if (sectionLine < 0)
    return true;
  Lines.erase(Lines.begin() + sectionLine, Lines.begin() + SectionEnd(sectionLine));
  return Store();
}

bool TIniFile::Store() {
  if (BatchDepth > 0) {
    BatchDirty = true;
    return BatchOk;
  }
  std::string text;
  const char* newline = Crlf ? "\r\n" : "\n";
  for (const auto& line : Lines) {
    text += line;
    text += newline;
  }
  if (!platform::WriteFileAtomically(Path, text)) {
    Loaded = false; // read the file as it is again: the change did not happen
    return false;
  }
  struct stat st {};
  if (::stat(Path.c_str(), &st) == 0) {
    StampTime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    StampSize = int64_t(st.st_size);
    StampInode = uint64_t(st.st_ino);
  }
  return true;
}

TIniBatch::TIniBatch(TIniFile& file) : File(file) {
  if (File.BatchDepth++ == 0) {
    File.Refresh();
    File.BatchDirty = false;
    File.BatchOk = true;
  }
}

TIniBatch::~TIniBatch() {
  Commit();
}

bool TIniBatch::Commit() {
  if (Done)
    return File.BatchOk;
  Done = true;
  if (--File.BatchDepth == 0 && File.BatchDirty) {
    File.BatchDirty = false;
    File.BatchOk = File.Store();
  }
  return File.BatchOk;
}

} // namespace corvane::config
