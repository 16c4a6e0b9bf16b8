// The delete engine of TBrowser: the marked entries (or the cursor entry), folders as whole
// trees, files before sub-folders and each folder after its contents, with the browser's events
// for progress, the read-only question and errors. Busy is the stop switch.
//
// A folder the user declines (it is read-only and the answer is No) keeps its whole contents;
// walks never follow links (a link is removed as a link) and never go into another mounted file
// system (a chosen folder that is itself a mount point is refused through OnDeleteRefused), so
// that deleting a tree can never reach what lies outside it.
#include "model/browser.h"
#include "platform/file_ops.h"
#include "platform/native_path.h"
#include "platform/process_messages.h"

#include <vector>

namespace corvane {

namespace {

bool MountPointAt(const std::string& model) {
  const auto native = platform::ModelToNative(model);
  return !native || platform::IsMountPoint(*native);
}

} // namespace

bool TBrowser::AskDelete(const TFileEntry& entry, const std::string& fullPath) {
  if (!(entry.Attr & faReadOnly))
    return true;
  bool answer = false;
  if (OnDeleteConfirm)
    OnDeleteConfirm(TDeleteConfirm::ReadOnly, fullPath, answer);
  return answer;
}

void TBrowser::DeleteOneFile(const std::string& relPath) {
  const std::string full = ShownPathOf(relPath);
  if (OnDeleteFile)
    OnDeleteFile(full);
  if (!Source->DeleteFile(relPath) && OnDeleteError)
    OnDeleteError(full);
}

void TBrowser::DeleteTree(const std::string& folder, bool removeFolder) {
  const bool real = Kind == skFolder;
  std::vector<std::pair<std::string, TFileEntry>> pending;
  TFileEntry entry;
  const std::string prefix = folder + "\\";
  for (bool more = Source->FindFirst(prefix, entry); more && Busy; more = Source->FindNext(entry)) {
    const std::string path = prefix + entry.EntryName();
    if (entry.IsWalkableFolder())
      pending.emplace_back(path, entry);
    else if (AskDelete(entry, ShownPathOf(path)))
      DeleteOneFile(path);
  }
  for (auto it = pending.rbegin(); it != pending.rend() && Busy; ++it) {
    platform::ProcessMessages();
    if (real && MountPointAt(Root + it->first))
      continue; // another file system is mounted here: it is not part of this tree
    if (AskDelete(it->second, ShownPathOf(it->first)))
      DeleteTree(it->first, true);
  }
  if (removeFolder && Busy) {
    if (OnDeleteFile)
      OnDeleteFile(ShownPathOf(folder));
    Source->RemoveDir(folder);
  }
}

void TBrowser::DeleteOneEntry(int index) {
  if (!Busy || !ValidIndex(index))
    return;
  const TFileEntry entry = Entries[static_cast<size_t>(index - 1)];
  if (entry.IsUpEntry())
    return;
  const std::string relPath = Rel + entry.EntryName();
  if (entry.IsWalkableFolder() && Kind == skFolder && MountPointAt(Root + relPath)) {
    // Emptying it would delete what lies on the mounted volume.
    if (OnDeleteRefused)
      OnDeleteRefused(ShownPathOf(relPath));
    return;
  }
  const bool answer = AskDelete(entry, ShownPathOf(relPath));
  if (entry.IsWalkableFolder()) {
    if (answer)
      DeleteTree(relPath, true);
  } else if (answer) {
    DeleteOneFile(relPath);
  }
}

void TBrowser::DeleteSelection() {
  if (Busy || !Source)
    return;
  Busy = true;
  const std::string cursorName = EntryName(Cursor);
  std::string neighbour;
  if (ValidIndex(Cursor) && Cursor < Count())
    neighbour = EntryName(Cursor + 1);
  else if (Cursor >= 2)
    neighbour = EntryName(Cursor - 1);
  {
    const TOperationScope operation(*this);
    Source->BeginDelete();
    if (OnDeleteBegin)
      OnDeleteBegin();
    if (MarkedCount > 0) {
      for (int i = 1; i <= Count() && Busy; ++i)
        if (Entries[static_cast<size_t>(i - 1)].Marked)
          DeleteOneEntry(i);
    } else if (ValidIndex(Cursor)) {
      DeleteOneEntry(Cursor);
    }
    Source->EndDelete();
  }
  Refresh();
  int index = FindEntry(cursorName);
  if (index == 0 && !neighbour.empty())
    index = FindEntry(neighbour);
  Cursor = index > 0 ? index : (Count() > 0 ? 1 : 0);
  if (OnDeleteEnd)
    OnDeleteEnd();
  Busy = false;
}

} // namespace corvane
