// The small windows a panel shows for its archives: the reading progress, which appears only for
// archives big enough to make the user wait, the password prompt, and the window that waits for
// an outside archiver and lets the user cancel it.
#pragma once

#include "model/browser_events.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

// "Reading archive..." with the number of entries read so far. Reading calls EntryRead for every
// entry; the count is redrawn and waiting messages run at most every UpdateMs, so that a big
// archive is read at nearly the reader's own pace.
class TFormReadArchive final : public QDialog {
  Q_OBJECT

public:
  using TClock = std::function<int64_t()>; // milliseconds from any fixed point

  explicit TFormReadArchive(QWidget* parent, const QString& caption);
  void ShowCount(int count);
  // One more entry read, `count` so far: shows the count and lets waiting messages (repaints) run
  // when the last update is UpdateMs old, or there was none yet.
  void EntryRead(int count);
  // Replaces the steady clock (tests step their own); the last update counts as made now.
  void SetClock(TClock clock);

  QLabel* Label1 = nullptr;
  int UpdateMs = 50;

private:
  TClock Now;
  int64_t LastUpdate = 0;
  bool Updated = false;
};

// Asks for an archive's password; the answer shows as "*".
class TFormPassword final : public QDialog {
  Q_OBJECT

public:
  struct TTexts {
    QString Caption = QStringLiteral("Enter password");
    QString OK = QStringLiteral("&OK");
    QString Cancel = QStringLiteral("&Cancel");
  };
  TFormPassword(QWidget* parent, const QString& prompt, const QString& password,
                const TTexts& texts);
  QString Password() const;

  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
};

// "Waiting for the archiver" with the archive's name and Cancel. Esc and the close button cancel
// too; the window stays until the archiver has ended, saying that it is being stopped.
class TFormArchiverWait final : public QDialog {
  Q_OBJECT

public:
  struct TTexts {
    QString Caption = QStringLiteral("Waiting for the archiver");
    QString Cancel = QStringLiteral("&Cancel");
    QString Stopping = QStringLiteral("Stopping the archiver...");
  };
  TFormArchiverWait(QWidget* parent, const TTexts& texts, const QString& program,
                    const QString& archive);
  bool CancelAsked() const { return Cancelled; }
  void reject() override;

  QLabel* Label1 = nullptr; // the archiver and the archive
  QLabel* Label2 = nullptr; // what is going on
  QPushButton* Button1 = nullptr;

private:
  TTexts Texts;
  bool Cancelled = false;
};

// Waits for the archiver runs of one panel: lets windows repaint, shows TFormArchiverWait once a
// run has lasted ShowDelayMs (quick runs never flash a window), hands the user's Cancel to the run
// and takes the window away when the run ends. Until the window shows, user input waits in the
// queue; while it shows, it is modal, so input reaches it and nothing else.
class TArchiverWaiter final {
public:
  explicit TArchiverWaiter(QWidget* owner) : Owner(owner) {}
  ~TArchiverWaiter();
  // One call of the browser's OnArchiverWait; false when the user cancelled.
  bool Wait(const TArchiverWait& wait, const TFormArchiverWait::TTexts& texts);
  TFormArchiverWait* Form() const { return Window.get(); }

  int ShowDelayMs = 400;

private:
  QPointer<QWidget> Owner;
  QElapsedTimer Clock;
  std::unique_ptr<TFormArchiverWait> Window;
};

} // namespace corvane
