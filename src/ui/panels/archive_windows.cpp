#include "panels/archive_windows.h"

#include <QCoreApplication>
#include <QFontMetrics>
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
  Now = [clock = std::make_shared<QElapsedTimer>()] {
    if (!clock->isValid())
      clock->start();
    return static_cast<int64_t>(clock->elapsed());
  };
  CentreOnScreen(this);
}

void TFormReadArchive::ShowCount(int count) {
  Label1->setText(QString::number(count));
  Label1->adjustSize();
  Label1->move((width() - Label1->width()) / 2, 8);
}

void TFormReadArchive::EntryRead(int count) {
  const int64_t now = Now();
  if (Updated && now - LastUpdate < UpdateMs)
    return;
  Updated = true;
  LastUpdate = now;
  ShowCount(count);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFormReadArchive::SetClock(TClock clock) {
  Now = std::move(clock);
  LastUpdate = Now();
  Updated = true;
}

TFormPassword::TFormPassword(QWidget* parent, const QString& prompt, const QString& password,
                             const TTexts& texts)
    : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("FormPassword"));
  setWindowTitle(texts.Caption);
  setFixedSize(271, 118);
  setModal(true);
  Label1 = new QLabel(prompt, this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(14, 12);
  Edit1 = new QLineEdit(password, this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setEchoMode(QLineEdit::Password);
  Edit1->setGeometry(14, 30, 231, 21);
  Button1 = new QPushButton(texts.OK, this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(58, 62, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(texts.Cancel, this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(136, 62, 75, 25);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  CentreOnScreen(this);
}

QString TFormPassword::Password() const {
  return Edit1->text();
}

TFormArchiverWait::TFormArchiverWait(QWidget* parent, const TTexts& texts, const QString& program,
                                     const QString& archive)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), Texts(texts) {
  setObjectName(QStringLiteral("FormArchiverWait"));
  setWindowTitle(texts.Caption);
  setFixedSize(360, 96);
  setWindowModality(Qt::ApplicationModal);
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(12, 10, 336, 17);
  // A long path keeps its end, where the archive's own name is.
  const QString text = program + QStringLiteral(": ") + archive;
  Label1->setText(QFontMetrics(Label1->font()).elidedText(text, Qt::ElideMiddle, 336));
  Label1->setToolTip(archive);
  Label2 = new QLabel(texts.Caption + QStringLiteral("..."), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(12, 32, 336, 17);
  Button1 = new QPushButton(texts.Cancel, this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(142, 60, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &TFormArchiverWait::reject);
  CentreOnScreen(this);
}

void TFormArchiverWait::reject() {
  // The window goes when the archiver has ended, not before: until then it says so.
  Cancelled = true;
  Label2->setText(Texts.Stopping);
  Button1->setEnabled(false);
}

TArchiverWaiter::~TArchiverWaiter() = default;

bool TArchiverWaiter::Wait(const TArchiverWait& wait, const TFormArchiverWait::TTexts& texts) {
  if (!wait.Running) {
    Window.reset();
    Clock.invalidate();
    return true;
  }
  if (!Clock.isValid())
    Clock.start();
  if (!Window && Owner && Clock.elapsed() >= ShowDelayMs) {
    Window = std::make_unique<TFormArchiverWait>(Owner->window(), texts,
                                                 QString::fromStdString(wait.Program),
                                                 QString::fromStdString(wait.Archive));
    Window->show();
  }
  QCoreApplication::processEvents(Window ? QEventLoop::AllEvents
                                         : QEventLoop::ExcludeUserInputEvents);
  return !Window || !Window->CancelAsked();
}

} // namespace corvane
