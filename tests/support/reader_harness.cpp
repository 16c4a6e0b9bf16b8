#include "reader_harness.h"

namespace corvane::test {

std::vector<archive::TArcEntry> TOpenedArchive::List() const {
  return ListEntries(*Reader);
}

std::vector<archive::TArcEntry> ListEntries(archive::TFormatReader& reader) {
  std::vector<archive::TArcEntry> entries;
  archive::TArcEntry entry;
  while (reader.Next(entry))
    entries.push_back(entry);
  return entries;
}

int ThrownCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const archive::EArchiveError& error) {
    return error.Code();
  }
  return archive::errNone;
}

std::string Pattern(size_t size, unsigned seed) {
  std::string text(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (auto& c : text) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return text;
}

} // namespace corvane::test
