// TAsker: every message box of the program goes through here, so that tests can read what would
// have been shown and give the answers, without real boxes waiting for a click.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace corvane {

class TAsker {
public:
  enum TAnswer { Yes, No, Cancel, All, Ok };

  virtual ~TAsker();
  // A failure: one OK button with an error icon.
  virtual void Error(QWidget* parent, const QString& text) = 0;
  // A result: one OK button with an information icon.
  virtual void Information(QWidget* parent, const QString& text) = 0;
  // A confirmation with Yes and No.
  virtual TAnswer YesNo(QWidget* parent, const QString& text) = 0;
  // A question during an operation: Yes, No, Cancel and All, with a warning icon.
  virtual TAnswer YesNoCancelAll(QWidget* parent, const QString& text) = 0;

  // The question of a running operation: Yes and All (which also sets yesToAll) answer true, No
  // false, Cancel false and runs `stop`. With yesToAll already set nothing is asked.
  static bool AskDuringOperation(QWidget* parent, const QString& text, bool& yesToAll,
                                 const std::function<void()>& stop);

  static TAsker& Current();
  // Puts in another asker (nullptr: the message boxes again); the caller keeps it alive.
  static void Replace(TAsker* asker);
};

} // namespace corvane
