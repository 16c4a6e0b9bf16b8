#include "main/colors.h"

#include <QApplication>
#include <QPalette>

namespace corvane {

QColor ColorFromNumber(uint32_t number) {
  if ((number >> 24) == 0x80) {
    const QPalette palette = QApplication::palette();
    switch (number & 0xFF) {
    case 5:
      return palette.color(QPalette::Base);
    case 8:
      return palette.color(QPalette::WindowText);
    case 13:
      return palette.color(QPalette::Highlight);
    case 14:
      return palette.color(QPalette::HighlightedText);
    case 15:
      return palette.color(QPalette::Button);
    case 16:
      return palette.color(QPalette::Mid);
    case 17:
      return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:
      return palette.color(QPalette::ButtonText);
    case 20:
      return palette.color(QPalette::Light);
    case 23:
      return palette.color(QPalette::ToolTipText);
    case 24:
      return palette.color(QPalette::ToolTipBase);
    default:
      return palette.color(QPalette::Window);
    }
  }
  return QColor(number & 0xFF, (number >> 8) & 0xFF, (number >> 16) & 0xFF);
}

} // namespace corvane
