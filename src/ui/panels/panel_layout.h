// The arithmetic of a file panel's layout: where the list, its cells, the information lines and
// the scroll bar go for a panel of a given size and settings, and the number formats the panel
// prints. Kept apart from the widget so that every figure can be checked without painting.
#pragma once

#include <QRect>
#include <QString>

#include <cstdint>

namespace corvane {

// Rounds to the nearest integer, a half to the even neighbour (13.5 gives 14, 16.5 gives 16).
int RoundHalfEven(double value);

// Height of the path line area: 25 at the standard length 8, else from the height of "C".
int TopAreaFor(int length, int textHeightOfC);
// Height of the information lines area: 38 at length 8, else 4 x length.
int InfoAreaFor(int length);
// Line height of the information lines.
int InfoLineHeightFor(int length);

struct TPanelGeometry {
  int ListLeft = 3;
  int ListRight = 0;
  int ListTop = 0;
  int ListHeight = 0;
  int InfoTop = 0; // the information area starts here
  int ColumnStep = 0;
  int ColumnWidth = 0;
  int LineHeight = 0;
  int RowsPerColumn = 0;
  QRect ScrollBar; // left, top, right, bottom as the panel draws them; empty without a bar

  int PageSize(int columns) const { return RowsPerColumn * columns; }
};

TPanelGeometry ComputePanelGeometry(int width, int height, int topArea, int infoArea,
                                    int scrollBarHeight, int columns, int fontPointSize);

// The name column's right edge in full mode, kept at most 30 pixels short of the panel's width.
int ClampNameColumn(int stolbikFile, int panelWidth);

// "#,###": digits grouped by threes with the locale's separator; 0 gives an empty text.
QString FormatThousands(uint64_t value);
// Computed folder sizes: "Empty", "n Kb" below a million, "n Mb" from there.
QString FormatSize(uint64_t bytes);

} // namespace corvane
