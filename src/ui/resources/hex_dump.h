// THexDump: the bytes of one resource as lines of an offset, hex bytes and the bytes as
// characters, with a vertical scroll bar and a current line moved by the keys.
//
// The control never copies the data: it shows a span the owner keeps alive (the explorer's image).
// Offsets are counted from the start of the data, so the address column tells where a byte lies
// within the resource rather than where the program happens to hold it. The layout is computed
// from the font's metrics so that each line shows as many whole groups of bytes as fit (1 to 16).
#pragma once

#include <QAbstractScrollArea>
#include <QColor>

#include <cstdint>
#include <span>

namespace corvane {

class THexDump final : public QAbstractScrollArea {
  Q_OBJECT

public:
  explicit THexDump(QWidget* parent = nullptr);

  void SetData(std::span<const uint8_t> data);
  std::span<const uint8_t> Data() const { return Bytes; }

  bool Border = false;
  bool ShowAddress = true;
  bool ShowCharacters = true;
  QColor AddressColor = Qt::black;
  QColor HexColor = Qt::black;
  QColor CharColor = Qt::black;

  int TopLine() const { return Top; }
  int CurrentLine() const { return Current; }
  int VisibleLines() const { return Visible; }
  int BytesPerLine() const { return PerLine; }
  int LineCount() const { return Lines; }
  int LineHeight() const;
  int CharWidth() const;
  // The text of one line as painted, columns separated by blanks: "00000010:  4D 5A ...  MZ..".
  QString LineText(int line) const;
  // Recomputes the layout after a change of the flags above.
  void AdjustLayout();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool event(QEvent* event) override;

private:
  void SetCurrent(int line);

  std::span<const uint8_t> Bytes;
  int Top = 0;
  int Current = 0;
  int Visible = 1;
  int PerLine = 16;
  int Lines = 0;
};

} // namespace corvane
