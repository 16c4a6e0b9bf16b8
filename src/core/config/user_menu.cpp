#include "config/user_menu.h"

#include "config/text_codec.h"
#include "platform/atomic_file.h"

#include <charconv>
#include <limits>

namespace corvane::config {
namespace {

// One line of the file as text: decoded when it is not UTF-8, control characters dropped.
std::string CleanLine(std::string_view line, const std::string& codePage) {
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  const std::string text = IsValidUtf8(line) ? std::string(line) : DecodeToUtf8(line, codePage);
  std::string clean;
  clean.reserve(text.size());
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
      clean += c;
    else if (c == '\t')
      clean += ' ';
  return clean;
}

} // namespace

std::vector<TUserMenuEntry> ParseUserMenu(std::string_view text,
                                          const std::string& legacyCodePage) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos)
      break;
    start = end + 1;
  }
  std::vector<TUserMenuEntry> entries;
  if (lines.empty())
    return entries;
  const std::string countText = CleanLine(lines[0], legacyCodePage);
  const size_t first = countText.find_first_not_of(' ');
  if (first == std::string::npos)
    return entries;
  long long count = 0;
  const auto [end, error] =
      std::from_chars(countText.data() + first, countText.data() + countText.size(), count);
  if (error == std::errc::result_out_of_range && countText[first] != '-')
    count = std::numeric_limits<long long>::max(); // as many as the lines hold
  else if (error != std::errc() || count < 0)
    return entries;
  // Only the entries the count names, and never more than the lines hold.
  for (size_t line = 2; line < lines.size() && static_cast<long long>(entries.size()) < count;
       line += 3) {
    TUserMenuEntry entry;
    entry.Caption = CleanLine(lines[line], legacyCodePage);
    if (line + 1 < lines.size())
      entry.Command = CleanLine(lines[line + 1], legacyCodePage);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string FormatUserMenu(const std::vector<TUserMenuEntry>& entries) {
  std::string text = std::to_string(entries.size()) + "\r\n \r\n";
  for (const TUserMenuEntry& entry : entries)
    text += entry.Caption + "\r\n" + entry.Command + "\r\n \r\n";
  return text;
}

std::vector<TUserMenuEntry> ReadUserMenu(const std::string& nativePath,
                                         const std::string& legacyCodePage) {
  const std::optional<std::string> text = platform::ReadWholeFile(nativePath, 4u << 20);
  return text ? ParseUserMenu(*text, legacyCodePage) : std::vector<TUserMenuEntry>{};
}

bool WriteUserMenu(const std::string& nativePath, const std::vector<TUserMenuEntry>& entries) {
  return platform::WriteFileAtomically(nativePath, FormatUserMenu(entries));
}

} // namespace corvane::config
