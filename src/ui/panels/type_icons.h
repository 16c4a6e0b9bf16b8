// The small type icons in front of the names in a panel, chosen by extension, and pre-tinted for
// the two backgrounds they are drawn on (the list and the cursor bar), so that painting blits them
// without any transparency work.
#pragma once

#include "main/pictures.h"
#include "model/file_entry.h"

#include <QColor>
#include <QPixmap>

#include <array>

namespace corvane {

pictures::TTypeIcon IconFor(const TFileEntry& entry);

class TTypeIconSet final {
public:
  // Draws every icon with its transparent pixels (those equal to the top-left one) in `background`.
  void Load(const QColor& background);
  const QPixmap& Icon(pictures::TTypeIcon icon) const { return Icons[static_cast<size_t>(icon)]; }
  bool Loaded() const { return !Icons[0].isNull(); }

private:
  std::array<QPixmap, 11> Icons;
};

} // namespace corvane
