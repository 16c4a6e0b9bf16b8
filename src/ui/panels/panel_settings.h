// TPanelSettings: what a file panel keeps in its section of the settings file, with the values a
// first start uses. The settings file layer reads and writes these fields by their key names.
#pragma once

#include "main/colors.h"
#include "model/sort_key.h"
#include "panels/view_mode.h"

#include <QString>

#include <cstdint>
#include <string>

namespace corvane::config {
class TIniFile;
}

namespace corvane {

struct TPanelSettings {
  int Left = 0, Top = 0, Width = 640, Height = 453;
  QString Path = QStringLiteral("c:\\");
  QString PathType;
  int Columns = 3;
  int Length = 8; // the font size the layout is computed from
  bool Show_FreeDisk = true;
  bool Show_FileName = true;
  bool Show_FileSize = true;
  bool Show_FileDate = true;
  bool Show_FileHide = false;
  bool Show_FileColors = true;
  bool Show_CurDir = true;
  bool Show_ScrollBar = true;
  bool Show_Icons = true;
  bool Param_ExecBegin = true;
  bool Show_FilesColor = true;
  bool Show_ToolBar = true;
  uint8_t SortMode = smExtension; // stored as "srExt" and the like
  int Stolbik_File = 127;
  int Stolbik_FileType = 60;
  int Stolbik_Date = 75;
  QString Font_Name = QStringLiteral("MS Sans Serif");
  int Font_Size = 8;
  uint32_t Font_Color = colors::White;
  bool Font_Bold = false;

  uint32_t FileColor = colors::White;
  uint32_t DirectoryColor = colors::White;
  uint32_t FileSelectColor = colors::Yellow;
  uint32_t DirectorySelectColor = colors::Black;
  uint32_t PanelFon = colors::Navy;
  uint32_t PanelSelectFon = colors::DarkTeal;
  uint32_t LineColor = colors::White;
  uint32_t LineColorSlave = colors::BtnFace;
  uint32_t SysTextColor = colors::Yellow;
  uint32_t SysInfoText = colors::White;
  uint32_t FileSizeColor = colors::Lime;
  uint32_t HiddenFile = colors::Silver;
  uint32_t CurPathColor = colors::White;
};

// The words a panel shows, from the language file; these are the built-in English ones.
struct TPanelWords {
  QString Folder = QStringLiteral("Folder");
  QString FreeSpace = QStringLiteral("Mb free");
  QString FreeSpace1 = QStringLiteral("Kb free");
  QString Bytes = QStringLiteral("bytes");
  QString In = QStringLiteral("in");
  QString Files = QStringLiteral("files");
  QString ReadArchive = QStringLiteral("Reading archive...");
  QString ArchiverWait = QStringLiteral("Waiting for the archiver");
  QString ArchiverCancel = QStringLiteral("&Cancel");
  QString ArchiverStop = QStringLiteral("Stopping the archiver...");
  QString PasswordCaption = QStringLiteral("Enter password");
  QString PasswordOK = QStringLiteral("&OK");
  QString PasswordCancel = QStringLiteral("&Cancel");
};

// The settings file section of a panel side: [Panel_Left] or [Panel_Right].
std::string PanelSection(TPanelSide side);
// Reads a panel's section over its current settings; oneColumn (the full view) forces one column.
void LoadPanelSettings(config::TIniFile& ini, TPanelSide side, bool oneColumn,
                       TPanelSettings& settings);
// Writes a panel's section; `path` is the shown folder.
void SavePanelSettings(config::TIniFile& ini, TPanelSide side, const TPanelSettings& settings,
                       const std::string& path, bool insideArchive);

} // namespace corvane
