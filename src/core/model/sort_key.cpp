#include "model/sort_key.h"

#include "model/path_utils.h"

#include <algorithm>
#include <charconv>

namespace corvane {

namespace {

// U(s, n): s cut to n bytes or padded with blanks, upper-cased in ASCII only.
void AppendText(std::string& out, std::string_view text, size_t width) {
  const size_t used = std::min(text.size(), width);
  for (size_t i = 0; i < used; ++i)
    out += UpCaseAscii(text[i]);
  out.append(width - used, ' ');
}

// Z(v, n): the decimal digits of v, cut to n or padded with leading zeros.
void AppendNumber(std::string& out, int64_t value, size_t width) {
  char digits[24];
  if (value < 0)
    value = 0;
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  (void)ec;
  const size_t length = static_cast<size_t>(end - digits);
  if (length < width)
    out.append(width - length, '0');
  out.append(digits, std::min(length, width));
}

constexpr int64_t SizeCeiling = 999999999999999999;

bool IsExecutableExt(std::string_view ext) {
  return SameTextAscii(ext, "EXE") || SameTextAscii(ext, "COM") || SameTextAscii(ext, "BAT");
}

} // namespace

char SortClass(const TFileEntry& entry, bool foldersFirst, bool executablesFirst) {
  if (entry.IsFolder())
    return foldersFirst ? ' ' : '@';
  return executablesFirst && IsExecutableExt(entry.Ext) ? '!' : '@';
}

size_t SortKeyLength(uint8_t mode) {
  switch (mode) {
  case smName:
  case smExtension:
    return 1 + 32 + 30;
  case smSize:
    return 1 + 18 + 30 + 20;
  case smDate:
    return 1 + 4 + 5 * 2 + 20 + 20;
  default:
    return 1 + 10;
  }
}

void AppendSortKey(std::string& out, const TFileEntry& entry, uint8_t mode, char sortClass,
                   int64_t position) {
  out += sortClass;
  switch (mode) {
  case smName:
    AppendText(out, entry.Name, 32);
    AppendText(out, entry.Ext, 30);
    break;
  case smExtension:
    AppendText(out, entry.Ext, 30);
    AppendText(out, entry.Name, 32);
    break;
  case smSize:
    AppendNumber(out, SizeCeiling - std::clamp<int64_t>(entry.Size, 0, SizeCeiling), 18);
    AppendText(out, entry.Name, 30);
    AppendText(out, entry.Ext, 20);
    break;
  case smDate: {
    const TSystemTime& t = entry.Created;
    AppendNumber(out, 9999 - std::clamp<int>(t.Year, 0, 9999), 4);
    AppendNumber(out, 99 - t.Month, 2);
    AppendNumber(out, 99 - t.Day, 2);
    AppendNumber(out, 99 - t.Hour, 2);
    AppendNumber(out, 99 - t.Minute, 2);
    AppendNumber(out, 99 - t.Second, 2);
    AppendText(out, entry.Name, 20);
    AppendText(out, entry.Ext, 20);
    break;
  }
  default:
    AppendNumber(out, position, 10);
    break;
  }
}

} // namespace corvane
