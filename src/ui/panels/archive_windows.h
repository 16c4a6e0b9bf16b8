// The two small windows a panel shows while it reads an archive: the reading progress, which
// appears only for archives big enough to make the user wait, and the password prompt.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

// "Reading archive..." with the number of entries read so far.
class TFormReadArchive final : public QDialog {
  Q_OBJECT

public:
  explicit TFormReadArchive(QWidget* parent, const QString& caption);
  void ShowCount(int count);
  QLabel* Label1 = nullptr;
};

// Asks for an archive's password; the answer shows as "*".
class TFormPassword final : public QDialog {
  Q_OBJECT

public:
  TFormPassword(QWidget* parent, const QString& prompt, const QString& password);
  QString Password() const;

  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
};

} // namespace corvane
