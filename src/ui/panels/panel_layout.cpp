#include "panels/panel_layout.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace corvane {

int RoundHalfEven(double value) {
  return static_cast<int>(std::nearbyint(value));
}

int TopAreaFor(int length, int textHeightOfC) {
  if (length == 8)
    return 25;
  return length < 9 ? 2 * textHeightOfC : RoundHalfEven(1.5 * textHeightOfC);
}

int InfoAreaFor(int length) {
  return length == 8 ? 38 : 4 * length;
}

int InfoLineHeightFor(int length) {
  return length == 8 ? 13 : RoundHalfEven(1.5 * length);
}

TPanelGeometry ComputePanelGeometry(int width, int height, int topArea, int infoArea,
                                    int scrollBarHeight, int columns, int fontPointSize) {
  TPanelGeometry g;
  columns = std::max(columns, 1);
  g.ListLeft = 3;
  g.ListRight = width - 3;
  g.ListTop = topArea;
  g.ListHeight = height - infoArea - topArea - scrollBarHeight;
  g.InfoTop = g.ListTop + g.ListHeight;
  g.ColumnStep = (width - 3) / columns;
  g.ColumnWidth = std::min(g.ColumnStep - 2, g.ListRight - 2);
  g.LineHeight = std::max(2 * fontPointSize, 1);
  g.RowsPerColumn = std::max((g.ListHeight - 4) / g.LineHeight, 0);
  if (scrollBarHeight > 0)
    g.ScrollBar = QRect(QPoint(3, height - scrollBarHeight + 2), QPoint(width - 4, height - 2));
  return g;
}

int ClampNameColumn(int stolbikFile, int panelWidth) {
  return std::min(stolbikFile, panelWidth - 30);
}

QString FormatThousands(uint64_t value) {
  if (value == 0)
    return QString();
  const QString digits = QString::number(value);
  const QString separator = QLocale().groupSeparator();
  QString out;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0)
      out += separator;
    out += digits[i];
  }
  return out;
}

QString FormatSize(uint64_t bytes) {
  if (bytes == 0)
    return QStringLiteral("Empty");
  if (bytes < 1000000) {
    const QString figure = FormatThousands(bytes / 1000);
    return (figure.isEmpty() ? QStringLiteral("0") : figure) + QStringLiteral(" Kb");
  }
  return FormatThousands(bytes / 1000000) + QStringLiteral(" Mb");
}

} // namespace corvane
