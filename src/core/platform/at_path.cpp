#include "platform/at_path.h"

#include <cerrno>
#include <climits>

namespace corvane::platform {

std::string_view NativeBaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/')
    path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

bool TAtPath::Resolve(std::string_view nativePath) {
  Owned.Reset();
  LastName.clear();
  // The calls would see the path only up to a NUL: "a\0b" must not act on "a".
  if (nativePath.empty() || nativePath.find('\0') != std::string_view::npos) {
    errno = nativePath.empty() ? ENOENT : EINVAL;
    return false;
  }
  while (nativePath.size() > 1 && nativePath.back() == '/')
    nativePath.remove_suffix(1);
  if (nativePath.size() < PATH_MAX) {
    LastName.assign(nativePath);
    return true;
  }
  const size_t slash = nativePath.rfind('/');
  std::string_view folder = nativePath.substr(0, slash);
  LastName.assign(nativePath.substr(slash + 1));

  TUniqueFd current(
      ::open(nativePath.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!current.Valid())
    return false;
  size_t pos = 0;
  while (pos < folder.size()) {
    size_t end = folder.find('/', pos);
    if (end == std::string_view::npos)
      end = folder.size();
    if (end > pos) {
      const std::string component(folder.substr(pos, end - pos));
      TUniqueFd next(::openat(current.Get(), component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!next.Valid())
        return false;
      current = std::move(next);
    }
    pos = end + 1;
  }
  Owned = std::move(current);
  return true;
}

std::string TAtPath::ShortPath() const {
  if (!Owned.Valid())
    return LastName;
  return "/proc/self/fd/" + std::to_string(Owned.Get()) + "/" + LastName;
}

} // namespace corvane::platform
