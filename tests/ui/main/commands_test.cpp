#include "main/asker.h"
#include "main/colors.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "scripted_asker.h"
#include "temp_folder.h"
#include "window_part.h"
#include "zip_writer.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace corvane {
namespace {

using test::TTempFolder;

// A main window over a folder with a few files, with every entry point recording its name.
struct TCommandFixture {
  TCommandFixture() {
    Dir.File("f/a.txt", 10);
    Dir.File("f/b.zip", 20);
    Dir.File("f/c.exe", 30);
    Dir.Folder("f/sub");
    TAsker::Replace(&Asker);
    Form.show();
    for (TFPanel* panel : {Form.LeftPanel(), Form.RightPanel()}) {
      panel->Settings.Path = QString::fromStdString(Dir.Model() + "f");
      panel->InitFromPath();
      panel->LayoutAndPaint();
    }
    const char* const names[] = {"About",
                                 "Help",
                                 "Tetris",
                                 "Life",
                                 "UserMenu",
                                 "View",
                                 "Edit",
                                 "Move",
                                 "QuickRename",
                                 "NewFolder",
                                 "Delete",
                                 "FindFile",
                                 "Attributes",
                                 "NewFile",
                                 "AddToArchive",
                                 "ExtractFiles",
                                 "ViewResource",
                                 "SystemInfo",
                                 "Dialer",
                                 "Clipboard",
                                 "CdPlayer",
                                 "Calculator",
                                 "Format",
                                 "PlayMusic",
                                 "PlayLastMusic",
                                 "StopMusic",
                                 "WhatPlaying",
                                 "FolderHistory",
                                 "EmptyRecycleBin",
                                 "NetConnect",
                                 "NetDisconnect",
                                 "FileInformation",
                                 "SortModes",
                                 "ChangeDrive",
                                 "MainOptions",
                                 "SetColors",
                                 "SetFonts",
                                 "FileColors",
                                 "ArchiverOptions",
                                 "ConfigureToolBar",
                                 "ViewAsText",
                                 "RunCommandLine",
                                 "ChangeDriveLeft",
                                 "ChangeDriveRight",
                                 "VolumeDown",
                                 "VolumeUp",
                                 "DeleteLastWord",
                                 "VolumeStepDown",
                                 "VolumeStepUp",
                                 "PutName",
                                 "RecallCommand",
                                 "ExtractAll"};
    for (const char* name : names)
      Form.EntryPoints[name] = [this, name] { Reached.push_back(name); };
    Form.EntryPoints["Copy"] = [this] { Reached.push_back("Copy"); };
    Form.OnSelectGroup = [this](bool select, bool) {
      Reached.push_back(select ? "SelectGroup+" : "SelectGroup-");
    };
    Form.activateWindow();
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&Form);
    test::Part<QLineEdit>(Form, "ComLine")->setFocus();
  }
  ~TCommandFixture() { TAsker::Replace(nullptr); }
  void Cursor(const std::string& name) {
    TFPanel* panel = Form.ActivePanel();
    panel->ShowCursorAt(0, panel->Browser.FindEntry(name) - 1);
  }
  std::string Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Reached.clear();
    QTest::keyClick(test::Part<QLineEdit>(Form, "ComLine"), key, modifiers);
    return Reached.empty() ? std::string() : Reached.back();
  }

  TTempFolder Dir;
  test::TScriptedAsker Asker;
  TForm1 Form;
  std::vector<std::string> Reached;
};

TEST(Commands, KeysReachTheirCommandsFromTheCommandLine) {
  TCommandFixture f;
  f.Cursor("a.txt");
  struct Case {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    const char* Reached;
  };
  const Case cases[] = {
      {Qt::Key_F1, Qt::NoModifier, "Help"},
      {Qt::Key_F2, Qt::NoModifier, "UserMenu"},
      {Qt::Key_F3, Qt::NoModifier, "View"},
      {Qt::Key_F4, Qt::NoModifier, "Edit"},
      {Qt::Key_F5, Qt::NoModifier, "Copy"},
      {Qt::Key_F6, Qt::NoModifier, "Move"},
      {Qt::Key_F6, Qt::ShiftModifier, "QuickRename"},
      {Qt::Key_F7, Qt::NoModifier, "NewFolder"},
      {Qt::Key_F8, Qt::NoModifier, "Delete"},
      {Qt::Key_Delete, Qt::NoModifier, "Delete"},
      {Qt::Key_F7, Qt::AltModifier, "FindFile"},
      // Ctrl+A is the Attributes item's: the disabled "Play last file" with the same key is not.
      {Qt::Key_A, Qt::ControlModifier, "Attributes"},
      {Qt::Key_F4, Qt::ShiftModifier, "NewFile"},
      {Qt::Key_F1, Qt::ShiftModifier, "AddToArchive"},
      {Qt::Key_1, Qt::ControlModifier, "SystemInfo"},
      {Qt::Key_2, Qt::ControlModifier, "Dialer"},
      {Qt::Key_3, Qt::ControlModifier, "Clipboard"},
      {Qt::Key_4, Qt::ControlModifier, "CdPlayer"},
      {Qt::Key_5, Qt::ControlModifier, "Calculator"},
      // Ctrl+M stops music; the "Main menu" item with the same key never fires.
      {Qt::Key_M, Qt::ControlModifier, "StopMusic"},
      {Qt::Key_W, Qt::ControlModifier, "WhatPlaying"},
      {Qt::Key_F12, Qt::ControlModifier, "SortModes"},
      {Qt::Key_P, Qt::ControlModifier, "MainOptions"},
      {Qt::Key_C, Qt::ControlModifier, "SetColors"},
      {Qt::Key_F, Qt::ControlModifier, "SetFonts"},
      {Qt::Key_F3, Qt::AltModifier, "ViewAsText"},
      {Qt::Key_F5, Qt::AltModifier, "AddToArchive"},
      {Qt::Key_F1, Qt::AltModifier, "ChangeDriveLeft"},
      {Qt::Key_F2, Qt::AltModifier, "ChangeDriveRight"},
      {Qt::Key_Comma, Qt::ControlModifier, "VolumeDown"},
      {Qt::Key_Period, Qt::ControlModifier, "VolumeUp"},
      {Qt::Key_Backspace, Qt::ControlModifier, "DeleteLastWord"},
      {Qt::Key_Return, Qt::ControlModifier, "PutName"},
      {Qt::Key_F11, Qt::NoModifier, "VolumeStepDown"},
      {Qt::Key_F12, Qt::NoModifier, "VolumeStepUp"},
      {Qt::Key_Plus, Qt::KeypadModifier, "SelectGroup+"},
      {Qt::Key_Minus, Qt::KeypadModifier, "SelectGroup-"},
  };
  for (const Case& c : cases) {
    f.Cursor("a.txt");
    EXPECT_EQ(f.Press(c.Key, c.Modifiers), c.Reached) << c.Reached;
  }
  // Extracting needs an archive under the cursor.
  EXPECT_EQ(f.Press(Qt::Key_F2, Qt::ShiftModifier), "");
  f.Cursor("b.zip");
  EXPECT_EQ(f.Press(Qt::Key_F2, Qt::ShiftModifier), "ExtractFiles");
  EXPECT_EQ(f.Press(Qt::Key_Return, Qt::ShiftModifier), "ExtractAll");
  // Copy needs more than the bare "..".
  f.Cursor("..");
  EXPECT_EQ(f.Press(Qt::Key_F5), "");
  // Resource explorer: an error box for anything but an executable image.
  f.Cursor("a.txt");
  EXPECT_EQ(f.Press(Qt::Key_7, Qt::ControlModifier), "");
  EXPECT_EQ(f.Asker.Said.size(), 1u);
  f.Cursor("c.exe");
  EXPECT_EQ(f.Press(Qt::Key_7, Qt::ControlModifier), "ViewResource");
}

// Every key of the key handler's table reaches its command with the focus in the command line.
TEST(Commands, EveryKeyOfTheKeyTableReachesItsCommand) {
  TCommandFixture f;
  f.Form.Settings.OnBkSpaceUpDir = true;
  test::Part<QListWidget>(f.Form, "ComList")->addItem(QStringLiteral("ls"));
  const auto None = Qt::NoModifier, Ctrl = Qt::ControlModifier, Alt = Qt::AltModifier,
             Shift = Qt::ShiftModifier, Pad = Qt::KeypadModifier;
  struct Case {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    const char* Typed; // the command line's text before the key
    const char* Command;
  };
  const Case cases[] = {
      {Qt::Key_F3, Alt, "", "ViewAsText"},
      {Qt::Key_Return, None, "ls", "OpenOrRun"},
      {Qt::Key_BracketLeft, Ctrl, "", "PutLeftFolder"},
      {Qt::Key_BracketRight, Ctrl, "", "PutRightFolder"},
      {Qt::Key_F5, Alt, "", "AddToArchive"},
      {Qt::Key_F6, Alt, "", "ExtractFiles"},
      {Qt::Key_Right, Ctrl, "", "NextDriveUp"},
      {Qt::Key_Left, Ctrl, "", "NextDriveDown"},
      {Qt::Key_Up, Shift, "", "CursorUp"},
      {Qt::Key_Down, None, "", "CursorDown"},
      {Qt::Key_Right, None, "", "CursorRight"},
      {Qt::Key_PageDown, Shift, "", "CursorRight"},
      {Qt::Key_Left, None, "", "CursorLeft"},
      {Qt::Key_PageUp, None, "", "CursorLeft"},
      {Qt::Key_Home, Shift, "", "CursorHome"},
      {Qt::Key_End, None, "", "CursorEnd"},
      {Qt::Key_F1, Alt, "", "ChangeDriveLeft"},
      {Qt::Key_F2, Alt, "", "ChangeDriveRight"},
      {Qt::Key_Comma, Ctrl, "", "VolumeDown"},
      {Qt::Key_Period, Ctrl, "", "VolumeUp"},
      {Qt::Key_Return, Ctrl, "", "PutName"},
      {Qt::Key_Backspace, None, "", "GoUpFolder"},
      {Qt::Key_Backspace, Ctrl, "a b", "DeleteLastWord"},
      {Qt::Key_PageUp, Ctrl, "", "GoUpFolder"},
      {Qt::Key_Backslash, Ctrl, "", "GoDriveRoot"},
      {Qt::Key_Asterisk, Pad, "", "InvertMarks"},
      {Qt::Key_Asterisk, Pad | Ctrl, "", "InvertMarksAndFolders"},
      {Qt::Key_Plus, Pad, "", "SelectGroupKey"},
      {Qt::Key_Plus, Pad | Ctrl, "", "SelectGroupAndFolders"},
      {Qt::Key_Minus, Pad, "", "UnselectGroupKey"},
      {Qt::Key_Minus, Pad | Ctrl, "", "UnselectGroupAndFolders"},
      {Qt::Key_I, Ctrl, "", "ToggleIcons"},
      {Qt::Key_H, Ctrl, "", "ToggleHidden"},
      {Qt::Key_Insert, None, "", "MarkAndDown"},
      {Qt::Key_Space, Shift, "", "MarkAndDown"},
      {Qt::Key_Q, Ctrl, "", "QuickViewOther"},
      {Qt::Key_L, Ctrl, "", "InformationOther"},
      {Qt::Key_F11, None, "", "VolumeStepDown"},
      {Qt::Key_F12, None, "", "VolumeStepUp"},
      {Qt::Key_Escape, None, "typed", "Escape"},
      {Qt::Key_E, Ctrl, "", "RecallCommand"},
      {Qt::Key_Return, Shift, "", "ExtractAll"},
      {Qt::Key_Slash, Ctrl, "", "CopyMarkedNames"},
      {Qt::Key_Menu, None, "", "ContextMenu"},
      {Qt::Key_Delete, None, "", "Delete"},
      {Qt::Key_Tab, None, "", "SwitchPanels"},
  };
  for (const Case& c : cases) {
    for (TFPanel* panel : {f.Form.LeftPanel(), f.Form.RightPanel()}) {
      panel->Settings.Path = QString::fromStdString(f.Dir.Model() + "f");
      panel->InitFromPath();
      if (panel->ViewMode != TFPanel::vmBrief)
        panel->SetViewMode(TFPanel::vmBrief);
      panel->LayoutAndPaint();
    }
    f.Form.RunCommand("ActiveLeft");
    f.Cursor("a.txt");
    test::Part<QLineEdit>(f.Form, "ComLine")->setText(QString::fromLatin1(c.Typed));
    f.Form.CommandLog.clear();
    f.Press(c.Key, c.Modifiers);
    test::Part<QMenu>(f.Form, "MainPopup")->hide();
    const std::string reached = f.Form.CommandLog.empty() ? "" : f.Form.CommandLog.back();
    EXPECT_EQ(reached, c.Command);
  }
}

// Whether a key runs its command is decided when the key arrives, whatever menu was opened
// before: a menu opened with the cursor on ".." does not leave the file commands dead.
TEST(Commands, AKeyIsEnabledByTheStateWhenItArrivesNotByTheLastMenuOpened) {
  TCommandFixture f;
  struct Case {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    const char* Reached;
  };
  const Case cases[] = {
      {Qt::Key_F4, Qt::NoModifier, "Edit"},
      {Qt::Key_F5, Qt::NoModifier, "Copy"},
      {Qt::Key_F6, Qt::NoModifier, "Move"},
      {Qt::Key_F8, Qt::NoModifier, "Delete"},
      {Qt::Key_F6, Qt::ShiftModifier, "QuickRename"},
      {Qt::Key_A, Qt::ControlModifier, "Attributes"},
      {Qt::Key_F1, Qt::ShiftModifier, "AddToArchive"},
  };
  f.Cursor("..");
  f.Form.MenuOpening("File");
  f.Form.SetPopupMenu();
  for (const Case& c : cases) {
    f.Cursor("a.txt");
    EXPECT_EQ(f.Press(c.Key, c.Modifiers), c.Reached) << "after the menu on ..";
  }
  f.Cursor("a.txt");
  f.Form.MenuOpening("File");
  for (const Case& c : cases) {
    f.Cursor("..");
    EXPECT_EQ(f.Press(c.Key, c.Modifiers), "") << c.Reached << " on ..";
  }
}

TEST(Commands, ViewModesAndPanelCommands) {
  TCommandFixture f;
  TFPanel* left = f.Form.LeftPanel();
  TFPanel* right = f.Form.RightPanel();
  f.Press(Qt::Key_2, Qt::AltModifier);
  EXPECT_EQ(left->ViewMode, TFPanel::vmFull);
  EXPECT_EQ(left->Settings.Columns, 1);
  f.Press(Qt::Key_1, Qt::AltModifier);
  EXPECT_EQ(left->ViewMode, TFPanel::vmBrief);
  EXPECT_EQ(left->Settings.Columns, 3);
  // Ctrl+L shows information in the other panel and back; Ctrl+Q the quick view.
  f.Press(Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(right->ViewMode, TFPanel::vmInfo);
  f.Press(Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(right->ViewMode, TFPanel::vmBrief);
  f.Press(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(right->ViewMode, TFPanel::vmQuickView);
  f.Press(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(right->ViewMode, TFPanel::vmBrief);
  // Information on the active panel: no panel key of the key handler acts any more.
  f.Press(Qt::Key_3, Qt::AltModifier);
  ASSERT_EQ(left->ViewMode, TFPanel::vmInfo);
  const int cursor = left->CursorIndex();
  for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Insert, Qt::Key_Delete})
    f.Press(key);
  EXPECT_EQ(left->CursorIndex(), cursor);
  EXPECT_EQ(left->Browser.SelectedCount(), 0);
  EXPECT_EQ(f.Press(Qt::Key_Plus, Qt::KeypadModifier), "");
  // The menu still works, and Tab still switches panels.
  f.Press(Qt::Key_1, Qt::AltModifier);
  EXPECT_EQ(left->ViewMode, TFPanel::vmBrief);
  f.Press(Qt::Key_Tab);
  EXPECT_EQ(f.Form.ActivePanel(), right);
  f.Form.RunCommand("ActiveLeft");
  EXPECT_EQ(f.Form.ActivePanel(), left);

  // Selection commands.
  f.Form.RunCommand("InvertSelection");
  EXPECT_EQ(left->Browser.SelectedCount(), left->Browser.Count() - 1);
  f.Form.RunCommand("UnselectAll");
  EXPECT_EQ(left->Browser.SelectedCount(), 0);
  // Bar toggles.
  f.Form.RunCommand("ToggleButtons");
  EXPECT_EQ(test::Part<QWidget>(f.Form, "Panel_Down")->height(), 20);
  f.Form.RunCommand("ToggleButtons");
  EXPECT_EQ(test::Part<QWidget>(f.Form, "Panel_Down")->height(), 42);
  f.Form.RunCommand("ToggleStatusBar");
  EXPECT_TRUE(test::Part<QWidget>(f.Form, "StatusBar1")->isHidden());
}

TEST(Commands, MenusEnableByTheCursorEntry) {
  TCommandFixture f;
  auto enabled = [&](const char* command) { return f.Form.MenuAction(command)->isEnabled(); };
  auto popupEnabled = [&](const char* command) {
    for (QAction* action : test::Part<QMenu>(f.Form, "MainPopup")->actions())
      if (action->objectName() == QStringLiteral("Popup_") + QLatin1String(command))
        return action->isEnabled();
    return false;
  };
  f.Cursor("..");
  f.Form.MenuOpening("File");
  f.Form.SetPopupMenu();
  for (const char* command : {"Copy", "Move", "Delete", "AddToArchive", "Attributes", "Edit",
                              "QuickRename", "ExtractFiles"})
    EXPECT_FALSE(enabled(command)) << command;
  EXPECT_TRUE(enabled("View"));
  for (const char* command : {"Copy", "Move", "QuickRename", "Delete", "Select", "ViewResource"})
    EXPECT_FALSE(popupEnabled(command)) << command;
  EXPECT_TRUE(popupEnabled("View"));

  f.Form.ActivePanel()->Browser.ToggleMark(f.Form.ActivePanel()->Browser.FindEntry("a.txt"));
  f.Form.MenuOpening("File");
  f.Form.SetPopupMenu();
  EXPECT_TRUE(enabled("Copy"));
  EXPECT_TRUE(enabled("Delete"));
  EXPECT_FALSE(enabled("Attributes"));
  EXPECT_TRUE(popupEnabled("Copy"));

  f.Cursor("b.zip");
  f.Form.MenuOpening("File");
  f.Form.SetPopupMenu();
  EXPECT_TRUE(enabled("ExtractFiles"));
  EXPECT_TRUE(enabled("Attributes"));
  EXPECT_TRUE(popupEnabled("ExtractFiles"));
  EXPECT_FALSE(popupEnabled("ViewResource"));
  f.Cursor("c.exe");
  f.Form.SetPopupMenu();
  EXPECT_TRUE(popupEnabled("ViewResource"));

  f.Form.MenuOpening("Panel");
  EXPECT_TRUE(f.Form.MenuAction("ActiveLeft")->isChecked());
  EXPECT_TRUE(f.Form.MenuAction("ShowFiles")->isChecked());
  EXPECT_FALSE(f.Form.MenuAction("ExtendedView")->isChecked());
}

TEST(Commands, ColourSchemesPaintBothPanels) {
  TCommandFixture f;
  struct Case {
    int Scheme;
    uint32_t Background;
    int LeftMode, RightMode;
  };
  for (const Case& c : {Case{1, 0xFFFFFF, 3, 3}, Case{4, 0x808080, 1, 1}, Case{5, 0x800000, 1, 3},
                        Case{6, 0x000000, 1, 1}, Case{7, 0x000000, 1, 1}}) {
    f.Form.RunCommand("Scheme" + std::to_string(c.Scheme));
    for (TFPanel* panel : {f.Form.LeftPanel(), f.Form.RightPanel()}) {
      EXPECT_EQ(panel->Settings.PanelFon, c.Background) << c.Scheme;
      const TPanelGeometry& g = panel->Geometry();
      const QColor painted = panel->Canvas().toImage().pixelColor(g.ListRight - 12, g.InfoTop - 4);
      EXPECT_EQ(painted, ColorFromNumber(c.Background)) << c.Scheme;
    }
    EXPECT_EQ(static_cast<int>(f.Form.LeftPanel()->ViewMode), c.LeftMode) << c.Scheme;
    EXPECT_EQ(static_cast<int>(f.Form.RightPanel()->ViewMode), c.RightMode) << c.Scheme;
  }
  EXPECT_EQ(f.Form.LeftPanel()->Settings.FileSelectColor, 0x00FFFFu);
  EXPECT_EQ(f.Form.LeftPanel()->Settings.LineColorSlave, 0x8000000Fu);
}

TEST(Commands, ConfigurationCommands) {
  TCommandFixture f;
  f.Form.Settings.SplitterGap = 20;
  f.Asker.Answer = TAsker::No;
  f.Form.RunCommand("SetDefaultConfig");
  EXPECT_EQ(f.Form.Settings.SplitterGap, 20);
  f.Asker.Answer = TAsker::Yes;
  f.Form.RunCommand("SetDefaultConfig");
  EXPECT_EQ(f.Form.Settings.SplitterGap, 7);
  EXPECT_EQ(f.Form.size(), QSize(640, 453));
  EXPECT_EQ(f.Form.RightPanel()->ViewMode, TFPanel::vmFull);

  // Empty Recycle Bin asks first, then empties the trash.
  const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  std::filesystem::create_directories(trash + "/files");
  std::filesystem::create_directories(trash + "/info");
  std::ofstream(trash + "/files/old.txt") << "x";
  std::ofstream(trash + "/info/old.txt.trashinfo") << "[Trash Info]\nPath=/old.txt\n";
  f.Asker.Answer = TAsker::No;
  f.Form.RunCommand("EmptyRecycleBin");
  EXPECT_TRUE(std::filesystem::exists(trash + "/files/old.txt"));
  f.Asker.Answer = TAsker::Yes;
  f.Form.RunCommand("EmptyRecycleBin");
  EXPECT_FALSE(std::filesystem::exists(trash + "/files/old.txt"));
  EXPECT_FALSE(std::filesystem::exists(trash + "/info/old.txt.trashinfo"));

  // Clear Recent Docs leaves an empty list behind.
  const std::string xbel = std::string(std::getenv("XDG_DATA_HOME")) + "/recently-used.xbel";
  std::ofstream(xbel) << "<xbel><bookmark href=\"file:///secret\"/></xbel>";
  f.Form.RunCommand("ClearRecentDocs");
  std::ifstream in(xbel);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.find("secret"), std::string::npos);
  EXPECT_NE(text.find("<xbel"), std::string::npos);
}

// The configuration menu: its own items, then the two submenus after "Archivers options", then
// the two configuration items.
TEST(Commands, TheConfigurationSubmenusComeAfterTheArchiversOptions) {
  TCommandFixture f;
  const QMenu* config = f.Form.findChild<QMenu*>(QStringLiteral("Menu_Config"));
  ASSERT_NE(config, nullptr);
  QStringList order;
  for (const QAction* action : config->actions())
    order << (action->menu() ? action->menu()->objectName() : action->objectName());
  EXPECT_EQ(order, (QStringList{"MainOptions", "SetColors", "SetFonts", "UserMenu", "FileColors",
                                "ArchiverOptions", "Menu_Schemes", "Menu_Toolbars",
                                "SetDefaultConfig", "SaveConfig"}));
}

// The default configuration keeps the window shown (also when it stayed on top), gives the panels
// the reset mouse settings, and moves a panel inside an archive to the real folder holding it.
TEST(Commands, DefaultConfigurationKeepsTheWindowAndLeavesArchivesForTheirFolder) {
  TCommandFixture f;
  test::WriteFile(f.Dir.Native("f/real.zip"),
                  test::BuildZip(test::TZipArchive({test::TZipItem("docs/x.txt", "x")})));
  TFPanel* left = f.Form.LeftPanel();
  left->Browser.Refresh();
  f.Cursor("real.zip");
  left->OpenCurrent();
  ASSERT_EQ(left->Browser.SourceKind(), skArchive);
  f.Form.Settings.OnTop = true;
  f.Form.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  f.Form.show();
  for (TFPanel* panel : {left, f.Form.RightPanel()}) {
    panel->RightClickForPopup = true;
    panel->OldDrag = true;
    panel->OnEnterViewPic = false;
  }
  f.Asker.Answer = TAsker::Yes;
  f.Form.RunCommand("SetDefaultConfig");
  EXPECT_TRUE(f.Form.isVisible());
  EXPECT_FALSE(f.Form.Settings.OnTop);
  for (TFPanel* panel : {left, f.Form.RightPanel()}) {
    EXPECT_FALSE(panel->RightClickForPopup);
    EXPECT_FALSE(panel->OldDrag);
    EXPECT_TRUE(panel->OnEnterViewPic);
  }
  EXPECT_EQ(left->Browser.SourceKind(), skFolder);
  EXPECT_EQ(left->Browser.RootPath() + left->Browser.RelPath(), f.Dir.Model() + "f\\");
}

} // namespace
} // namespace corvane
