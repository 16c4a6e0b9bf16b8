#include "model/name_mask.h"

namespace corvane {

namespace {

std::pair<std::string_view, std::string_view> SplitAtLastDot(std::string_view text) {
  const size_t dot = text.rfind('.');
  if (dot == std::string_view::npos)
    return {text, std::string_view()};
  return {text.substr(0, dot), text.substr(dot + 1)};
}

void ApplyPart(std::string& out, std::string_view source, std::string_view mask) {
  const size_t start = out.size();
  for (size_t i = 0; i < mask.size(); ++i) {
    if (mask[i] == '*') {
      if (i < source.size())
        out += source.substr(i);
      break;
    }
    if (mask[i] == '?') {
      if (i < source.size())
        out += source[i];
      else if (!out.empty())
        out += ' ';
    } else {
      out += mask[i];
    }
  }
  while (out.size() > start && out.back() == ' ')
    out.pop_back();
}

} // namespace

std::string ApplyNameMask(std::string_view name, std::string_view mask) {
  const auto [sourceBase, sourceExt] = SplitAtLastDot(name);
  const auto [maskBase, maskExt] = SplitAtLastDot(mask);
  std::string result;
  ApplyPart(result, sourceBase, maskBase);
  result += '.';
  ApplyPart(result, sourceExt, maskExt);
  if (!result.empty() && result.back() == '.')
    result.pop_back();
  return result;
}

} // namespace corvane
