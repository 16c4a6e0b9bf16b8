// The fonts the settings name, mapped to fonts a Linux desktop has: "MS Sans Serif" and "Arial"
// to Liberation Sans (same metrics as the latter), "Small Fonts" to DejaVu Sans. Layout formulas
// use measured text heights, so the substitutes only need to be close.
#pragma once

#include <QFont>
#include <QString>

namespace corvane {

void InstallFontSubstitutions();

// A font by its settings name and point size.
QFont SettingsFont(const QString& name, int pointSize, bool bold = false);

} // namespace corvane
