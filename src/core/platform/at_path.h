// TAtPath: a native path as a (folder descriptor, name) pair for the *at() system calls.
//
// The kernel refuses paths of PATH_MAX bytes or more, yet folders nest deeper than that and a
// walk must reach every file it lists. Short paths, the usual case, cost nothing: the folder is
// AT_FDCWD and the name is the whole path. A longer path is opened one component at a time (each
// component follows links, as the kernel's own lookup would) down to the folder that holds the
// last component.
#pragma once

#include "platform/unique_fd.h"

#include <fcntl.h>

#include <string>
#include <string_view>

namespace corvane::platform {

// The last component of a native path, trailing "/" ignored ("/" stays "/").
std::string_view NativeBaseName(std::string_view path);

class TAtPath final {
public:
  // Resolves an absolute or relative native path. Trailing "/" are dropped from the name (the
  // root "/" stays "/"). False, with errno set, when a folder on the way cannot be opened, and
  // for an empty path or one holding a NUL byte (the system calls would act on its first part).
  bool Resolve(std::string_view nativePath);

  int Dir() const { return Owned.Valid() ? Owned.Get() : AT_FDCWD; }
  const char* Name() const { return LastName.c_str(); }
  // A path naming the same file that fits the path-taking calls (getxattr and its kin).
  std::string ShortPath() const;

private:
  TUniqueFd Owned;
  std::string LastName;
};

} // namespace corvane::platform
