#include "main/main_form.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace corvane {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Corvane"));
  resize(640, 480);
}

void TForm1::closeEvent(QCloseEvent* event) {
  event->accept();
  QCoreApplication::quit();
}

} // namespace corvane
