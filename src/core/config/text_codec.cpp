#include "config/text_codec.h"

#include <iconv.h>

#include <cerrno>

namespace corvane::config {

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t point = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if ((c & 0xE0) == 0xC0) {
      length = 2;
      point = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      point = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      point = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size())
      return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        return false;
      point = (point << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < minimum[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

namespace {

// The converter of the last code page used on this thread: archives decode every name of a
// listing from the same page, and opening a converter costs more than most names.
class TCachedCodec {
public:
  ~TCachedCodec() { Close(); }
  iconv_t For(const std::string& codePage) {
    if (Codec != Invalid() && codePage == Page) {
      ::iconv(Codec, nullptr, nullptr, nullptr, nullptr); // back to the initial state
      return Codec;
    }
    Close();
    Codec = ::iconv_open("UTF-8", codePage.c_str());
    if (Codec == Invalid())
      Codec = ::iconv_open("UTF-8", "CP1252");
    Page = codePage;
    return Codec;
  }
  static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }

private:
  void Close() {
    if (Codec != Invalid())
      ::iconv_close(Codec);
    Codec = Invalid();
  }
  iconv_t Codec = Invalid();
  std::string Page;
};

} // namespace

std::string DecodeToUtf8(std::string_view text, const std::string& codePage) {
  thread_local TCachedCodec cache;
  iconv_t codec = cache.For(codePage);
  if (codec == TCachedCodec::Invalid())
    return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPointer = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = ::iconv(codec, &in, &inLeft, &outPointer, &outLeft);
    out.append(buffer, static_cast<size_t>(outPointer - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      // A byte the code page does not define.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
    }
  }
  return out;
}

std::string DosCodePageOf(std::string_view language) {
  std::string upper(language);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  if (upper == "RUSSIAN")
    return "IBM866";
  if (upper == "POLISH" || upper == "CZECH" || upper == "HUNGARIAN")
    return "IBM852";
  if (upper == "ITALIAN" || upper == "SPANISH")
    return "IBM850";
  return "IBM437";
}

} // namespace corvane::config
