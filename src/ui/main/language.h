// The language file: every text the user sees can come from an INI file of the program folder,
// one per language, with one section per window. The setting Language names it; a name that is
// not one of the known languages opens no file, and every read then gives its default.
//
// The main window reads its own captions and a table of texts other windows share (LangStrings)
// through LoadLanguage; each dialog reads its own section when it is made or shown.
#pragma once

#include "config/ini_file.h"

#include <QString>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

class TLanguageFile final {
public:
  // Opens the file of a language ("ENGLISH", "RUSSIAN", ...; names compare exactly).
  void Open(const QString& language);
  bool IsOpen() const { return File != nullptr; }
  QString Read(const char* section, const char* key, const QString& defaultText) const;

  // "cv_eng.ini" and the like, or empty for an unknown language.
  static std::string FileNameFor(const QString& language);
  // "cv_eng" and the like, or empty.
  static std::string BaseNameFor(const QString& language);
  // The code page older files of the language were written in.
  static std::string CodePageFor(const QString& language);

private:
  std::unique_ptr<config::TIniFile> File;
};

// Texts the main window reads once and other windows use, by section and key.
class TLangStrings final {
public:
  QString Get(const std::string& section, const std::string& key) const;
  void Set(const std::string& section, const std::string& key, const QString& text);

private:
  std::map<std::pair<std::string, std::string>, QString> Texts;
};

// Every section and key the main window reads from the language file.
const std::vector<std::pair<const char*, const char*>>& MainWindowLanguageKeys();

} // namespace corvane
