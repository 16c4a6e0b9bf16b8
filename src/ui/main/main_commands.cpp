// The main window's commands: the main menu with its shortcuts, the hot buttons, the file context
// menu, the bar menu, and the commands that need no window of their own (view modes, colour
// schemes, bar toggles, selection, configuration). A command whose window or engine belongs to a
// later part of the program runs through RunEntryPoint, which does what was registered for its
// name and nothing otherwise.
#include "fileops/copy_form.h"
#include "fileops/delete_form.h"
#include "fileops/rename_move_form.h"
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/drive_probe.h"
#include "platform/drive_table.h"
#include "platform/launcher.h"
#include "platform/native_path.h"
#include "platform/recent_documents.h"
#include "platform/trash.h"

#include <sys/stat.h>

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

namespace corvane {

namespace {

enum TItemFlags { ifNone = 0, ifHidden = 1, ifCheckable = 2 };

struct TMenuItem {
  const char* Menu;     // the menu title's object name
  const char* Caption;  // built-in English caption
  const char* Shortcut; // QKeySequence text, or empty
  const char* Command;  // RunCommand name
  const char* LanguageKey;
  int Flags;
};

// The main menu in order: the first item with a shortcut wins.
const TMenuItem MenuItems[] = {
    {"CV", "About program", "", "About", "CV_About", ifNone},
    {"CV", "Help system", "F1", "Help", "CV_Help", ifNone},
    {"CV", "Tetris game", "", "Tetris", "CV_Tetris", ifNone},
    {"CV", "Life game", "", "Life", "CV_Life", ifNone},
    {"CV", "Exit", "F10", "Exit", "CV_Exit", ifNone},
    {"File", "Menu", "F2", "UserMenu", "File_Menu", ifNone},
    {"File", "View", "F3", "View", "File_Viewer", ifNone},
    {"File", "Edit", "F4", "Edit", "File_Editor", ifNone},
    {"File", "Copy", "F5", "Copy", "File_Copy", ifNone},
    {"File", "Move", "F6", "Move", "File_Rename", ifNone},
    {"File", "Rename", "Shift+F6", "QuickRename", "", ifNone},
    {"File", "Create folder", "F7", "NewFolder", "File_NewDir", ifNone},
    {"File", "Delete", "F8", "Delete", "File_DelFile", ifNone},
    {"File", "Find file", "Alt+F7", "FindFile", "File_FindFile", ifNone},
    {"File", "Attributes", "Ctrl+A", "Attributes", "File_Attrib", ifNone},
    {"File", "Create new file", "Shift+F4", "NewFile", "File_Createfile", ifNone},
    {"File", "Add to archive", "Shift+F1", "AddToArchive", "File_Add_Arc", ifNone},
    {"File", "Extract files", "Shift+F2", "ExtractFiles", "File_Extract_Arc", ifNone},
    {"File", "View file resource", "", "ViewResource", "", ifHidden},
    {"Utils", "About system", "Ctrl+1", "SystemInfo", "Utils_System", ifNone},
    {"Utils", "Internet dialer", "Ctrl+2", "Dialer", "", ifNone},
    {"Utils", "View clipboard", "Ctrl+3", "Clipboard", "Utils_Clipboard", ifNone},
    {"Utils", "CD-Player", "Ctrl+4", "CdPlayer", "Utils_AudioPlayer", ifNone},
    {"Utils", "Calculator", "Ctrl+5", "Calculator", "Utils_Calc", ifNone},
    {"Utils", "Resource Explorer", "Ctrl+7", "ViewResource", "", ifNone},
    {"Utils", "MS-DOS window", "Ctrl+8", "Terminal", "Utils_MSDOS", ifNone},
    {"Utils", "MediaPlayer", "Ctrl+9", "MediaPlayer", "Utils_Media", ifNone},
    {"Utils", "Format floppy drive", "", "Format", "Utils_Format", ifNone},
    {"Commands", "Play music file", "", "PlayMusic", "Command_PlayMusic", ifNone},
    {"Commands", "Play last file", "Ctrl+A", "PlayLastMusic", "Command_PlayLastMusic", ifHidden},
    {"Commands", "Stop music", "Ctrl+M", "StopMusic", "Command_StopMusic", ifNone},
    {"Commands", "What playing", "Ctrl+W", "WhatPlaying", "Command_WhatPlay", ifNone},
    {"Commands", "Folders history", "", "FolderHistory", "Command_FHistory", ifNone},
    {"Commands", "Commands history", "", "CommandHistory", "Command_ViewHistory", ifNone},
    {"Commands", "Empty Recycle Bin", "", "EmptyRecycleBin", "Command_ClearRecycle", ifNone},
    {"Commands", "Clear Recent Docs", "", "ClearRecentDocs", "Command_ClearDocs", ifNone},
    {"Commands", "Select group", "", "SelectGroup", "Command_SelGroup", ifNone},
    {"Commands", "Unselect all", "", "UnselectAll", "Command_UnSelAll", ifNone},
    {"Commands", "Invert selection", "", "InvertSelection", "Command_InvertSel", ifNone},
    {"Commands", "Network connections", "", "NetConnect", "Command_AddNetDrive", ifNone},
    {"Commands", "Disconnect Network drives", "", "NetDisconnect", "Command_RemoveNetDrive",
     ifNone},
    {"Commands", "C&alculate folder size", "Ctrl+G", "FolderSize", "Command_CalcDirSize", ifNone},
    {"Commands", "File information", "", "FileInformation", "Command_FileInfo", ifNone},
    {"Panel", "Active left", "", "ActiveLeft", "Panel_Left", ifCheckable},
    {"Panel", "Active right", "", "ActiveRight", "Panel_Right", ifCheckable},
    {"Panel", "Show files", "Alt+1", "ShowFiles", "Panel_ShowFiles", ifCheckable},
    {"Panel", "Extended view", "Alt+2", "ExtendedView", "Panel_ShowExtView", ifCheckable},
    {"Panel", "Information", "Alt+3", "Information", "Panel_Show_Info", ifCheckable},
    {"Panel", "Quick view", "Alt+4", "QuickView", "Panel_ShowQuickView", ifCheckable},
    {"Panel", "Update panel", "Ctrl+R", "UpdatePanel", "Panel_UpdatePanel", ifNone},
    {"Panel", "Sort modes", "Ctrl+F12", "SortModes", "Panel_SortMode", ifNone},
    {"Panel", "Change drive", "", "ChangeDrive", "Panel_ChangeDrive", ifNone},
    {"Panel", "Cnange panel", "Tab", "SwitchPanels", "", ifHidden},
    {"Config", "Main options", "Ctrl+P", "MainOptions", "Config_Main", ifNone},
    {"Config", "Set Colors", "Ctrl+C", "SetColors", "Config_Color", ifNone},
    {"Config", "Change fonts", "Ctrl+F", "SetFonts", "Config_Font", ifNone},
    {"Config", "Main menu", "Ctrl+M", "UserMenu", "Config_Menu", ifNone},
    {"Config", "Files highlighing", "", "FileColors", "Config_FilesColors", ifNone},
    {"Config", "Archivers options", "", "ArchiverOptions", "Config_ArcParam", ifNone},
    {"Schemes", "&Blue on white", "", "Scheme1", "", ifNone},
    {"Schemes", "&Navy", "", "Scheme2", "", ifNone},
    {"Schemes", "Navy &brief", "", "Scheme3", "", ifNone},
    {"Schemes", "&Grey", "", "Scheme4", "", ifNone},
    {"Schemes", "&Corvane", "", "Scheme5", "", ifNone},
    {"Schemes", "&Black and White", "", "Scheme6", "", ifNone},
    {"Schemes", "D&ark", "", "Scheme7", "", ifNone},
    {"Toolbars", "Show tool bar", "", "ToggleToolBar", "Config_ShowToolBar", ifCheckable},
    {"Toolbars", "Show drives bar", "", "ToggleDriveBar", "Config_ShowDriversBar", ifCheckable},
    {"Toolbars", "Show buttons bar", "", "ToggleButtons", "Config_ShowButtonsBar", ifCheckable},
    {"Toolbars", "Show status bar", "", "ToggleStatusBar", "Config_ShowStatusBar", ifCheckable},
    {"Toolbars", "-", "", "", "", ifNone},
    {"Toolbars", "Configure tool bar", "", "ConfigureToolBar", "Config_ConfigToolBar", ifNone},
    {"Config", "Set default configuration", "", "SetDefaultConfig", "Config_Reset", ifNone},
    {"Config", "Save configuration", "", "SaveConfig", "Config_SaveConfig", ifNone},
    {"Hot", "Fast find file", "Alt+X", "QuickSearch", "", ifHidden},
};

struct TMenuTitle {
  const char* Name;
  const char* Caption;
  const char* LanguageKey;
};

const TMenuTitle MenuTitles[] = {
    {"CV", "&CV", ""},
    {"File", "&File", "File"},
    {"Utils", "&Utilities", "Utils"},
    {"Commands", "&Commands", "Commands"},
    {"Panel", "&Panel", "Panel"},
    {"Config", "C&onfiguration", "Config"},
};

// The colours and options of the seven schemes, for both panels.
struct TScheme {
  int Mode, Columns;
  bool ExecBegin, Icons, FileColors, RightClick, OldDrag;
  uint32_t PanelFon, FileColor, DirectoryColor, FileSelectColor;
  int64_t DirectorySelectColor; // -1: unchanged
  uint32_t PanelSelectFon, LineColor, LineColorSlave, SysTextColor, SysInfoText, FileSizeColor,
      CurPathColor;
};

const TScheme Schemes[7] = {
    {3, 1, false, true, false, true, true, 0xFFFFFF, 0x000000, 0x000000, 0xFF0000, -1, 0xC0C0C0,
     0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000},
    {3, 1, false, true, false, false, true, 0x800000, 0xFFFFFF, 0xFFFFFF, 0x00FFFF, 0x000000,
     0xA8A800, 0xFFFFFF, 0x8000000F, 0xFFFFFF, 0x00FF00, 0xFFFFFF, 0xFFFFFF},
    {1, 3, false, false, false, false, false, 0x800000, 0xFFFFFF, 0xFFFFFF, 0x00FFFF, 0x000000,
     0xA8A800, 0xFFFFFF, 0x8000000F, 0xFFFFFF, 0x00FF00, 0xFFFFFF, 0xFFFFFF},
    {1, 3, true, false, true, false, true, 0x808080, 0xFFFFFF, 0xFFFFFF, 0x00FFFF, 0x000000,
     0xA8A800, 0xFFFFFF, 0x8000000F, 0x00FFFF, 0x00FF00, 0x00FF00, 0xFFFFFF},
    {0, 0, true, true, true, false, false, 0x800000, 0xFFFFFF, 0xFFFFFF, 0x00FFFF, 0x000000,
     0xA8A800, 0xFFFFFF, 0x8000000F, 0x00FFFF, 0x00FF00, 0x00FF00, 0xFFFFFF},
    {1, 3, false, false, false, false, false, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF,
     0x808080, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF},
    {1, 3, true, false, true, false, false, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x00FFFF, 0x000000,
     0xA8A800, 0xFFFFFF, 0x8000000F, 0x00FFFF, 0x00FF00, 0x00FF00, 0xFFFFFF},
};

bool ExtIn(const TFileEntry* entry, std::initializer_list<const char*> list) {
  if (!entry)
    return false;
  std::string ext = "." + entry->Ext;
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* item : list)
    if (ext == item)
      return true;
  return false;
}

} // namespace

bool TForm1::CursorIsArchive() const {
  TFPanel* panel = ActivePanel();
  return ExtIn(panel->Browser.GetEntry(panel->CursorIndex()),
               {".rar", ".arj", ".zip", ".arc", ".ha", ".cab", ".lzh", ".lha", ".uue", ".tar",
                ".zoo", ".gz", ".gzip"});
}

bool TForm1::CursorIsExecutableImage() const {
  TFPanel* panel = ActivePanel();
  return ExtIn(panel->Browser.GetEntry(panel->CursorIndex()),
               {".exe", ".dll", ".cpl", ".dpl", ".bpl"});
}

void TForm1::CreateMainMenu() {
  std::map<std::string, QMenu*> menus;
  for (const auto& title : MenuTitles) {
    QMenu* menu = MainMenu1->addMenu(QString::fromLatin1(title.Caption));
    menu->setObjectName(QStringLiteral("Menu_") + QLatin1String(title.Name));
    menus[title.Name] = menu;
    connect(menu, &QMenu::aboutToShow, this,
            [this, name = std::string(title.Name)] { MenuOpening(name); });
  }
  // Two submenus of the configuration menu, and the hidden menu of the quick search.
  menus["Schemes"] = menus["Config"]->addMenu(QStringLiteral("Color schemes"));
  menus["Schemes"]->setObjectName(QStringLiteral("Menu_Schemes"));
  menus["Toolbars"] = menus["Config"]->addMenu(QStringLiteral("Configure toolbars"));
  menus["Toolbars"]->setObjectName(QStringLiteral("Menu_Toolbars"));
  connect(menus["Toolbars"], &QMenu::aboutToShow, this, [this] { MenuOpening("Toolbars"); });
  menus["Hot"] = new QMenu(this);

  for (const auto& item : MenuItems) {
    QMenu* menu = menus[item.Menu];
    if (std::string_view(item.Caption) == "-") {
      menu->addSeparator();
      continue;
    }
    // Items after the two submenus keep their place below them.
    QAction* action = new QAction(QString::fromLatin1(item.Caption), menu);
    action->setObjectName(QString::fromLatin1(item.Command));
    action->setCheckable(item.Flags & ifCheckable);
    if (*item.Shortcut) {
      action->setShortcut(QKeySequence(QString::fromLatin1(item.Shortcut)));
      // The window dispatches shortcuts itself (key preview); the menu only shows them.
      action->setShortcutContext(Qt::WidgetShortcut);
    }
    action->setVisible(!(item.Flags & ifHidden));
    const std::string command = item.Command;
    if (command == "PlayLastMusic")
      action->setEnabled(false);
    menu->addAction(action);
    connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    TMenuEntry entry{action,
                     item.LanguageKey,
                     *item.Shortcut ? QKeySequence(QString::fromLatin1(item.Shortcut))
                                    : QKeySequence(),
                     command,
                     (item.Flags & ifHidden) != 0,
                     command != "PlayLastMusic"};
    MenuActions.push_back(std::move(entry));
  }
  // The configuration menu's last two items come after its submenus.
  QMenu* config = menus["Config"];
  for (QAction* action : config->actions())
    if (action->objectName() == QLatin1String("SetDefaultConfig") ||
        action->objectName() == QLatin1String("SaveConfig")) {
      config->removeAction(action);
      config->addAction(action);
    }
  for (const auto& title : MenuTitles)
    MenuTitleActions[title.Name] = menus[title.Name]->menuAction();
  MainMenu1->setVisible(true);

  // The bar menu repeats the bar toggles and the tool-bar dialog.
  for (QAction* action : menus["Toolbars"]->actions())
    PopupMenu2->addAction(action);

  // The file context menu.
  const char* const popupItems[][2] = {{"Select", "Select"},
                                       {"&Copy", "Copy"},
                                       {"Rename", "QuickRename"},
                                       {"&Move", "Move"},
                                       {"&Delete", "Delete"},
                                       {"&View", "View"},
                                       {"&Edit", "Edit"},
                                       {"&Attributes", "Attributes"},
                                       {"Add to archive", "AddToArchive"},
                                       {"Extract files", "ExtractFiles"},
                                       {"View resource", "ViewResource"}};
  for (const auto& [caption, command] : popupItems) {
    QAction* action = MainPopup->addAction(QString::fromLatin1(caption));
    action->setObjectName(QStringLiteral("Popup_") + QLatin1String(command));
    connect(action, &QAction::triggered, this,
            [this, name = std::string(command)] { RunCommand(name); });
  }
  MainPopup->setDefaultAction(MainPopup->actions().front());
  connect(MainPopup, &QMenu::aboutToShow, this, [this] { SetPopupMenu(); });

  const char* const hotCommands[] = {"UserMenu", "View",      "Edit",  "Copy",
                                     "Move",     "NewFolder", "Delete"};
  for (size_t i = 0; i < HotButtons.size(); ++i)
    connect(HotButtons[i], &QPushButton::clicked, this,
            [this, name = std::string(hotCommands[i])] { RunCommand(name); });
  for (QWidget* bar : {Panel3, ToolBar, StatusBar1, static_cast<QWidget*>(Label2)})
    bar->installEventFilter(this);
}

QAction* TForm1::MenuAction(const std::string& command) const {
  for (const auto& entry : MenuActions)
    if (entry.Action->objectName() == QString::fromStdString(command))
      return entry.Action;
  return nullptr;
}

void TForm1::MenuOpening(const std::string& menu) {
  if (RenameBox && RenameBox->isVisible())
    RenameBox->hide();
  TFPanel* panel = ActivePanel();
  auto check = [this](const char* command, bool on) {
    if (QAction* action = MenuAction(command))
      action->setChecked(on);
  };
  if (menu == "Panel") {
    check("ActiveLeft", ActiveSide == QStringLiteral("Left"));
    check("ActiveRight", ActiveSide != QStringLiteral("Left"));
    check("ShowFiles", panel->ViewMode == 1);
    check("Information", panel->ViewMode == 2);
    check("ExtendedView", panel->ViewMode == 3);
    check("QuickView", panel->ViewMode == 4);
  } else if (menu == "Toolbars") {
    check("ToggleToolBar", Settings.Show_ToolBar);
    check("ToggleDriveBar", Settings.Show_DriveBar);
    check("ToggleButtons", Settings.Show_Buttons);
    check("ToggleStatusBar", Settings.Show_StatusBar);
  } else if (menu == "File") {
    const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
    const bool up = !entry || entry->IsUpEntry();
    const bool marks = panel->Browser.SelectedCount() > 0;
    const bool archive = panel->Browser.SourceKind() != skFolder;
    auto enable = [this](std::initializer_list<const char*> commands, bool on) {
      for (const char* command : commands)
        if (QAction* action = MenuAction(command))
          action->setEnabled(on);
    };
    if (!up)
      enable(
          {"AddToArchive", "Attributes", "View", "Edit", "Copy", "Move", "Delete", "QuickRename"},
          true);
    else if (marks)
      enable({"Copy", "Move", "Delete"}, true);
    enable({"ExtractFiles", "AddToArchive", "NewFile", "NewFolder", "Edit", "QuickRename"},
           !archive);
    enable({"ExtractFiles"}, !archive && CursorIsArchive() && ListView());
    if (up) {
      if (!marks)
        enable({"AddToArchive", "Copy", "Move", "Delete"}, false);
      enable({"Attributes", "Edit", "QuickRename"}, false);
    }
  }
}

void TForm1::SetPopupMenu() {
  TFPanel* panel = ActivePanel();
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  const bool up = !entry || entry->IsUpEntry();
  const bool marks = panel->Browser.SelectedCount() > 0;
  auto enable = [this](std::initializer_list<const char*> commands, bool on) {
    for (const char* command : commands)
      for (QAction* action : MainPopup->actions())
        if (action->objectName() == QStringLiteral("Popup_") + QLatin1String(command))
          action->setEnabled(on);
  };
  for (QAction* action : MainPopup->actions())
    action->setEnabled(true);
  enable({"ViewResource"}, CursorIsExecutableImage());
  enable({"ExtractFiles"}, CursorIsArchive());
  if (panel->Browser.SourceKind() != skFolder) {
    enable({"QuickRename", "Edit", "ExtractFiles", "AddToArchive", "ViewResource"}, false);
    enable({"Copy", "View", "Attributes"}, true);
  }
  if (up) {
    if (!marks)
      enable({"Copy", "Move"}, false);
    enable({"QuickRename", "Delete", "Edit", "Attributes", "ExtractFiles", "AddToArchive",
            "ViewResource", "Select"},
           false);
    enable({"View"}, true);
  }
}

bool TForm1::ListView() const {
  const int mode = ActivePanel()->ViewMode;
  return mode != TFPanel::vmInfo && mode != TFPanel::vmQuickView;
}

bool TForm1::MenuShortcut(int key, Qt::KeyboardModifiers modifiers) {
  const QKeySequence pressed(QKeyCombination(
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier),
      static_cast<Qt::Key>(key)));
  for (const auto& entry : MenuActions) {
    if (entry.Shortcut.isEmpty() || entry.Shortcut != pressed)
      continue;
    // The first enabled item with this shortcut runs; a disabled one swallows nothing.
    if (!(entry.Hidden ? entry.HiddenEnabled : entry.Action->isEnabled()))
      continue;
    RunCommand(entry.Command);
    return true;
  }
  return false;
}

void TForm1::RunEntryPoint(const std::string& name) {
  if (const auto found = EntryPoints.find(name); found != EntryPoints.end() && found->second)
    found->second();
}

void TForm1::ApplyColorScheme(int number) {
  if (number < 1 || number > 7)
    return;
  AppliedScheme = number;
  const TScheme& scheme = Schemes[number - 1];
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    TPanelSettings& s = panel->Settings;
    int mode = scheme.Mode;
    int columns = scheme.Columns;
    if (mode == 0) { // left brief, right full
      mode = panel == PanelLeft ? 1 : 3;
      columns = panel == PanelLeft ? 3 : 1;
    }
    panel->ViewMode = mode;
    panel->ListMode = mode;
    s.Columns = columns;
    s.Show_FileHide = false;
    s.Param_ExecBegin = scheme.ExecBegin;
    s.Show_Icons = scheme.Icons;
    s.Show_FileColors = scheme.FileColors;
    s.PanelFon = scheme.PanelFon;
    s.FileColor = scheme.FileColor;
    s.DirectoryColor = scheme.DirectoryColor;
    s.FileSelectColor = scheme.FileSelectColor;
    if (scheme.DirectorySelectColor >= 0)
      s.DirectorySelectColor = static_cast<uint32_t>(scheme.DirectorySelectColor);
    s.PanelSelectFon = scheme.PanelSelectFon;
    s.LineColor = scheme.LineColor;
    s.LineColorSlave = scheme.LineColorSlave;
    s.SysTextColor = scheme.SysTextColor;
    s.SysInfoText = scheme.SysInfoText;
    s.FileSizeColor = scheme.FileSizeColor;
    s.CurPathColor = scheme.CurPathColor;
    panel->Browser.ShowHidden = false;
    panel->Browser.ExecutablesFirst = s.Param_ExecBegin;
    panel->RightClickForPopup = scheme.RightClick;
    panel->OldDrag = scheme.OldDrag;
    panel->LoadIcons();
    panel->LayoutAndPaint();
  }
  Settings.RightClickForPopup = scheme.RightClick;
  Settings.OldDrag = scheme.OldDrag;
}

void TForm1::SetViewModeCommand(int mode) {
  TFPanel* panel = ActivePanel();
  if (mode == TFPanel::vmInfo &&
      (OtherPanel()->ViewMode == TFPanel::vmInfo || panel->ViewMode == TFPanel::vmInfo))
    return;
  if ((mode == TFPanel::vmBrief || mode == TFPanel::vmFull) && panel->ViewMode == mode)
    return;
  if (mode == TFPanel::vmBrief || mode == TFPanel::vmFull) {
    panel->TopIndex = 0;
    panel->CursorOffset = 0;
  }
  panel->SetViewMode(mode);
}

void TForm1::RunCommand(const std::string& name) {
  TFPanel* panel = ActivePanel();
  const bool list = ListView();
  const bool real = panel->Browser.SourceKind() == skFolder;
  const bool entries = panel->Browser.Count() > 0;
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  const bool bareParent = (!entry || entry->IsUpEntry()) && panel->Browser.SelectedCount() == 0;
  CommandLog.push_back(name);

  if (name == "Exit") {
    close();
  } else if (name == "Copy" || name == "Move" || name == "Delete") {
    if (entries && !bareParent && list) {
      if (name == "Copy")
        CopyCommand();
      else
        RunEntryPoint(name);
    }
  } else if (name == "NewFolder" || name == "NewFile") {
    if (real && list)
      RunEntryPoint(name);
  } else if (name == "AddToArchive") {
    if (real && !bareParent && list)
      RunEntryPoint(name);
  } else if (name == "ExtractFiles") {
    if (real && CursorIsArchive() && list)
      RunEntryPoint(name);
  } else if (name == "ViewResource") {
    if (CursorIsExecutableImage())
      RunEntryPoint(name);
    else
      TAsker::Current().Error(this, LangStrings.Get("Resource Explorer", "Error_OnStart"));
  } else if (name == "Terminal") {
    std::string folder =
        platform::ModelToNative(panel->Browser.RootPath() + panel->Browser.RelPath())
            .value_or(std::string());
    platform::RunProgram("command.com", {}, folder);
  } else if (name == "MediaPlayer") {
    platform::RunProgram("mplayer.exe", {}, std::string());
  } else if (name == "ClearRecentDocs") {
    platform::ClearRecentDocuments();
  } else if (name == "EmptyRecycleBin") {
    EmptyRecycleBin();
  } else if (name == "UnselectAll" || name == "InvertSelection") {
    for (int i = 1; i <= panel->Browser.Count(); ++i)
      if (name == "InvertSelection" || panel->Browser.IsMarked(i))
        panel->Browser.ToggleMark(i);
    panel->LayoutAndPaint();
  } else if (name == "FolderSize") {
    if (entry && entry->IsFolder()) {
      if (entry->Marked)
        panel->Browser.SelectionSize();
      else
        panel->Browser.EntryFolderSize(panel->CursorIndex());
      panel->LayoutAndPaint();
    }
  } else if (name == "ActiveLeft" || name == "ActiveRight") {
    const bool left = name == "ActiveLeft";
    SetActive(left ? QStringLiteral("Left") : QStringLiteral("Right"),
              left ? PanelLeft : PanelRight, QStringLiteral("Show"));
    ChangeFolderEv(ActiveSide);
  } else if (name == "SwitchPanels") {
    const bool left = ActiveSide == QStringLiteral("Left");
    SetActive(left ? QStringLiteral("Right") : QStringLiteral("Left"),
              left ? PanelRight : PanelLeft, QStringLiteral("Show"));
    ChangeFolderEv(ActiveSide);
  } else if (name == "ShowFiles") {
    SetViewModeCommand(TFPanel::vmBrief);
  } else if (name == "ExtendedView") {
    SetViewModeCommand(TFPanel::vmFull);
  } else if (name == "Information") {
    SetViewModeCommand(TFPanel::vmInfo);
  } else if (name == "QuickView") {
    SetViewModeCommand(TFPanel::vmQuickView);
  } else if (name == "UpdatePanel") {
    panel->RefreshKeepingCursor();
    Update_HotDrives();
  } else if (name.rfind("Scheme", 0) == 0) {
    ApplyColorScheme(std::stoi(name.substr(6)));
  } else if (name == "ToggleToolBar" || name == "ToggleDriveBar" || name == "ToggleButtons" ||
             name == "ToggleStatusBar") {
    bool& flag = name == "ToggleToolBar"    ? Settings.Show_ToolBar
                 : name == "ToggleDriveBar" ? Settings.Show_DriveBar
                 : name == "ToggleButtons"  ? Settings.Show_Buttons
                                            : Settings.Show_StatusBar;
    flag = !flag;
    ApplyBarSettings();
  } else if (name == "SaveConfig") {
    Save_INI();
    TAsker::Current().Information(this, LangStrings.Get("Messages", "SaveConfig"));
  } else if (name == "SetDefaultConfig") {
    SetDefaultConfiguration();
  } else if (name == "QuickSearch") {
    PanelSearch->setVisible(!PanelSearch->isVisible());
  } else if (name == "CommandHistory") {
    ComHist->setVisible(!ComHist->isVisible());
  } else if (name == "Select") {
    if (entry && !entry->IsUpEntry()) {
      panel->Browser.ToggleMark(panel->CursorIndex());
      panel->DrawCursor();
    }
  } else if (name == "SelectGroup") {
    SelectGroup(true, false);
  } else {
    RunEntryPoint(name);
  }
}

void TForm1::OpenCopyWindow() {
  TFormCopy form(this);
  form.exec();
}

void TForm1::OpenMoveWindow() {
  TFormRenMove form(this);
  form.exec();
}

void TForm1::DeleteCommand() {
  TFormDelete form(this);
  if (Settings.ConfirmDelete) {
    form.exec();
    return;
  }
  // Without the confirmation the window only lays itself out and does its work at once.
  form.FormActivate();
  form.Button1Click();
}

void TForm1::EmptyRecycleBin() {
  const QString question = Settings.Language == QStringLiteral("ENGLISH")
                               ? QStringLiteral("Do you want really clear Recycle Bin ?")
                               : LanguageFile.Read("Commands", "Confirm_ClearRecycle", QString());
  if (TAsker::Current().YesNo(this, question) != TAsker::Yes)
    return;
  // The whole trash: the home trash and the trash folders of every other drive that answers.
  // The volume that holds the home trash keeps its trash there, so its top folder is left alone.
  struct stat home {};
  std::string homeFolder = platform::HomeTrashFolder();
  while (::stat(homeFolder.c_str(), &home) != 0 && homeFolder.size() > 1)
    homeFolder = homeFolder.substr(0, std::max<size_t>(homeFolder.rfind('/'), 1));
  std::vector<std::string> mountPoints;
  for (const auto& drive : platform::TDriveTable::Instance().Drives()) {
    struct stat volume {};
    if (!drive.Mounted || drive.MountPoint.empty() || !platform::IsDriveReady(drive.Letter) ||
        ::stat(drive.MountPoint.c_str(), &volume) != 0 || volume.st_dev == home.st_dev)
      continue;
    mountPoints.push_back(drive.MountPoint);
  }
  std::string why;
  if (!platform::EmptyTrash(mountPoints, &why))
    TAsker::Current().Error(this, QString::fromStdString(why));
  Update_AllPanels();
}

void TForm1::SetDefaultConfiguration() {
  const QString question =
      Settings.Language == QStringLiteral("ENGLISH")
          ? QStringLiteral("Do you want set default configuration of Corvane ?")
          : LanguageFile.Read("Commands", "Confirm_SetDefaultConfig", QString());
  if (TAsker::Current().YesNo(this, question) != TAsker::Yes)
    return;
  const TMainSettings defaults;
  Settings.ConfirmCopy = Settings.ConfirmMove = Settings.ConfirmDelete = true;
  Settings.ConfirmExit = false;
  Settings.SysTrayIcon = true;
  Settings.Sync_Panels = Settings.DelToRecycle = Settings.SysCopy = Settings.OldDrag = false;
  Settings.RightClickForPopup = Settings.OnBkSpaceUpDir = false;
  Settings.AutoSave = Settings.OnEnterViewPic = true;
  Settings.Language = defaults.Language;
  Settings.ArcDef = defaults.ArcDef;
  Settings.SplitterGap = 7;
  Settings.Show_Buttons = true;
  Settings.Show_BackgroundFon = Settings.Interface_ToolBar = Settings.Show_ComLine =
      Settings.Show_HotButtons = true;
  Settings.Redial = true;
  Settings.CloseOnBusy = Settings.CloseOnConnect = false;
  Settings.RedialTime = 10;
  Settings.EditorName = defaults.EditorName;
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    const QString path =
        QString::fromStdString(panel->Browser.RootPath() + panel->Browser.RelPath());
    panel->ApplyDefaults();
    panel->Settings.Path = path;
    panel->Settings.Stolbik_File = 103;
    panel->InitFromPath();
    panel->LoadIcons();
  }
  setWindowTitle(QStringLiteral("Corvane v1.50"));
  setWindowFlag(Qt::WindowStaysOnTopHint, false);
  move(0, 0);
  resize(640, 453);
  FormResize();
  for (TFPanel* panel : {PanelLeft, PanelRight})
    panel->LayoutAndPaint();
}

} // namespace corvane
