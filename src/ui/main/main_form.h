// TForm1: the main window, the spine of the program. It owns the two file panels, the drive bars,
// the command line, the hot buttons, the status line, the tray icon and the timers; it decides
// which panel is active, lays the window out (the two panels share the width at SplitRatio, which
// the user drags), and starts and ends the program in a fixed order of steps.
//
// Children are placed by the layout code rather than by Qt layouts: the positions are part of
// how the window behaves (the splitter band, the bars that appear and vanish, the status line
// placed from the right) and are computed exactly.
#pragma once

#include "config/archiver_table.h"
#include "config/file_colors.h"
#include "config/ini_file.h"
#include "config/toolbar_file.h"
#include "main/language.h"
#include "model/file_groups.h"
#include "panels/view_mode.h"
#include "platform/launcher.h"

#include <QIcon>
#include <QKeySequence>
#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QSlider;
class QSystemTrayIcon;
class QTimer;
class QToolButton;

namespace corvane {

class TDriveWatch;
class TFPanel;
class TFormDrive;
class TMyToolBar;
class TPauseHotKey;
class TToolBar;

// The main window's own settings, with the values a first start uses.
struct TMainSettings {
  QString Active = QStringLiteral("Left");
  bool SysCopy = false;
  bool Sync_Panels = false;
  bool OldDrag = false;
  bool RightClickForPopup = false;
  bool OnEnterViewPic = true;
  bool OnBkSpaceUpDir = false;
  QString ArcDef = QStringLiteral("zip");
  bool StateWin = false;
  int ClipboardTop = 0, ClipboardLeft = 0, ClipboardWidth = 0, ClipboardHeight = 0;
  bool Show_BackgroundFon = true, Interface_ToolBar = true, Show_ComLine = true,
       Show_HotButtons = true;
  bool Redial = true, CloseOnBusy = false, CloseOnConnect = false;
  int RedialTime = 10;
  bool ConfirmCopy = true, ConfirmMove = true, ConfirmDelete = true;
  bool Show_ToolBar = true;
  bool Show_StatusBar = true;
  bool Show_DriveBar = true;
  bool Show_Buttons = true;
  bool SysTrayIcon = false;
  bool OnTop = false;
  bool AutoSave = true;
  bool ConfirmExit = false;
  bool DelToRecycle = false;
  int SplitterGap = 7;
  int Left_Style = 1;
  int Right_Style = 1;
  int Left = 0;
  int Top = 0;
  int Width = 640;
  int Height = 453;
  QString Language = QStringLiteral("ENGLISH");
  QString EditorType = QStringLiteral("int");
  QString EditorName = QStringLiteral("notepad.exe");
};

class TForm1 final : public QMainWindow {
  Q_OBJECT

public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  TFPanel* ActivePanel() const;
  // Whether an engine works on a panel's listing (a copy, a delete, a folder size): the main
  // window then takes no keys and does not close, as commands would re-read or free what the
  // engine works on.
  bool OperationRunning() const;
  // The question before closing, in the language of the program.
  QString ExitQuestion() const;
  TFPanel* OtherPanel() const;
  TFPanel* LeftPanel() const { return PanelLeft; }
  TFPanel* RightPanel() const { return PanelRight; }

  // Makes a side active; drawCursors also draws both cursor bars.
  void SetActive(TPanelSide side, bool drawCursors);
  void Update_AllPanels();
  void Update_FilePanel(TFPanel* panel);
  // Reads the drive table again and rebuilds the drive bars and the change-drive window's list.
  void Update_HotDrives();
  // Shows the change-drive window for a side; modal blocks the main window until it closes.
  void ChangeDrive(TPanelSide side, bool modal = false);
  void ChangeFilePos(int index);
  void ChangeFolderEv(TPanelSide side);
  void AddFileToHistory(const std::string& name);
  // Views a file by its type (F3, Enter on pictures and sounds, the players): `path` is the active
  // panel's cursor entry, which is taken out of an archive first. Pictures and sounds go to their
  // viewers, video to the desktop's media player, pages to the page viewer, folders get their
  // size, and everything else opens in the text viewer.
  void File_Work(const std::string& path);
  // Set for one File_Work call: the file opens in the text viewer, whatever its type (Alt+F3).
  bool SkipTypeDispatch = false;
  // F3 (or Alt+F3 with asText) on the active panel's cursor entry.
  void ViewCursorFile(bool asText);
  // Hands a file (a model path) to the program's own viewer, in view mode.
  void ViewInTextViewer(const std::string& modelPath, bool fromArchive);
  // F4: the cursor file in the editor (ours, or the one the settings name).
  void N10Click();
  // What views the files of a group whose window comes with a later part of the program: the
  // picture viewer (modal), the players. A group without one opens in the text viewer.
  std::map<TFileGroup, std::function<void(const std::string& modelPath)>> FileViewers;
  // Copies the active panel's cursor entry out of the archive it shows into the temporary folder:
  // the copy's model path, or nothing when that failed (the user was told).
  std::optional<std::string> GetArcFile(bool showProgress);

  // Lays out the window's children for its current size.
  void FormResize();
  // Fits the window to the screen's work area.
  void RButClick();
  // Applies the bar visibility settings to the bars' heights.
  void ApplyBarSettings();
  // Sets the panels' view modes from the stored styles, mending impossible combinations.
  void ApplyViewStyles(int leftStyle, int rightStyle);

  // The main window's key handler: true when the key was acted on (it then goes no further).
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
  // Copy from the active panel to the other one (the copy dialog); also the end of a drag.
  void CopyCommand();
  // The select-group dialog, selecting (true) or unselecting; with folders when asked.
  void SelectGroup(bool select, bool withFolders);
  // The commands the dialogs of later parts provide; until then they do nothing.
  std::function<void(bool select, bool withFolders)> OnSelectGroup;
  // While off (an archive is being read), keys do not reach the panels.
  bool KeyPreview = true;
  // The entry a drag between the panels started on, while its copy runs.
  std::string DraggedName;

  // Settings file: read over the defaults at start, written at exit when AutoSave is on.
  void Load_INI();
  void Save_INI();
  // The hand-off sections read by the external editor and page viewer.
  void WriteEditorHandOff(const std::string& modelPath, bool editMode, bool fromArchive);
  void WriteUrlHandOff(const std::string& modelPath);
  // The window's bounds as the settings and the hand-off store them.
  QRect StoredBounds() const;

  // The tool bar, archiver and file-colour tables (main_tables.cpp). Their editors change them in
  // place; BuildToolBar shows a changed tool-bar table at once. The writers return false when the
  // file could not be written (it then stays as it was).
  config::TToolBarTable ToolBarTable;
  config::TArchiverTable ArchiverTable;
  config::TFileColorTable FileColorsTable;
  void BuildToolBar();
  // The picture tool-bar button `index` (from 0) shows, or a null icon.
  QIcon ToolButtonPicture(int index) const;
  bool Save_ToolBar();
  // Runs the button with this tag: a built-in word's command, or its program or document.
  void ToolButtonClick(int tag);
  // Reads a colour file over the table (fc.ini at start, a chosen file for the colour editor).
  void GetFilesColors(const std::string& nativePath);
  // Writes the table to a colour file; fc.ini of the program folder when the path is empty.
  bool SaveFilesColors(const std::string& nativePath = std::string());
  bool Save_ArcParams();
  // The answers to the archive sources' OnArchiveParameters and OnArchiveMode.
  void MGetARCParameters(int archiveType, int line, int maxLength, std::string& text);
  void MGetARCMode(int archiveType, bool& flag1, bool& flag2, bool& flag3);
  // cv.ini, fc.ini and arc.ini when `all`, and tb.ini always.
  void SaveSettingsFiles(bool all);
  // Switches the language: the main window is captioned again at once.
  void SetLanguage(const QString& language);
  void Load_Language();
  // Applies colour scheme 1 to 7 to both panels.
  void ApplyColorScheme(int scheme);

  // The command table (command_table.cpp): one row per command. What a command needs, checked
  // each time it arrives; every bit must hold.
  enum TCommandNeed : unsigned {
    cnListView = 1,          // the active panel is in a list view (not information, quick view)
    cnHasEntries = 2,        // the active panel lists something
    cnNotBareParent = 4,     // the cursor is not on "..", or entries are marked
    cnRealFolder = 8,        // the active panel shows a real folder, not the inside of an archive
    cnCursorArchive = 16,    // the cursor file has an archive's extension
    cnCursorExecutable = 32, // the cursor file has an executable image's extension
    cnCursorNotParent = 64,  // the cursor is on an entry other than ".."
    cnNever = 128,           // never enabled (a hidden item that only keeps its key from others)
  };
  enum TCommandFlag { cfHidden = 1, cfCheckable = 2 };
  struct TCommand {
    const char* Name;         // what RunCommand is given; "" for a menu separator
    const char* Menu;         // the menu holding its item ("File", "Schemes", ...), "" for none
    const char* Caption;      // the item's built-in English caption
    const char* Shortcut;     // the item's key as QKeySequence text, or ""
    const char* LanguageKey;  // [MainMenu] key of the caption, or ""
    unsigned Needs;           // TCommandNeed bits
    int Flags;                // TCommandFlag bits
    void (*Handler)(TForm1&); // nullptr: the entry point registered under Name
  };
  static const std::vector<TCommand>& Commands();
  static const TCommand* FindCommand(std::string_view name);
  // Whether the command may run now, in the active panel's state.
  bool CommandEnabled(const TCommand& command) const;
  // Runs a command by its name, from a menu item, a hot button, a key or the context menu, when
  // it is enabled now. A name without a row runs its entry point.
  void RunCommand(const std::string& name);
  // A main-menu shortcut: the first enabled item with this key runs; true when one did.
  bool MenuShortcut(int key, Qt::KeyboardModifiers modifiers);
  // Commands whose windows or engines come with later parts of the program register here; an
  // unregistered entry point does nothing.
  std::map<std::string, std::function<void()>> EntryPoints;
  void RunEntryPoint(const std::string& name);
  QAction* MenuAction(const std::string& command) const;
  // Sets the checks and enabled items of a menu as it opens ("File", "Panel", "Toolbars", ...).
  void MenuOpening(const std::string& menu);
  // Enables the context menu's items for the cursor entry.
  void SetPopupMenu();
  bool ListView() const;
  bool CursorIsArchive() const;
  bool CursorIsExecutableImage() const;
  void SetDefaultConfiguration();
  // The copy window, from the active panel to the other one.
  void OpenCopyWindow();
  // The move and rename window.
  void OpenMoveWindow();
  // The delete window (or its work at once when deleting needs no confirmation).
  void DeleteCommand();
  // Asks, then empties the whole trash (home and every ready drive's).
  void EmptyRecycleBin();
  std::vector<std::string> CommandLog; // every command run, in order
  int AppliedScheme = 0;               // the last colour scheme applied
  config::TIniFile& MainConfig() { return *MainConfigFile; }
  TLanguageFile LanguageFile;
  TLangStrings LangStrings;

  // Splitter handling on the window's own area (not on a child), in client coordinates.
  void SplitterPress(Qt::MouseButton button, QPoint position);
  void SplitterMove(QPoint position);
  void SplitterRelease();
  bool SplitterDragging() const { return Dragging; }

  TMainSettings Settings;
  double SplitRatio = 0.5;
  TPanelSide ActiveSide = TPanelSide::Left;
  std::string ProgramFolder;

protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The window's parts; tests and other windows find them by their object names.
  QWidget* ClientArea = nullptr;
  QWidget* Panel3 = nullptr;
  TToolBar* ToolBar = nullptr;
  TMyToolBar* DriveBarLeft = nullptr;
  TMyToolBar* DriveBarRight = nullptr;
  TFormDrive* FormDrive = nullptr;
  TDriveWatch* DriveWatch = nullptr;
  QWidget* Panel_Down = nullptr;
  QWidget* Panel_Dos = nullptr;
  QLabel* ComRead = nullptr;
  QLineEdit* ComLine = nullptr;
  QWidget* HotKeyBox = nullptr;
  std::array<QPushButton*, 7> HotButtons{}; // F2 .. F8
  QWidget* StatusBar1 = nullptr;
  QToolButton* b_pause = nullptr;
  QToolButton* b_cont = nullptr;
  QToolButton* b_stop = nullptr;
  QSlider* PosBar = nullptr;
  QLabel* Label2 = nullptr;
  QSlider* VolBar = nullptr;
  QLabel* Label1 = nullptr;
  QWidget* Panel5 = nullptr;
  QWidget* Panel6 = nullptr;
  QWidget* PanelSearch = nullptr;
  QLineEdit* Edit1 = nullptr;
  QListWidget* ComHist = nullptr;
  QListWidget* ComList = nullptr;
  QMenuBar* MainMenu1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QMenu* MainPopup = nullptr;
  QSystemTrayIcon* RxTrayIcon1 = nullptr;
  QTimer* TimerMain = nullptr;
  QTimer* Timer3 = nullptr;
  QToolButton* RxSpeedButton10 = nullptr;
  QLineEdit* RenameBox = nullptr;

  void FormCreate();
  void Super_Global();
  void FilePanels_Init();
  void CreateHotDrives();
  void Global_Init();
  void Default_Init();
  void PostLoadInit();
  void Init_ToolBar();
  void GetFilesColors();
  void Load_ArcParams();
  // Binds a panel to the archiver and colour tables.
  void BindTables(TFPanel* panel);
  void Last_Init();
  void CreateComponents();
  void CreateMainMenu();
  void SetViewModeCommand(TViewMode mode);
  // The handlers of the command table that are more than a call.
  void AppendToCommandLine(const TFPanel* panel);
  void ActivateSide(TPanelSide side);
  void ChangeMarks(bool invert);
  void FolderSizeCommand();
  void ViewResourceCommand();
  void ToggleBar(bool& shown);
  // Starts the program's own viewer or page viewer ("edit.exe", "inet.exe") beside a file.
  void StartHandOffProgram(const std::string& program, const std::string& nativeFile);
  // Tells the user that a program did not start; nothing when it did.
  void ReportLaunch(platform::TLaunchResult result, int error, const std::string& program);
  void ToggleQuickViewOther();
  void ToggleInformationOther();
  // The menu items made from the command table, with their rows.
  struct TMenuEntry {
    QAction* Action;
    const TCommand* Command;
  };
  std::vector<TMenuEntry> MenuActions;
  std::map<std::string, QAction*> MenuTitleActions;
  std::map<std::string, QAction*> SubmenuActions; // "Schemes", "Toolbars"
  void CreateStatusLine();
  void UpdateTrayIcon();
  void TimerMainTimer();
  int SplitBandTop() const;

  TFPanel* PanelLeft = nullptr;
  TFPanel* PanelRight = nullptr;
  std::unique_ptr<TPauseHotKey> PauseKey;
  std::unique_ptr<config::TIniFile> MainConfigFile;
  int PendingScheme = -1;
  // The other panel's mode before Ctrl+L showed information.
  TViewMode RememberedMode = TViewMode::Brief;
  bool Dragging = false;
  int DriveBarFullWidth = 6;
};

} // namespace corvane
