// The main window's settings file (cv.ini), its hand-off sections for the external editor and
// page viewer, and its captions from the language file.
#include "main/main_form.h"

#include "config/text_codec.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"
#include "platform/program_files.h"
#include "platform/program_folder.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace corvane {

namespace {

std::string Utf8(const QString& text) {
  return text.toStdString();
}
QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

struct TFlag {
  const char* Section;
  const char* Key;
  bool TMainSettings::*Field;
};

// Flags read with their current value as the default, in the order they are written.
const TFlag CurrentFlags[] = {
    {"Global", "OnTop", &TMainSettings::OnTop},
    {"Global", "DelToRecycle", &TMainSettings::DelToRecycle},
    {"Global", "Sync_Panels", &TMainSettings::Sync_Panels},
    {"Global", "OldDrag", &TMainSettings::OldDrag},
    {"Global", "AutoSave", &TMainSettings::AutoSave},
};

} // namespace

void TForm1::Load_INI() {
  config::TIniFile& ini = MainConfig();
  TMainSettings& s = Settings;
  ini.ReadString("Global", "ProgVersion", "");
  ini.ReadString("Global", "Build", "");
  s.Active = Text(ini.ReadString("Global", "Active", Utf8(s.Active)));
  int left = ini.ReadInteger("Global", "Left_Style", 1);
  int right = ini.ReadInteger("Global", "Right_Style", 1);
  s.Language = Text(ini.ReadString("Global", "Language", Utf8(s.Language)));
  s.SysTrayIcon = ini.ReadBool("Global", "SysTrayIcon", false);
  s.SysCopy = ini.ReadBool("Global", "SysCopy", false);
  s.SplitterGap = ini.ReadInteger("Global", "Main_Splitter", s.SplitterGap);
  for (const auto& flag : CurrentFlags)
    s.*flag.Field = ini.ReadBool(flag.Section, flag.Key, s.*flag.Field);
  s.Show_ToolBar = ini.ReadBool("Global", "Show_ToolBar", true);
  s.Show_StatusBar = ini.ReadBool("Global", "Show_StatusBar", true);
  s.Show_DriveBar = ini.ReadBool("Global", "Show_DriveBar", true);
  s.Show_Buttons = ini.ReadBool("Global", "Show_Buttons", true);
  s.EditorType = Text(ini.ReadString("Global", "EditorType", Utf8(s.EditorType)));
  s.EditorName = Text(ini.ReadString("Global", "EditorName", Utf8(s.EditorName)));
  s.RightClickForPopup = ini.ReadBool("Global", "RightClickForPopup", false);
  s.OnEnterViewPic = ini.ReadBool("Global", "OnEnterViewPic", true);
  s.OnBkSpaceUpDir = ini.ReadBool("Global", "OnBkSpaceUpDir", false);
  s.ArcDef = Text(ini.ReadString("Global", "ArcDef", "zip"));
  // The installer's one-time colour scheme acts once: the key goes back to -1 at once.
  PendingScheme = ini.ReadInteger("Global", "Init_scheme", -1);
  if (PendingScheme != -1)
    ini.WriteInteger("Global", "Init_scheme", -1);

  s.StateWin = ini.ReadInteger("MainForm", "StateWin", 0) == 1;
  if (!s.StateWin) {
    s.Top = ini.ReadInteger("MainForm", "Top", 0);
    s.Left = ini.ReadInteger("MainForm", "Left", 0);
    s.Width = ini.ReadInteger("MainForm", "Width", 640);
    s.Height = ini.ReadInteger("MainForm", "Height", 453);
  }
  ini.ReadInteger("MainForm", "Panel_Width", 313);

  s.ClipboardTop = ini.ReadInteger("Form_Clipboard", "Top", s.ClipboardTop);
  s.ClipboardLeft = ini.ReadInteger("Form_Clipboard", "Left", s.ClipboardLeft);
  s.ClipboardWidth = ini.ReadInteger("Form_Clipboard", "Width", s.ClipboardWidth);
  s.ClipboardHeight = ini.ReadInteger("Form_Clipboard", "Height", s.ClipboardHeight);
  s.Show_BackgroundFon = ini.ReadBool("Interface", "Show_BackgroundFon", s.Show_BackgroundFon);
  s.Interface_ToolBar = ini.ReadBool("Interface", "Show_ToolBar", s.Interface_ToolBar);
  s.Show_ComLine = ini.ReadBool("Interface", "Show_ComLine", s.Show_ComLine);
  s.Show_HotButtons = ini.ReadBool("Interface", "Show_HotButtons", s.Show_HotButtons);
  s.Redial = ini.ReadBool("DialUp", "Redial", s.Redial);
  s.CloseOnBusy = ini.ReadBool("DialUp", "CloseOnBusy", s.CloseOnBusy);
  s.CloseOnConnect = ini.ReadBool("DialUp", "CloseOnConnect", s.CloseOnConnect);
  s.RedialTime = ini.ReadInteger("DialUp", "RedialTime", s.RedialTime);
  s.ConfirmCopy = ini.ReadBool("Confirm", "Copy", s.ConfirmCopy);
  s.ConfirmMove = ini.ReadBool("Confirm", "Move", s.ConfirmMove);
  s.ConfirmDelete = ini.ReadBool("Confirm", "Delete", s.ConfirmDelete);
  s.ConfirmExit = ini.ReadBool("Confirm", "Exit", s.ConfirmExit);

  ApplyViewStyles(left, right);
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    LoadPanelSettings(ini, panel->Side, panel->ViewMode == TViewMode::Full, panel->Settings);
    panel->OnEnterViewPic = s.OnEnterViewPic;
    panel->RightClickForPopup = s.RightClickForPopup;
    panel->OldDrag = s.OldDrag;
    panel->AmericanDates = s.Language == QStringLiteral("AMERICAN");
  }
  const bool rightActive = s.Active != QStringLiteral("Left");
  ActiveSide = rightActive ? TPanelSide::Right : TPanelSide::Left;
  PanelLeft->Active = !rightActive;
  PanelRight->Active = rightActive;
  if (s.StateWin) {
    showMaximized();
  } else {
    move(s.Left, s.Top);
    resize(s.Width, s.Height);
  }
  UpdateTrayIcon();
}

void TForm1::Save_INI() {
  config::TIniFile& ini = MainConfig();
  config::TIniBatch batch(ini);
  const TMainSettings& s = Settings;
  ini.WriteString("Global", "ProgName", "Corvane");
  ini.WriteString("Global", "ProgVersion", "1.50");
  ini.WriteString("Global", "Build", "");
  ini.WriteString("Global", "ProgDate", "21.02.1999");
  ini.WriteString("Global", "Root", ProgramFolder);
  ini.WriteString("Global", "Active", SideName(ActiveSide));
  ini.WriteInteger("Global", "Left_Style", static_cast<int>(PanelLeft->ViewMode));
  ini.WriteInteger("Global", "Right_Style", static_cast<int>(PanelRight->ViewMode));
  ini.WriteString("Global", "Language", s.Language.isEmpty() ? "ENGLISH" : Utf8(s.Language));
  ini.WriteBool("Global", "SysTrayIcon", s.SysTrayIcon);
  ini.WriteBool("Global", "OnTop", s.OnTop);
  ini.WriteBool("Global", "DelToRecycle", s.DelToRecycle);
  ini.WriteBool("Global", "SysCopy", s.SysCopy);
  ini.WriteInteger("Global", "Main_Splitter", s.SplitterGap);
  ini.WriteBool("Global", "IniLoad", true);
  ini.WriteBool("Global", "Sync_Panels", s.Sync_Panels);
  ini.WriteBool("Global", "Show_ToolBar", s.Show_ToolBar);
  ini.WriteBool("Global", "Show_StatusBar", s.Show_StatusBar);
  ini.WriteBool("Global", "Show_DriveBar", s.Show_DriveBar);
  ini.WriteBool("Global", "Show_Buttons", s.Show_Buttons);
  ini.WriteString("Global", "EditorType", Utf8(s.EditorType));
  ini.WriteString("Global", "EditorName", Utf8(s.EditorName));
  ini.WriteBool("Global", "OldDrag", s.OldDrag);
  ini.WriteBool("Global", "AutoSave", s.AutoSave);
  ini.WriteBool("Global", "RightClickForPopup", s.RightClickForPopup);
  ini.WriteBool("Global", "OnEnterViewPic", s.OnEnterViewPic);
  ini.WriteBool("Global", "OnBkSpaceUpDir", s.OnBkSpaceUpDir);
  ini.WriteString("Global", "ArcDef", Utf8(s.ArcDef));

  const QRect bounds = StoredBounds();
  ini.WriteBool("MainForm", "StateWin", isMaximized());
  ini.WriteInteger("MainForm", "Top", bounds.top());
  ini.WriteInteger("MainForm", "Left", bounds.left());
  ini.WriteInteger("MainForm", "Width", bounds.width());
  ini.WriteInteger("MainForm", "Height", bounds.height());
  ini.WriteInteger("MainForm", "Panel_Width", bounds.width() / 2 - s.SplitterGap);
  ini.WriteInteger("Form_Clipboard", "Top", s.ClipboardTop);
  ini.WriteInteger("Form_Clipboard", "Left", s.ClipboardLeft);
  ini.WriteInteger("Form_Clipboard", "Width", s.ClipboardWidth);
  ini.WriteInteger("Form_Clipboard", "Height", s.ClipboardHeight);
  ini.WriteBool("Interface", "Show_BackgroundFon", s.Show_BackgroundFon);
  ini.WriteBool("Interface", "Show_ToolBar", s.Interface_ToolBar);
  ini.WriteBool("Interface", "Show_ComLine", s.Show_ComLine);
  ini.WriteBool("Interface", "Show_HotButtons", s.Show_HotButtons);
  ini.WriteBool("DialUp", "Redial", s.Redial);
  ini.WriteBool("DialUp", "CloseOnBusy", s.CloseOnBusy);
  ini.WriteBool("DialUp", "CloseOnConnect", s.CloseOnConnect);
  ini.WriteInteger("DialUp", "RedialTime", s.RedialTime);
  ini.WriteBool("Confirm", "Copy", s.ConfirmCopy);
  ini.WriteBool("Confirm", "Move", s.ConfirmMove);
  ini.WriteBool("Confirm", "Delete", s.ConfirmDelete);
  ini.WriteBool("Confirm", "Exit", s.ConfirmExit);
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    TPanelSettings settings = panel->Settings;
    settings.Left = panel->x();
    settings.Top = panel->y();
    settings.Width = panel->width();
    settings.Height = panel->height();
    SavePanelSettings(ini, panel->Side, settings, panel->Browser.ShownPath(),
                      panel->Browser.SourceKind() != skFolder);
  }
}

QRect TForm1::StoredBounds() const {
  return isMaximized() ? frameGeometry() : QRect(pos(), size());
}

void TForm1::WriteEditorHandOff(const std::string& modelPath, bool editMode, bool fromArchive) {
  // A separate object on the executable's folder: the editor reads what is there right now. The
  // keys of a new section come in the order the editor has always found them in.
  config::TIniFile handOff(platform::ProgramFile("cv.ini"));
  config::TIniBatch batch(handOff);
  handOff.WriteString("Editor", "ec_FileName",
                      platform::ModelToNative(modelPath).value_or(modelPath));
  handOff.WriteBool("Editor", "ec_EditMode", editMode);
  if (editMode)
    handOff.WriteBool("Editor", "ec_Archive", false); // a copy out of an archive is never edited
  if (const std::string base = TLanguageFile::BaseNameFor(Settings.Language); !base.empty())
    handOff.WriteString("Editor", "ec_Language", base);
  const QRect bounds = StoredBounds();
  handOff.WriteInteger("Editor", "ec_Left", bounds.left());
  handOff.WriteInteger("Editor", "ec_Top", bounds.top());
  handOff.WriteInteger("Editor", "ec_Width", bounds.width());
  handOff.WriteInteger("Editor", "ec_Height", bounds.height());
  if (!editMode)
    handOff.WriteBool("Editor", "ec_Archive", fromArchive);
}

void TForm1::WriteUrlHandOff(const std::string& modelPath) {
  config::TIniFile handOff(platform::ProgramFile("cv.ini"));
  handOff.WriteString("TForm1", "URL", platform::ModelToNative(modelPath).value_or(modelPath));
}

void TForm1::SetLanguage(const QString& language) {
  Settings.Language = language;
  LanguageFile.Open(language);
  Load_Language();
}

void TForm1::Load_Language() {
  const TLanguageFile& file = LanguageFile;
  // Names in archives written on DOS follow the code page of the language's countries.
  for (TFPanel* panel : {PanelLeft, PanelRight})
    panel->Browser.CodePage = config::DosCodePageOf(Settings.Language.toStdString());
  const char* const hotKeys[] = {"Menu", "Viewer", "Editor", "Copy", "Rename", "NewDir", "DelFile"};
  for (size_t i = 0; i < HotButtons.size(); ++i)
    HotButtons[i]->setText(file.Read("HotButtons", hotKeys[i], QString()));
  // Menu titles and items; a few items keep their own caption when the file lacks the key.
  for (const auto& title : {std::pair{"File", "&File"}, std::pair{"Utils", "&Utilities"},
                            std::pair{"Commands", "&Commands"}, std::pair{"Panel", "&Panel"},
                            std::pair{"Config", "C&onfiguration"}})
    if (const auto found = MenuTitleActions.find(title.first); found != MenuTitleActions.end())
      found->second->setText(file.Read("MainMenu", title.first, QString()));
  for (const auto& entry : MenuActions) {
    const std::string_view key = entry.Command->LanguageKey;
    if (key.empty())
      continue;
    const bool keepsOwn = key == "Command_CalcDirSize" || key == "Command_FileInfo" ||
                          key == "Config_ArcParam" || key == "Config_ShowButtonsBar";
    entry.Action->setText(file.Read("MainMenu", entry.Command->LanguageKey,
                                    keepsOwn ? entry.Action->text() : QString()));
  }
  for (const auto& [name, key] :
       {std::pair{"Schemes", "Config_ColorSchemes"}, std::pair{"Toolbars", "Config_ToolBar"}})
    if (const auto found = SubmenuActions.find(name); found != SubmenuActions.end())
      found->second->setText(file.Read("MainMenu", key, found->second->text()));
  if (QAction* rename = MenuAction("QuickRename"))
    rename->setText(file.Read("Messages", "Rename", rename->text()));
  // The context menu's captions are the main menu's; Move, Rename and Select have their own.
  for (QAction* action : MainPopup->actions()) {
    const std::string name = action->objectName().mid(6).toStdString();
    if (name == "Move")
      action->setText(file.Read("Messages", "Move", action->text()));
    else if (name == "Select")
      action->setText(file.Read("Messages", "Select", action->text()));
    else if (const QAction* item = MenuAction(name))
      action->setText(item->text());
  }
  for (const auto& [section, key] : MainWindowLanguageKeys()) {
    // The menu's captions were set from their items above; the hot buttons have their own.
    if (std::string_view(section) != "MainMenu" && std::string_view(section) != "HotButtons") {
      QString fallback;
      if (std::string_view(key) == "ReadArchive")
        fallback = QStringLiteral("Reading archive...");
      else if (std::string_view(key) == "Hint_Floppy")
        fallback = QStringLiteral("Floppy");
      else if (std::string_view(key) == "CannotStart")
        fallback = QStringLiteral("Cannot start the program %1");
      LangStrings.Set(section, key, file.Read(section, key, fallback));
    }
  }
  b_cont->setToolTip(LangStrings.Get("Messages", "Hint_ContPlay"));
  b_stop->setToolTip(LangStrings.Get("Messages", "Hint_Stop"));
  for (TFPanel* panel : {PanelLeft, PanelRight}) {
    TPanelWords& words = panel->Words;
    words.Folder = LangStrings.Get("FilePanel", "Folder");
    words.Bytes = LangStrings.Get("FilePanel", "bytes");
    words.In = LangStrings.Get("FilePanel", "in");
    words.Files = LangStrings.Get("FilePanel", "files");
    words.FreeSpace = LangStrings.Get("FilePanel", "FreeSpace");
    words.FreeSpace1 = LangStrings.Get("FilePanel", "FreeSpace1");
    words.ReadArchive = LangStrings.Get("Messages", "ReadArchive");
    // Language files older than the archiver's waiting window keep its English words.
    const TPanelWords english;
    words.ArchiverWait = file.Read("Messages", "ArchiverWait", english.ArchiverWait);
    words.ArchiverCancel = file.Read("Messages", "ArchiverCancel", english.ArchiverCancel);
    words.ArchiverStop = file.Read("Messages", "ArchiverStop", english.ArchiverStop);
    words.PasswordCaption = file.Read("RequestPass", "Caption", english.PasswordCaption);
    words.PasswordOK = file.Read("RequestPass", "Button1", english.PasswordOK);
    words.PasswordCancel = file.Read("RequestPass", "Button2", english.PasswordCancel);
    panel->AmericanDates = Settings.Language == QStringLiteral("AMERICAN");
    panel->LayoutAndPaint();
  }
}

} // namespace corvane
