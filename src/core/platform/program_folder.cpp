#include "platform/program_folder.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace corvane::platform {

std::string ProgramFolder() {
  std::string folder;
  if (const char* home = std::getenv("CORVANE_HOME"); home && *home) {
    folder = home;
  } else {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) {
      folder.assign(buffer, static_cast<size_t>(length));
      folder.resize(folder.rfind('/') == 0 ? 1 : folder.rfind('/'));
    } else {
      folder = ".";
    }
  }
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

} // namespace corvane::platform
