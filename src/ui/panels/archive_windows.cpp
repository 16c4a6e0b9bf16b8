#include "panels/archive_windows.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace corvane {

namespace {

void CentreOnScreen(QWidget* window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window->move(screen->geometry().center() - window->rect().center());
}

} // namespace

TFormReadArchive::TFormReadArchive(QWidget* parent, const QString& caption)
    : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("FormReadArchive"));
  setWindowTitle(caption);
  setFixedSize(140, 50);
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(0, 8);
  CentreOnScreen(this);
}

void TFormReadArchive::ShowCount(int count) {
  Label1->setText(QString::number(count));
  Label1->adjustSize();
  Label1->move((width() - Label1->width()) / 2, 8);
}

TFormPassword::TFormPassword(QWidget* parent, const QString& prompt, const QString& password)
    : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("FormPassword"));
  setWindowTitle(QStringLiteral("Enter password"));
  setFixedSize(271, 118);
  setModal(true);
  Label1 = new QLabel(prompt, this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(14, 12);
  Edit1 = new QLineEdit(password, this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setEchoMode(QLineEdit::Password);
  Edit1->setGeometry(14, 30, 231, 21);
  Button1 = new QPushButton(QStringLiteral("&OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(58, 62, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(136, 62, 75, 25);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  CentreOnScreen(this);
}

QString TFormPassword::Password() const {
  return Edit1->text();
}

} // namespace corvane
