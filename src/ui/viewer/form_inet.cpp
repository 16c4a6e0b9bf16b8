#include "viewer/form_inet.h"

#include "main/asker.h"
#include "platform/launcher.h"

#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <QTextBrowser>
#include <QToolBar>

namespace corvane {

namespace {

// A text browser that reads only local files for the pictures and style sheets of a page.
class TLocalBrowser final : public QTextBrowser {
public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int type, const QUrl& name) override {
    if (!name.isLocalFile() && !name.isRelative() && name.scheme() != QLatin1String("data"))
      return {};
    return QTextBrowser::loadResource(type, name);
  }
};

bool IsPage(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == QLatin1String("htm") || suffix == QLatin1String("html") ||
         suffix == QLatin1String("txt");
}

} // namespace

TFormInet::TFormInet(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("FormInet"));
  resize(900, 700);
  Browser = new TLocalBrowser(this);
  Browser->setObjectName(QStringLiteral("Browser"));
  Browser->setOpenLinks(false);
  Browser->setOpenExternalLinks(false);
  setCentralWidget(Browser);
  QToolBar* bar = addToolBar(QString());
  bar->setObjectName(QStringLiteral("PageBar"));
  bar->setMovable(false);
  BackAction = bar->addAction(QString(), Browser, &QTextBrowser::backward);
  BackAction->setObjectName(QStringLiteral("ActionBack"));
  BackAction->setShortcut(QKeySequence::Back);
  BackAction->setEnabled(false);
  ForwardAction = bar->addAction(QString(), Browser, &QTextBrowser::forward);
  ForwardAction->setObjectName(QStringLiteral("ActionForward"));
  ForwardAction->setShortcut(QKeySequence::Forward);
  ForwardAction->setEnabled(false);
  OutsideAction = bar->addAction(QString(), this, [this] {
    if (!Page().isEmpty())
      OnOpenOutside(Page().isLocalFile() ? Page().toLocalFile().toStdString()
                                         : Page().toString().toStdString());
  });
  OutsideAction->setObjectName(QStringLiteral("ActionBrowser"));
  auto* close = new QAction(this);
  close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_F10)});
  connect(close, &QAction::triggered, this, &QWidget::close);
  addAction(close);
  connect(Browser, &QTextBrowser::backwardAvailable, BackAction, &QAction::setEnabled);
  connect(Browser, &QTextBrowser::forwardAvailable, ForwardAction, &QAction::setEnabled);
  connect(Browser, &QTextBrowser::anchorClicked, this, &TFormInet::FollowLink);
  connect(Browser, &QTextBrowser::sourceChanged, this, [this] { UpdateTitle(); });
  OnOpenOutside = [](const std::string& target) { platform::OpenDocument(target, ""); };
  Caption();
}

void TFormInet::Caption() {
  BackAction->setText(Texts.Get("WebViewer", "Button_Back"));
  ForwardAction->setText(Texts.Get("WebViewer", "Button_Forward"));
  OutsideAction->setText(Texts.Get("WebViewer", "Button_Browser"));
  UpdateTitle();
}

void TFormInet::SetLanguage(const std::string& languageBase) {
  Texts.Open(languageBase);
  Caption();
}

void TFormInet::UpdateTitle() {
  const QString title = Browser->documentTitle();
  const QString caption = Texts.Get("WebViewer", "Caption");
  setWindowTitle(title.isEmpty() ? caption : title + QStringLiteral(" - ") + caption);
}

QUrl TFormInet::Page() const {
  return Browser->source();
}

bool TFormInet::OpenPage(const std::string& nativePath) {
  if (nativePath.empty()) {
    TAsker::Current().Error(this, Texts.Get("WebViewer", "Message_NoPage"));
    return false;
  }
  const QString path = QString::fromStdString(nativePath);
  const QFileInfo info(path);
  if (!info.isFile()) {
    TAsker::Current().Error(this,
                            Texts.Get("WebViewer", "Message_Missing") + QLatin1Char('\n') + path);
    return false;
  }
  Browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
  UpdateTitle();
  return true;
}

void TFormInet::FollowLink(const QUrl& link) {
  const QUrl target = Browser->source().resolved(link);
  const QString scheme = target.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
      scheme == QLatin1String("ftp") || scheme == QLatin1String("mailto")) {
    OnOpenOutside(target.toString().toStdString());
    return;
  }
  if (!target.isLocalFile())
    return; // javascript:, data: and the like are nothing a viewer of pages on disk follows
  const QString file = target.toLocalFile();
  if (!link.fragment().isEmpty() && QUrl(target).adjusted(QUrl::RemoveFragment) ==
                                        Browser->source().adjusted(QUrl::RemoveFragment)) {
    Browser->scrollToAnchor(link.fragment());
    return;
  }
  if (!QFileInfo(file).isFile()) {
    TAsker::Current().Error(this,
                            Texts.Get("WebViewer", "Message_Missing") + QLatin1Char('\n') + file);
    return;
  }
  if (IsPage(file))
    Browser->setSource(target);
  else
    OnOpenOutside(file.toStdString());
}

} // namespace corvane
