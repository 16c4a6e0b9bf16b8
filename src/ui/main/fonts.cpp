#include "main/fonts.h"

#include <QStringList>

namespace corvane {

void InstallFontSubstitutions() {
  QFont::insertSubstitutions(
      QStringLiteral("MS Sans Serif"),
      QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Arial"), QStringList{QStringLiteral("Liberation Sans"),
                                                                  QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Small Fonts"),
                             QStringList{QStringLiteral("DejaVu Sans")});
}

QFont SettingsFont(const QString& name, int pointSize, bool bold) {
  QFont font(name);
  font.setPointSize(pointSize > 0 ? pointSize : 8);
  font.setBold(bold);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

} // namespace corvane
