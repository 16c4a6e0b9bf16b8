// The main window's command table: every command, one row each, and the keys of the key handler.
//
// A row names the command, its main-menu item (menu, caption, shortcut, language key), what it
// needs to be enabled, and its handler. Every way a command arrives (a menu item or its shortcut,
// a hot button, the context menu, a key of FormKeyDown, the tool bar) goes through RunCommand,
// which looks the row up and checks what the command needs at that moment, so the rule that
// enables a menu item is the same one that lets its key through, and nothing is left over from
// the last time a menu opened. The menus are built from the rows in order, so a row's place is
// its place in its menu.
//
// A new command is one row here. Its handler belongs in its own subsystem's file: either a short
// lambda calling it, or no handler at all, in which case the subsystem registers one under the
// command's name in EntryPoints (windows that come with later parts of the program do that).
//
// Keys that are no menu shortcuts are in KeyBindings below: key, shift state, condition, command.
// The first binding that matches runs, and the key goes no further.
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/launcher.h"
#include "platform/native_path.h"
#include "platform/recent_documents.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

namespace corvane {

namespace {

// How a binding compares the shift state (Shift, Ctrl and Alt; the keypad is a condition).
enum class TShifts {
  Exactly,      // exactly the binding's modifiers
  Any,          // whatever is held
  NotCtrl,      // anything but Ctrl alone
  NoneOfThem,   // neither Shift, Ctrl nor Alt alone (Enter)
  NotAltOrCtrl, // neither Alt alone nor Ctrl alone (Backspace)
  WithCtrl,     // Ctrl held, with or without others
};

// Conditions of a binding besides its key.
enum TKeyWhen : unsigned {
  kwAlways = 0,
  kwLineEmpty = 1,       // the command line is empty
  kwKeypad = 2,          // the key is on the keypad (gray + - *)
  kwCommandList = 4,     // the list of typed commands is not empty
  kwBackspaceGoesUp = 8, // the OnBkSpaceUpDir setting is on
};

struct TKeyBinding {
  int Key;
  Qt::KeyboardModifiers Modifiers;
  TShifts Shifts;
  unsigned When;
  const char* Command;
};

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Alt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;

// The keys of FormKeyDown, tested in order.
const TKeyBinding KeyBindings[] = {
    {Qt::Key_F3, Alt, TShifts::Exactly, kwAlways, "ViewAsText"},
    {Qt::Key_Return, None, TShifts::NoneOfThem, kwAlways, "OpenOrRun"},
    {Qt::Key_Enter, None, TShifts::NoneOfThem, kwAlways, "OpenOrRun"},
    {Qt::Key_BracketLeft, Ctrl, TShifts::Exactly, kwAlways, "PutLeftFolder"},
    {Qt::Key_BracketRight, Ctrl, TShifts::Exactly, kwAlways, "PutRightFolder"},
    {Qt::Key_F5, Alt, TShifts::Exactly, kwAlways, "AddToArchive"},
    {Qt::Key_F6, Alt, TShifts::Exactly, kwAlways, "ExtractFiles"},
    {Qt::Key_Right, Ctrl, TShifts::Exactly, kwLineEmpty, "NextDriveUp"},
    {Qt::Key_Left, Ctrl, TShifts::Exactly, kwLineEmpty, "NextDriveDown"},
    {Qt::Key_Up, None, TShifts::Any, kwAlways, "CursorUp"},
    {Qt::Key_Down, None, TShifts::Any, kwAlways, "CursorDown"},
    {Qt::Key_Right, None, TShifts::NotCtrl, kwAlways, "CursorRight"},
    {Qt::Key_PageDown, None, TShifts::NotCtrl, kwAlways, "CursorRight"},
    {Qt::Key_Left, None, TShifts::NotCtrl, kwAlways, "CursorLeft"},
    {Qt::Key_PageUp, None, TShifts::NotCtrl, kwAlways, "CursorLeft"},
    {Qt::Key_PageUp, Ctrl, TShifts::Exactly, kwAlways, "GoUpFolder"},
    {Qt::Key_Home, None, TShifts::Any, kwAlways, "CursorHome"},
    {Qt::Key_End, None, TShifts::Any, kwAlways, "CursorEnd"},
    {Qt::Key_F1, Alt, TShifts::Exactly, kwAlways, "ChangeDriveLeft"},
    {Qt::Key_F2, Alt, TShifts::Exactly, kwAlways, "ChangeDriveRight"},
    {Qt::Key_Comma, Ctrl, TShifts::Exactly, kwAlways, "VolumeDown"},
    {Qt::Key_Period, Ctrl, TShifts::Exactly, kwAlways, "VolumeUp"},
    {Qt::Key_Backspace, Ctrl, TShifts::Exactly, kwAlways, "DeleteLastWord"},
    {Qt::Key_Backspace, None, TShifts::NotAltOrCtrl, kwLineEmpty | kwBackspaceGoesUp, "GoUpFolder"},
    {Qt::Key_Backslash, Ctrl, TShifts::Exactly, kwAlways, "GoDriveRoot"},
    {Qt::Key_Asterisk, Ctrl, TShifts::WithCtrl, kwKeypad, "InvertMarksAndFolders"},
    {Qt::Key_Asterisk, None, TShifts::Any, kwKeypad, "InvertMarks"},
    {Qt::Key_Plus, Ctrl, TShifts::WithCtrl, kwKeypad, "SelectGroupAndFolders"},
    {Qt::Key_Plus, None, TShifts::Any, kwKeypad, "SelectGroupKey"},
    {Qt::Key_Minus, Ctrl, TShifts::WithCtrl, kwKeypad, "UnselectGroupAndFolders"},
    {Qt::Key_Minus, None, TShifts::Any, kwKeypad, "UnselectGroupKey"},
    {Qt::Key_I, Ctrl, TShifts::Exactly, kwAlways, "ToggleIcons"},
    {Qt::Key_H, Ctrl, TShifts::Exactly, kwAlways, "ToggleHidden"},
    {Qt::Key_Insert, None, TShifts::Exactly, kwAlways, "MarkAndDown"},
    {Qt::Key_Space, None, TShifts::Any, kwLineEmpty, "MarkAndDown"},
    {Qt::Key_Q, Ctrl, TShifts::Exactly, kwAlways, "QuickViewOther"},
    {Qt::Key_L, Ctrl, TShifts::Exactly, kwAlways, "InformationOther"},
    {Qt::Key_F11, None, TShifts::Exactly, kwAlways, "VolumeStepDown"},
    {Qt::Key_F12, None, TShifts::Exactly, kwAlways, "VolumeStepUp"},
    {Qt::Key_Escape, None, TShifts::Any, kwAlways, "Escape"},
    {Qt::Key_Return, Ctrl, TShifts::Exactly, kwAlways, "PutName"},
    {Qt::Key_Enter, Ctrl, TShifts::Exactly, kwAlways, "PutName"},
    {Qt::Key_E, Ctrl, TShifts::Exactly, kwCommandList, "RecallCommand"},
    {Qt::Key_Return, Shift, TShifts::Exactly, kwAlways, "ExtractAll"},
    {Qt::Key_Enter, Shift, TShifts::Exactly, kwAlways, "ExtractAll"},
    {Qt::Key_Slash, Ctrl, TShifts::Exactly, kwAlways, "CopyMarkedNames"},
    {Qt::Key_Menu, None, TShifts::Any, kwAlways, "ContextMenu"},
};

bool ShiftsMatch(const TKeyBinding& binding, Qt::KeyboardModifiers held) {
  switch (binding.Shifts) {
  case TShifts::Exactly:
    return held == binding.Modifiers;
  case TShifts::Any:
    return true;
  case TShifts::NotCtrl:
    return held != Ctrl;
  case TShifts::NoneOfThem:
    return held != Shift && held != Ctrl && held != Alt;
  case TShifts::NotAltOrCtrl:
    return held != Alt && held != Ctrl;
  case TShifts::WithCtrl:
    return held & Ctrl;
  }
  return false;
}

bool ExtIn(const TFileEntry* entry, std::initializer_list<const char*> list) {
  if (!entry || entry->IsFolder())
    return false;
  std::string ext = "." + entry->Ext;
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* item : list)
    if (ext == item)
      return true;
  return false;
}

QString PanelFolder(const TFPanel* panel) {
  return QString::fromStdString(panel->Browser.RootPath() + panel->Browser.RelPath());
}

} // namespace

const std::vector<TForm1::TCommand>& TForm1::Commands() {
  // What the file commands need, by their kind.
  constexpr unsigned onEntries = cnHasEntries | cnNotBareParent | cnListView;
  constexpr unsigned makesHere = cnRealFolder | cnListView;
  constexpr unsigned onOneEntry = cnCursorNotParent | cnHasEntries;
  using F = TForm1;
  static const std::vector<TCommand> table = {
      // The "&CV" menu.
      {"About", "CV", "About program", "", "CV_About", 0, 0, nullptr},
      {"Help", "CV", "Help system", "F1", "CV_Help", 0, 0, nullptr},
      {"Tetris", "CV", "Tetris game", "", "CV_Tetris", 0, 0, nullptr},
      {"Life", "CV", "Life game", "", "CV_Life", 0, 0, nullptr},
      {"Exit", "CV", "Exit", "F10", "CV_Exit", 0, 0, [](F& f) { f.close(); }},
      // "&File".
      {"UserMenu", "File", "Menu", "F2", "File_Menu", 0, 0, nullptr},
      {"View", "File", "View", "F3", "File_Viewer", 0, 0, nullptr},
      {"Edit", "File", "Edit", "F4", "File_Editor", cnCursorNotParent | cnRealFolder, 0, nullptr},
      {"Copy", "File", "Copy", "F5", "File_Copy", onEntries, 0, [](F& f) { f.CopyCommand(); }},
      {"Move", "File", "Move", "F6", "File_Rename", onEntries, 0, nullptr},
      {"QuickRename", "File", "Rename", "Shift+F6", "", cnCursorNotParent | cnRealFolder, 0,
       nullptr},
      {"NewFolder", "File", "Create folder", "F7", "File_NewDir", makesHere, 0, nullptr},
      {"Delete", "File", "Delete", "F8", "File_DelFile", onEntries, 0, nullptr},
      {"FindFile", "File", "Find file", "Alt+F7", "File_FindFile", 0, 0, nullptr},
      {"Attributes", "File", "Attributes", "Ctrl+A", "File_Attrib", onOneEntry | cnListView, 0,
       nullptr},
      {"NewFile", "File", "Create new file", "Shift+F4", "File_Createfile", makesHere, 0, nullptr},
      {"AddToArchive", "File", "Add to archive", "Shift+F1", "File_Add_Arc",
       cnRealFolder | cnNotBareParent | cnListView, 0, nullptr},
      {"ExtractFiles", "File", "Extract files", "Shift+F2", "File_Extract_Arc",
       cnRealFolder | cnCursorArchive | cnListView, 0, nullptr},
      // Hidden: the context menu's "View resource" takes its caption from this item.
      {"ViewResource", "File", "View file resource", "", "Command_ViewResource", 0, cfHidden,
       [](F& f) { f.ViewResourceCommand(); }},
      // "&Utilities".
      {"SystemInfo", "Utils", "About system", "Ctrl+1", "Utils_System", 0, 0, nullptr},
      {"Dialer", "Utils", "Internet dialer", "Ctrl+2", "", 0, 0, nullptr},
      {"Clipboard", "Utils", "View clipboard", "Ctrl+3", "Utils_Clipboard", 0, 0, nullptr},
      {"CdPlayer", "Utils", "CD-Player", "Ctrl+4", "Utils_AudioPlayer", 0, 0, nullptr},
      {"Calculator", "Utils", "Calculator", "Ctrl+5", "Utils_Calc", 0, 0, nullptr},
      {"ViewResource", "Utils", "Resource Explorer", "Ctrl+7", "", 0, 0,
       [](F& f) { f.ViewResourceCommand(); }},
      {"Terminal", "Utils", "MS-DOS window", "Ctrl+8", "Utils_MSDOS", 0, 0,
       [](F& f) {
         const TFPanel* panel = f.ActivePanel();
         platform::RunProgram(
             "command.com", {},
             platform::ModelToNative(panel->Browser.RootPath() + panel->Browser.RelPath())
                 .value_or(std::string()));
       }},
      {"MediaPlayer", "Utils", "MediaPlayer", "Ctrl+9", "Utils_Media", 0, 0,
       [](F&) { platform::RunProgram("mplayer.exe", {}, std::string()); }},
      {"Format", "Utils", "Format floppy drive", "", "Utils_Format", 0, 0, nullptr},
      // "&Commands". "Play last file" is hidden and never enabled: Ctrl+A stays Attributes'.
      {"PlayMusic", "Commands", "Play music file", "", "Command_PlayMusic", 0, 0, nullptr},
      {"PlayLastMusic", "Commands", "Play last file", "Ctrl+A", "Command_PlayLastMusic", cnNever,
       cfHidden, nullptr},
      {"StopMusic", "Commands", "Stop music", "Ctrl+M", "Command_StopMusic", 0, 0, nullptr},
      {"WhatPlaying", "Commands", "What playing", "Ctrl+W", "Command_WhatPlay", 0, 0, nullptr},
      {"FolderHistory", "Commands", "Folders history", "", "Command_FHistory", 0, 0, nullptr},
      {"CommandHistory", "Commands", "Commands history", "", "Command_ViewHistory", 0, 0,
       [](F& f) { f.ComHist->setVisible(!f.ComHist->isVisible()); }},
      {"EmptyRecycleBin", "Commands", "Empty Recycle Bin", "", "Command_ClearRecycle", 0, 0,
       [](F& f) { f.EmptyRecycleBin(); }},
      {"ClearRecentDocs", "Commands", "Clear Recent Docs", "", "Command_ClearDocs", 0, 0,
       [](F&) { platform::ClearRecentDocuments(); }},
      {"SelectGroup", "Commands", "Select group", "", "Command_SelGroup", 0, 0,
       [](F& f) { f.SelectGroup(true, false); }},
      {"UnselectAll", "Commands", "Unselect all", "", "Command_UnSelAll", 0, 0,
       [](F& f) { f.ChangeMarks(false); }},
      {"InvertSelection", "Commands", "Invert selection", "", "Command_InvertSel", 0, 0,
       [](F& f) { f.ChangeMarks(true); }},
      {"NetConnect", "Commands", "Network connections", "", "Command_AddNetDrive", 0, 0, nullptr},
      {"NetDisconnect", "Commands", "Disconnect Network drives", "", "Command_RemoveNetDrive", 0,
       0, nullptr},
      {"FolderSize", "Commands", "C&alculate folder size", "Ctrl+G", "Command_CalcDirSize", 0, 0,
       [](F& f) { f.FolderSizeCommand(); }},
      {"FileInformation", "Commands", "File information", "", "Command_FileInfo", 0, 0, nullptr},
      // "&Panel".
      {"ActiveLeft", "Panel", "Active left", "", "Panel_Left", 0, cfCheckable,
       [](F& f) { f.ActivateSide(TPanelSide::Left); }},
      {"ActiveRight", "Panel", "Active right", "", "Panel_Right", 0, cfCheckable,
       [](F& f) { f.ActivateSide(TPanelSide::Right); }},
      {"ShowFiles", "Panel", "Show files", "Alt+1", "Panel_ShowFiles", 0, cfCheckable,
       [](F& f) { f.SetViewModeCommand(TFPanel::vmBrief); }},
      {"ExtendedView", "Panel", "Extended view", "Alt+2", "Panel_ShowExtView", 0, cfCheckable,
       [](F& f) { f.SetViewModeCommand(TFPanel::vmFull); }},
      {"Information", "Panel", "Information", "Alt+3", "Panel_Show_Info", 0, cfCheckable,
       [](F& f) { f.SetViewModeCommand(TFPanel::vmInfo); }},
      {"QuickView", "Panel", "Quick view", "Alt+4", "Panel_ShowQuickView", 0, cfCheckable,
       [](F& f) { f.SetViewModeCommand(TFPanel::vmQuickView); }},
      {"UpdatePanel", "Panel", "Update panel", "Ctrl+R", "Panel_UpdatePanel", 0, 0,
       [](F& f) {
         f.ActivePanel()->RefreshKeepingCursor();
         f.Update_HotDrives();
       }},
      {"SortModes", "Panel", "Sort modes", "Ctrl+F12", "Panel_SortMode", 0, 0, nullptr},
      {"ChangeDrive", "Panel", "Change drive", "", "Panel_ChangeDrive", 0, 0, nullptr},
      {"SwitchPanels", "Panel", "Cnange panel", "Tab", "", 0, cfHidden,
       [](F& f) { f.ActivateSide(OtherSide(f.ActiveSide)); }},
      // "C&onfiguration", with its two submenus after "Archivers options".
      {"MainOptions", "Config", "Main options", "Ctrl+P", "Config_Main", 0, 0, nullptr},
      {"SetColors", "Config", "Set Colors", "Ctrl+C", "Config_Color", 0, 0, nullptr},
      {"SetFonts", "Config", "Change fonts", "Ctrl+F", "Config_Font", 0, 0, nullptr},
      {"UserMenu", "Config", "Main menu", "Ctrl+M", "Config_Menu", 0, 0, nullptr},
      {"FileColors", "Config", "Files highlighing", "", "Config_FilesColors", 0, 0, nullptr},
      {"ArchiverOptions", "Config", "Archivers options", "", "Config_ArcParam", 0, 0, nullptr},
      {"Scheme1", "Schemes", "&Blue on white", "", "", 0, 0,
       [](F& f) { f.ApplyColorScheme(1); }},
      {"Scheme2", "Schemes", "&Navy", "", "", 0, 0, [](F& f) { f.ApplyColorScheme(2); }},
      {"Scheme3", "Schemes", "Navy &brief", "", "", 0, 0, [](F& f) { f.ApplyColorScheme(3); }},
      {"Scheme4", "Schemes", "&Grey", "", "", 0, 0, [](F& f) { f.ApplyColorScheme(4); }},
      {"Scheme5", "Schemes", "&Corvane", "", "", 0, 0, [](F& f) { f.ApplyColorScheme(5); }},
      {"Scheme6", "Schemes", "&Black and White", "", "", 0, 0,
       [](F& f) { f.ApplyColorScheme(6); }},
      {"Scheme7", "Schemes", "D&ark", "", "", 0, 0, [](F& f) { f.ApplyColorScheme(7); }},
      {"ToggleToolBar", "Toolbars", "Show tool bar", "", "Config_ShowToolBar", 0, cfCheckable,
       [](F& f) { f.ToggleBar(f.Settings.Show_ToolBar); }},
      {"ToggleDriveBar", "Toolbars", "Show drives bar", "", "Config_ShowDriversBar", 0,
       cfCheckable, [](F& f) { f.ToggleBar(f.Settings.Show_DriveBar); }},
      {"ToggleButtons", "Toolbars", "Show buttons bar", "", "Config_ShowButtonsBar", 0,
       cfCheckable, [](F& f) { f.ToggleBar(f.Settings.Show_Buttons); }},
      {"ToggleStatusBar", "Toolbars", "Show status bar", "", "Config_ShowStatusBar", 0,
       cfCheckable, [](F& f) { f.ToggleBar(f.Settings.Show_StatusBar); }},
      {"", "Toolbars", "-", "", "", 0, 0, nullptr},
      {"ConfigureToolBar", "Toolbars", "Configure tool bar", "", "Config_ConfigToolBar", 0, 0,
       nullptr},
      {"SetDefaultConfig", "Config", "Set default configuration", "", "Config_Reset", 0, 0,
       [](F& f) { f.SetDefaultConfiguration(); }},
      {"SaveConfig", "Config", "Save configuration", "", "Config_SaveConfig", 0, 0,
       [](F& f) {
         f.SaveSettingsFiles(true);
         TAsker::Current().Information(&f, f.LangStrings.Get("Messages", "SaveConfig"));
       }},
      // The hidden menu of the quick search.
      {"QuickSearch", "Hot", "Fast find file", "Alt+X", "", 0, cfHidden,
       [](F& f) { f.PanelSearch->setVisible(!f.PanelSearch->isVisible()); }},

      // Commands without a menu item: the context menu's, and the keys of FormKeyDown.
      {"Select", "", "Select", "", "", cnCursorNotParent, 0,
       [](F& f) {
         TFPanel* panel = f.ActivePanel();
         panel->Browser.ToggleMark(panel->CursorIndex());
         panel->DrawCursor();
       }},
      {"ViewAsText", "", "", "", "", 0, 0, nullptr},
      {"OpenOrRun", "", "", "", "", 0, 0,
       [](F& f) {
         if (f.ComLine->text().isEmpty())
           f.ActivePanel()->OpenCurrent();
         else
           f.RunEntryPoint("RunCommandLine");
       }},
      {"PutLeftFolder", "", "", "", "", 0, 0, [](F& f) { f.AppendToCommandLine(f.PanelLeft); }},
      {"PutRightFolder", "", "", "", "", 0, 0,
       [](F& f) { f.AppendToCommandLine(f.PanelRight); }},
      {"NextDriveUp", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->NextReadyDrive(+1); }},
      {"NextDriveDown", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->NextReadyDrive(-1); }},
      {"CursorUp", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->CursorUp(); }},
      {"CursorDown", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->CursorDown(); }},
      {"CursorRight", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->CursorRight(); }},
      {"CursorLeft", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->CursorLeft(); }},
      {"CursorHome", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->CursorHome(); }},
      {"CursorEnd", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->CursorEnd(); }},
      {"GoUpFolder", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->GoUpFolder(); }},
      {"GoDriveRoot", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->GoDriveRoot(); }},
      {"ChangeDriveLeft", "", "", "", "", 0, 0, nullptr},
      {"ChangeDriveRight", "", "", "", "", 0, 0, nullptr},
      {"VolumeDown", "", "", "", "", 0, 0, nullptr},
      {"VolumeUp", "", "", "", "", 0, 0, nullptr},
      {"VolumeStepDown", "", "", "", "", 0, 0, nullptr},
      {"VolumeStepUp", "", "", "", "", 0, 0, nullptr},
      {"DeleteLastWord", "", "", "", "", 0, 0, nullptr},
      {"PutName", "", "", "", "", 0, 0, nullptr},
      {"RecallCommand", "", "", "", "", 0, 0, nullptr},
      {"RunCommandLine", "", "", "", "", 0, 0, nullptr},
      {"InvertMarks", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->InvertMarks(false); }},
      {"InvertMarksAndFolders", "", "", "", "", 0, 0,
       [](F& f) { f.ActivePanel()->InvertMarks(true); }},
      {"SelectGroupKey", "", "", "", "", 0, 0, [](F& f) { f.SelectGroup(true, false); }},
      {"SelectGroupAndFolders", "", "", "", "", 0, 0, [](F& f) { f.SelectGroup(true, true); }},
      {"UnselectGroupKey", "", "", "", "", 0, 0, [](F& f) { f.SelectGroup(false, false); }},
      {"UnselectGroupAndFolders", "", "", "", "", 0, 0,
       [](F& f) { f.SelectGroup(false, true); }},
      {"ToggleIcons", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->ToggleIcons(); }},
      {"ToggleHidden", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->ToggleHidden(); }},
      {"MarkAndDown", "", "", "", "", 0, 0, [](F& f) { f.ActivePanel()->MarkAndDown(); }},
      {"QuickViewOther", "", "", "", "", 0, 0, [](F& f) { f.ToggleQuickViewOther(); }},
      {"InformationOther", "", "", "", "", 0, 0, [](F& f) { f.ToggleInformationOther(); }},
      {"Escape", "", "", "", "", 0, 0,
       [](F& f) {
         if (f.ComHist->isVisible()) {
           f.ComHist->hide();
           f.ComLine->setFocus();
         }
         if (!f.ComLine->text().isEmpty())
           f.ComLine->clear();
       }},
      {"ExtractAll", "", "", "", "", cnRealFolder | cnCursorArchive | cnListView, 0, nullptr},
      {"CopyMarkedNames", "", "", "", "", 0, 0,
       [](F& f) { QApplication::clipboard()->setText(f.ActivePanel()->MarkedNamesText()); }},
      {"ContextMenu", "", "", "", "", cnHasEntries, 0,
       [](F& f) {
         TFPanel* panel = f.ActivePanel();
         f.SetPopupMenu();
         f.MainPopup->popup(panel->mapToGlobal(panel->CursorCell + QPoint(3, -1)));
       }},
  };
  return table;
}

const TForm1::TCommand* TForm1::FindCommand(std::string_view name) {
  for (const TCommand& command : Commands())
    if (name == command.Name)
      return &command;
  return nullptr;
}

bool TForm1::CursorIsArchive() const {
  const TFPanel* panel = ActivePanel();
  return ExtIn(panel->Browser.GetEntry(panel->CursorIndex()),
               {".rar", ".arj", ".zip", ".arc", ".ha", ".cab", ".lzh", ".lha", ".uue", ".tar",
                ".zoo", ".gz", ".gzip"});
}

bool TForm1::CursorIsExecutableImage() const {
  const TFPanel* panel = ActivePanel();
  return ExtIn(panel->Browser.GetEntry(panel->CursorIndex()),
               {".exe", ".dll", ".cpl", ".dpl", ".bpl"});
}

bool TForm1::ListView() const {
  const TViewMode mode = ActivePanel()->ViewMode;
  return mode != TFPanel::vmInfo && mode != TFPanel::vmQuickView;
}

bool TForm1::CommandEnabled(const TCommand& command) const {
  const unsigned needs = command.Needs;
  if (needs == 0)
    return true;
  if (needs & cnNever)
    return false;
  const TFPanel* panel = ActivePanel();
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  const bool onParent = !entry || entry->IsUpEntry();
  return (!(needs & cnListView) || ListView()) &&
         (!(needs & cnHasEntries) || panel->Browser.Count() > 0) &&
         (!(needs & cnNotBareParent) || !onParent || panel->Browser.SelectedCount() > 0) &&
         (!(needs & cnRealFolder) || panel->Browser.SourceKind() == skFolder) &&
         (!(needs & cnCursorArchive) || CursorIsArchive()) &&
         (!(needs & cnCursorExecutable) || CursorIsExecutableImage()) &&
         (!(needs & cnCursorNotParent) || !onParent);
}

void TForm1::RunCommand(const std::string& name) {
  CommandLog.push_back(name);
  const TCommand* command = FindCommand(name);
  if (!command) {
    RunEntryPoint(name);
    return;
  }
  if (!CommandEnabled(*command))
    return;
  if (command->Handler)
    command->Handler(*this);
  else
    RunEntryPoint(name);
}

void TForm1::RunEntryPoint(const std::string& name) {
  if (const auto found = EntryPoints.find(name); found != EntryPoints.end() && found->second)
    found->second();
}

bool TForm1::MenuShortcut(int key, Qt::KeyboardModifiers modifiers) {
  const QKeySequence pressed(QKeyCombination(
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier),
      static_cast<Qt::Key>(key)));
  // The first item with this shortcut that is enabled now runs; a disabled one swallows nothing.
  // The items stand in table order, with their shortcuts parsed once.
  for (const auto& entry : MenuActions) {
    if (entry.Action->shortcut() != pressed || !CommandEnabled(*entry.Command))
      continue;
    RunCommand(entry.Command->Name);
    return true;
  }
  return false;
}

bool TForm1::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held = modifiers & (Shift | Ctrl | Alt);
  const bool keypad = modifiers & Qt::KeypadModifier;
  const bool gray =
      keypad && (key == Qt::Key_Plus || key == Qt::Key_Minus || key == Qt::Key_Asterisk);
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  // Letters go into the command line; keys that are commands do not.
  ComLine->setReadOnly(gray || enter || key == Qt::Key_Escape || held == Alt || held == Ctrl);
  if (key == Qt::Key_Escape && RenameBox && RenameBox->isVisible())
    RenameBox->hide();
  if (RenameBox && RenameBox->isVisible())
    return false;
  if (!ListView())
    return false;
  const bool lineEmpty = ComLine->text().isEmpty();
  if (key == Qt::Key_Delete && lineEmpty) {
    RunCommand("Delete");
    return true;
  }
  if (PanelSearch->isVisible() && held != Alt && held != Ctrl)
    return false;
  for (const TKeyBinding& binding : KeyBindings) {
    if (binding.Key != key || !ShiftsMatch(binding, held) ||
        ((binding.When & kwLineEmpty) && !lineEmpty) || ((binding.When & kwKeypad) && !keypad) ||
        ((binding.When & kwCommandList) && ComList->count() == 0) ||
        ((binding.When & kwBackspaceGoesUp) && !Settings.OnBkSpaceUpDir))
      continue;
    RunCommand(binding.Command);
    return true;
  }
  return false;
}

void TForm1::AppendToCommandLine(const TFPanel* panel) {
  ComLine->setText(ComLine->text() + PanelFolder(panel));
  ComLine->end(false);
}

void TForm1::ActivateSide(TPanelSide side) {
  SetActive(side, true);
  ChangeFolderEv(ActiveSide);
}

void TForm1::ChangeMarks(bool invert) {
  TFPanel* panel = ActivePanel();
  for (int i = 1; i <= panel->Browser.Count(); ++i)
    if (invert || panel->Browser.IsMarked(i))
      panel->Browser.ToggleMark(i);
  panel->LayoutAndPaint();
}

void TForm1::ViewResourceCommand() {
  if (CursorIsExecutableImage())
    RunEntryPoint("ViewResource");
  else
    TAsker::Current().Error(this, LangStrings.Get("Resource Explorer", "Error_OnStart"));
}

void TForm1::FolderSizeCommand() {
  TFPanel* panel = ActivePanel();
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  if (!entry || !entry->IsFolder())
    return;
  if (entry->Marked)
    panel->Browser.SelectionSize();
  else
    panel->Browser.EntryFolderSize(panel->CursorIndex());
  panel->LayoutAndPaint();
}

void TForm1::ToggleBar(bool& shown) {
  shown = !shown;
  ApplyBarSettings();
}

void TForm1::ToggleQuickViewOther() {
  TFPanel* other = OtherPanel();
  other->SetViewMode(other->ViewMode == TFPanel::vmQuickView ? other->ListMode
                                                             : TFPanel::vmQuickView);
}

void TForm1::ToggleInformationOther() {
  TFPanel* other = OtherPanel();
  if (RememberedMode == TViewMode::Info)
    RememberedMode = TViewMode::Brief;
  if (other->ViewMode != TFPanel::vmInfo) {
    RememberedMode = other->ViewMode;
    other->SetViewMode(TFPanel::vmInfo);
  } else {
    other->SetViewMode(RememberedMode);
  }
}

} // namespace corvane
