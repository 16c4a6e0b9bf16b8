#include "main/language.h"

#include "platform/program_files.h"

namespace corvane {

namespace {

struct TLanguageRow {
  const char* Name;
  const char* Base;
  const char* CodePage;
};

const TLanguageRow Languages[] = {
    {"ENGLISH", "cv_eng", "CP1252"},   {"RUSSIAN", "cv_rus", "CP1251"},
    {"POLISH", "cv_pol", "CP1250"},    {"ITALIAN", "cv_ita", "CP1252"},
    {"AMERICAN", "cv_eng", "CP1252"},  {"CZECH", "cv_cze", "CP1250"},
    {"HUNGARIAN", "cv_hun", "CP1250"}, {"SPANISH", "cv_spa", "CP1252"},
};

const TLanguageRow* Row(const QString& language) {
  for (const auto& row : Languages)
    if (language == QLatin1String(row.Name))
      return &row;
  return nullptr;
}

} // namespace

std::string TLanguageFile::FileNameFor(const QString& language) {
  const TLanguageRow* row = Row(language);
  return row ? std::string(row->Base) + ".ini" : std::string();
}

std::string TLanguageFile::BaseNameFor(const QString& language) {
  const TLanguageRow* row = Row(language);
  return row ? row->Base : std::string();
}

std::string TLanguageFile::CodePageFor(const QString& language) {
  const TLanguageRow* row = Row(language);
  return row ? row->CodePage : "CP1252";
}

void TLanguageFile::Open(const QString& language) {
  const std::string name = FileNameFor(language);
  File = name.empty() ? nullptr
                      : std::make_unique<config::TIniFile>(platform::ProgramFile(name),
                                                           CodePageFor(language));
}

QString TLanguageFile::Read(const char* section, const char* key,
                            const QString& defaultText) const {
  if (!File)
    return defaultText;
  const std::string fallback = defaultText.toStdString();
  const std::string text = File->ReadString(section, key, fallback);
  return text == fallback ? defaultText : QString::fromStdString(text);
}

QString TLangStrings::Get(const std::string& section, const std::string& key) const {
  const auto found = Texts.find({section, key});
  return found == Texts.end() ? QString() : found->second;
}

void TLangStrings::Set(const std::string& section, const std::string& key, const QString& text) {
  Texts[{section, key}] = text;
}

const std::vector<std::pair<const char*, const char*>>& MainWindowLanguageKeys() {
  static const std::vector<std::pair<const char*, const char*>> keys = [] {
    std::vector<std::pair<const char*, const char*>> list;
    for (const char* key : {"Menu", "Viewer", "Editor", "Copy", "Rename", "NewDir", "DelFile"})
      list.emplace_back("HotButtons", key);
    for (const char* key : {"CV_About",
                            "CV_Info",
                            "CV_Help",
                            "CV_Tetris",
                            "CV_Life",
                            "CV_Exit",
                            "CV_News",
                            "File",
                            "File_Menu",
                            "File_Viewer",
                            "File_Editor",
                            "File_Copy",
                            "File_Rename",
                            "File_NewDir",
                            "File_DelFile",
                            "File_Attrib",
                            "File_FindFile",
                            "File_Createfile",
                            "File_Extract_Arc",
                            "File_Add_Arc",
                            "Commands",
                            "Command_PlayMusic",
                            "Command_PlayLastMusic",
                            "Command_StopMusic",
                            "Command_WhatPlay",
                            "Command_ViewHistory",
                            "Command_ClearRecycle",
                            "Command_ClearDocs",
                            "Command_ViewResource",
                            "Command_SelGroup",
                            "Command_UnSelAll",
                            "Command_InvertSel",
                            "Command_FHistory",
                            "Command_AddNetDrive",
                            "Command_RemoveNetDrive",
                            "Command_CalcDirSize",
                            "Command_FileInfo",
                            "Utils",
                            "Utils_System",
                            "Utils_Clipboard",
                            "Utils_Calc",
                            "Utils_MSDOS",
                            "Utils_Media",
                            "Utils_Format",
                            "Utils_AudioPlayer",
                            "Utils_ChangeVideo",
                            "Panel",
                            "Panel_Left",
                            "Panel_Right",
                            "Panel_ShowFiles",
                            "Panel_ShowExtView",
                            "Panel_Show_Info",
                            "Panel_ShowQuickView",
                            "Panel_SortMode",
                            "Panel_ChangeDrive",
                            "Panel_UpdatePanel",
                            "Config",
                            "Config_Main",
                            "Config_Color",
                            "Config_Font",
                            "Config_Menu",
                            "Config_Reset",
                            "Config_ArcParam",
                            "Config_SaveConfig",
                            "Config_ShowToolBar",
                            "Config_ShowDriversBar",
                            "Config_ShowStatusBar",
                            "Config_ShowButtonsBar",
                            "Config_ConfigToolBar",
                            "Config_ToolBar",
                            "Config_SyncPanels",
                            "Config_FilesColors",
                            "Config_ColorSchemes"})
      list.emplace_back("MainMenu", key);
    for (const char* key : {"TotalDriveSize", "FreeSpace", "TotalMemory", "SwapFileNotFind",
                            "SwapFile", "MemoryLoad", "DriveName", "SerialNum"})
      list.emplace_back("SysInfoPanel", key);
    for (const char* key : {"Caption", "Button_Ok", "Button_Cancel", "Label_Comm", "Label_To"})
      list.emplace_back("Rename", key);
    for (const char* key : {"Folder", "File", "bytes", "in", "files", "FreeSpace", "FreeSpace1"})
      list.emplace_back("FilePanel", key);
    list.emplace_back("Errors", "DriveNotReady");
    list.emplace_back("Errors", "CannotStart");
    list.emplace_back("Resource Explorer", "Error_OnStart");
    list.emplace_back("Questions", "Exit");
    for (const char* key : {"SaveConfig", "Hint_ContPlay", "Hint_Stop", "Search", "Extracting",
                            "ReadArchive", "Hint_Floppy", "Move", "Rename", "Select"})
      list.emplace_back("Messages", key);
    return list;
  }();
  return keys;
}

} // namespace corvane
