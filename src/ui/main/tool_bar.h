// TToolBar: the main window's configurable tool bar, built from the tool-bar table.
//
// Button N (named "Button" + N, tag N) shows image N - 1 of the bar's image list and its hint as a
// tool tip; a "splitter" button is a 20-pixel gap instead. Every button, the separator included,
// takes its place in the image list, and one whose picture cannot be loaded takes an empty one,
// so a picture that fails never shifts the pictures of the buttons after it. Clicks reach the
// owner through OnButtonClick with the button's tag; what a button does is the owner's business.
//
// Pictures (ToolPicture): a .exe or .dll gives the first icon group of its resources (read by our
// own resource reader, nothing of the file runs); a .ico is loaded as it is; a .bmp is loaded with
// the colour of its top-left pixel transparent; any other file gets the desktop's icon for its
// type.
#pragma once

#include "config/toolbar_file.h"

#include <QIcon>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QToolButton;

namespace corvane {

// The icon a picture file gives, or a null icon when it gives none.
QIcon ToolPicture(const std::string& nativePath);

class TToolBar final : public QWidget {
  Q_OBJECT

public:
  static constexpr int ButtonWidth = 25;
  static constexpr int ButtonHeight = 23;
  static constexpr int SeparatorWidth = 20;

  explicit TToolBar(QWidget* parent);

  // Replaces the buttons by those of the table; `picture` gives the native path of a button's
  // picture file ("" for none).
  void Build(const config::TToolBarTable& table,
             const std::function<std::string(const config::TToolButtonRecord&)>& picture);
  // The image list: one icon per button, in button order (null where a picture failed).
  const std::vector<QIcon>& Images() const { return LE; }
  // The buttons and separators, in order.
  const std::vector<QWidget*>& Buttons() const { return Items; }

  std::function<void(int tag)> OnButtonClick;

private:
  std::vector<QIcon> LE;
  std::vector<QWidget*> Items;
};

} // namespace corvane
