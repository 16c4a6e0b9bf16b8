// The explorer reached from the main window: Ctrl+7 and Enter on a library in a panel, the error
// box for other files, the window kept between commands and placed over the main window, the
// last folder in the registry file, and the captions of another language.
#include "config/ini_file.h"
#include "config/registry.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "resources/resource_command.h"
#include "resources/resource_form.h"
#include "sample_program.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "window_part.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::TTempFolder;

// A program folder with the language files, a main window over a folder with a library and a
// text file.
struct TMainFixture {
  TMainFixture() {
    Old = std::getenv("CORVANE_HOME");
    ::setenv("CORVANE_HOME", Program.Path().c_str(), 1);
    for (const auto& entry : fs::directory_iterator(CORVANE_SOURCE_DIR "/data"))
      if (entry.path().extension() == ".ini")
        fs::copy_file(entry.path(), Program.Native(entry.path().filename().string()));
    const auto bytes = test::InkwellProgram();
    std::ofstream(Dir.File("f/inkwell.dll"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    Dir.File("f/notes.txt", 10);
    TAsker::Replace(&Asker);
    Form = std::make_unique<TForm1>();
    Form->setGeometry(40, 30, 700, 500);
    Form->show();
    for (TFPanel* panel : {Form->LeftPanel(), Form->RightPanel()}) {
      panel->Settings.Path = QString::fromStdString(Dir.Model() + "f");
      panel->InitFromPath();
      panel->LayoutAndPaint();
    }
  }
  ~TMainFixture() {
    Form.reset();
    TAsker::Replace(nullptr);
    ::setenv("CORVANE_HOME", Old.c_str(), 1);
  }
  void Press(const std::string& onFile, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    Form->activateWindow();
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(Form.get());
    test::Part<QLineEdit>(*Form, "ComLine")->setFocus();
    TFPanel* panel = Form->ActivePanel();
    panel->ShowCursorAt(0, panel->Browser.FindEntry(onFile) - 1);
    QTest::keyClick(test::Part<QLineEdit>(*Form, "ComLine"), key, modifiers);
  }

  TTempFolder Program;
  TTempFolder Dir;
  std::string Old;
  test::TScriptedAsker Asker;
  std::unique_ptr<TForm1> Form;
};

TEST(ResourceExplorerCommand, OpensOverTheMainWindowAndIsKept) {
  TMainFixture f;
  f.Press("notes.txt", Qt::Key_7, Qt::ControlModifier);
  EXPECT_EQ(f.Asker.Errors,
            std::vector<QString>{QStringLiteral(
                "Resources can be viewed only in EXE, DLL, CPL, DPL and BPL files")});
  EXPECT_EQ(ResourceExplorer(*f.Form), nullptr);

  f.Press("inkwell.dll", Qt::Key_7, Qt::ControlModifier);
  TFormResource* window = ResourceExplorer(*f.Form);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->geometry(), f.Form->geometry());
  EXPECT_EQ(window->ExploreFileName, f.Dir.Native("f/inkwell.dll"));
  EXPECT_EQ(test::Part<QTreeWidget>(*window, "TreeView")->topLevelItemCount(), 8);

  // Enter on the library shows it in the same window, opened again.
  window->close();
  EXPECT_FALSE(window->isVisible());
  f.Press("inkwell.dll", Qt::Key_Return, Qt::NoModifier);
  EXPECT_EQ(ResourceExplorer(*f.Form), window);
  EXPECT_TRUE(window->isVisible());

  // Closing it keeps the left panel's folder as the last path.
  window->close();
  EXPECT_EQ(config::ReadRegistryString("HKCU\\Software\\Quillmark\\Projects\\ResourceExplorer",
                                       "LastPath", ""),
            f.Dir.Model() + "f\\");
  EXPECT_EQ(f.Asker.Errors.size(), 1u);
}

TEST(ResourceExplorerCommand, CaptionsComeFromTheLanguageFileOutsideEnglish) {
  TMainFixture f;
  f.Press("inkwell.dll", Qt::Key_7, Qt::ControlModifier);
  TFormResource* window = ResourceExplorer(*f.Form);
  ASSERT_NE(window, nullptr);
  window->FormActivate();
  const QMenuBar* menus = window->menuBar();
  EXPECT_EQ(menus->actions().at(0)->text(), QStringLiteral("&File")) << "English keeps its own";

  f.Form->SetLanguage(QStringLiteral("RUSSIAN"));
  window->close();
  f.Press("inkwell.dll", Qt::Key_7, Qt::ControlModifier);
  window->FormActivate();
  config::TIniFile russian(f.Program.Native("cv_rus.ini"));
  const auto text = [&](const char* key) {
    return QString::fromStdString(russian.ReadString("Resource Explorer", key, "?"));
  };
  EXPECT_EQ(menus->actions().at(0)->text(), text("Menu_File"));
  EXPECT_EQ(menus->actions().at(1)->text(), text("Menu_Service"));
  test::Part<QTreeWidget>(*window, "TreeView")
      ->setCurrentItem(test::Part<QTreeWidget>(*window, "TreeView")->topLevelItem(1));
  EXPECT_EQ(test::Part<QLabel>(*window, "StatusPanel1")->text(),
            QStringLiteral(" 1 ") + text("Objects"));
  EXPECT_TRUE(test::Part<QLabel>(*window, "StatusPanel2")
                  ->text()
                  .startsWith(QLatin1Char(' ') + text("OffSet") + QLatin1Char(':')));
}

} // namespace
} // namespace corvane
