// The texts of the viewer and the page viewer: each from its own section of the language file
// ([Viewer], [WebViewer]) with the built-in English text as the default, so a missing key or a
// missing file leaves the English text.
#pragma once

#include <QString>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

namespace config {
class TIniFile;
}

class TViewerTexts final {
public:
  TViewerTexts();
  ~TViewerTexts();
  // Opens the language file of a base name ("cv_rus") in the program folder; an empty or
  // unknown name opens none.
  void Open(const std::string& languageBase);
  QString Get(const char* section, const char* key) const;

private:
  std::unique_ptr<config::TIniFile> File;
};

// Every section, key and English text the two programs read.
struct TViewerText {
  const char* Section;
  const char* Key;
  const char* English;
};
const std::vector<TViewerText>& ViewerLanguageKeys();

} // namespace corvane
