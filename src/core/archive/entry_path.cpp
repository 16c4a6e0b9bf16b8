#include "archive/entry_path.h"

namespace corvane::archive {

namespace {

bool IsDrivePrefix(std::string_view component) {
  return component.size() >= 2 && component[1] == ':' &&
         ((component[0] >= 'A' && component[0] <= 'Z') ||
          (component[0] >= 'a' && component[0] <= 'z'));
}

template <typename Visit> bool ForEachComponent(std::string_view name, Visit visit) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos)
      end = name.size();
    const std::string_view component = name.substr(start, end - start);
    if (!component.empty() && component != "." && !visit(component))
      return false;
    start = end + 1;
  }
  return true;
}

// The kernel reads a name up to its first NUL byte: a name holding one would reach the system
// calls as a different, shorter name than the one checked here ("..\0/x" is "..").
bool HoldsNul(std::string_view name) {
  return name.find('\0') != std::string_view::npos;
}

} // namespace

bool SplitEntryPath(std::string_view name, std::vector<std::string>& components) {
  if ((!name.empty() && name.front() == '/') || HoldsNul(name))
    return false;
  std::vector<std::string> parts;
  const bool ok = ForEachComponent(name, [&](std::string_view component) {
    if (component == ".." || (parts.empty() && IsDrivePrefix(component)))
      return false;
    parts.emplace_back(component);
    return true;
  });
  if (!ok)
    return false;
  for (auto& part : parts)
    components.push_back(std::move(part));
  return true;
}

bool LinkStaysInside(std::string_view target) {
  if (target.empty() || target.front() == '/' || HoldsNul(target))
    return false;
  return ForEachComponent(target, [](std::string_view component) { return component != ".."; });
}

std::string ModelEntryName(std::string_view name) {
  while (!name.empty() && name.back() == '/')
    name.remove_suffix(1);
  std::string result(name);
  for (char& c : result) {
    if (c == '/')
      c = '\\';
    else if (c == '\\')
      c = '/';
  }
  return result;
}

} // namespace corvane::archive
