#include "config/toolbar_file.h"

#include "config/ini_file.h"

#include <algorithm>

#include <array>

namespace corvane::config {

namespace {

struct TWordName {
  const char* Name;
  TToolWord Word;
};

constexpr std::array<TWordName, 9> Words = {{
    {"Help", TToolWord::Help},
    {"Editor", TToolWord::Editor},
    {"SysInfo", TToolWord::SysInfo},
    {"InetDialer", TToolWord::InetDialer},
    {"Clipboard", TToolWord::Clipboard},
    {"CD-Player", TToolWord::CdPlayer},
    {"Calculator", TToolWord::Calculator},
    {"Resource Explorer", TToolWord::ResourceExplorer},
    {"splitter", TToolWord::Splitter},
}};

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

std::string Section(size_t index) {
  return "Button" + std::to_string(index + 1);
}

} // namespace

bool IsSplitter(std::string_view command) {
  return SameAscii(command, "splitter");
}

std::optional<TToolWord> ToolWordToRun(std::string_view command) {
  if (IsSplitter(command))
    return TToolWord::Splitter;
  for (const TWordName& word : Words)
    if (command == word.Name)
      return word.Word;
  return std::nullopt;
}

std::optional<TToolWord> ToolWordForPicture(std::string_view command) {
  for (const TWordName& word : Words)
    if (SameAscii(command, word.Name))
      return word.Word;
  return std::nullopt;
}

std::string ToolWordPicture(TToolWord word) {
  const int number = word == TToolWord::Splitter ? 8 : static_cast<int>(word) + 1;
  return "ToolBar/b" + std::to_string(number) + ".bmp";
}

TToolBarTable ReadToolBar(TIniFile& file) {
  TToolBarTable table;
  const int count = std::min(file.ReadInteger("Common", "Count", 0), TToolBarTable::MaxButtons);
  for (int i = 0; i < count; ++i) {
    const std::string section = Section(static_cast<size_t>(i));
    TToolButtonRecord button;
    button.Command = file.ReadString(section, "Command", "");
    button.Path = file.ReadString(section, "Path", "");
    button.Hint = file.ReadString(section, "Hint", "");
    const std::string minimize = file.ReadString(section, "Minimize", "");
    uint32_t number = 0;
    const bool minimized =
        minimize == "True" || (TIniFile::ParseNumber(minimize, number) && number != 0);
    button.Minimize = minimized ? "True" : "False";
    button.Icon = file.ReadString(section, "Icon", "");
    button.Param = file.ReadString(section, "Param", "");
    table.Buttons.push_back(std::move(button));
  }
  return table;
}

bool WriteToolBar(TIniFile& file, const TToolBarTable& table) {
  TIniBatch batch(file);
  const size_t count =
      std::min(table.Buttons.size(), static_cast<size_t>(TToolBarTable::MaxButtons));
  file.WriteInteger("Common", "Count", static_cast<int64_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const TToolButtonRecord& button = table.Buttons[i];
    const std::string section = Section(i);
    file.WriteString(section, "Command", button.Command);
    file.WriteString(section, "Path", button.Path);
    file.WriteString(section, "Hint", button.Hint);
    file.WriteString(section, "Minimize", button.Minimize);
    file.WriteString(section, "Icon", button.Icon);
    file.WriteString(section, "Param", button.Param);
  }
  return batch.Commit();
}

} // namespace corvane::config
