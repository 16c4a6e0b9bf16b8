// TForm1: the main window. It owns the two file panels, the drive bars, the command line, the hot
// buttons and the status line; for now it is the bare window the program starts with.
#pragma once

#include <QMainWindow>

namespace corvane {

class TForm1 final : public QMainWindow {
  Q_OBJECT

public:
  explicit TForm1(QWidget* parent = nullptr);

protected:
  // Closing the main window ends the program, even while other windows are open.
  void closeEvent(QCloseEvent* event) override;
};

} // namespace corvane
