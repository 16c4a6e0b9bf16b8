#include "main/asker.h"

#include <QMessageBox>

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

} // namespace corvane
