#include "model/archiver_command.h"

#include "model/path_utils.h"
#include "platform/launcher.h"

#include <array>

namespace corvane {

using archive::TArcType;

namespace {

// Add, add with folders, move, move with folders, delete. The list file names every file with its
// folder, so adding folders needs no switch of its own.
constexpr std::array<const char*, 5> ZipLines = {"7zz a -tzip % @", "7zz a -tzip % @",
                                                 "7zz a -tzip -sdel % @", "7zz a -tzip -sdel % @",
                                                 "7zz d % @"};
constexpr std::array<const char*, 5> ArjLines = {"arj a % !", "arj a % !", "arj m % !", "arj m % !",
                                                 "arj d % !"};
constexpr std::array<const char*, 5> RarLines = {"rar a % @", "rar a % @", "rar m % @", "rar m % @",
                                                 "rar d % @"};

bool EndsWithText(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         SameTextAscii(text.substr(text.size() - suffix.size()), suffix);
}

} // namespace

std::string DefaultArchiverCommand(TArcType type, int mode) {
  if (mode < amAdd || mode > amDelete)
    return {};
  const auto line = static_cast<size_t>(mode);
  switch (type) {
  case TArcType::atZIP:
    return ZipLines[line];
  case TArcType::atARJ:
    return ArjLines[line];
  case TArcType::atRAR:
    return RarLines[line];
  default:
    return {};
  }
}

TArcType ArchiverTypeOf(TArcType detected, std::string_view archivePath) {
  if (detected != TArcType::atNA && detected != TArcType::atFileOpenErr)
    return detected;
  if (EndsWithText(archivePath, ".zip"))
    return TArcType::atZIP;
  if (EndsWithText(archivePath, ".arj"))
    return TArcType::atARJ;
  if (EndsWithText(archivePath, ".rar"))
    return TArcType::atRAR;
  return detected;
}

std::optional<TArchiverCommand> BuildArchiverCommand(std::string_view commandTemplate,
                                                     const std::string& archivePath,
                                                     const std::string& listPath) {
  const size_t mark = commandTemplate.find('%');
  const std::string_view programPart = commandTemplate.substr(0, mark);
  const std::string_view tail =
      mark == std::string_view::npos ? std::string_view() : commandTemplate.substr(mark + 1);
  std::vector<std::string> words = platform::SplitCommandLine(programPart);
  if (words.empty())
    return std::nullopt;
  TArchiverCommand command;
  command.Program = std::move(words.front());
  command.Args.assign(std::make_move_iterator(words.begin() + 1),
                      std::make_move_iterator(words.end()));
  command.Args.push_back(archivePath);
  std::vector<std::string> tailWords = platform::SplitCommandLine(tail);
  const bool glued =
      !tailWords.empty() && !tail.empty() && tail.back() != ' ' && tail.back() != '\t';
  for (std::string& word : tailWords)
    command.Args.push_back(std::move(word));
  if (glued)
    command.Args.back() += listPath;
  else
    command.Args.push_back(listPath);
  return command;
}

} // namespace corvane
