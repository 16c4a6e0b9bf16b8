// How a file panel shows its folder, and the side it stands on.
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

// The two panels. Stored in the settings file as "Left" and "Right".
enum class TPanelSide { Left, Right };

inline const char* SideName(TPanelSide side) {
  return side == TPanelSide::Left ? "Left" : "Right";
}

inline TPanelSide OtherSide(TPanelSide side) {
  return side == TPanelSide::Left ? TPanelSide::Right : TPanelSide::Left;
}

} // namespace corvane
