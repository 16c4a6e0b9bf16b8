#include "viewer/code_page.h"

#include "config/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace corvane::viewer {

namespace {

struct TPageRow {
  TCodePage Page;
  const char* Name;
};

constexpr TPageRow Pages[CodePageCount] = {
    {TCodePage::Utf8, "UTF-8"},       {TCodePage::Utf16Le, "UTF-16LE"},
    {TCodePage::Utf16Be, "UTF-16BE"}, {TCodePage::Cp1251, "CP1251"},
    {TCodePage::Cp1250, "CP1250"},    {TCodePage::Cp1252, "CP1252"},
    {TCodePage::Ibm866, "IBM866"},    {TCodePage::Ibm437, "IBM437"},
    {TCodePage::Ibm852, "IBM852"},    {TCodePage::Ibm850, "IBM850"},
};

void AppendUtf8(std::string& out, uint32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

constexpr uint32_t Replacement = 0xFFFD;

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [&](size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<uint32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const uint32_t first = unit(i);
    if (first >= 0xD800 && first <= 0xDBFF && i + 3 < bytes.size()) {
      const uint32_t second = unit(i + 2);
      if (second >= 0xDC00 && second <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, first >= 0xD800 && first <= 0xDFFF ? Replacement : first);
  }
  if (i < bytes.size())
    AppendUtf8(out, Replacement); // half a unit at the end
  return out;
}

// Decodes UTF-8 as it is, with each byte that starts no valid sequence replaced.
std::string CleanUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t length = (c & 0xE0) == 0xC0   ? 2
                          : (c & 0xF0) == 0xE0 ? 3
                          : (c & 0xF8) == 0xF0 ? 4
                                               : 0;
    if (length != 0 && i + length <= bytes.size() && config::IsValidUtf8(bytes.substr(i, length))) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    AppendUtf8(out, Replacement);
    ++i;
  }
  return out;
}

// Whether `head` is UTF-8 but for a sequence cut off at its end.
bool IsUtf8Head(std::string_view head) {
  if (config::IsValidUtf8(head))
    return true;
  for (size_t cut = 1; cut <= 3 && cut < head.size(); ++cut)
    if (config::IsValidUtf8(head.substr(0, head.size() - cut)))
      return (static_cast<unsigned char>(head[head.size() - cut]) & 0xC0) == 0xC0;
  return false;
}

} // namespace

const char* CodePageName(TCodePage page) {
  return Pages[static_cast<int>(page)].Name;
}

TCodePage NextCodePage(TCodePage page) {
  return static_cast<TCodePage>((static_cast<int>(page) + 1) % CodePageCount);
}

TCodePage PreviousCodePage(TCodePage page) {
  return static_cast<TCodePage>((static_cast<int>(page) + CodePageCount - 1) % CodePageCount);
}

size_t UnitSize(TCodePage page) {
  return page == TCodePage::Utf16Le || page == TCodePage::Utf16Be ? 2 : 1;
}

bool IsSingleByte(TCodePage page) {
  return static_cast<int>(page) >= static_cast<int>(TCodePage::Cp1251);
}

TCodePage LegacyPageOfLanguage(std::string_view languageBase) {
  std::string base(languageBase);
  for (char& c : base)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  if (base == "cv_rus")
    return TCodePage::Cp1251;
  if (base == "cv_pol" || base == "cv_cze" || base == "cv_hun")
    return TCodePage::Cp1250;
  return TCodePage::Cp1252;
}

TCodePage DetectCodePage(std::string_view head, std::string_view languageBase) {
  if (head.starts_with("\xFF\xFE"))
    return TCodePage::Utf16Le;
  if (head.starts_with("\xFE\xFF"))
    return TCodePage::Utf16Be;
  if (head.starts_with("\xEF\xBB\xBF") || IsUtf8Head(head))
    return TCodePage::Utf8;
  return LegacyPageOfLanguage(languageBase);
}

size_t BomLength(std::string_view head, TCodePage page) {
  switch (page) {
  case TCodePage::Utf8:
    return head.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  case TCodePage::Utf16Le:
    return head.starts_with("\xFF\xFE") ? 2 : 0;
  case TCodePage::Utf16Be:
    return head.starts_with("\xFE\xFF") ? 2 : 0;
  default:
    return 0;
  }
}

std::string DecodeText(std::string_view bytes, TCodePage page) {
  switch (page) {
  case TCodePage::Utf8:
    return CleanUtf8(bytes);
  case TCodePage::Utf16Le:
    return DecodeUtf16(bytes, false);
  case TCodePage::Utf16Be:
    return DecodeUtf16(bytes, true);
  default:
    return config::DecodeToUtf8(bytes, CodePageName(page));
  }
}

std::optional<std::string> EncodeText(std::string_view utf8, TCodePage page) {
  if (!config::IsValidUtf8(utf8))
    return std::nullopt;
  if (page == TCodePage::Utf8)
    return std::string(utf8);
  iconv_t codec = ::iconv_open(CodePageName(page), "UTF-8");
  if (codec == reinterpret_cast<iconv_t>(-1))
    return std::nullopt;
  std::string out;
  out.reserve(utf8.size() * 2);
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char buffer[4096];
  bool ok = true;
  while (inLeft > 0) {
    char* outPointer = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = ::iconv(codec, &in, &inLeft, &outPointer, &outLeft);
    out.append(buffer, static_cast<size_t>(outPointer - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
    // iconv may transliterate silently where a page has no character; it counts those.
    if (result != static_cast<size_t>(-1) && result > 0) {
      ok = false;
      break;
    }
  }
  ::iconv_close(codec);
  if (!ok)
    return std::nullopt;
  return out;
}

std::string HexColumnText(std::string_view bytes, TCodePage page) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x20 || c == 0x7F) {
      out += '.';
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (IsSingleByte(page)) {
      const std::string one = config::DecodeToUtf8(std::string_view(&byte, 1), CodePageName(page));
      // The C1 controls of the Windows pages' holes and box-drawing bytes all decode; a hole
      // decodes as U+FFFD and shows as ".".
      if (one == "\xEF\xBF\xBD" ||
          (one.size() == 2 && one[0] == '\xC2' && static_cast<unsigned char>(one[1]) < 0xA0))
        out += '.';
      else
        out += one;
    } else {
      out += '.';
    }
  }
  return out;
}

} // namespace corvane::viewer
