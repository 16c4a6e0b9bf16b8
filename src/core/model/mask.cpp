#include "model/mask.h"

#include "model/path_utils.h"

namespace corvane {

namespace {

bool PartMatches(std::string_view part, std::string_view mask) {
  const size_t star = mask.find('*');
  if (star != std::string_view::npos) {
    mask = mask.substr(0, star);
    if (part.size() < mask.size())
      return false;
  } else if (part.size() != mask.size()) {
    return false;
  }
  for (size_t i = 0; i < mask.size(); ++i)
    if (mask[i] != '?' && UpCaseAscii(mask[i]) != UpCaseAscii(part[i]))
      return false;
  return true;
}

std::pair<std::string_view, std::string_view> SplitAtFirstDot(std::string_view text) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos)
    return {text, std::string_view()};
  return {text.substr(0, dot), text.substr(dot + 1)};
}

bool OneMaskMatches(std::string_view name, std::string_view mask) {
  const auto [nameBase, nameExt] = SplitAtFirstDot(name);
  const auto [maskBase, maskExt] = SplitAtFirstDot(mask);
  return PartMatches(nameExt, maskExt) && PartMatches(nameBase, maskBase);
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view masks) {
  size_t start = 0;
  while (true) {
    const size_t end = masks.find_first_of(",;", start);
    const std::string_view item =
        masks.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (OneMaskMatches(name, item))
      return true;
    if (end == std::string_view::npos)
      return false;
    start = end + 1;
  }
}

} // namespace corvane
