// The sixteen rows of the explorer's version page, made from a decoded version resource: the
// eight strings of the first translation, a separator, and the fixed part in words.
#pragma once

#include "resources/version_info.h"

#include <QString>

#include <utility>
#include <vector>

namespace corvane {

struct TVersionRows {
  // "Lang-charset: 040904B0", or empty when the resource lists no translation.
  QString LanguageText;
  // Caption and value, always sixteen rows; values that are missing are empty.
  std::vector<std::pair<QString, QString>> Rows;
};

TVersionRows MakeVersionRows(const resources::TVersionInfo& info);

} // namespace corvane
