// TFormInet: cvinet's window, the program's own viewer of local web pages.
//
// It shows a page file with its pictures and follows its relative links to other local files.
// It loads nothing from the network: a resource with any scheme but file is not fetched (a page
// from the disk cannot make the viewer call out), and http, https, ftp and mailto links, like the
// "Open in the web browser" button, are handed to the desktop's opener. A link to a local file
// that is no page (a PDF, a picture alone) is handed to the opener too.
#pragma once

#include "viewer/viewer_texts.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <string>

class QAction;
class QTextBrowser;

namespace corvane {

class TFormInet final : public QMainWindow {
  Q_OBJECT

public:
  explicit TFormInet(QWidget* parent = nullptr);

  void SetLanguage(const std::string& languageBase);
  // Shows a page file; false (after a message) when there is none.
  bool OpenPage(const std::string& nativePath);
  // What a click on a link does.
  void FollowLink(const QUrl& link);
  QUrl Page() const;

  // Hands a URL or a file to the desktop's opener (xdg-open); tests replace it.
  std::function<void(const std::string&)> OnOpenOutside;

private:
  void Caption();
  void UpdateTitle();

  TViewerTexts Texts;
  QTextBrowser* Browser = nullptr;
  QAction* BackAction = nullptr;
  QAction* ForwardAction = nullptr;
  QAction* OutsideAction = nullptr;
};

} // namespace corvane
