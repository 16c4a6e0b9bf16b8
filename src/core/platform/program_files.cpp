#include "platform/program_files.h"

#include "platform/program_folder.h"

#include <dirent.h>
#include <strings.h>
#include <unistd.h>

namespace corvane::platform {

std::string ProgramFile(const std::string& name) {
  const std::string folder = ProgramFolder();
  const std::string exact = folder + "/" + name;
  if (::access(exact.c_str(), F_OK) == 0)
    return exact;
  std::string found = exact;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir))
      if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
        found = folder + "/" + entry->d_name;
        break;
      }
    ::closedir(dir);
  }
  return found;
}

} // namespace corvane::platform
