// Opening the active panel's cursor file by its type (F3, Alt+F3, Enter on pictures and sounds)
// and editing it (F4). A file inside an archive is viewed as a copy taken out into this
// process's temporary folder, which goes with the program; it is never edited there.
#include "main/asker.h"
#include "main/main_form.h"
#include "panels/file_panel.h"
#include "platform/file_ops.h"
#include "platform/launcher.h"
#include "platform/native_path.h"
#include "platform/program_folder.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace corvane {
namespace {

std::string FolderOf(const std::string& nativeFile) {
  const size_t slash = nativeFile.rfind('/');
  return slash == std::string::npos ? std::string() : nativeFile.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

void TForm1::ReportLaunch(platform::TLaunchResult launch, int error, const std::string& program) {
  // An editor or viewer that does not start must not look like a key that does nothing.
  if (launch == platform::TLaunchResult::Started)
    return;
  QString text = LangStrings.Get("Errors", "CannotStart").arg(QString::fromStdString(program));
  if (launch == platform::TLaunchResult::Failed && error != 0)
    text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
  TAsker::Current().Error(this, text);
}

void TForm1::StartHandOffProgram(const std::string& program, const std::string& nativeFile) {
  errno = 0;
  const platform::TLaunchResult result = platform::RunProgram(program, {}, FolderOf(nativeFile));
  const int error = errno;
  const std::string shown =
      platform::ProgramFolder() + "/cv" + program.substr(0, program.find('.'));
  ReportLaunch(result, error, shown);
}

void TForm1::ViewCursorFile(bool asText) {
  const TFPanel* panel = ActivePanel();
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  if (!entry)
    return;
  SkipTypeDispatch = asText;
  File_Work(panel->Browser.RootPath() + panel->Browser.RelPath() + entry->EntryName());
  SkipTypeDispatch = false;
}

void TForm1::File_Work(const std::string& path) {
  const bool asText = std::exchange(SkipTypeDispatch, false);
  TFPanel* panel = ActivePanel();
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  if (panel->Browser.Count() == 0 || !ListView() || !entry)
    return;
  if (entry->IsFolder()) {
    FolderSizeCommand();
    return;
  }
  const bool inArchive = panel->Browser.SourceKind() == skArchive;
  std::string file = path;
  if (inArchive) {
    // A copy that could not be made opens nothing: an older copy of the same name is no view of
    // this entry.
    const std::optional<std::string> copy = GetArcFile(true);
    if (!copy)
      return;
    file = *copy;
  }
  const std::optional<std::string> native = platform::ModelToNative(file);
  if (!native)
    return;

  const TFileGroup group = asText ? TFileGroup::Other : FileGroupOfExt(ExtOfPath(file));
  if (const auto viewer = FileViewers.find(group); viewer != FileViewers.end() && viewer->second) {
    viewer->second(file);
    if (group == TFileGroup::Picture) {
      // The viewer was modal: no panel may go on with a press or a drag it saw begin, and a
      // picture's copy is not kept once it has been looked at.
      for (TFPanel* side : {PanelLeft, PanelRight})
        side->CancelMouseGesture();
      if (inArchive)
        platform::DeleteFileAt(*native);
    }
    return;
  }
  if (group == TFileGroup::Video) {
    errno = 0;
    const platform::TLaunchResult result =
        platform::RunProgram("mplayer", {*native}, FolderOf(*native));
    ReportLaunch(result, errno, "xdg-open");
    return;
  }
  if (group == TFileGroup::WebPage && !inArchive) {
    WriteUrlHandOff(file);
    StartHandOffProgram("inet.exe", *native);
    return;
  }
  ViewInTextViewer(file, inArchive);
}

void TForm1::ViewInTextViewer(const std::string& modelPath, bool fromArchive) {
  const std::optional<std::string> native = platform::ModelToNative(modelPath);
  if (!native)
    return;
  WriteEditorHandOff(modelPath, false, fromArchive);
  StartHandOffProgram("edit.exe", *native);
}

void TForm1::N10Click() {
  const TFPanel* panel = ActivePanel();
  const TFileEntry* entry = panel->Browser.GetEntry(panel->CursorIndex());
  if (panel->Browser.SourceKind() != skFolder || !entry || entry->IsFolder())
    return;
  const std::string file =
      panel->Browser.RootPath() + panel->Browser.RelPath() + entry->EntryName();
  const std::optional<std::string> native = platform::ModelToNative(file);
  if (!native)
    return;
  if (Settings.EditorType != QStringLiteral("int")) {
    // The editor's command is split into words; the file is one argument, blanks and all.
    const std::string command = Settings.EditorName.toStdString();
    errno = 0;
    const platform::TLaunchResult result =
        platform::RunEditorCommand(command, *native, FolderOf(*native));
    const int error = errno;
    const std::vector<std::string> words = platform::SplitCommandLine(command);
    ReportLaunch(result, error, words.empty() ? command : words.front());
    return;
  }
  WriteEditorHandOff(file, true, false);
  StartHandOffProgram("edit.exe", *native);
}

} // namespace corvane
