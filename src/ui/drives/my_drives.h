// TMyDrives: the list inside the change-drive window, one 22-pixel row per drive with its picture,
// its letter and its volume label, the current row in the highlight colours.
//
// The rows' texts are made when the list is filled, not when it paints, so that repainting (a
// mouse move over the rows) reads nothing at all.
#pragma once

#include "drives/drive_items.h"

#include <QStringList>
#include <QWidget>

#include <functional>

namespace corvane {

class TLanguageFile;

class TMyDrives final : public QWidget {
  Q_OBJECT

public:
  static constexpr int RowHeight = 22;
  static constexpr int TextLeft = 40;

  explicit TMyDrives(QWidget* parent);

  // The drives and their label texts; the list sizes itself to them.
  void SetDrives(const TDriveLists& drives, const TLanguageFile* language);
  const TDriveLists& Drives() const { return Lists; }
  int DriveCount() const { return Lists.Count(); }
  // The row texts: letter, ": " and the label.
  const QStringList& RowTexts() const { return Texts; }
  // 1-based; 0 only while the list is empty.
  int CurrentRow() const { return Row; }
  void SetCurrentRow(int row);
  // The row under a point: ceiling((y + 1) / 22), at most the drive count.
  int RowAt(QPoint point) const;

  // A press on the list chooses the current row; a right press closes the window.
  std::function<void()> OnChoose;
  std::function<void()> OnRightClick;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  TDriveLists Lists;
  QStringList Texts;
  int Row = 0;
};

} // namespace corvane
