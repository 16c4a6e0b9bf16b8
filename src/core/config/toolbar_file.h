// The tool bar's table and its file tb.ini.
//
// The tool bar is a list of at most 40 buttons, each a record of six texts that the tool-bar
// editor changes in place and the main window reads when a button is clicked. A button either runs
// a built-in command of the main window (its Command is one of the built-in words, compared
// exactly) or a program, document or anything else the desktop can open. The built-in words also
// choose the button's picture, compared ignoring case: a button named "help" looks like the help
// button but runs a program called help, as it always has.
//
// tb.ini: [Common] Count, then [Button1] .. [ButtonCount] with the keys Command, Path, Hint,
// Minimize, Icon, Param. Minimize is kept as the word "True" or "False"; a non-zero number reads as
// "True" too.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::config {

class TIniFile;

struct TToolButtonRecord {
  std::string Command;            // a built-in word or the program to run
  std::string Param;              // its parameters
  std::string Path;               // its working folder
  std::string Hint;               // the tool tip
  std::string Minimize = "False"; // "True" or "False"
  std::string Icon;               // the file the picture comes from (not used for built-in words)

  bool operator==(const TToolButtonRecord&) const = default;
};

struct TToolBarTable {
  static constexpr int MaxButtons = 40;
  std::vector<TToolButtonRecord> Buttons; // at most MaxButtons
};

// The built-in command words.
enum class TToolWord {
  Help,
  Editor,
  SysInfo,
  InetDialer,
  Clipboard,
  CdPlayer,
  Calculator,
  ResourceExplorer,
  Splitter,
};

// The word a Command runs: exact case for the commands; "splitter" in any case. Nothing for a
// program.
std::optional<TToolWord> ToolWordToRun(std::string_view command);
// The word whose picture a Command gets: compared ignoring ASCII case.
std::optional<TToolWord> ToolWordForPicture(std::string_view command);
// The picture file of a word inside the program folder, "ToolBar/b1.bmp" .. "ToolBar/b8.bmp" (the
// separator takes the last one, keeping the image numbering).
std::string ToolWordPicture(TToolWord word);
bool IsSplitter(std::string_view command);

// Reads tb.ini: a missing file or Count gives no buttons; at most MaxButtons are read.
TToolBarTable ReadToolBar(TIniFile& file);
// Writes the table in one file write; false when the file could not be written (it then stays as
// it was).
bool WriteToolBar(TIniFile& file, const TToolBarTable& table);

} // namespace corvane::config
