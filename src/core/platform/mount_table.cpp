#include "platform/mount_table.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>

namespace corvane::platform {

namespace {

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (pos < line.size()) {
    const size_t start = line.find_first_not_of(' ', pos);
    if (start == std::string_view::npos)
      break;
    size_t end = line.find(' ', start);
    if (end == std::string_view::npos)
      end = line.size();
    fields.push_back(line.substr(start, end - start));
    pos = end;
  }
  return fields;
}

bool IsOctal(char c) {
  return c >= '0' && c <= '7';
}

} // namespace

std::string UnescapeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::string EscapeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ' ' || c == '\t' || c == '\n' || c == '\\' || c == ';' || c == '=' || byte < 32) {
      out += '\\';
      out += static_cast<char>('0' + (byte >> 6));
      out += static_cast<char>('0' + ((byte >> 3) & 7));
      out += static_cast<char>('0' + (byte & 7));
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<TMountEntry> ParseMountInfo(std::string_view text) {
  std::vector<TMountEntry> entries;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
      end = text.size();
    const auto fields = SplitFields(text.substr(pos, end - pos));
    pos = end + 1;
    // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
    size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-")
      ++separator;
    if (fields.size() < 7 || separator + 2 >= fields.size())
      continue;
    TMountEntry entry;
    const std::string_view device = fields[2];
    const size_t colon = device.find(':');
    if (colon == std::string_view::npos)
      continue;
    std::from_chars(device.data(), device.data() + colon, entry.Major);
    std::from_chars(device.data() + colon + 1, device.data() + device.size(), entry.Minor);
    entry.MountPoint = UnescapeMountField(fields[4]);
    entry.FsType = UnescapeMountField(fields[separator + 1]);
    entry.Source = UnescapeMountField(fields[separator + 2]);
    bool replaced = false;
    for (auto& existing : entries)
      if (existing.MountPoint == entry.MountPoint) {
        existing = entry;
        replaced = true;
        break;
      }
    if (!replaced)
      entries.push_back(std::move(entry));
  }
  return entries;
}

std::string ReadSmallFile(const std::string& path) {
  TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::string text;
  if (!fd.Valid())
    return text;
  char buffer[8192];
  while (true) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got <= 0 || text.size() > (16u << 20))
      break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

} // namespace corvane::platform
