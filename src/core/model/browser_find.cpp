// Finding entries by name below a folder of the browser's source, and showing the folder of a hit.
#include "model/browser.h"
#include "model/mask.h"
#include "model/path_utils.h"
#include "platform/process_messages.h"

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

void TBrowser::SearchTree(std::string_view startFolder, std::string_view masks) {
  if (!Source || Busy)
    return;
  const TOperationScope operation(*this);
  Busy = true;
  // Depth first with an explicit stack: a source lists one folder at a time, so a folder's
  // sub-folders are walked after its listing ends, and no depth can exhaust the call stack. The
  // last sub-folder listed is on top, so it is walked first. Paths are never cut.
  std::vector<std::string> pending;
  pending.emplace_back(startFolder);
  TFileEntry entry;
  std::string name;
  unsigned sinceMessages = 0;
  while (!pending.empty() && Busy) {
    std::string folder = std::move(pending.back());
    pending.pop_back();
    AddBackslash(folder);
    if (OnSearchFolder)
      OnSearchFolder(Root + folder);
    // Entries are examined whole only when they are hits: a walk of names costs no call per
    // entry where the listing tells folders from files.
    for (bool more = Busy && Source->FindFirstName(folder, entry); more && Busy;
         more = Source->FindNextName(entry)) {
      name = entry.EntryName();
      if (corvane::MatchesMask(name, masks) && OnSearchFound && Source->CompleteEntry(entry))
        OnSearchFound(folder, entry);
      if (entry.IsWalkableFolder() && !IntoPseudoFileSystem(folder + name))
        pending.push_back(folder + name);
      // A folder of a million entries must not leave the window dead until its end.
      if (++sinceMessages == 4096) {
        sinceMessages = 0;
        platform::ProcessMessages();
      }
    }
  }
  Busy = false;
}

int TBrowser::ShowFolder(std::string_view relPath) {
  if (!Source || InOperation())
    return EBUSY;
  std::string before = std::exchange(Rel, std::string(relPath));
  ReadFolder();
  const int error = LastReadError;
  if (error == 0)
    return 0;
  Rel = std::move(before);
  ReadFolder();
  return error;
}

} // namespace corvane
