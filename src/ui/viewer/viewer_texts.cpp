#include "viewer/viewer_texts.h"

#include "config/ini_file.h"
#include "platform/program_files.h"
#include "viewer/code_page.h"

#include <cstring>

namespace corvane {

const std::vector<TViewerText>& ViewerLanguageKeys() {
  static const std::vector<TViewerText> keys = {
      {"Viewer", "Menu_File", "&File"},
      {"Viewer", "Menu_Save", "&Save"},
      {"Viewer", "Menu_Close", "&Close"},
      {"Viewer", "Menu_Edit", "&Edit"},
      {"Viewer", "Menu_Undo", "&Undo"},
      {"Viewer", "Menu_Redo", "&Redo"},
      {"Viewer", "Menu_Search", "&Search"},
      {"Viewer", "Menu_Find", "&Find..."},
      {"Viewer", "Menu_FindNext", "Find &next"},
      {"Viewer", "Menu_FindBack", "Find &back"},
      {"Viewer", "Menu_Replace", "&Replace..."},
      {"Viewer", "Menu_GoTo", "&Go to line or offset..."},
      {"Viewer", "Menu_View", "&View"},
      {"Viewer", "Menu_Hex", "&Hex"},
      {"Viewer", "Menu_Wrap", "&Wrap lines"},
      {"Viewer", "Menu_CodePage", "&Next code page"},
      {"Viewer", "Menu_PreviousCodePage", "&Previous code page"},
      {"Viewer", "Menu_Follow", "F&ollow the end of the file"},
      {"Viewer", "Label_Find", "Find:"},
      {"Viewer", "Label_Replace", "Replace with:"},
      {"Viewer", "Check_Case", "Match case"},
      {"Viewer", "Button_Next", "Next"},
      {"Viewer", "Button_Back", "Back"},
      {"Viewer", "Button_Replace", "Replace"},
      {"Viewer", "Button_ReplaceAll", "Replace all"},
      {"Viewer", "Title_View", "View"},
      {"Viewer", "Title_Edit", "Edit"},
      {"Viewer", "Title_Archive", "temporary copy from an archive"},
      {"Viewer", "Title_ReadOnly", "read-only"},
      {"Viewer", "Status_Removed", "removed"},
      {"Viewer", "Status_Following", "following"},
      {"Viewer", "Status_Searching", "Searching... %1% (Esc stops)"},
      {"Viewer", "Status_Stopped", "Search stopped"},
      {"Viewer", "Status_NotFound", "Not found"},
      {"Viewer", "Status_Replaced", "Replaced: %1"},
      {"Viewer", "Status_SaveFirst", "Save or undo the changes before switching the code page"},
      {"Viewer", "Message_NoFile", "No file to show."},
      {"Viewer", "Message_Missing", "The file does not exist:"},
      {"Viewer", "Message_Unreadable", "Cannot read the file:"},
      {"Viewer", "Message_Folder", "This is a folder, not a file:"},
      {"Viewer", "Message_Special", "This is a device, a FIFO or a socket; it is not opened:"},
      {"Viewer", "Message_TooLarge", "The file is too large to edit; it is shown in view mode."},
      {"Viewer", "Message_ReadOnly", "The file is read-only; it is opened for reading only."},
      {"Viewer", "Message_SaveFailed", "Cannot save the file:"},
      {"Viewer", "Message_Unencodable",
       "The text holds characters the file's code page has no place for; it was not saved."},
      {"Viewer", "Message_SaveChanges", "The file was changed. Save the changes?"},
      {"Viewer", "Message_BadHex", "Type the bytes in hex, for example 0D 0A."},
      {"Viewer", "GoTo_Caption", "Go to"},
      {"Viewer", "GoTo_Line", "Line number, or offset as 0x1A2B:"},
      {"Viewer", "GoTo_Offset", "Offset (decimal, or hex as 0x1A2B):"},
      {"WebViewer", "Caption", "Web page"},
      {"WebViewer", "Button_Back", "&Back"},
      {"WebViewer", "Button_Forward", "&Forward"},
      {"WebViewer", "Button_Browser", "Open in the web browser"},
      {"WebViewer", "Message_NoPage", "No page to show."},
      {"WebViewer", "Message_Missing", "The page does not exist:"},
  };
  return keys;
}

TViewerTexts::TViewerTexts() = default;
TViewerTexts::~TViewerTexts() = default;

void TViewerTexts::Open(const std::string& languageBase) {
  File.reset();
  static const char* const Known[] = {"cv_eng", "cv_rus", "cv_pol", "cv_ita",
                                      "cv_cze", "cv_hun", "cv_spa"};
  for (const char* known : Known)
    if (languageBase == known)
      File = std::make_unique<config::TIniFile>(
          platform::ProgramFile(languageBase + ".ini"),
          viewer::CodePageName(viewer::LegacyPageOfLanguage(languageBase)));
}

QString TViewerTexts::Get(const char* section, const char* key) const {
  const char* english = "";
  for (const TViewerText& text : ViewerLanguageKeys())
    if (std::strcmp(text.Section, section) == 0 && std::strcmp(text.Key, key) == 0)
      english = text.English;
  if (!File)
    return QString::fromUtf8(english);
  return QString::fromStdString(File->ReadString(section, key, english));
}

} // namespace corvane
