// What an accepted entry name or link target must be, checked independently of entry_path.cpp:
// a name is split into components that hold no NUL, no "/" and are never "", "." or "..", the
// first never a drive; joined with "/" they are exactly the stored name without its empty and "."
// components, so the system calls receive the bytes that were checked. A refused name appends
// nothing. An accepted link target is relative, holds no NUL and has no ".." component.
#pragma once

#include "archive/entry_path.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvane::fuzz {

inline void Require(bool holds) {
  if (!holds)
    __builtin_trap();
}

// The "/"-separated parts of text, without empty ones and ".".
inline std::vector<std::string_view> Parts(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view part = text.substr(start, end - start);
    if (!part.empty() && part != ".")
      parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

inline void CheckEntryName(std::string_view name) {
  std::vector<std::string> components{"kept"};
  if (!archive::SplitEntryPath(name, components)) {
    Require(components.size() == 1 && components[0] == "kept");
    return;
  }
  components.erase(components.begin());
  Require(name.find('\0') == std::string_view::npos);
  Require(name.empty() || name.front() != '/');
  const std::vector<std::string_view> parts = Parts(name);
  Require(parts.size() == components.size());
  for (size_t i = 0; i < components.size(); ++i) {
    const std::string& component = components[i];
    Require(!component.empty() && component != "." && component != "..");
    Require(component.find_first_of(std::string_view("/\0", 2)) == std::string::npos);
    // What the kernel reads of the component is all of it.
    Require(std::char_traits<char>::length(component.c_str()) == component.size());
    Require(component == parts[i]);
  }
  if (!components.empty()) {
    const std::string& first = components.front();
    const bool drive =
        first.size() >= 2 && first[1] == ':' &&
        ((first[0] >= 'A' && first[0] <= 'Z') || (first[0] >= 'a' && first[0] <= 'z'));
    Require(!drive);
  }
}

inline void CheckLinkTarget(std::string_view target) {
  if (!archive::LinkStaysInside(target))
    return;
  Require(!target.empty() && target.front() != '/');
  Require(target.find('\0') == std::string_view::npos);
  for (const std::string_view part : Parts(target))
    Require(part != "..");
}

} // namespace corvane::fuzz
