#include "panels/panel_settings.h"

#include "config/ini_file.h"

namespace corvane {

namespace {

const char* const SortWords[] = {"srNone", "srName", "srExt", "srSize", "srDate"};

std::string Utf8(const QString& text) {
  return text.toStdString();
}

QString FromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

struct TColorKey {
  const char* Key;
  uint32_t TPanelSettings::*Field;
};

// In the order they are written.
const TColorKey ColorKeys[] = {
    {"FileColor", &TPanelSettings::FileColor},
    {"DirectoryColor", &TPanelSettings::DirectoryColor},
    {"FileSelectColor", &TPanelSettings::FileSelectColor},
    {"DirectorySelectColor", &TPanelSettings::DirectorySelectColor},
    {"PanelFon", &TPanelSettings::PanelFon},
    {"PanelSelectFon", &TPanelSettings::PanelSelectFon},
    {"LineColor", &TPanelSettings::LineColor},
    {"LineColorSlave", &TPanelSettings::LineColorSlave},
    {"SysTextColor", &TPanelSettings::SysTextColor},
    {"SysInfoText", &TPanelSettings::SysInfoText},
    {"FileSizeColor", &TPanelSettings::FileSizeColor},
    {"HiddenFile", &TPanelSettings::HiddenFile},
    {"CurPathColor", &TPanelSettings::CurPathColor},
};

struct TFlagKey {
  const char* Key;
  bool TPanelSettings::*Field;
};

const TFlagKey FlagKeys[] = {
    {"Show_FreeDisk", &TPanelSettings::Show_FreeDisk},
    {"Show_FileName", &TPanelSettings::Show_FileName},
    {"Show_FileSize", &TPanelSettings::Show_FileSize},
    {"Show_FileDate", &TPanelSettings::Show_FileDate},
    {"Show_FileColors", &TPanelSettings::Show_FileColors},
    {"Show_CurDir", &TPanelSettings::Show_CurDir},
    {"Show_FileHide", &TPanelSettings::Show_FileHide},
    {"Show_FilesColor", &TPanelSettings::Show_FilesColor},
    {"Show_ScrollBar", &TPanelSettings::Show_ScrollBar},
    {"Show_ToolBar", &TPanelSettings::Show_ToolBar},
    {"Param_ExecBegin", &TPanelSettings::Param_ExecBegin},
};

} // namespace

std::string PanelSection(TPanelSide side) {
  return side == TPanelSide::Left ? "Panel_Left" : "Panel_Right";
}

void LoadPanelSettings(config::TIniFile& ini, TPanelSide side, bool oneColumn, TPanelSettings& s) {
  const std::string section = PanelSection(side);
  s.Left = ini.ReadInteger(section, "Left", 0);
  s.Top = ini.ReadInteger(section, "Top", 0);
  s.Width = ini.ReadInteger(section, "Width", 640);
  s.Height = ini.ReadInteger(section, "Height", 453);
  const std::string path = ini.ReadString(section, "Path", "c:\\");
  s.Path = FromUtf8(path.empty() ? std::string("c:\\") : path);
  s.PathType = FromUtf8(ini.ReadString(section, "PathType", Utf8(s.PathType)));
  s.Columns = ini.ReadInteger(section, "Columns", 3);
  if (oneColumn)
    s.Columns = 1;
  s.Length = ini.ReadInteger(section, "Length", s.Length);
  for (const auto& flag : FlagKeys)
    s.*flag.Field = ini.ReadBool(section, flag.Key, s.*flag.Field);
  s.Show_Icons = ini.ReadBool(section, "Show_Icons", true);
  const std::string sort = ini.ReadString(section, "SorthMethod", "srExt");
  for (uint8_t mode = 0; mode < 5; ++mode)
    if (sort == SortWords[mode])
      s.SortMode = mode;
  for (const auto& color : ColorKeys)
    s.*color.Field = ini.ReadColor(section, color.Key, s.*color.Field);
  s.Font_Name = FromUtf8(ini.ReadString(section, "Font_Name", Utf8(s.Font_Name)));
  s.Font_Size = ini.ReadInteger(section, "Font_Size", s.Font_Size);
  s.Font_Color = ini.ReadColor(section, "Font_Color", s.Font_Color);
  const std::string style = ini.ReadString(section, "Font_Style", s.Font_Bold ? "[fsBold]" : "[]");
  s.Font_Bold = style == "[fsBold]";
  s.Stolbik_File = std::min(ini.ReadInteger(section, "Stolbik_File", 127), s.Width - 30);
  s.Stolbik_FileType = ini.ReadInteger(section, "Stolbik_FileType", 60);
  s.Stolbik_Date = ini.ReadInteger(section, "Stolbik_Date", 75);
}

void SavePanelSettings(config::TIniFile& ini, TPanelSide side, const TPanelSettings& s,
                       const std::string& path, bool insideArchive) {
  const std::string section = PanelSection(side);
  ini.WriteInteger(section, "Left", s.Left);
  ini.WriteInteger(section, "Top", s.Top);
  ini.WriteInteger(section, "Width", s.Width);
  ini.WriteInteger(section, "Height", s.Height);
  ini.WriteString(section, "Path", path);
  ini.WriteString(section, "PathType", insideArchive ? "Archive" : "Standart");
  ini.WriteInteger(section, "Columns", s.Columns);
  ini.WriteInteger(section, "Length", s.Length);
  for (const auto& flag : FlagKeys)
    ini.WriteBool(section, flag.Key, s.*flag.Field);
  ini.WriteBool(section, "Show_Icons", s.Show_Icons);
  ini.WriteString(section, "SorthMethod", s.SortMode < 5 ? SortWords[s.SortMode] : "srName");
  for (const auto& color : ColorKeys)
    ini.WriteInteger(section, color.Key, s.*color.Field);
  ini.WriteString(section, "Font_Name", Utf8(s.Font_Name));
  ini.WriteInteger(section, "Font_Size", s.Font_Size);
  ini.WriteInteger(section, "Font_Color", s.Font_Color);
  ini.WriteString(section, "Font_Style", s.Font_Bold ? "[fsBold]" : "[]");
  ini.WriteInteger(section, "Stolbik_File", s.Stolbik_File);
  ini.WriteInteger(section, "Stolbik_FileType", s.Stolbik_FileType);
  ini.WriteInteger(section, "Stolbik_Date", s.Stolbik_Date);
}

} // namespace corvane
