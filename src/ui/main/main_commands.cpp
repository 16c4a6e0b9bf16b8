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
#include "main/tool_bar.h"
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

struct TMenuTitle {
  const char* Name;
  const char* Caption;
  const char* LanguageKey;
};

// The file context menu's items, in order.
const char* const PopupCommands[] = {"Select",       "Copy",         "QuickRename", "Move",
                                     "Delete",       "View",         "Edit",        "Attributes",
                                     "AddToArchive", "ExtractFiles", "ViewResource"};

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

} // namespace

void TForm1::CreateMainMenu() {
  std::map<std::string, QMenu*> menus;
  for (const auto& title : MenuTitles) {
    QMenu* menu = MainMenu1->addMenu(QString::fromLatin1(title.Caption));
    menu->setObjectName(QStringLiteral("Menu_") + QLatin1String(title.Name));
    menus[title.Name] = menu;
    connect(menu, &QMenu::aboutToShow, this,
            [this, name = std::string(title.Name)] { MenuOpening(name); });
  }
  menus["Hot"] = new QMenu(this);
  // The configuration menu's two submenus stand where their first item comes in the table.
  const auto submenu = [&](const char* name, const char* caption) {
    QMenu* menu = menus["Config"]->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QStringLiteral("Menu_") + QLatin1String(name));
    connect(menu, &QMenu::aboutToShow, this, [this, name] { MenuOpening(name); });
    SubmenuActions[name] = menu->menuAction();
    return menu;
  };

  for (const TCommand& command : Commands()) {
    if (!*command.Menu)
      continue;
    if (!menus.count(command.Menu))
      menus[command.Menu] =
          submenu(command.Menu, std::string_view(command.Menu) == "Schemes" ? "Color schemes"
                                                                            : "Configure toolbars");
    QMenu* menu = menus[command.Menu];
    if (std::string_view(command.Caption) == "-") {
      menu->addSeparator();
      continue;
    }
    QAction* action = new QAction(QString::fromLatin1(command.Caption), menu);
    action->setObjectName(QString::fromLatin1(command.Name));
    action->setCheckable(command.Flags & cfCheckable);
    if (*command.Shortcut) {
      action->setShortcut(QKeySequence(QString::fromLatin1(command.Shortcut)));
      // The window dispatches shortcuts itself (key preview); the menu only shows them.
      action->setShortcutContext(Qt::WidgetShortcut);
    }
    action->setVisible(!(command.Flags & cfHidden));
    action->setEnabled(!(command.Needs & cnNever));
    menu->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, name = std::string(command.Name)] { RunCommand(name); });
    MenuActions.push_back({action, &command});
  }
  for (const auto& title : MenuTitles)
    MenuTitleActions[title.Name] = menus[title.Name]->menuAction();
  MainMenu1->setVisible(true);

  // The bar menu repeats the bar toggles and the tool-bar dialog.
  for (QAction* action : menus["Toolbars"]->actions())
    PopupMenu2->addAction(action);

  // The file context menu: its items are commands of the table.
  for (const char* command : PopupCommands) {
    const TCommand* row = FindCommand(command);
    QAction* action = MainPopup->addAction(QString::fromLatin1(row->Caption));
    action->setObjectName(QStringLiteral("Popup_") + QLatin1String(command));
    connect(action, &QAction::triggered, this,
            [this, name = std::string(command)] { RunCommand(name); });
  }
  for (QAction* action : MainPopup->actions())
    if (const QAction* item = MenuAction(action->objectName().mid(6).toStdString()))
      action->setText(item->text());
  MainPopup->setDefaultAction(MainPopup->actions().front());
  connect(MainPopup, &QMenu::aboutToShow, this, [this] { SetPopupMenu(); });

  const char* const hotCommands[] = {"UserMenu", "View",      "Edit",  "Copy",
                                     "Move",     "NewFolder", "Delete"};
  for (size_t i = 0; i < HotButtons.size(); ++i)
    connect(HotButtons[i], &QPushButton::clicked, this,
            [this, name = std::string(hotCommands[i])] { RunCommand(name); });
  for (QWidget* bar :
       {Panel3, static_cast<QWidget*>(ToolBar), StatusBar1, static_cast<QWidget*>(Label2)})
    bar->installEventFilter(this);
}

QAction* TForm1::MenuAction(const std::string& command) const {
  for (const auto& entry : MenuActions)
    if (command == entry.Command->Name)
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
  // Items show whether their command would run now: the rule is the one RunCommand applies.
  for (const auto& entry : MenuActions)
    if (menu == entry.Command->Menu)
      entry.Action->setEnabled(CommandEnabled(*entry.Command));
  if (menu == "Panel") {
    check("ActiveLeft", ActiveSide == TPanelSide::Left);
    check("ActiveRight", ActiveSide == TPanelSide::Right);
    check("ShowFiles", panel->ViewMode == TViewMode::Brief);
    check("Information", panel->ViewMode == TViewMode::Info);
    check("ExtendedView", panel->ViewMode == TViewMode::Full);
    check("QuickView", panel->ViewMode == TViewMode::QuickView);
  } else if (menu == "Toolbars") {
    check("ToggleToolBar", Settings.Show_ToolBar);
    check("ToggleDriveBar", Settings.Show_DriveBar);
    check("ToggleButtons", Settings.Show_Buttons);
    check("ToggleStatusBar", Settings.Show_StatusBar);
  }
}

void TForm1::SetPopupMenu() {
  for (QAction* action : MainPopup->actions()) {
    const std::string name = action->objectName().mid(6).toStdString();
    const TCommand* command = FindCommand(name);
    bool enabled = command && CommandEnabled(*command);
    // The context menu offers the resource explorer only for an executable image of a real
    // folder; the menu's Ctrl+7 explains itself otherwise.
    if (name == "ViewResource")
      enabled =
          enabled && CursorIsExecutableImage() && ActivePanel()->Browser.SourceKind() == skFolder;
    action->setEnabled(enabled);
  }
}

void TForm1::ApplyColorScheme(int number) {
  if (number < 1 || number > 7)
    return;
  AppliedScheme = number;
  const TScheme& scheme = Schemes[number - 1];
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    TPanelSettings& s = panel->Settings;
    TViewMode mode = ViewModeFromNumber(scheme.Mode).value_or(TViewMode::Brief);
    int columns = scheme.Columns;
    if (scheme.Mode == 0) { // left brief, right full
      mode = panel == PanelLeft ? TViewMode::Brief : TViewMode::Full;
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

void TForm1::SetViewModeCommand(TViewMode mode) {
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
  ArchiverTable.Reset();
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    // A panel inside an archive starts again on the real folder holding it.
    const bool inArchive = panel->Browser.SourceKind() != skFolder;
    const QString path = QString::fromStdString(panel->Browser.ShownPath());
    panel->ApplyDefaults();
    panel->Settings.Path = path;
    panel->Settings.PathType = inArchive ? QStringLiteral("Archive") : QStringLiteral("Standart");
    panel->Settings.Stolbik_File = 103;
    panel->OnEnterViewPic = Settings.OnEnterViewPic;
    panel->RightClickForPopup = Settings.RightClickForPopup;
    panel->OldDrag = Settings.OldDrag;
    panel->InitFromPath();
    panel->LoadIcons();
  }
  setWindowTitle(QStringLiteral("Corvane v1.50"));
  // Changing a window's flags hides it: a shown window is shown again.
  const bool shown = isVisible();
  Settings.OnTop = false;
  setWindowFlag(Qt::WindowStaysOnTopHint, false);
  if (shown)
    show();
  move(0, 0);
  resize(640, 453);
  FormResize();
  for (TFPanel* panel : {PanelLeft, PanelRight})
    panel->LayoutAndPaint();
}

} // namespace corvane
