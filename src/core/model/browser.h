// TBrowser: the listing model behind every file panel and every dialog that walks files.
//
// It owns a stack of file sources (a real folder tree at the bottom, one archive source for every
// archive entered), reads the shown folder of the top source, filters and sorts it, and keeps the
// cursor and the marked entries with their byte totals. It never draws and never asks; questions
// and progress go out through TBrowserEvents.
//
// Reading builds each entry's sort key once into one flat buffer, sorts positions by those keys
// (stably, with the raw name bytes as the last tie-breaker, so equal keys such as "Readme" and
// "README" always come out in the same order), and keeps the listing as one exactly sized vector:
// no per-entry allocation beyond the names, and nothing kept that sorting alone needed.
//
// Indexes are 1-based as the panels count them; an index outside 1..Count() makes accessors
// return nothing and operations do nothing. The ".." entry comes first in every folder below the
// bottom source's root.
#pragma once

#include "model/browser_events.h"
#include "model/disk_interface.h"
#include "model/file_entry.h"
#include "model/sort_key.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class TBrowser final : public TBrowserEvents {
public:
  TBrowser();
  TBrowser(const TBrowser&) = delete;
  TBrowser& operator=(const TBrowser&) = delete;
  ~TBrowser();

  // Closes every source, then opens one.
  bool SetRoot(std::string_view root, uint8_t kind, std::string_view relPath);
  // Pushes a source over `root` (a folder for kind 0, an archive file for kind 1) showing
  // `relPath`, and reads it. False, with nothing changed, when the source cannot be made.
  bool OpenSource(uint8_t kind, std::string_view root, std::string_view relPath);
  // Pushes a source made by the caller (an archive opened directly, a source for tests).
  bool OpenSource(std::unique_ptr<TDiskInterface> source, std::string_view relPath);
  // Pops the top source; the paths of the one below come back. False when none was open.
  bool CloseSource();
  // Rebuilds the listing: marks and totals cleared, Cursor on the first entry.
  bool ReadFolder();
  // Enters a folder entry (".." goes up).
  bool EnterFolder(int index);
  // One folder up, or out of an archive at its root, with the cursor on the place left.
  bool GoUp();
  // Re-reads, keeping the cursor entry and the marks by name.
  bool Refresh();
  // Renames an entry of a real source in place; the listing is not re-sorted.
  bool RenameEntry(int index, std::string_view newName);

  TFileEntry* GetEntry(int index);
  const TFileEntry* GetEntry(int index) const;
  std::string EntryName(int index) const;
  bool IsFolder(int index) const;
  bool IsMarked(int index) const;
  void ToggleMark(int index);
  // The index of the entry with exactly this name, or 0.
  int FindEntry(std::string_view name) const;

  // Bytes of every file below a folder (relative to the source's root), links not followed.
  int64_t FolderSize(std::string_view relFolder);
  // Computes a folder entry's size into its Size (for ".." the shown folder's own size).
  bool EntryFolderSize(int index);
  // Marked entries' bytes with their folders computed, or the cursor entry's when none is marked.
  int64_t SelectionSize();
  // Finds the entries below a folder (relative to the source's root; "" is the root) whose names
  // match the masks, folders too: OnSearchFolder before each folder's entries are listed,
  // OnSearchFound for each hit. A folder's entries come in listing order, then its sub-folders
  // depth first, the last listed first. Links to folders and proc-like file systems are not
  // entered. Runs with Busy set (nothing happens when it already is); StopOperation ends it, and
  // waiting messages run between folders and in long folders, so a Stop button stays alive.
  void SearchTree(std::string_view startFolder, std::string_view masks);
  // Shows another folder of the top source (relative to its root) and reads it: 0, or the
  // system's error number when it cannot be listed, and the folder shown before comes back.
  int ShowFolder(std::string_view relPath);
  // Moves Cursor to the next entry matching the mask, wrapping; unchanged when none matches.
  void FindNextMatch(std::string_view mask);
  static bool MatchesMask(std::string_view name, std::string_view masks);

  // Copies or moves the marked entries (or the cursor entry) to a typed target: a folder, a
  // folder to make ("name\"), or a folder plus a rename mask. False when it could not start.
  bool CopyToPath(std::string_view targetText, bool move);
  // The same to the folder another browser shows.
  bool CopyToBrowser(TBrowser& target, bool move);
  // Asks the running operation to stop after the current entry.
  void StopOperation();
  // Deletes the marked entries (or the cursor entry) for good, then re-reads the folder with the
  // cursor on the same name, the one after it, or the one before it.
  void DeleteSelection();

  // Whether an engine (copy, move, delete, folder size) is walking this browser's listing or
  // changing its source. Re-reading meanwhile would free entries and sources the engine still
  // works on, so SetRoot, OpenSource, CloseSource, ReadFolder, EnterFolder, GoUp, Refresh and
  // RenameEntry then change nothing and return false; callers try again when it has ended.
  bool InOperation() const { return Operations > 0; }

  TDiskInterface* CurrentSource() const { return Source.get(); }
  int Count() const { return static_cast<int>(Entries.size()); }
  int64_t TotalBytes() const { return Total; }
  int SelectedCount() const { return MarkedCount; }
  int64_t SelectedBytes() const { return MarkedBytes; }
  bool AtRoot() const { return IsAtRoot; }
  const std::string& RelPath() const { return Rel; }
  const std::string& RootPath() const { return Root; }
  // The shown folder as the user reads it: RootPath + RelPath, with a "\" between an archive's
  // path and the folder inside it.
  std::string ShownPath() const { return ShownPathOf(Rel); }
  // A path below the root as the user reads it, the same way.
  std::string ShownPathOf(std::string_view rel) const {
    return (Kind == skArchive ? Root + "\\" : Root) + std::string(rel);
  }
  // 0 when the last ReadFolder could list the folder, else the system's error number.
  int ReadError() const { return LastReadError; }
  uint8_t SourceKind() const { return Kind; }

  // Settings the owner changes; they take effect at the next ReadFolder.
  bool Busy = false; // a long operation runs; clearing it asks the operation to stop
  std::string Mask = "*.*";
  std::string WorkFolder;          // handed to archive sources for their auxiliary files
  std::string CodePage = "IBM437"; // of names in archives written on DOS, for archive sources
  int Cursor = 0;                  // 1-based; 0 when the listing is empty
  uint8_t SortMode = smReadingOrder;
  bool ShowHidden = false;
  bool FoldersFirst = false;
  bool ExecutablesFirst = false;

private:
  // Marks an engine's run for InOperation; runs nest.
  class TOperationScope final {
  public:
    explicit TOperationScope(TBrowser& browser) : Browser(browser) { ++Browser.Operations; }
    TOperationScope(const TOperationScope&) = delete;
    TOperationScope& operator=(const TOperationScope&) = delete;
    ~TOperationScope() { --Browser.Operations; }

  private:
    TBrowser& Browser;
  };

  bool ValidIndex(int index) const { return index >= 1 && index <= Count(); }
  std::unique_ptr<TDiskInterface> MakeSource(uint8_t kind, std::string_view root);
  void SortListing(std::vector<TFileEntry>& read, size_t first);
  bool CopyOneEntry(int index, const std::string& targetFolder, const std::string& mask, bool move);
  bool CopyTree(const std::string& sourceFolder, const std::string& targetFolder, bool move);
  // Makes (or keeps) a target folder with the source folder's attributes; false, reported as
  // FolderNotMade, when it cannot be made.
  bool MakeTargetFolder(const std::string& targetModel, uint16_t attr);
  // Out of an archive: the chosen files are taken out in one pass over it.
  void CopyOutOfArchive(const std::string& targetFolder);
  // The files below a folder of the source as copy-out items, their target folders made; false
  // when one of those could not be made (reported).
  bool GatherTree(const std::string& sourceFolder, const std::string& targetFolder,
                  std::vector<TDiskInterface::TCopyOutItem>& items);
  void CopyTreeInto(TDiskInterface& into, const std::string& sourceFolder,
                    const std::string& targetFolder, bool move);
  // Whether a folder of a real source is the top of a proc, sysfs or like file system.
  bool IntoPseudoFileSystem(const std::string& relFolder) const;
  bool AskDelete(const TFileEntry& entry, const std::string& fullPath);
  void DeleteOneFile(const std::string& relPath);
  void DeleteTree(const std::string& folder, bool removeFolder);
  void DeleteOneEntry(int index);

  std::vector<TFileEntry> Entries;
  std::unique_ptr<TDiskInterface> Source;
  int64_t Total = 0;
  int MarkedCount = 0;
  int64_t MarkedBytes = 0;
  bool IsAtRoot = false;
  int LastReadError = 0;
  std::string Rel;
  std::string Root;
  uint8_t Kind = skFolder;
  int Operations = 0;
};

} // namespace corvane
