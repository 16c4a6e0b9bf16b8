#include "viewer/text_lines.h"

#include <cstring>
#include <string>

namespace corvane::viewer {

namespace {

// Where the newline unit at `i` of `bytes` (read from file offset `base`) is one.
bool IsNewline(std::string_view bytes, size_t i, uint64_t base, TCodePage page) {
  switch (page) {
  case TCodePage::Utf16Le:
    return (base + i) % 2 == 0 && i + 1 < bytes.size() && bytes[i] == '\n' && bytes[i + 1] == 0;
  case TCodePage::Utf16Be:
    return (base + i) % 2 == 0 && i + 1 < bytes.size() && bytes[i] == 0 && bytes[i + 1] == '\n';
  default:
    return bytes[i] == '\n';
  }
}

constexpr size_t WalkChunk = 1 << 20;

} // namespace

uint64_t LineStartAt(TViewFile& file, uint64_t offset, TCodePage page) {
  if (offset > file.Size())
    offset = file.Size();
  const uint64_t block = offset / MaxLineBytes * MaxLineBytes;
  const std::string bytes = file.Read(block, static_cast<size_t>(offset - block));
  const size_t unit = UnitSize(page);
  for (size_t end = bytes.size(); end >= unit; --end) {
    const size_t at = end - unit;
    if (IsNewline(bytes, at, block, page))
      return block + end;
  }
  return block;
}

uint64_t NextLineStart(TViewFile& file, uint64_t lineStart, TCodePage page) {
  if (lineStart >= file.Size())
    return file.Size();
  const uint64_t boundary = (lineStart / MaxLineBytes + 1) * MaxLineBytes;
  const std::string bytes = file.Read(lineStart, static_cast<size_t>(boundary - lineStart));
  const size_t unit = UnitSize(page);
  if (unit == 1) {
    if (const void* hit = std::memchr(bytes.data(), '\n', bytes.size()))
      return lineStart + static_cast<size_t>(static_cast<const char*>(hit) - bytes.data()) + 1;
  } else {
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
      if (IsNewline(bytes, i, lineStart, page))
        return lineStart + i + 2;
  }
  return lineStart + bytes.size();
}

uint64_t PreviousLineStart(TViewFile& file, uint64_t lineStart, TCodePage page) {
  if (lineStart == 0)
    return 0;
  return LineStartAt(file, lineStart - 1, page);
}

std::string_view WithoutLineEnd(std::string_view line, TCodePage page) {
  const size_t unit = UnitSize(page);
  const auto endsWith = [&](std::string_view tail) {
    return line.size() >= tail.size() && line.substr(line.size() - tail.size()) == tail;
  };
  using namespace std::string_view_literals;
  const std::string_view newline = page == TCodePage::Utf16Le   ? "\n\0"sv
                                   : page == TCodePage::Utf16Be ? "\0\n"sv
                                                                : "\n"sv;
  const std::string_view carriage = page == TCodePage::Utf16Le   ? "\r\0"sv
                                    : page == TCodePage::Utf16Be ? "\0\r"sv
                                                                 : "\r"sv;
  if (endsWith(newline)) {
    line.remove_suffix(unit);
    if (endsWith(carriage))
      line.remove_suffix(unit);
  }
  return line;
}

std::optional<uint64_t> OffsetOfLine(TViewFile& file, uint64_t number, TCodePage page,
                                     const TProgress& progress) {
  uint64_t line = 1;
  uint64_t lastStart = 0;
  std::string bytes;
  const size_t unit = UnitSize(page);
  for (uint64_t offset = 0; line < number && offset < file.Size();) {
    if (!file.Read(offset, WalkChunk, bytes) || bytes.empty())
      break;
    for (size_t i = 0; i < bytes.size() && line < number;) {
      if (unit == 1) {
        const void* hit = std::memchr(bytes.data() + i, '\n', bytes.size() - i);
        if (!hit)
          break;
        i = static_cast<size_t>(static_cast<const char*>(hit) - bytes.data()) + 1;
      } else {
        if (!IsNewline(bytes, i, offset, page)) {
          ++i;
          continue;
        }
        i += 2;
      }
      ++line;
      lastStart = offset + i;
    }
    // Chunks are of an even size, so no UTF-16 unit is ever cut between two of them.
    offset += bytes.size();
    if (progress && !progress(offset, file.Size()))
      return std::nullopt;
  }
  if (lastStart >= file.Size() && lastStart > 0)
    return LineStartAt(file, file.Size() - 1, page); // a final newline ends the last line
  return lastStart;
}

} // namespace corvane::viewer
