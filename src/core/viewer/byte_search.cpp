#include "viewer/byte_search.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace corvane::viewer {

namespace {

constexpr size_t DefaultChunk = 1 << 20;
size_t Chunk = DefaultChunk;

// The pattern prepared for one search.
class TMatcher {
public:
  explicit TMatcher(const TSearchPattern& pattern) : Pattern(pattern) {
    Literal = true;
    FixedLength = true;
    for (const auto& forms : pattern.Positions) {
      size_t longest = 0;
      for (const auto& form : forms) {
        longest = std::max(longest, form.size());
        FixedLength = FixedLength && form.size() == forms.front().size();
      }
      MaxLength += longest;
      Literal = Literal && forms.size() == 1;
      if (Literal)
        LiteralBytes += forms.front();
    }
    if (FixedLength && !Literal)
      BuildClasses();
  }

  size_t Longest() const { return MaxLength; }

  // Every match starting in [first, last) of `data` (read from file offset `base`), in order,
  // given to `found` until it returns false.
  template <class TFound>
  void Scan(std::string_view data, size_t first, size_t last, uint64_t base, TFound found) const {
    if (Literal) {
      const size_t length = LiteralBytes.size();
      size_t i = first;
      while (i < last && i + length <= data.size()) {
        const void* hit = ::memmem(data.data() + i, data.size() - i, LiteralBytes.data(), length);
        if (!hit)
          return;
        i = static_cast<size_t>(static_cast<const char*>(hit) - data.data());
        if (i >= last)
          return;
        if ((base + i) % Pattern.Alignment == 0 && !found(i, length))
          return;
        ++i;
      }
      return;
    }
    if (FixedLength) {
      const size_t length = MaxLength;
      for (size_t i = first; i < last && i + length <= data.size();) {
        const auto tail = static_cast<unsigned char>(data[i + length - 1]);
        if (Classes[length - 1][tail] && (base + i) % Pattern.Alignment == 0) {
          if (const size_t matched = MatchAt(data, i); matched != 0 && !found(i, matched))
            return;
        }
        i += Shift[tail];
      }
      return;
    }
    for (size_t i = first; i < last; ++i)
      if ((base + i) % Pattern.Alignment == 0)
        if (const size_t matched = MatchAt(data, i); matched != 0 && !found(i, matched))
          return;
  }

private:
  void BuildClasses() {
    Classes.assign(MaxLength, {});
    size_t at = 0;
    for (const auto& forms : Pattern.Positions) {
      for (const auto& form : forms)
        for (size_t k = 0; k < form.size(); ++k)
          Classes[at + k][static_cast<unsigned char>(form[k])] = true;
      at += forms.front().size();
    }
    Shift.fill(MaxLength);
    for (size_t j = 0; j + 1 < MaxLength; ++j)
      for (int b = 0; b < 256; ++b)
        if (Classes[j][b])
          Shift[b] = MaxLength - 1 - j;
  }

  // The length of a match at `i`, or 0. Positions are tried form by form; forms of one position
  // that are prefixes of each other are rare enough for the first fit to do.
  size_t MatchAt(std::string_view data, size_t i) const {
    size_t at = i;
    for (const auto& forms : Pattern.Positions) {
      bool fits = false;
      for (const auto& form : forms)
        if (at + form.size() <= data.size() && data.compare(at, form.size(), form) == 0) {
          at += form.size();
          fits = true;
          break;
        }
      if (!fits)
        return 0;
    }
    return at - i;
  }

  const TSearchPattern& Pattern;
  bool Literal = true;
  bool FixedLength = true;
  size_t MaxLength = 0;
  std::string LiteralBytes;
  std::vector<std::array<bool, 256>> Classes;
  std::array<size_t, 256> Shift{};
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

} // namespace

TSearchPattern BytePattern(std::string_view bytes) {
  TSearchPattern pattern;
  for (const char byte : bytes)
    pattern.Positions.push_back({std::string(1, byte)});
  return pattern;
}

std::optional<std::string> ParseHexBytes(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == ',') {
      if (high >= 0)
        return std::nullopt; // one digit alone
      continue;
    }
    const int digit = HexDigit(c);
    if (digit < 0)
      return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  if (high >= 0 || bytes.empty())
    return std::nullopt;
  return bytes;
}

std::optional<TSearchPattern> TextPattern(const std::vector<std::vector<std::string>>& characters,
                                          TCodePage page) {
  TSearchPattern pattern;
  pattern.Alignment = UnitSize(page);
  for (const auto& forms : characters) {
    std::vector<std::string> encoded;
    for (const auto& form : forms)
      if (const auto bytes = EncodeText(form, page);
          bytes && !bytes->empty() &&
          std::find(encoded.begin(), encoded.end(), *bytes) == encoded.end())
        encoded.push_back(*bytes);
    if (encoded.empty())
      return std::nullopt;
    pattern.Positions.push_back(std::move(encoded));
  }
  if (pattern.Empty())
    return std::nullopt;
  return pattern;
}

TFindOutcome FindForward(TViewFile& file, const TSearchPattern& pattern, uint64_t from,
                         const TProgress& progress) {
  TFindOutcome outcome;
  if (pattern.Empty())
    return outcome;
  const TMatcher matcher(pattern);
  const size_t overlap = matcher.Longest() - 1;
  std::string data;
  for (uint64_t offset = from; offset < file.Size(); offset += Chunk) {
    if (!file.Read(offset, Chunk + overlap, data)) {
      outcome.Result = TSearchResult::ReadError;
      return outcome;
    }
    bool found = false;
    matcher.Scan(data, 0, std::min(Chunk, data.size()), offset, [&](size_t at, size_t length) {
      outcome = {TSearchResult::Found, offset + at, length};
      found = true;
      return false;
    });
    if (found)
      return outcome;
    if (progress && !progress(std::min(offset + Chunk, file.Size()) - from, file.Size() - from)) {
      outcome.Result = TSearchResult::Stopped;
      return outcome;
    }
  }
  return outcome;
}

TFindOutcome FindBackward(TViewFile& file, const TSearchPattern& pattern, uint64_t before,
                          const TProgress& progress) {
  TFindOutcome outcome;
  if (pattern.Empty())
    return outcome;
  before = std::min(before, file.Size());
  const TMatcher matcher(pattern);
  const size_t overlap = matcher.Longest() - 1;
  std::string data;
  for (uint64_t end = before; end > 0;) {
    const uint64_t start = end > Chunk ? end - Chunk : 0;
    if (!file.Read(start, static_cast<size_t>(end - start) + overlap, data)) {
      outcome.Result = TSearchResult::ReadError;
      return outcome;
    }
    bool found = false;
    matcher.Scan(data, 0, static_cast<size_t>(end - start), start, [&](size_t at, size_t length) {
      outcome = {TSearchResult::Found, start + at, length};
      found = true;
      return true; // the last one in the chunk is wanted
    });
    if (found)
      return outcome;
    end = start;
    if (progress && !progress(before - end, before)) {
      outcome.Result = TSearchResult::Stopped;
      return outcome;
    }
  }
  return outcome;
}

size_t ReplaceSearchChunk(size_t bytes) {
  return std::exchange(Chunk, bytes == 0 ? DefaultChunk : bytes);
}

} // namespace corvane::viewer
