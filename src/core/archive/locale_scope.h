// TLocaleScope: runs a stretch of code in another locale on the calling thread, and puts the
// thread's own locale back afterwards. The readers over libarchive use it, because libarchive
// converts entry names through the current locale.
#pragma once

#include <locale.h>

namespace corvane::archive {

class TLocaleScope final {
public:
  // Does nothing when locale is (locale_t)0.
  explicit TLocaleScope(locale_t locale) {
    if (locale != static_cast<locale_t>(0))
      Saved = ::uselocale(locale);
  }
  TLocaleScope(const TLocaleScope&) = delete;
  TLocaleScope& operator=(const TLocaleScope&) = delete;
  ~TLocaleScope() {
    if (Saved != static_cast<locale_t>(0))
      ::uselocale(Saved);
  }

  // The "C" locale, and "C.UTF-8" (or "C" where that is missing); made once per process.
  static locale_t Plain() {
    static const locale_t plain = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return plain;
  }
  static locale_t Utf8() {
    static const locale_t utf8 = [] {
      const locale_t l = ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
      return l != static_cast<locale_t>(0) ? l : Plain();
    }();
    return utf8;
  }

private:
  locale_t Saved = static_cast<locale_t>(0);
};

} // namespace corvane::archive
