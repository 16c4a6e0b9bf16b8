// cvedit's window as a user meets it: the hand-off decides the mode, the language and the place;
// the page shows text and hex; search and go-to move it; edits are saved in the file's own
// format; closing with changes asks; bad inputs give a message and nothing else.
#include "program_folder.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "viewer/form_edit.h"
#include "viewer/text_view.h"
#include "viewer/viewer_texts.h"
#include "window_part.h"

#include "config/ini_file.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

using namespace std::string_literals;

// Every message box answered by the test.
struct TAskerScope {
  TAskerScope() { TAsker::Replace(&Asker); }
  ~TAskerScope() { TAsker::Replace(nullptr); }
  test::TScriptedAsker Asker;
};

// Shown and active: the keys of the menus reach only an active window.
void Show(QWidget& form) {
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

viewer::TEditorHandOff HandOff(const std::string& file, bool edit) {
  viewer::TEditorHandOff handOff;
  handOff.FileName = file;
  handOff.EditMode = edit;
  handOff.Language = "cv_eng";
  return handOff;
}

TEST(FormEdit, TheHandOffGivesModeLanguagePlaceAndArchiveNote) {
  test::TProgramFolder program(true);
  test::TTempFolder folder;
  const std::string file = folder.Native("read me.txt");
  test::WriteFile(file, "text\n");
  struct TCase {
    bool Edit;
    bool Archive;
    const char* Language;
    const char* Title;
    bool Editing;
  };
  const TCase cases[] = {
      {false, false, "cv_eng", "read me.txt - View", false},
      {true, false, "cv_eng", "read me.txt - Edit", true},
      {false, false, "cv_rus", "read me.txt - Просмотр", false},
      // A copy out of an archive is only viewed, and the title says what it is.
      {true, true, "cv_eng", "read me.txt - View (temporary copy from an archive)", false},
  };
  for (const TCase& c : cases) {
    TAskerScope asker;
    program.Write("cv.ini",
                  "[Editor]\nec_FileName=" + file + "\nec_EditMode=" + (c.Edit ? "1" : "0") +
                      "\nec_Language=" + c.Language + "\nec_Left=40\nec_Top=30\nec_Width=640\n" +
                      "ec_Height=480\nec_Archive=" + (c.Archive ? "1" : "0") + "\n");
    config::TIniFile ini(program.Ini());
    TFormEdit form;
    ASSERT_TRUE(form.ApplyHandOff(viewer::ReadEditorHandOff(ini))) << c.Title;
    EXPECT_EQ(form.windowTitle().toStdString(), c.Title);
    EXPECT_EQ(form.IsEditing(), c.Editing) << c.Title;
    EXPECT_EQ(form.size(), QSize(640, 480));
    EXPECT_EQ(form.pos(), QPoint(40, 30));
    EXPECT_TRUE(asker.Asker.Said.empty());
  }
}

TEST(FormEdit, HexAndTextShowAFileWithEveryByteValue) {
  TAskerScope asker;
  test::TTempFolder folder;
  std::string every;
  for (int b = 0; b < 256; ++b)
    every += static_cast<char>(b);
  const std::string file = folder.Native("bytes.bin");
  test::WriteFile(file, every);
  TFormEdit form;
  form.resize(900, 700);
  ASSERT_TRUE(form.OpenFile(file, false));
  Show(form);
  auto* view = test::Part<TTextView>(form, "TextView");
  EXPECT_EQ(view->CodePage(), viewer::TCodePage::Cp1252); // not UTF-8, so the language's page

  QTest::keyClick(view, Qt::Key_F4);
  ASSERT_TRUE(view->Hex());
  const QStringList hex = view->PageText();
  ASSERT_GE(hex.size(), 16);
  EXPECT_EQ(hex[0].toStdString(), "0000000000  00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  "
                                  "................");
  EXPECT_EQ(hex[2].toStdString(), "0000000020  20 21 22 23 24 25 26 27  28 29 2A 2B 2C 2D 2E 2F  "
                                  " !\"#$%&'()*+,-./");
  EXPECT_TRUE(hex[15].startsWith(QStringLiteral("00000000F0  F0 F1")));
  EXPECT_TRUE(hex[15].endsWith(QStringLiteral("ðñòóôõö÷øùúûüýþÿ")));

  QTest::keyClick(view, Qt::Key_F4);
  ASSERT_FALSE(view->Hex());
  const QString text = view->PageText().join(QLatin1Char('\n'));
  // The newline byte ends the first line; control bytes show as dots, the rest as CP1252.
  EXPECT_TRUE(text.startsWith(QString(9, QChar(0x00B7)) + QString(7, QLatin1Char(' ')) +
                              QStringLiteral("\n"))); // a tab reaches column 16
  EXPECT_TRUE(text.contains(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ")));
  EXPECT_TRUE(text.contains(QStringLiteral("ðñòóôõö÷øùúûüýþÿ")));

  QTest::keyClick(view, Qt::Key_F8); // the next page after CP1252
  EXPECT_EQ(view->CodePage(), viewer::TCodePage::Ibm866);
  EXPECT_TRUE(view->PageText().join(QString()).contains(QStringLiteral("абвгдежзийклмноп")));
}

TEST(FormEdit, Utf16TextIsShownByItsMarkWithoutTheMark) {
  TAskerScope asker;
  test::TTempFolder folder;
  const std::string file = folder.Native("wide.txt");
  test::WriteFile(file, "\xFF\xFE"
                        "a\0b\0\r\0\n\0\x3F\x04\n\0"s);
  TFormEdit form;
  ASSERT_TRUE(form.OpenFile(file, false));
  Show(form);
  auto* view = test::Part<TTextView>(form, "TextView");
  EXPECT_EQ(view->CodePage(), viewer::TCodePage::Utf16Le);
  EXPECT_EQ(view->PageText(), (QStringList{QStringLiteral("ab"), QStringLiteral("п")}));
  form.FindText(QStringLiteral("П"), false);
  EXPECT_EQ(view->HitOffset(), 10u);
}

TEST(FormEdit, SearchAndGoToMoveThePage) {
  TAskerScope asker;
  test::TTempFolder folder;
  std::string text;
  for (int line = 1; line <= 500; ++line)
    text += "line " + std::to_string(line) + (line == 400 ? " Target\r\n" : "\r\n");
  const std::string file = folder.Native("lines.txt");
  test::WriteFile(file, text);
  TFormEdit form;
  form.resize(700, 400);
  ASSERT_TRUE(form.OpenFile(file, false));
  Show(form);
  auto* view = test::Part<TTextView>(form, "TextView");

  // Keys walk the lines; the end shows the last page.
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(view->TopOffset(), text.find("line 2\r"));
  QTest::keyClick(view, Qt::Key_End);
  EXPECT_TRUE(view->AtEnd());
  EXPECT_TRUE(view->PageText().last().startsWith(QStringLiteral("line 500")));
  QTest::keyClick(view, Qt::Key_PageUp);
  EXPECT_FALSE(view->AtEnd());
  QTest::keyClick(view, Qt::Key_Home);
  EXPECT_EQ(view->TopOffset(), 0u);

  form.FindText(QStringLiteral("target"), false); // case does not matter unless asked
  const uint64_t at = text.find("Target");
  EXPECT_EQ(view->HitOffset(), at);
  EXPECT_EQ(view->HitLength(), 6u);
  EXPECT_TRUE(view->PageText().join(QString()).contains(QStringLiteral("line 400 Target")));
  form.FindText(QStringLiteral("target"), false);
  EXPECT_TRUE(test::Part<QLabel>(form, "StatusLine")->text().contains(QStringLiteral("Not found")));
  form.FindText(QStringLiteral("line 3"), true); // back from the hit: line 399 is the first
  EXPECT_EQ(view->HitOffset(), text.find("line 399"));

  form.GoTo(QStringLiteral("250"));
  EXPECT_EQ(view->TopOffset(), text.find("line 250\r"));
  EXPECT_TRUE(view->PageText().first().startsWith(QStringLiteral("line 250")));

  QTest::keyClick(view, Qt::Key_F4);
  form.GoTo(QStringLiteral("0x20"));
  EXPECT_EQ(view->TopOffset(), 0x20u);
  form.FindText(QStringLiteral("0d0a"), false); // hex mode searches bytes
  EXPECT_EQ(view->HitOffset(), text.find("\r\n", 0x20));
  form.FindText(QStringLiteral("0d0"), false);
  ASSERT_EQ(asker.Asker.Errors.size(), 1u);
  EXPECT_TRUE(asker.Asker.Errors[0].contains(QStringLiteral("hex")));
}

TEST(FormEdit, ASearchOfABigFileShowsItsProgressAndEscStopsIt) {
  TAskerScope asker;
  test::TTempFolder folder;
  const std::string file = folder.Native("sparse.bin");
  test::WriteFile(file, "");
  ASSERT_EQ(::truncate(file.c_str(), 4ll << 30), 0); // zeros that take no room
  TFormEdit form;
  ASSERT_TRUE(form.OpenFile(file, false));
  Show(form);
  auto* status = test::Part<QLabel>(form, "StatusLine");
  // Esc, pressed while the search runs: the close action runs from the events the search lets
  // through, and stops the search instead of closing.
  QStringList seen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { seen << status->text(); });
  watch.start(20);
  QMetaObject::invokeMethod(test::Part<QAction>(form, "ActionClose"), "trigger",
                            Qt::QueuedConnection);
  form.FindText(QStringLiteral("needle"), false);
  EXPECT_TRUE(status->text().contains(QStringLiteral("Search stopped")))
      << status->text().toStdString();
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(seen.join(QString()).contains(QStringLiteral("Searching...")))
      << seen.join(QLatin1Char('|')).toStdString();
}

TEST(FormEdit, AFileThatGrowsIsFollowedToItsEnd) {
  TAskerScope asker;
  test::TTempFolder folder;
  const std::string file = folder.Native("grow.log");
  std::string text;
  for (int line = 1; line <= 100; ++line)
    text += "entry " + std::to_string(line) + "\n";
  test::WriteFile(file, text);
  TFormEdit form;
  form.resize(600, 300);
  ASSERT_TRUE(form.OpenFile(file, false));
  Show(form);
  auto* view = test::Part<TTextView>(form, "TextView");
  QTest::keyClick(view, Qt::Key_F);
  EXPECT_TRUE(view->PageText().join(QLatin1Char('\n')).contains(QStringLiteral("entry 100")));
  test::WriteFile(file, text + "entry new\n");
  // The window looks at the file twice a second; a generous limit keeps slow machines green.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return view->PageText().join(QLatin1Char('\n')).contains(QStringLiteral("entry new"));
      },
      10000));
}

TEST(FormEdit, EditingSavesInTheFilesOwnFormatAndKeepsItsMode) {
  TAskerScope asker;
  test::TProgramFolder program(true);
  test::TTempFolder folder;
  const std::string file = folder.Native("dos.txt");
  test::WriteFile(file, "\xCF\xF0\xE8\xE2\xE5\xF2\r\nsecond\r\n");
  ASSERT_EQ(::chmod(file.c_str(), 0604), 0);
  TFormEdit form;
  form.SetLanguage("cv_rus");
  ASSERT_TRUE(form.OpenFile(file, true));
  Show(form);
  auto* editor = test::Part<QPlainTextEdit>(form, "Editor");
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("Привет\nsecond\n"));
  editor->moveCursor(QTextCursor::End);
  editor->insertPlainText(QStringLiteral("мир"));
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(form.IsModified());
  EXPECT_TRUE(form.windowTitle().startsWith(QLatin1Char('*')));
  QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(form.IsModified());
  EXPECT_EQ(test::ReadFile(file), "\xCF\xF0\xE8\xE2\xE5\xF2\r\nsecond\r\n\xEC\xE8\xF0\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);

  // Undo (of the new line), replace all and F2 (save) work on the same text.
  editor->undo();
  form.ReplaceAll(QStringLiteral("second"), QStringLiteral("2nd"));
  QTest::keyClick(editor, Qt::Key_F2);
  const std::string saved = "\xCF\xF0\xE8\xE2\xE5\xF2\r\n2nd\r\n\xEC\xE8\xF0";
  EXPECT_EQ(test::ReadFile(file), saved);

  // A character CP1251 has no place for is refused, and the file stays as it was.
  editor->insertPlainText(QStringLiteral("中"));
  EXPECT_FALSE(form.Save());
  ASSERT_EQ(asker.Asker.Errors.size(), 1u);
  EXPECT_EQ(test::ReadFile(file), saved);
  EXPECT_TRUE(asker.Asker.Errors.front().contains(QStringLiteral("кодовой странице")));
}

TEST(FormEdit, TheEditorReadsAnUnchangedFileAgainInAnotherCodePage) {
  TAskerScope asker;
  test::TTempFolder folder;
  const std::string file = folder.Native("cyr.txt");
  test::WriteFile(file, "\xCF\xF0\xE8\xE2\xE5\xF2\r\n");
  TFormEdit form;
  form.SetLanguage("cv_eng");
  ASSERT_TRUE(form.OpenFile(file, true));
  Show(form);
  auto* editor = test::Part<QPlainTextEdit>(form, "Editor");
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("Ïðèâåò\n")); // CP1252, the language's page
  QTest::keyClick(editor, Qt::Key_F8, Qt::ShiftModifier);
  QTest::keyClick(editor, Qt::Key_F8, Qt::ShiftModifier);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("Привет\n"));
  editor->moveCursor(QTextCursor::End);
  editor->insertPlainText(QStringLiteral("мир"));
  QTest::keyClick(editor, Qt::Key_F8); // refused: the change would be lost
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("Привет\nмир"));
  ASSERT_TRUE(form.Save());
  EXPECT_EQ(test::ReadFile(file), "\xCF\xF0\xE8\xE2\xE5\xF2\r\n\xEC\xE8\xF0");
}

TEST(FormEdit, ClosingWithChangesAsksFirst) {
  TAskerScope asker;
  test::TTempFolder folder;
  const std::string file = folder.Native("a.txt");
  test::WriteFile(file, "keep\n");
  struct TCase {
    TFormEdit::TSaveAnswer Answer;
    bool Closed;
    std::string After;
  };
  const TCase cases[] = {
      {TFormEdit::CancelClose, false, "keep\n"},
      {TFormEdit::DiscardIt, true, "keep\n"},
      {TFormEdit::SaveIt, true, "xkeep\n"},
  };
  for (const TCase& c : cases) {
    TFormEdit form;
    ASSERT_TRUE(form.OpenFile(file, true));
    Show(form);
    int asked = 0;
    form.OnAskSave = [&] {
      ++asked;
      return c.Answer;
    };
    QTest::keyClicks(test::Part<QPlainTextEdit>(form, "Editor"), QStringLiteral("x"));
    QTest::keyClick(test::Part<QPlainTextEdit>(form, "Editor"), Qt::Key_Escape);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(form.isVisible(), !c.Closed);
    EXPECT_EQ(test::ReadFile(file), c.After);
  }
}

TEST(FormEdit, BadInputsGiveAMessageAndOpenNothing) {
  test::TTempFolder folder;
  const std::string fifo = folder.Native("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct TCase {
    std::string File;
    bool Edit;
    const char* Says;
  };
  const TCase cases[] = {
      {fifo, false, "FIFO"},           {fifo, true, "FIFO"},
      {"/dev/zero", false, "device"},  {folder.Native("gone.txt"), false, "does not exist"},
      {folder.Path(), true, "folder"}, {"", false, "No file"},
  };
  for (const TCase& c : cases) {
    TAskerScope asker;
    TFormEdit form;
    EXPECT_FALSE(form.ApplyHandOff(HandOff(c.File, c.Edit))) << c.File;
    ASSERT_EQ(asker.Asker.Errors.size(), 1u) << c.File;
    EXPECT_TRUE(asker.Asker.Errors[0].contains(QString::fromLatin1(c.Says)))
        << asker.Asker.Errors[0].toStdString();
  }
}

TEST(FormEdit, EmptyFilesAndFilesTooLargeToEditAreShown) {
  TAskerScope asker;
  test::TTempFolder folder;
  const std::string empty = folder.File("empty");
  TFormEdit form;
  ASSERT_TRUE(form.OpenFile(empty, false));
  Show(form);
  auto* view = test::Part<TTextView>(form, "TextView");
  EXPECT_TRUE(view->PageText().isEmpty());
  QTest::keyClick(view, Qt::Key_End);
  QTest::keyClick(view, Qt::Key_F4);
  EXPECT_TRUE(view->PageText().isEmpty());

  QTest::keyClick(view, Qt::Key_F3); // the panel's F3 opened it; F3 closes it
  EXPECT_FALSE(form.isVisible());

  // A sparse file beyond the editing limit opens in view mode after a message.
  const std::string large = folder.Native("large");
  test::WriteFile(large, "");
  ASSERT_EQ(::truncate(large.c_str(), TFormEdit::EditLimit + 1), 0);
  ASSERT_TRUE(form.OpenFile(large, true));
  EXPECT_FALSE(form.IsEditing());
  ASSERT_EQ(asker.Asker.Said.size(), 1u);
  EXPECT_TRUE(asker.Asker.Said[0].contains(QStringLiteral("too large")));
  Show(form);
  QTest::keyClick(view, Qt::Key_F10);
  EXPECT_FALSE(form.isVisible());
}

TEST(FormEdit, EveryTextIsInTheEnglishLanguageFileAsBuiltIn) {
  config::TIniFile english(CORVANE_SOURCE_DIR "/data/cv_eng.ini");
  for (const TViewerText& text : ViewerLanguageKeys())
    EXPECT_EQ(english.ReadString(text.Section, text.Key, "(missing)"), text.English)
        << text.Section << "/" << text.Key;
}

} // namespace
} // namespace corvane
