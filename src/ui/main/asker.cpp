#include "main/asker.h"

#include <QMessageBox>
#include <QPushButton>

namespace corvane {

namespace {

class TBoxAsker final : public TAsker {
public:
  void Error(QWidget* parent, const QString& text) override {
    QMessageBox::critical(parent, QStringLiteral("Corvane"), text);
  }
  void Information(QWidget* parent, const QString& text) override {
    QMessageBox::information(parent, QStringLiteral("Corvane"), text);
  }
  TAnswer YesNoCancelAll(QWidget* parent, const QString& text) override {
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Corvane"), text,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::YesToAll, parent);
    box.button(QMessageBox::YesToAll)->setText(QStringLiteral("All"));
    switch (box.exec()) {
    case QMessageBox::Yes:
      return Yes;
    case QMessageBox::YesToAll:
      return All;
    case QMessageBox::No:
      return No;
    default:
      return Cancel;
    }
  }
  TAnswer YesNo(QWidget* parent, const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Corvane"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes ? Yes : No;
  }
};

TBoxAsker BoxAsker;
TAsker* ActiveAsker = &BoxAsker;

} // namespace

TAsker::~TAsker() = default;

TAsker& TAsker::Current() {
  return *ActiveAsker;
}

void TAsker::Replace(TAsker* asker) {
  ActiveAsker = asker ? asker : &BoxAsker;
}

bool TAsker::AskDuringOperation(QWidget* parent, const QString& text, bool& yesToAll,
                                const std::function<void()>& stop) {
  if (yesToAll)
    return true;
  switch (Current().YesNoCancelAll(parent, text)) {
  case All:
    yesToAll = true;
    return true;
  case Yes:
    return true;
  case Cancel:
    if (stop)
      stop();
    return false;
  default:
    return false;
  }
}

} // namespace corvane
