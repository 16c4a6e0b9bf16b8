// The copy and move engine of TBrowser: the marked entries (or the cursor entry) go to a folder
// typed as text or shown by another browser, folders as whole trees, with the browser's events
// for progress, questions and errors. Busy is the stop switch, tested before every entry.
//
// Safety comes first: a folder is never copied into itself (checked by device and inode along the
// target's folders, whatever letters or links name them), walks never follow links (a link is
// copied as a link), and the file copy itself (CopyFileBlocks) never loses a file.
#include "model/browser.h"
#include "model/name_mask.h"
#include "model/path_utils.h"
#include "platform/at_path.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/native_path.h"
#include "platform/process_messages.h"

#include <sys/stat.h>

#include <vector>

namespace corvane {

namespace {

// Whether the native folder `target` (existing or not) lies inside the folder `source` or is it.
bool InsideOf(const std::string& source, std::string target) {
  struct stat from {};
  if (::stat(source.c_str(), &from) != 0)
    return false;
  while (!target.empty()) {
    struct stat at {};
    if (::stat(target.c_str(), &at) == 0 && at.st_dev == from.st_dev && at.st_ino == from.st_ino)
      return true;
    if (target == "/")
      break;
    const size_t slash = target.rfind('/');
    if (slash == std::string::npos)
      break;
    target.resize(slash == 0 ? 1 : slash);
  }
  return false;
}

} // namespace

void TBrowser::StopOperation() {
  Busy = false;
}

bool TBrowser::CopyTree(const std::string& sourceFolder, const std::string& targetFolder,
                        bool move) {
  std::vector<std::pair<std::string, uint16_t>> pending;
  TFileEntry entry;
  bool ok = true;
  for (bool more = Source->FindFirst(sourceFolder, entry); more && Busy;
       more = Source->FindNext(entry)) {
    const std::string name = entry.EntryName();
    if (entry.IsWalkableFolder()) {
      const auto native = platform::ModelToNative(targetFolder + name);
      if (native && (platform::MakeFolder(*native) || errno == EEXIST))
        platform::SetFileAttributes(*native, entry.Attr);
      pending.emplace_back(name, entry.Attr);
    } else if (!Source->CopyOut(sourceFolder + name, targetFolder + name, move)) {
      ok = false;
      if (OnCopyError)
        OnCopyError(TCopyError::FileFailed, targetFolder + name);
    }
  }
  // Files of a folder first, then its sub-folders, latest found first.
  for (auto it = pending.rbegin(); it != pending.rend() && Busy; ++it) {
    platform::ProcessMessages();
    if (!CopyTree(sourceFolder + it->first + "\\", targetFolder + it->first + "\\", move))
      ok = false;
    if (move)
      Source->RemoveDir(sourceFolder + it->first);
  }
  return ok;
}

bool TBrowser::CopyOneEntry(int index, const std::string& targetFolder, const std::string& mask,
                            bool move) {
  if (!Busy)
    return false;
  // A copy: the walk below lets waiting messages run.
  const TFileEntry entry = Entries[static_cast<size_t>(index - 1)];
  const std::string name = entry.EntryName();
  const std::string targetName = mask.empty() ? name : ApplyNameMask(name, mask);
  if (!entry.IsWalkableFolder()) {
    // Files, and links of any kind, which are copied as links.
    if (Source->CopyOut(Rel + name, targetFolder + targetName, move))
      return true;
    if (OnCopyError)
      OnCopyError(TCopyError::FileFailed, targetFolder + name);
    return false;
  }
  const std::string sourceModel = Root + Rel + name;
  const std::string targetModel = targetFolder + targetName;
  if (InsideOf(platform::ModelToNativeFolder(sourceModel),
               platform::ModelToNativeFolder(targetModel))) {
    if (OnCopyError)
      OnCopyError(TCopyError::IntoItself, targetModel + "\\");
    return false;
  }
  const auto sourceNative = platform::ModelToNative(sourceModel);
  const auto targetNative = platform::ModelToNative(targetModel);
  if (move && sourceNative && targetNative &&
      UpCaseAscii(sourceModel[0]) == UpCaseAscii(targetModel[0]) &&
      platform::RenameNoReplace(*sourceNative, *targetNative))
    return true;
  if (!targetNative || (!platform::MakeFolder(*targetNative) && errno != EEXIST)) {
    if (OnCopyError)
      OnCopyError(TCopyError::FolderNotMade, targetModel);
    return false;
  }
  platform::SetFileAttributes(*targetNative, entry.Attr);
  const bool ok = CopyTree(Rel + name + "\\", targetModel + "\\", move);
  if (move)
    Source->RemoveDir(Rel + name);
  return ok;
}

bool TBrowser::CopyToPath(std::string_view targetText, bool move) {
  if (Busy || !Source)
    return false;
  Busy = true;
  const TOperationScope operation(*this);
  // Relative targets are taken from the shown folder; inside an archive there is none to take.
  const std::optional<std::string> typed =
      platform::TypedToModel(targetText, Kind == skFolder ? Root + Rel : std::string());
  if (!typed) {
    Busy = false;
    return false;
  }
  std::string target = *typed;
  std::string targetFolder;
  std::string mask;
  platform::TFileStatus status;
  if (!target.empty() && target.back() == '\\') {
    target.pop_back();
    const auto native = platform::ModelToNative(target);
    if (!native || (!platform::StatPath(*native, status) && !platform::MakeFolder(*native))) {
      Busy = false;
      return false;
    }
    targetFolder = target + "\\";
  } else if (const auto native = platform::ModelToNative(target);
             native && platform::StatPath(*native, status) && status.IsFolder()) {
    targetFolder = target + "\\";
  } else {
    std::tie(targetFolder, mask) = SplitPath(target);
  }
  if (!mask.empty() && Kind == skArchive) {
    Busy = false;
    return false;
  }
  const int64_t total = SelectionSize();
  if (OnCopyBegin)
    OnCopyBegin(ShownPath(), total);
  if (Kind == skArchive) {
    CopyOutOfArchive(targetFolder);
  } else if (MarkedCount > 0) {
    for (int i = 1; i <= Count(); ++i) {
      platform::ProcessMessages();
      if (Entries[static_cast<size_t>(i - 1)].Marked && CopyOneEntry(i, targetFolder, mask, move))
        ToggleMark(i);
    }
  } else if (ValidIndex(Cursor) && !Entries[static_cast<size_t>(Cursor - 1)].IsUpEntry()) {
    CopyOneEntry(Cursor, targetFolder, mask, move);
  }
  if (OnCopyEnd)
    OnCopyEnd();
  Busy = false;
  return true;
}

bool TBrowser::MakeTargetFolder(const std::string& targetModel, uint16_t attr) {
  const auto native = platform::ModelToNative(targetModel);
  if (!native || (!platform::MakeFolder(*native) && errno != EEXIST)) {
    if (OnCopyError)
      OnCopyError(TCopyError::FolderNotMade, targetModel);
    return false;
  }
  platform::SetFileAttributes(*native, attr);
  return true;
}

bool TBrowser::GatherTree(const std::string& sourceFolder, const std::string& targetFolder,
                          std::vector<TDiskInterface::TCopyOutItem>& items) {
  std::vector<std::pair<std::string, uint16_t>> folders;
  TFileEntry entry;
  for (bool more = Source->FindFirst(sourceFolder, entry); more; more = Source->FindNext(entry)) {
    const std::string name = entry.EntryName();
    if (entry.IsWalkableFolder())
      folders.emplace_back(name, entry.Attr);
    else
      items.push_back({sourceFolder + name, targetFolder + name});
  }
  bool ok = true;
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    if (!MakeTargetFolder(targetFolder + it->first, it->second) ||
        !GatherTree(sourceFolder + it->first + "\\", targetFolder + it->first + "\\", items))
      ok = false;
  return ok;
}

void TBrowser::CopyOutOfArchive(const std::string& targetFolder) {
  // Every chosen file is gathered first, folders of marked folders included, so that the source
  // reads the archive once, in its own order, for all of them. A move out of an archive copies:
  // the archive is not changed.
  struct TChosen {
    int Index;
    size_t Pending = 0;
    bool Failed = false;
  };
  std::vector<TChosen> chosen;
  std::vector<TDiskInterface::TCopyOutItem> items;
  std::vector<size_t> ownerOf; // item -> chosen entry
  const auto gather = [&](int index) {
    const TFileEntry& entry = Entries[static_cast<size_t>(index - 1)];
    const std::string name = entry.EntryName();
    chosen.push_back({index});
    const size_t first = items.size();
    if (!entry.IsWalkableFolder()) {
      items.push_back({Rel + name, targetFolder + name});
    } else if (!MakeTargetFolder(targetFolder + name, entry.Attr) ||
               !GatherTree(Rel + name + "\\", targetFolder + name + "\\", items)) {
      chosen.back().Failed = true;
    }
    chosen.back().Pending = items.size() - first;
    ownerOf.resize(items.size(), chosen.size() - 1);
  };
  if (MarkedCount > 0) {
    for (int i = 1; i <= Count(); ++i)
      if (Entries[static_cast<size_t>(i - 1)].Marked)
        gather(i);
  } else if (ValidIndex(Cursor) && !Entries[static_cast<size_t>(Cursor - 1)].IsUpEntry()) {
    gather(Cursor);
  }
  std::vector<bool> finished(items.size(), false);
  const auto settle = [&](TChosen& one) {
    // A marked entry is unmarked once everything of it was copied.
    if (one.Pending == 0 && !one.Failed && Entries[static_cast<size_t>(one.Index - 1)].Marked)
      ToggleMark(one.Index);
  };
  const auto finish = [&](size_t index) {
    if (finished[index])
      return;
    finished[index] = true;
    TChosen& one = chosen[ownerOf[index]];
    if (!items[index].Done) {
      one.Failed = true;
      if (OnCopyError)
        OnCopyError(TCopyError::FileFailed, items[index].Target);
    }
    --one.Pending;
    settle(one);
  };
  for (TChosen& one : chosen)
    settle(one); // marked folders without files
  if (!items.empty())
    Source->CopyOutMany(items, false, finish);
  // What the source never came to (a stop, a fault of the whole archive) was not copied; after a
  // stop that is no failure to report.
  for (size_t i = 0; i < items.size() && Busy; ++i)
    finish(i);
}

void TBrowser::CopyTreeInto(TDiskInterface& into, const std::string& sourceFolder,
                            const std::string& targetFolder, bool move) {
  std::vector<std::pair<std::string, uint16_t>> folders;
  TFileEntry entry;
  for (bool more = Source->FindFirst(sourceFolder, entry); more && Busy;
       more = Source->FindNext(entry)) {
    const std::string name = entry.EntryName();
    if (entry.IsWalkableFolder())
      folders.emplace_back(name, entry.Attr);
    else
      into.CopyIn(Root + sourceFolder + name, targetFolder + name, move);
  }
  for (auto it = folders.rbegin(); it != folders.rend() && Busy; ++it) {
    platform::ProcessMessages();
    into.MakeDir(targetFolder + it->first, it->second);
    CopyTreeInto(into, sourceFolder + it->first + "\\", targetFolder + it->first + "\\", move);
    if (move)
      Source->RemoveDir(sourceFolder + it->first);
  }
}

bool TBrowser::CopyToBrowser(TBrowser& target, bool move) {
  if (Busy)
    return false;
  if (target.SourceKind() == skFolder)
    return CopyToPath(target.RootPath() + target.RelPath(), move);
  // Into an archive: the files are collected, and the archive is written once at the end.
  TDiskInterface* into = target.CurrentSource();
  if (Kind == skArchive || !Source || !into || target.InOperation())
    return false; // from one archive into another is not supported
  Busy = true;
  // The target's source is being changed: it must not be closed or re-read meanwhile either.
  const TOperationScope operation(*this);
  const TOperationScope targetOperation(target);
  if (!into->BeginCopyIn(Root + Rel, target.RelPath(), 0, move)) {
    Busy = false;
    return false;
  }
  if (OnCopyBegin)
    OnCopyBegin(Root + Rel, SelectionSize());
  const auto copyEntry = [&](int index) {
    const TFileEntry entry = Entries[static_cast<size_t>(index - 1)];
    const std::string name = entry.EntryName();
    if (entry.IsWalkableFolder()) {
      into->MakeDir(target.RelPath() + name, entry.Attr);
      CopyTreeInto(*into, Rel + name + "\\", target.RelPath() + name + "\\", move);
      if (move)
        Source->RemoveDir(Rel + name);
    } else {
      into->CopyIn(Root + Rel + name, target.RelPath() + name, move);
    }
  };
  if (MarkedCount > 0) {
    for (int i = 1; i <= Count() && Busy; ++i) {
      platform::ProcessMessages();
      if (Entries[static_cast<size_t>(i - 1)].Marked) {
        copyEntry(i);
        ToggleMark(i);
      }
    }
  } else if (ValidIndex(Cursor) && !Entries[static_cast<size_t>(Cursor - 1)].IsUpEntry()) {
    copyEntry(Cursor);
  }
  into->EndCopyIn();
  if (OnCopyEnd)
    OnCopyEnd();
  Busy = false;
  return true;
}

} // namespace corvane
