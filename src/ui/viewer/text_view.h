// TTextView: the viewer's page over a TViewFile, as text or as a hex dump.
//
// It holds no more of the file than the rows it shows: the top of the page is a byte offset (the
// start of a line in text mode, a multiple of 16 in hex mode, plus the wrapped row of that line
// shown first) and every paint reads and decodes the bytes of the rows on the page. Moving up or
// down walks line starts from there (viewer/text_lines), so scrolling costs the same at the end of
// a file of a gigabyte as at its start. The scroll bar stands for the byte offset of the top.
#pragma once

#include "viewer/code_page.h"
#include "viewer/view_file.h"

#include <QAbstractScrollArea>
#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace corvane {

class TTextView final : public QAbstractScrollArea {
  Q_OBJECT

public:
  explicit TTextView(QWidget* parent = nullptr);

  viewer::TViewFile& File() { return ViewFile; }
  // Shows the file from its top (after a change of file or of its contents).
  void Reset();

  bool Hex() const { return HexMode; }
  void SetHex(bool hex);
  bool Wrap() const { return WrapMode; }
  void SetWrap(bool wrap);
  viewer::TCodePage CodePage() const { return Page; }
  void SetCodePage(viewer::TCodePage page);

  uint64_t TopOffset() const { return Top; }
  void ScrollRows(int rows);
  void PageDown() { ScrollRows(qMax(1, PageRows() - 1)); }
  void PageUp() { ScrollRows(-qMax(1, PageRows() - 1)); }
  void GoHome();
  void GoEnd();
  // Puts the row holding `offset` near the top of the page.
  void GoToOffset(uint64_t offset);
  // Marks a search hit and brings it onto the page; a length of 0 clears the mark.
  void ShowHit(uint64_t offset, uint64_t length);
  uint64_t HitOffset() const { return HitStart; }
  uint64_t HitLength() const { return HitBytes; }
  // After the file grew or shrank: keeps the place, or clamps it to the new end.
  void FileChanged();
  // Whether the last row of the file is on the page.
  bool AtEnd();

  // The rows of the page as shown (tests read them): text, or the hex dump's lines.
  QStringList PageText();
  int PageRows() const;
  int Columns() const;

  std::function<void()> OnMoved;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;

private:
  struct TRow {
    uint64_t Offset = 0; // its line's start (text) or its first byte (hex)
    QString Text;
    // Columns [from, to) of a search hit on the row (in hex mode: in the bytes and characters).
    std::vector<std::pair<int, int>> Marks;
  };
  std::vector<TRow> BuildRows(int count);
  QString DisplayText(std::string_view bytes) const;
  // The rows a line of the file takes (1 without wrapping).
  int RowsOfLine(uint64_t lineStart);
  uint64_t LastLineStart();
  uint64_t DataStart();
  void Moved();
  void UpdateScrollBars();

  viewer::TViewFile ViewFile;
  viewer::TCodePage Page = viewer::TCodePage::Utf8;
  bool HexMode = false;
  bool WrapMode = true;
  uint64_t Top = 0;
  int TopRow = 0;
  int LeftColumn = 0;
  uint64_t HitStart = 0;
  uint64_t HitBytes = 0;
  bool Syncing = false;
  int PendingRows = 0;
  int WheelRest = 0;
};

} // namespace corvane
