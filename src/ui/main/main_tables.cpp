// The main window's three list-like settings files and what reads them: the tool bar (tb.ini) and
// its buttons, the archivers' command lines (arc.ini) that the archive sources ask for, and the
// file colours (fc.ini) that the panels draw names in.
#include "config/ini_file.h"
#include "main/main_form.h"
#include "main/tool_bar.h"
#include "panels/file_panel.h"
#include "platform/launcher.h"
#include "platform/native_path.h"
#include "platform/program_files.h"

#include <sys/stat.h>

namespace corvane {

namespace {

// A path from a settings file as a native one: model paths ("C:\...") and "~/..." are turned into
// native paths, anything else (a native path, a bare program name) stays as it is.
std::string NativeOfSetting(const std::string& text) {
  if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':')
    return platform::ModelToNative(text).value_or(text);
  if (text == "~" || text.starts_with("~/"))
    return platform::HomeFolder() + text.substr(1);
  return text;
}

// The command a built-in word runs, or "" for the words that run none through the table.
const char* CommandOfWord(config::TToolWord word) {
  switch (word) {
  case config::TToolWord::Help:
    return "Help";
  case config::TToolWord::SysInfo:
    return "SystemInfo";
  case config::TToolWord::InetDialer:
    return "Dialer";
  case config::TToolWord::Clipboard:
    return "Clipboard";
  case config::TToolWord::CdPlayer:
    return "CdPlayer";
  case config::TToolWord::Calculator:
    return "Calculator";
  case config::TToolWord::ResourceExplorer:
    return "ViewResource";
  case config::TToolWord::Editor:
  case config::TToolWord::Splitter:
    break;
  }
  return "";
}

} // namespace

void TForm1::Init_ToolBar() {
  config::TIniFile file(platform::ProgramFile("tb.ini"));
  ToolBarTable = config::ReadToolBar(file);
  BuildToolBar();
}

void TForm1::BuildToolBar() {
  ToolBar->OnButtonClick = [this](int tag) { ToolButtonClick(tag); };
  ToolBar->Build(ToolBarTable, [](const config::TToolButtonRecord& record) {
    if (const auto word = config::ToolWordForPicture(record.Command))
      return platform::ProgramFile(config::ToolWordPicture(*word));
    return NativeOfSetting(record.Icon);
  });
}

QIcon TForm1::ToolButtonPicture(int index) const {
  const std::vector<QIcon>& images = ToolBar->Images();
  return index >= 0 && index < static_cast<int>(images.size()) ? images[static_cast<size_t>(index)]
                                                               : QIcon();
}

bool TForm1::Save_ToolBar() {
  config::TIniFile file(platform::ProgramFile("tb.ini"));
  return config::WriteToolBar(file, ToolBarTable);
}

void TForm1::ToolButtonClick(int tag) {
  if (tag < 1 || tag > static_cast<int>(ToolBarTable.Buttons.size()))
    return;
  const config::TToolButtonRecord record = ToolBarTable.Buttons[static_cast<size_t>(tag - 1)];
  if (const auto word = config::ToolWordToRun(record.Command)) {
    if (*word == config::TToolWord::Editor)
      platform::RunEditorCommand(Settings.EditorName.toStdString(), std::string(), std::string());
    else if (const std::string command = CommandOfWord(*word); !command.empty())
      RunCommand(command);
    return;
  }
  // Programs run with their parameters as arguments in their working folder; anything else that
  // names a file or folder opens with the desktop's program for it. The show state (minimised or
  // normal) is the desktop's business here.
  const std::string program = NativeOfSetting(record.Command);
  if (program.empty())
    return;
  const std::string work = NativeOfSetting(record.Path);
  const std::string located =
      program.front() == '/' || work.empty() ? program : work + "/" + program;
  struct stat st {};
  if (program.find('/') != std::string::npos && ::stat(located.c_str(), &st) == 0 &&
      !platform::IsProgramFile(located)) {
    platform::OpenDocument(located, work);
    return;
  }
  platform::RunProgram(program, platform::SplitCommandLine(record.Param), work);
}

void TForm1::GetFilesColors() {
  GetFilesColors(platform::ProgramFile("fc.ini"));
}

void TForm1::GetFilesColors(const std::string& nativePath) {
  config::TIniFile file(nativePath);
  FileColorsTable.Load(file);
}

bool TForm1::SaveFilesColors(const std::string& nativePath) {
  config::TIniFile file(nativePath.empty() ? platform::ProgramFile("fc.ini") : nativePath);
  return FileColorsTable.Save(file);
}

void TForm1::Load_ArcParams() {
  config::TIniFile file(platform::ProgramFile("arc.ini"));
  ArchiverTable.Load(file);
}

bool TForm1::Save_ArcParams() {
  config::TIniFile file(platform::ProgramFile("arc.ini"));
  return ArchiverTable.Save(file);
}

void TForm1::MGetARCParameters(int archiveType, int line, int maxLength, std::string& text) {
  ArchiverTable.Parameters(archiveType, line, maxLength, text);
}

void TForm1::MGetARCMode(int archiveType, bool& flag1, bool& flag2, bool& flag3) {
  ArchiverTable.Mode(archiveType, flag1, flag2, flag3);
}

void TForm1::BindTables(TFPanel* panel) {
  panel->Browser.OnArchiveParameters = [this](int type, int line, int maxLength,
                                              std::string& text) {
    MGetARCParameters(type, line, maxLength, text);
  };
  panel->Browser.OnArchiveMode = [this](int type, bool& flag1, bool& flag2, bool& flag3) {
    MGetARCMode(type, flag1, flag2, flag3);
  };
  panel->FileColorLookup = [this](const std::string& dotExt, bool hidden) {
    return FileColorsTable.Lookup(dotExt, hidden);
  };
}

void TForm1::SaveSettingsFiles(bool all) {
  // A file that cannot be written loses nothing: it stays as it was, and the others are written.
  if (all) {
    Save_INI();
    SaveFilesColors();
    Save_ArcParams();
  }
  Save_ToolBar();
}

} // namespace corvane
