// cvinet: a local page with its picture and relative links; links and resources off the disk are
// never fetched, and web links go to the desktop's opener.
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "viewer/form_inet.h"
#include "window_part.h"

#include "config/ini_file.h"
#include "viewer/hand_off.h"

#include <QAction>
#include <QImage>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

struct TAskerScope {
  TAskerScope() { TAsker::Replace(&Asker); }
  ~TAskerScope() { TAsker::Replace(nullptr); }
  test::TScriptedAsker Asker;
};

TEST(FormInet, ShowsAPageWithItsPictureAndFollowsLocalLinks) {
  TAskerScope asker;
  test::TProgramFolder program(true);
  test::TTempFolder site;
  QImage picture(40, 30, QImage::Format_RGB32);
  picture.fill(Qt::red);
  site.Folder("pics");
  ASSERT_TRUE(picture.save(QString::fromStdString(site.Native("pics/red.png"))));
  test::WriteFile(site.Native("index.html"),
                  "<html><head><title>Home</title></head><body><h1>Hello</h1>"
                  "<img src=\"pics/red.png\"><img src=\"http://127.0.0.1:9/spy.png\">"
                  "<a href=\"more/page2.htm\">next</a> <a href=\"https://example.org/x\">web</a>"
                  " <a href=\"mailto:a@b.c\">mail</a> <a href=\"gone.htm\">gone</a>"
                  " <a href=\"doc.pdf\">pdf</a></body></html>");
  site.Folder("more");
  test::WriteFile(site.Native("more/page2.htm"),
                  "<html><title>Two</title><body>second</body></html>");
  test::WriteFile(site.Native("doc.pdf"), "%PDF");
  program.Write("cv.ini",
                "[Editor]\nec_Language=cv_eng\n[TForm1]\nURL=" + site.Native("index.html") + "\n");

  config::TIniFile ini(program.Ini());
  TFormInet form;
  std::vector<std::string> outside;
  form.OnOpenOutside = [&](const std::string& target) { outside.push_back(target); };
  form.SetLanguage(viewer::ReadEditorHandOff(ini).Language);
  ASSERT_TRUE(form.OpenPage(viewer::ReadUrlHandOff(ini)));
  form.resize(640, 480);
  form.show();
  auto* browser = test::Part<QTextBrowser>(form, "Browser");
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Home - Web page"));
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Hello")));
  const QUrl pictureUrl = browser->source().resolved(QUrl(QStringLiteral("pics/red.png")));
  const QImage loaded =
      browser->document()->resource(QTextDocument::ImageResource, pictureUrl).value<QImage>();
  EXPECT_EQ(loaded.size(), QSize(40, 30));
  // Nothing is fetched from the network.
  EXPECT_TRUE(browser
                  ->loadResource(QTextDocument::ImageResource,
                                 QUrl(QStringLiteral("http://127.0.0.1:9/spy.png")))
                  .isNull());

  form.FollowLink(QUrl(QStringLiteral("https://example.org/x")));
  form.FollowLink(QUrl(QStringLiteral("mailto:a@b.c")));
  form.FollowLink(QUrl(QStringLiteral("doc.pdf")));
  EXPECT_EQ(outside, (std::vector<std::string>{"https://example.org/x", "mailto:a@b.c",
                                               site.Native("doc.pdf")}));
  form.FollowLink(QUrl(QStringLiteral("gone.htm")));
  ASSERT_EQ(asker.Asker.Errors.size(), 1u);
  EXPECT_TRUE(asker.Asker.Errors[0].contains(QStringLiteral("does not exist")));

  form.FollowLink(QUrl(QStringLiteral("more/page2.htm")));
  EXPECT_EQ(form.Page().toLocalFile().toStdString(), site.Native("more/page2.htm"));
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("second")));
  test::Part<QAction>(form, "ActionBack")->trigger();
  EXPECT_EQ(form.Page().toLocalFile().toStdString(), site.Native("index.html"));
  test::Part<QAction>(form, "ActionBrowser")->trigger();
  EXPECT_EQ(outside.back(), site.Native("index.html"));
}

TEST(FormInet, AMissingPageIsToldAndNothingShown) {
  TAskerScope asker;
  TFormInet form;
  EXPECT_FALSE(form.OpenPage("/nonexistent/page.htm"));
  EXPECT_FALSE(form.OpenPage(""));
  ASSERT_EQ(asker.Asker.Errors.size(), 2u);
  EXPECT_TRUE(asker.Asker.Errors[0].contains(QStringLiteral("/nonexistent/page.htm")));
}

} // namespace
} // namespace corvane
