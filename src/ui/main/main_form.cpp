#include "main/main_form.h"

#include "archive/add_forms.h"
#include "archive/extract_forms.h"
#include "drives/drive_watch.h"
#include "drives/form_drive.h"
#include "drives/my_tool_bar.h"
#include "fileops/attrib_form.h"
#include "fileops/find_form.h"
#include "fileops/new_entry_forms.h"
#include "main/asker.h"
#include "main/fonts.h"
#include "main/pause_hot_key.h"
#include "main/pictures.h"
#include "main/tool_bar.h"
#include "panels/file_panel.h"
#include "platform/drive_table.h"
#include "platform/native_path.h"
#include "platform/process_temp.h"
#include "platform/program_files.h"
#include "platform/program_folder.h"
#include "resources/resource_command.h"
#include "tools/tool_bar_form.h"
#include "tools/user_menu_form.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

constexpr int StatusHeight = 19;
constexpr int DosHeight = 17;
constexpr int ToolBarHeight = 29;
constexpr int DriveBarHeight = 30;
constexpr int ButtonWidth = 25;

QWidget* MakePanel(QWidget* parent, const char* name) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QString::fromLatin1(name));
  return panel;
}

QToolButton* MakeStatusButton(QWidget* parent, const char* name, const QString& text) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(text);
  button->setAutoRaise(true);
  button->setFixedSize(12, 14);
  return button;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  FormCreate();
}

TForm1::~TForm1() {
  platform::RemoveProcessTemp(platform::ModelToNativeFolder(ProgramFolder));
}

void TForm1::FormCreate() {
  CreateComponents();
  CreateMainMenu();
  EntryPoints["Delete"] = [this] { DeleteCommand(); };
  EntryPoints["Copy"] = [this] { OpenCopyWindow(); };
  EntryPoints["NewFolder"] = [this] { TFormNewDir(this).exec(); };
  EntryPoints["NewFile"] = [this] { TFormNewFile(this).exec(); };
  EntryPoints["Attributes"] = [this] { AttributesCommand(*this); };
  EntryPoints["FindFile"] = [this] { FindFileCommand(*this); };
  EntryPoints["AddToArchive"] = [this] { AddToArchiveCommand(*this); };
  EntryPoints["UserMenu"] = [this] { TFormMenu(this).exec(); };
  EntryPoints["ConfigureToolBar"] = [this] { TFormToolBar(this).exec(); };
  EntryPoints["ArchiverOptions"] = [this] { TFormArcParam(this).exec(); };
  EntryPoints["View"] = [this] { ViewCursorFile(false); };
  EntryPoints["ViewAsText"] = [this] { ViewCursorFile(true); };
  EntryPoints["Edit"] = [this] { N10Click(); };
  EntryPoints["Move"] = [this] { OpenMoveWindow(); };
  EntryPoints["ExtractFiles"] = [this] { ExtractFilesCommand(this); };
  EntryPoints["ExtractAll"] = [this] { ExtractAllCommand(this); };
  EntryPoints["ViewResource"] = [this] { OpenResourceExplorer(*this, ActivePanel()->CurrentPath); };
  EntryPoints["ChangeDrive"] = [this] { ChangeDrive(ActiveSide); };
  EntryPoints["ChangeDriveLeft"] = [this] { ChangeDrive(TPanelSide::Left); };
  EntryPoints["ChangeDriveRight"] = [this] { ChangeDrive(TPanelSide::Right, true); };
  Super_Global();
  FilePanels_Init();
  CreateHotDrives();
  Global_Init();
  Default_Init();
  Load_INI();
  PostLoadInit();
  LanguageFile.Open(Settings.Language);
  PanelLeft->InitFromPath();
  PanelRight->InitFromPath();
  Load_Language();
  Init_ToolBar();
  GetFilesColors();
  Load_ArcParams();
  Last_Init();
}

void TForm1::CreateComponents() {
  setObjectName(QStringLiteral("Form1"));
  QFont windowFont = SettingsFont(QStringLiteral("MS Sans Serif"), 8);
  windowFont.setPixelSize(11);
  setFont(windowFont);

  ClientArea = new QWidget(this);
  ClientArea->setObjectName(QStringLiteral("ClientArea"));
  ClientArea->setMouseTracking(true);
  ClientArea->installEventFilter(this);
  setCentralWidget(ClientArea);

  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  setMenuBar(MainMenu1);

  Panel3 = MakePanel(ClientArea, "Panel3");
  ToolBar = new TToolBar(Panel3);
  DriveBarLeft = new TMyToolBar(Panel3, TPanelSide::Left);
  DriveBarLeft->setObjectName(QStringLiteral("DriveBarLeft"));
  DriveBarRight = new TMyToolBar(Panel3, TPanelSide::Right);
  DriveBarRight->setObjectName(QStringLiteral("DriveBarRight"));
  RxSpeedButton10 = new QToolButton(Panel3);
  RxSpeedButton10->setObjectName(QStringLiteral("RxSpeedButton10"));
  RxSpeedButton10->setAutoRaise(true);
  RxSpeedButton10->setFixedSize(16, 16);
  RxSpeedButton10->setToolTip(QStringLiteral("Fit to screen"));
  connect(RxSpeedButton10, &QToolButton::clicked, this, [this] { RButClick(); });

  Panel_Down = MakePanel(ClientArea, "Panel_Down");
  Panel_Dos = MakePanel(Panel_Down, "Panel_Dos");
  Panel_Dos->setAutoFillBackground(true);
  QPalette dos = Panel_Dos->palette();
  dos.setColor(QPalette::Window, Qt::black);
  dos.setColor(QPalette::WindowText, Qt::white);
  dos.setColor(QPalette::Base, Qt::black);
  dos.setColor(QPalette::Text, Qt::white);
  Panel_Dos->setPalette(dos);
  QFont bold = windowFont;
  bold.setBold(true);
  ComRead = new QLabel(Panel_Dos);
  ComRead->setObjectName(QStringLiteral("ComRead"));
  ComRead->setFont(bold);
  ComLine = new QLineEdit(Panel_Dos);
  ComLine->setObjectName(QStringLiteral("ComLine"));
  ComLine->setFont(bold);
  ComLine->setFrame(false);
  ComLine->setReadOnly(true);
  ComLine->setPalette(dos);

  HotKeyBox = MakePanel(Panel_Down, "HotKeyBox");
  const char* const hotNames[] = {"F2", "F3", "F4", "F5", "F6", "F7", "F8"};
  const char* const hotCaptions[] = {"2-Menu",     "3-View",  "4-Edit",  "5-Copy",
                                     "6-Ren/Move", "7-MkDir", "8-Delete"};
  for (size_t i = 0; i < HotButtons.size(); ++i) {
    HotButtons[i] = new QPushButton(QString::fromLatin1(hotCaptions[i]), HotKeyBox);
    HotButtons[i]->setObjectName(QString::fromLatin1(hotNames[i]));
    HotButtons[i]->setFocusPolicy(Qt::NoFocus);
    HotButtons[i]->setFont(windowFont);
  }

  CreateStatusLine();

  PanelSearch = MakePanel(ClientArea, "PanelSearch");
  Edit1 = new QLineEdit(PanelSearch);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  PanelSearch->hide();
  ComHist = new QListWidget(ClientArea);
  ComHist->setObjectName(QStringLiteral("ComHist"));
  ComHist->hide();
  ComList = new QListWidget(ClientArea);
  ComList->setObjectName(QStringLiteral("ComList"));
  ComList->hide();

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  QAction* restore = PopupMenu1->addAction(QStringLiteral("Corvane"));
  PopupMenu1->setDefaultAction(restore);
  connect(restore, &QAction::triggered, this, [this] {
    showNormal();
    raise();
    activateWindow();
  });
  PopupMenu1->addAction(QStringLiteral("Help contents"));
  PopupMenu1->addAction(QStringLiteral("About program"));
  PopupMenu1->addSeparator();
  connect(PopupMenu1->addAction(QStringLiteral("Exit")), &QAction::triggered, this,
          [this] { close(); });
  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  MainPopup = new QMenu(this);
  MainPopup->setObjectName(QStringLiteral("MainPopup"));

  TimerMain = new QTimer(this);
  TimerMain->setObjectName(QStringLiteral("TimerMain"));
  TimerMain->setInterval(500);
  connect(TimerMain, &QTimer::timeout, this, [this] { TimerMainTimer(); });
  Timer3 = new QTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  Timer3->setInterval(100);
}

void TForm1::CreateStatusLine() {
  StatusBar1 = MakePanel(ClientArea, "StatusBar1");
  b_pause = MakeStatusButton(StatusBar1, "b_pause", QStringLiteral("\u2016"));
  b_cont = MakeStatusButton(StatusBar1, "b_cont", QStringLiteral("\u25B8"));
  b_stop = MakeStatusButton(StatusBar1, "b_stop", QStringLiteral("\u25AA"));
  PosBar = new QSlider(Qt::Horizontal, StatusBar1);
  PosBar->setObjectName(QStringLiteral("PosBar"));
  PosBar->setFixedSize(100, 15);
  PosBar->setFocusPolicy(Qt::NoFocus);
  Label2 = new QLabel(StatusBar1);
  Label2->setObjectName(QStringLiteral("Label2"));
  VolBar = new QSlider(Qt::Horizontal, StatusBar1);
  VolBar->setObjectName(QStringLiteral("VolBar"));
  VolBar->setRange(0, 100);
  VolBar->setFixedSize(60, 15);
  VolBar->setFocusPolicy(Qt::NoFocus);
  Label1 = new QLabel(QStringLiteral("Wave volume"), StatusBar1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->adjustSize();
  for (QWidget** separator : {&Panel5, &Panel6}) {
    auto* line = new QFrame(StatusBar1);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedSize(2, 15);
    *separator = line;
  }
  Panel5->setObjectName(QStringLiteral("Panel5"));
  Panel6->setObjectName(QStringLiteral("Panel6"));
}

void TForm1::Super_Global() {
  const std::string native = platform::ProgramFolder();
  ProgramFolder = platform::NativeToModel(native).value_or(std::string());
  while (ProgramFolder.size() > 3 && ProgramFolder.back() == '\\')
    ProgramFolder.pop_back();
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  setWindowIcon(pictures::ApplicationIcon());
  QApplication::setWindowIcon(windowIcon());
  MainConfigFile = std::make_unique<config::TIniFile>(platform::ProgramFile("cv.ini"));
}

void TForm1::FilePanels_Init() {
  ActiveSide = TPanelSide::Left;
  PanelLeft = new TFPanel(ClientArea, TPanelSide::Left);
  PanelRight = new TFPanel(ClientArea, TPanelSide::Right);
  PanelLeft->Active = true;
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    panel->setGeometry(20, 40, 250, 270);
    panel->ApplyDefaults();
    panel->show();
    BindTables(panel);
    panel->OnChangeFilePos = [this](int index) { ChangeFilePos(index); };
    panel->OnChangeFolder = [this](TPanelSide side) { ChangeFolderEv(side); };
    panel->OnChangeDrive = [this](TPanelSide side) { ChangeDrive(side); };
    panel->OnFileWork = [this](const std::string& path) { File_Work(path); };
    panel->OnOpenResources = [this](const std::string& path) { OpenResourceExplorer(*this, path); };
    panel->OnGetArcFile = [this] { return GetArcFile(true); };
    panel->OnFileEntered = [this](const std::string& name) { AddFileToHistory(name); };
    panel->OnProgramRun = [this](const std::string& name, const std::string& path) {
      AddFileToHistory(name);
      ComHist->addItem(QString::fromUtf8(path.data(), qsizetype(path.size())));
    };
    panel->OnError = [this](const QString& text) { TAsker::Current().Error(this, text); };
    panel->OnKeyPreview = [this](bool on) { KeyPreview = on; };
    panel->OnMousePress = [this] {
      if (ComHist->isVisible())
        ComHist->hide();
      if (RenameBox && RenameBox->isVisible())
        RenameBox->hide();
      if (PanelSearch->isVisible())
        PanelSearch->hide();
    };
    panel->OnContextMenu = [this](QPoint at) {
      if (!MainPopup->actions().isEmpty())
        MainPopup->popup(at);
    };
    panel->OnDragDrop = [this, panel](const std::string& pressed) {
      // A drop onto a panel that shows an archive copies nothing.
      TFPanel* target = panel == PanelLeft ? PanelRight : PanelLeft;
      if (target->Browser.SourceKind() != skFolder)
        return;
      DraggedName = pressed;
      CopyCommand();
      DraggedName.clear();
    };
  }
  PanelLeft->OnActive = [this] { SetActive(TPanelSide::Left, false); };
  PanelRight->OnActive = [this] { SetActive(TPanelSide::Right, false); };
}

void TForm1::CreateHotDrives() {
  // Every drive of the table gets a button on both bars and a row in the change-drive window.
  const TDriveLists drives = ListedDrives();
  DriveBarFullWidth = ButtonWidth * drives.Count() + 6;
  for (TMyToolBar* bar : {DriveBarLeft, DriveBarRight}) {
    const bool left = bar == DriveBarLeft;
    bar->Panel = left ? PanelLeft : PanelRight;
    bar->OtherPanel = left ? PanelRight : PanelLeft;
    bar->LabelAnchor = PanelLeft;
    bar->Language = &LanguageFile;
    bar->SetDrives(drives);
  }
  DriveBarLeft->setGeometry(3, 32, DriveBarFullWidth, DriveBarHeight);
  const int keepLeft = DriveBarRight->x();
  DriveBarRight->setGeometry(keepLeft, ToolBarHeight + 3, DriveBarFullWidth, DriveBarHeight);
  if (!FormDrive) {
    FormDrive = new TFormDrive(this);
    FormDrive->PanelLeft = PanelLeft;
    FormDrive->PanelRight = PanelRight;
    FormDrive->Language = &LanguageFile;
    DriveWatch = new TDriveWatch(this, [this] { Update_HotDrives(); });
  }
  FormDrive->SetDrives(drives);
}

void TForm1::Global_Init() {
  setWindowTitle(QStringLiteral("Corvane v1.50"));
  ActiveSide = TPanelSide::Left;
  Settings.Show_ToolBar = true;
  Settings.Show_StatusBar = true;
  Settings.Show_DriveBar = true;
  Settings.DelToRecycle = false;
  Settings.EditorType = QStringLiteral("int");
  Settings.EditorName = QStringLiteral("notepad.exe");
}

void TForm1::Default_Init() {
  const TMainSettings defaults;
  Settings.ConfirmExit = defaults.ConfirmExit;
  Settings.Language = defaults.Language;
  Settings.SplitterGap = defaults.SplitterGap;
  Settings.Show_Buttons = defaults.Show_Buttons;
  Settings.AutoSave = defaults.AutoSave;
  ArchiverTable.Reset();
}

void TForm1::ApplyViewStyles(int leftStyle, int rightStyle) {
  if (leftStyle == 2 && rightStyle == 2)
    leftStyle = 1;
  if (leftStyle > 4 || rightStyle > 4 || leftStyle < 1 || rightStyle < 1)
    leftStyle = rightStyle = 1;
  Settings.Left_Style = leftStyle;
  Settings.Right_Style = rightStyle;
  for (auto [panel, style] : {std::pair{PanelLeft, leftStyle}, std::pair{PanelRight, rightStyle}}) {
    const TViewMode mode = *ViewModeFromNumber(style);
    panel->ViewMode = mode;
    if (mode == TViewMode::Brief || mode == TViewMode::Full) {
      panel->ListMode = mode;
      panel->Settings.Columns = mode == TViewMode::Full ? 1 : 3;
    }
  }
}

void TForm1::PostLoadInit() {
  ApplyBarSettings();
  setWindowFlag(Qt::WindowStaysOnTopHint, Settings.OnTop);
  for (TFPanel* panel : {PanelLeft, PanelRight})
    if (panel->Settings.Show_Icons)
      panel->LoadIcons();
}

void TForm1::Last_Init() {
  RenameBox = new QLineEdit(ClientArea);
  RenameBox->setObjectName(QStringLiteral("RenameBox"));
  RenameBox->hide();
  // This instance's own temporary folder; what ended instances left behind goes first.
  const std::string programFolder = platform::ModelToNativeFolder(ProgramFolder);
  platform::RemoveStaleTemps(programFolder);
  std::string temp = platform::MakeProcessTemp(programFolder);
  if (temp.empty())
    temp = platform::ProcessTempFolder(programFolder); // named when an archiver needs it
  const std::optional<std::string> tempModel = platform::NativeToModel(temp);
  const std::string work = tempModel ? *tempModel + "\\" : std::string();
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    panel->Browser.WorkFolder = work;
    panel->StartMonitor();
  }
  UpdateTrayIcon();
  PauseKey = std::make_unique<TPauseHotKey>([this] {
    showNormal();
    raise();
    activateWindow();
  });
  PauseKey->Register();
  TimerMain->start();
  qApp->installEventFilter(this);
  ChangeFolderEv(ActiveSide);
  if (PendingScheme >= 1 && PendingScheme <= 4)
    ApplyColorScheme(PendingScheme);
  PendingScheme = -1;
}

void TForm1::UpdateTrayIcon() {
  const bool wanted = Settings.SysTrayIcon && QSystemTrayIcon::isSystemTrayAvailable();
  if (wanted && !RxTrayIcon1) {
    RxTrayIcon1 = new QSystemTrayIcon(windowIcon(), this);
    RxTrayIcon1->setObjectName(QStringLiteral("RxTrayIcon1"));
    RxTrayIcon1->setContextMenu(PopupMenu1);
    connect(RxTrayIcon1, &QSystemTrayIcon::activated, this, [this](auto reason) {
      if (reason == QSystemTrayIcon::Trigger) {
        showNormal();
        raise();
        activateWindow();
      }
    });
  }
  if (RxTrayIcon1)
    RxTrayIcon1->setVisible(wanted);
}

void TForm1::ApplyBarSettings() {
  const bool tools = Settings.Show_ToolBar;
  const bool drives = Settings.Show_DriveBar;
  int height3 = 0;
  int barTop = 32;
  ToolBar->setVisible(tools);
  if (tools && drives)
    height3 = 56;
  else if (tools)
    height3 = ToolBarHeight;
  else if (drives) {
    height3 = 29;
    barTop = 2;
  }
  Panel3->setFixedHeight(height3);
  Panel3->setVisible(height3 > 0);
  ToolBar->setGeometry(0, 0, ClientArea->width(), tools ? ToolBarHeight : 0);
  DriveBarLeft->setVisible(drives);
  DriveBarRight->setVisible(drives);
  DriveBarLeft->move(DriveBarLeft->x(), barTop);
  DriveBarRight->move(DriveBarRight->x(), barTop);
  HotKeyBox->setFixedHeight(Settings.Show_Buttons ? 23 : 1);
  StatusBar1->setVisible(Settings.Show_StatusBar);
  FormResize();
}

TFPanel* TForm1::ActivePanel() const {
  return ActiveSide == TPanelSide::Left ? PanelLeft : PanelRight;
}

TFPanel* TForm1::OtherPanel() const {
  return ActiveSide == TPanelSide::Left ? PanelRight : PanelLeft;
}

void TForm1::SetActive(TPanelSide side, bool drawCursors) {
  ActiveSide = side;
  TFPanel* panel = ActivePanel();
  TFPanel* other = OtherPanel();
  other->EraseCursor();
  panel->Active = true;
  other->Active = false;
  for (TFPanel* each : {PanelLeft, PanelRight}) {
    each->DrawFrame(false);
    each->SyncCursorCell();
    if (drawCursors)
      each->DrawCursor();
  }
}

void TForm1::Update_AllPanels() {
  for (TFPanel* panel : {PanelLeft, PanelRight})
    panel->RefreshKeepingCursor();
}

void TForm1::Update_FilePanel(TFPanel* panel) {
  panel->LayoutAndPaint();
  TFPanel* other = panel == PanelLeft ? PanelRight : PanelLeft;
  if (other->Browser.RootPath() == panel->Browser.RootPath() &&
      other->Browser.RelPath() == panel->Browser.RelPath()) {
    other->RefreshKeepingCursor();
  }
}

void TForm1::Update_HotDrives() {
  platform::TDriveTable::Instance().Reload();
  CreateHotDrives();
  FormResize();
}

void TForm1::ChangeDrive(TPanelSide side, bool modal) {
  FormDrive->Open(side, modal);
}

void TForm1::ChangeFilePos(int) {}

void TForm1::ChangeFolderEv(TPanelSide side) {
  const TFPanel* panel = side == TPanelSide::Left ? PanelLeft : PanelRight;
  const std::string folder = panel->Browser.ShownPath();
  ComRead->setText(QString::fromUtf8(folder.data(), qsizetype(folder.size())) + QLatin1Char('>'));
  ComRead->adjustSize();
  ComRead->setFixedHeight(DosHeight - 2);
  ComLine->setGeometry(ComRead->x() + ComRead->width(), 0,
                       Panel_Dos->width() - (ComRead->x() + ComRead->width()) - 2, DosHeight - 2);
}

void TForm1::AddFileToHistory(const std::string& name) {
  ComList->addItem(QString::fromUtf8(name.data(), qsizetype(name.size())));
  ComList->setCurrentRow(ComList->count() - 1);
}

void TForm1::CopyCommand() {
  RunEntryPoint("Copy");
}

void TForm1::SelectGroup(bool select, bool withFolders) {
  if (OnSelectGroup)
    OnSelectGroup(select, withFolders);
}

int TForm1::SplitBandTop() const {
  return !Panel3->isHidden() ? Panel3->height() + 3 : 3;
}

void TForm1::FormResize() {
  if (!ClientArea || !PanelLeft)
    return;
  if (RenameBox && RenameBox->isVisible())
    RenameBox->hide();
  if (ComHist->isVisible()) {
    ComHist->hide();
    ComLine->setFocus();
  }
  const int w = ClientArea->width();
  const int h = ClientArea->height();

  Panel3->setGeometry(0, 0, w, !Panel3->isHidden() ? Panel3->height() : 0);
  ToolBar->setGeometry(0, 0, w, !ToolBar->isHidden() ? ToolBarHeight : 0);
  RxSpeedButton10->move(w - RxSpeedButton10->width() - 2, 2);
  const int statusTop = !StatusBar1->isHidden() ? h - StatusHeight : h;
  StatusBar1->setGeometry(0, statusTop, w, StatusHeight);
  const int hotHeight = HotKeyBox->height();
  const int downHeight = DosHeight + hotHeight + 2;
  Panel_Down->setGeometry(0, statusTop - downHeight, w, downHeight);
  HotKeyBox->setGeometry(0, downHeight - hotHeight, w, hotHeight);
  Panel_Dos->setGeometry(0, downHeight - hotHeight - DosHeight, w, DosHeight);

  // The panels share the width at SplitRatio, each keeping at least 40 pixels.
  double ratio = SplitRatio;
  if (w > 0)
    ratio = std::clamp(ratio, 40.0 / w, 1.0 - 40.0 / w);
  const int leftWidth = static_cast<int>(std::lround(w * ratio)) - 3;
  const int top = SplitBandTop();
  const int panelHeight = Panel_Down->y() - top - 1;
  PanelLeft->setGeometry(1, top, leftWidth, panelHeight);
  const int rightLeft = 1 + leftWidth + Settings.SplitterGap;
  PanelRight->setGeometry(rightLeft, top, w - leftWidth - Settings.SplitterGap - 2, panelHeight);

  ComLine->setGeometry(ComRead->x() + ComRead->width(), 0,
                       Panel_Dos->width() - (ComRead->x() + ComRead->width()) - 2, DosHeight - 2);

  DriveBarRight->move(PanelRight->x() + 3, DriveBarRight->y());
  int barWidth = DriveBarFullWidth;
  if (DriveBarLeft->x() + barWidth > PanelLeft->x() + PanelLeft->width() - 1)
    barWidth = PanelLeft->x() + PanelLeft->width() - 1 - DriveBarLeft->x();
  DriveBarLeft->resize(std::max(barWidth, 0), DriveBarHeight);
  DriveBarRight->resize(DriveBarFullWidth, DriveBarHeight);

  // The status line is placed from the right.
  const int statusWidth = StatusBar1->width();
  Label1->move(statusWidth - Label1->width() - 12, 2);
  VolBar->move(Label1->x() - VolBar->width() - 9, 2);
  Panel5->move(VolBar->x() - 12, 2);
  PosBar->move(Panel5->x() - PosBar->width() - 11, 2);
  b_pause->move(PosBar->x() - b_pause->width() - 5, 2);
  b_stop->move(b_pause->x() - 12, 2);
  b_cont->move(b_stop->x() - 12, 2);
  Panel6->move(b_cont->x() - 8, 2);
  Label2->setGeometry(4, 2, std::max(Panel6->x() - 4, 0), StatusHeight - 4);

  const int hotWidth = (w - 16) / 7;
  int x = 2;
  for (size_t i = 0; i + 1 < HotButtons.size(); ++i) {
    HotButtons[i]->setGeometry(x, 0, hotWidth, hotHeight);
    x += hotWidth + 2;
  }
  HotButtons.back()->setGeometry(x, 0, std::max(w - 2 - x, 0), hotHeight);
}

void TForm1::RButClick() {
  if (isMaximized())
    showNormal();
  const QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
  if (!screen)
    return;
  const QRect work = screen->availableGeometry();
  move(0, 0);
  resize(screen->geometry().width(), work.bottom() - work.top() + 1);
}

void TForm1::SplitterPress(Qt::MouseButton button, QPoint position) {
  const int w = ClientArea->width();
  if (position.x() < 10 || position.x() > w - 10)
    return;
  if (button == Qt::LeftButton) {
    Dragging = true;
  } else if (button == Qt::RightButton && SplitRatio != 0.5) {
    SplitRatio = 0.5;
    FormResize();
  }
}

void TForm1::SplitterMove(QPoint position) {
  const int w = ClientArea->width();
  const bool inBand = position.y() >= PanelLeft->y() && position.y() <= Panel_Down->y();
  if (Dragging) {
    if (inBand && w > 0) {
      SplitRatio = double(position.x()) / w;
      ClientArea->setCursor(Qt::SplitHCursor);
      FormResize();
    }
    return;
  }
  const bool overGap = inBand && position.x() >= PanelLeft->x() + PanelLeft->width() &&
                       position.x() < PanelRight->x();
  if (overGap)
    ClientArea->setCursor(Qt::SplitHCursor);
  else
    ClientArea->unsetCursor();
}

void TForm1::SplitterRelease() {
  Dragging = false;
  ClientArea->unsetCursor();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // A right press on the bars opens the bar menu.
  if (event->type() == QEvent::MouseButtonPress &&
      (watched == Panel3 || watched == ToolBar || watched == StatusBar1 || watched == Label2) &&
      static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    MenuOpening("Toolbars");
    PopupMenu2->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    return true;
  }
  // Keys reach the main window before the focused control, wherever the focus is in it.
  if (event->type() == QEvent::KeyPress && OperationRunning()) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this)
      return true;
  }
  if (event->type() == QEvent::KeyPress && KeyPreview) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this && isActiveWindow()) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (MenuShortcut(key->key(), key->modifiers()))
        return true;
      if (FormKeyDown(key->key(), key->modifiers()))
        return true;
    }
  }
  if (watched == ClientArea) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      SplitterPress(mouse->button(), mouse->position().toPoint());
      return true;
    }
    case QEvent::MouseMove:
      SplitterMove(static_cast<QMouseEvent*>(event)->position().toPoint());
      return true;
    case QEvent::MouseButtonRelease:
      SplitterRelease();
      return true;
    default:
      break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::TimerMainTimer() {
  for (TFPanel* panel : {PanelLeft, PanelRight})
    if (panel->ViewMode == TFPanel::vmBrief || panel->ViewMode == TFPanel::vmFull)
      panel->ListMode = panel->ViewMode;
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

QString TForm1::ExitQuestion() const {
  const QString question = LangStrings.Get("Questions", "Exit");
  return question.isEmpty() ? QStringLiteral("Exit Corvane?") : question;
}

bool TForm1::OperationRunning() const {
  for (const TFPanel* panel : {PanelLeft, PanelRight})
    if (panel && (panel->Browser.InOperation() || panel->Browser.Busy))
      return true;
  return false;
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (OperationRunning()) {
    event->ignore();
    return;
  }
  if (Settings.ConfirmExit && TAsker::Current().YesNo(this, ExitQuestion()) != TAsker::Yes) {
    event->ignore();
    return;
  }
  for (TFPanel* panel : {PanelLeft, PanelRight})
    panel->StopMonitor();
  SaveSettingsFiles(Settings.AutoSave);
  event->accept();
  QCoreApplication::quit();
}

} // namespace corvane
