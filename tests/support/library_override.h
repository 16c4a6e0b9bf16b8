// TLibraryOverride: sets a library override of the environment (CORVANE_LIB_RAR, ...) for one
// test and forgets the loaded libraries on both ends, so that each test loads them as its
// environment says.
#pragma once

#include "archive/archive_libraries.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace corvane::test {

class TLibraryOverride {
public:
  TLibraryOverride(const char* variable, const char* value) : Variable(variable) {
    if (const char* old = std::getenv(variable))
      Saved = old;
    ::setenv(variable, value, 1);
    archive::ResetArchiveLibraries();
  }
  TLibraryOverride(const TLibraryOverride&) = delete;
  TLibraryOverride& operator=(const TLibraryOverride&) = delete;
  ~TLibraryOverride() {
    if (Saved)
      ::setenv(Variable, Saved->c_str(), 1);
    else
      ::unsetenv(Variable);
    archive::ResetArchiveLibraries();
  }

private:
  const char* Variable;
  std::optional<std::string> Saved;
};

} // namespace corvane::test
