#include "resources/dialog_preview.h"

#include "main/fonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <cmath>

namespace corvane {

namespace {

using resources::TDialogControl;
using resources::TDialogTemplate;
using resources::TNameOrId;

constexpr uint32_t wsVisible = 0x10000000;
constexpr uint32_t wsDisabled = 0x08000000;
constexpr uint32_t wsBorder = 0x00800000;

constexpr uint32_t bsTypeMask = 0xF;
constexpr uint32_t ssTypeMask = 0x1F;
constexpr uint32_t ssNoPrefix = 0x80;
constexpr uint32_t esCenter = 0x1, esRight = 0x2, esMultiline = 0x4, esPassword = 0x20,
                   esReadOnly = 0x800;
constexpr uint32_t cbsTypeMask = 0x3;
constexpr uint32_t sbsVert = 0x1;

// MulDiv: a * b / c rounded to the nearest, halves away from zero.
int MulDiv(int a, int b, int c) {
  return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

// The predefined class a control names, by number or by name; 0 for any other class.
uint16_t PredefinedClass(const TNameOrId& cls) {
  if (!cls.Present)
    return 0;
  if (cls.IsId)
    return cls.Id >= resources::dcButton && cls.Id <= resources::dcComboBox ? cls.Id : 0;
  const QString name = QString::fromStdString(cls.Name).toUpper();
  static const std::pair<const char*, uint16_t> names[] = {
      {"BUTTON", resources::dcButton},       {"EDIT", resources::dcEdit},
      {"STATIC", resources::dcStatic},       {"LISTBOX", resources::dcListBox},
      {"SCROLLBAR", resources::dcScrollBar}, {"COMBOBOX", resources::dcComboBox}};
  for (const auto& [text, id] : names)
    if (name == QLatin1String(text))
      return id;
  return 0;
}

QString TitleText(const TDialogControl& control) {
  return control.Title.Present && !control.Title.IsId ? QString::fromStdString(control.Title.Name)
                                                      : QString();
}

// A label text with its mnemonic marks taken out: "&&" is an ampersand, a single "&" only marks
// the next letter.
QString WithoutMnemonics(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
        out += QLatin1Char('&'), ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

QFrame* MakeFrame(QWidget* parent, QFrame::Shape shape, QFrame::Shadow shadow,
                  const QColor* fill = nullptr) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(shape);
  frame->setFrameShadow(shadow);
  if (fill) {
    frame->setAutoFillBackground(true);
    QPalette colours = frame->palette();
    colours.setColor(QPalette::Window, *fill);
    frame->setPalette(colours);
  }
  return frame;
}

} // namespace

QFont DialogFont(const TDialogTemplate& dialog) {
  if (!dialog.HasFont || dialog.Typeface.empty() || dialog.PointSize == 0) {
    QFont font = SettingsFont(QStringLiteral("MS Sans Serif"), 8);
    font.setPixelSize(11);
    return font;
  }
  QFont font = SettingsFont(QString::fromStdString(dialog.Typeface), dialog.PointSize);
  // Dialog templates are laid out for 96 pixels per inch.
  font.setPixelSize(std::max(1, MulDiv(dialog.PointSize, 96, 72)));
  if (dialog.Extended) {
    font.setBold(dialog.Weight >= 600);
    font.setItalic(dialog.Italic);
  }
  return font;
}

QPoint DialogBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const QRect& units, QPoint base) {
  return {MulDiv(units.x(), base.x(), 4), MulDiv(units.y(), base.y(), 8),
          MulDiv(units.width(), base.x(), 4), MulDiv(units.height(), base.y(), 8)};
}

TDialogWindow::TDialogWindow(const TDialogTemplate& dialog, const TPictureLookup& pictures,
                             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("DialogPreview"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QString::fromStdString(dialog.Caption));
  setFont(DialogFont(dialog));
  const QPoint base = DialogBaseUnits(font());
  const QRect box = DialogUnitsToPixels(QRect(dialog.X, dialog.Y, dialog.Cx, dialog.Cy), base);
  setFixedSize(std::clamp(box.width(), 1, 4096), std::clamp(box.height(), 1, 4096));
  Client = this;
  for (const TDialogControl& control : dialog.Controls) {
    QWidget* made = MakeControl(control, pictures);
    if (!made) {
      ++StrippedCount;
      continue;
    }
    made->setObjectName(QStringLiteral("Control%1").arg(Made.size() + 1));
    QRect box = DialogUnitsToPixels(QRect(control.X, control.Y, control.Cx, control.Cy), base);
    // A combo box's height in the template is that of its open list; closed, it is as high as
    // its font makes it.
    if (qobject_cast<QComboBox*>(made))
      box.setHeight(made->sizeHint().height());
    made->setGeometry(box);
    made->setEnabled(!(control.Style & wsDisabled));
    made->setVisible(control.Style & wsVisible);
    Made.push_back(made);
  }
  if (dialog.DeclaredCount > dialog.Controls.size())
    StrippedCount += dialog.DeclaredCount - static_cast<int>(dialog.Controls.size());
}

QWidget* TDialogWindow::MakeControl(const TDialogControl& control, const TPictureLookup& pictures) {
  const QString text = TitleText(control);
  const uint32_t style = control.Style;
  switch (PredefinedClass(control.Class)) {
  case resources::dcButton:
    switch (style & bsTypeMask) {
    case 2:
    case 3:
    case 5:
    case 6: {
      auto* box = new QCheckBox(text, Client);
      box->setTristate((style & bsTypeMask) == 5 || (style & bsTypeMask) == 6);
      return box;
    }
    case 4:
    case 9:
      return new QRadioButton(text, Client);
    case 7:
      return new QGroupBox(text, Client);
    default: {
      auto* button = new QPushButton(text, Client);
      button->setAutoDefault(false);
      button->setDefault((style & bsTypeMask) == 1);
      return button;
    }
    }
  case resources::dcEdit: {
    if (style & esMultiline) {
      auto* edit = new QPlainTextEdit(text, Client);
      edit->setReadOnly(style & esReadOnly);
      return edit;
    }
    auto* edit = new QLineEdit(text, Client);
    edit->setFrame(true);
    edit->setReadOnly(style & esReadOnly);
    if (style & esPassword)
      edit->setEchoMode(QLineEdit::Password);
    edit->setAlignment((style & esRight)    ? Qt::AlignRight
                       : (style & esCenter) ? Qt::AlignHCenter
                                            : Qt::AlignLeft);
    return edit;
  }
  case resources::dcStatic: {
    const uint32_t kind = style & ssTypeMask;
    static const QColor black(Qt::black), grey(Qt::gray), white(Qt::white);
    switch (kind) {
    case 3:
    case 0xE: {
      auto* picture = new QLabel(Client);
      const QPixmap pixmap = pictures ? pictures(control.Title, kind == 3) : QPixmap();
      if (pixmap.isNull())
        picture->setFrameStyle(QFrame::Box | QFrame::Sunken);
      else
        picture->setPixmap(pixmap);
      return picture;
    }
    case 4:
      return MakeFrame(Client, QFrame::NoFrame, QFrame::Plain, &black);
    case 5:
      return MakeFrame(Client, QFrame::NoFrame, QFrame::Plain, &grey);
    case 6:
      return MakeFrame(Client, QFrame::NoFrame, QFrame::Plain, &white);
    case 7:
    case 8:
    case 9:
      return MakeFrame(Client, QFrame::Box, QFrame::Plain);
    case 0x10:
      return MakeFrame(Client, QFrame::HLine, QFrame::Sunken);
    case 0x11:
      return MakeFrame(Client, QFrame::VLine, QFrame::Sunken);
    case 0x12:
      return MakeFrame(Client, QFrame::Box, QFrame::Sunken);
    default: {
      auto* label = new QLabel(style & ssNoPrefix ? text : WithoutMnemonics(text), Client);
      label->setAlignment(Qt::AlignTop | (kind == 1   ? Qt::AlignHCenter
                                          : kind == 2 ? Qt::AlignRight
                                                      : Qt::AlignLeft));
      label->setWordWrap(kind <= 2);
      if (style & wsBorder)
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
      return label;
    }
    }
  }
  case resources::dcListBox:
    return new QListWidget(Client);
  case resources::dcScrollBar:
    return new QScrollBar(style & sbsVert ? Qt::Vertical : Qt::Horizontal, Client);
  case resources::dcComboBox: {
    auto* combo = new QComboBox(Client);
    combo->setEditable((style & cbsTypeMask) == 1 || (style & cbsTypeMask) == 2);
    if (combo->isEditable())
      combo->setEditText(text);
    return combo;
  }
  default:
    return nullptr;
  }
}

TDialogPlaceholder::TDialogPlaceholder(const TDialogTemplate& dialog,
                                       const TDialogWindow::TPictureLookup& pictures)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("DialogPlaceholder"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("I'm just a placeholder for dialog. Click to close"));
  resize(500, 40);
  DialogWindow = new TDialogWindow(dialog, pictures, this);
}

void TDialogPlaceholder::ShowBoth(QPoint at) {
  move(at);
  show();
  DialogWindow->move(at.x(), at.y() + height() + 40);
  DialogWindow->show();
  raise();
}

void TDialogPlaceholder::mousePressEvent(QMouseEvent* event) {
  event->accept();
  close();
}

} // namespace corvane
