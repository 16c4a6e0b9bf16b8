#include "platform/recent_documents.h"

#include "platform/atomic_file.h"
#include "platform/native_path.h"

#include <cstdlib>
#include <string>

namespace corvane::platform {

bool ClearRecentDocuments() {
  std::string folder;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
    folder = data;
  else
    folder = HomeFolder() + "/.local/share";
  static constexpr const char* Empty =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xbel version=\"1.0\"\n"
      "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
      "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
      ">\n"
      "</xbel>\n";
  return WriteFileAtomically(folder + "/recently-used.xbel", Empty, 0600);
}

} // namespace corvane::platform
