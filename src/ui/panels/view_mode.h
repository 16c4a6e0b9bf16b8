// How a file panel shows its folder.
#pragma once

#include <optional>

namespace corvane {

// The numbers are the ones the settings file stores.
enum class TViewMode { Brief = 1, Info = 2, Full = 3, QuickView = 4 };

// The mode a stored number names, or nothing for a number that names none.
inline std::optional<TViewMode> ViewModeFromNumber(int number) {
  if (number < 1 || number > 4)
    return std::nullopt;
  return static_cast<TViewMode>(number);
}

} // namespace corvane
