// The code pages the viewer shows text in: UTF-8, UTF-16 in both byte orders and the legacy
// single-byte pages of the program's languages. Decoding goes through iconv (config/text_codec)
// except for UTF-16, which is decoded here so that a broken pair costs one character, not the
// alignment of the rest of the line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::viewer {

enum class TCodePage {
  Utf8,
  Utf16Le,
  Utf16Be,
  Cp1251,
  Cp1250,
  Cp1252,
  Ibm866,
  Ibm437,
  Ibm852,
  Ibm850,
};
inline constexpr int CodePageCount = 10;

// "UTF-8", "CP1251", ... as iconv and the status line name them.
const char* CodePageName(TCodePage page);
// The next page in the order above (the viewer's switch key walks through them), wrapping round.
TCodePage NextCodePage(TCodePage page);
TCodePage PreviousCodePage(TCodePage page);
// Bytes of one code unit: 2 for UTF-16, else 1. Lines break at a newline unit.
size_t UnitSize(TCodePage page);
bool IsSingleByte(TCodePage page);

// The legacy page of a language file's base name ("cv_rus" -> CP1251; unknown names CP1252).
TCodePage LegacyPageOfLanguage(std::string_view languageBase);

// The page a file starts in: a UTF-16 or UTF-8 byte-order mark decides; else the head of the file
// is UTF-8 when it holds non-ASCII bytes that are all valid UTF-8 (a sequence cut at the end of
// the head is allowed), and the language's legacy page when it holds others; pure ASCII is UTF-8.
TCodePage DetectCodePage(std::string_view head, std::string_view languageBase);
// Length of the byte-order mark of `page` at the start of `head`, or 0.
size_t BomLength(std::string_view head, TCodePage page);

// The text of `bytes` in UTF-8. A byte or unit the page does not define becomes U+FFFD.
std::string DecodeText(std::string_view bytes, TCodePage page);
// `utf8` in the page's bytes, or nothing when a character has no encoding there.
std::optional<std::string> EncodeText(std::string_view utf8, TCodePage page);

// One character for each byte, for the character column of the hex view (UTF-8): single-byte
// pages show what each byte is there, other pages show printable ASCII; control bytes and bytes
// that stand for nothing alone are ".".
std::string HexColumnText(std::string_view bytes, TCodePage page);

} // namespace corvane::viewer
