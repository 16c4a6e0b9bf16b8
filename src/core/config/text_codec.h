// Text encodings of settings files: everything is UTF-8, and files from before that are read
// through the legacy code page of their language.
#pragma once

#include <string>
#include <string_view>

namespace corvane::config {

bool IsValidUtf8(std::string_view text);

// The text in UTF-8, decoded from a code page iconv knows ("CP1251", ...); a byte the code page
// does not define becomes U+FFFD. An unknown code page decodes as CP1252.
std::string DecodeToUtf8(std::string_view text, const std::string& codePage);

// The DOS code page whose names archives written on DOS in that language's countries carry
// (ENGLISH IBM437, RUSSIAN IBM866, POLISH, CZECH and HUNGARIAN IBM852, ITALIAN and SPANISH
// IBM850; any other language IBM437). The language is named as in the settings, in any case.
std::string DosCodePageOf(std::string_view language);

} // namespace corvane::config
