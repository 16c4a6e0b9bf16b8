// TARCDiskInterface: the file source over the inside of an archive file.
//
// The archive's directory is read once, when the source is made, and kept as a list of entries
// with their folders inside the archive; every folder that holds files is listed, whether or not
// the archive stores an entry for it. Taking a file out runs the extractor of the archive's
// detected type on exactly that entry (chosen by its place in the archive, never by a name mask,
// which could match other entries). Putting files in and deleting them runs an outside archiver
// with a list file naming the files, and the directory is read again afterwards.
//
// The archiver runs from an argument list, never a shell; its output goes to "archiver.log" in the
// work folder, and a missing archiver or one that fails is reported (an archive holds the user's
// data: silence would be a failure reported as success). What happens to the files of a move is
// the archiver's business, and it keeps them unless it archived them. Only regular files are put
// into a list (an archiver follows links and blocks on FIFOs); a delete lists exactly the members
// chosen, and a folder stored as an entry only once nothing under it stays. While the archiver
// runs, the owner's OnArchiverWait may cancel it: it is asked to end, killed after a grace period,
// the run is reported as cancelled and the archive read again as the archiver left it.
//
// Library faults and archiver failures reach the owner's OnCopyError as an ArchiveMessage.
#pragma once

#include "archive/archive_types.h"
#include "model/disk_interface.h"
#include "platform/launcher.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace corvane {

namespace archive {
class TUnBase;
class TZipTV;
} // namespace archive

class TARCDiskInterface final : public TDiskInterface {
public:
  // Reads the archive's directory. A file that does not exist gives an empty source (an archive
  // about to be made); nothing (after the fault was reported) when the archive cannot be read.
  static std::unique_ptr<TARCDiskInterface> Open(TBrowser* owner, std::string_view archivePath);
  ~TARCDiskInterface() override;

  bool FindFirst(std::string_view folder, TFileEntry& entry) override;
  bool FindNext(TFileEntry& entry) override;
  bool CopyOut(std::string_view name, std::string_view target, bool move) override;
  // Reads the archive once, in its own order, and writes each chosen entry to its target.
  void CopyOutMany(std::vector<TCopyOutItem>& items, bool move,
                   const std::function<void(size_t index)>& finished) override;
  bool BeginCopyIn(std::string_view sourceFolder, std::string_view targetFolder, int kind,
                   bool move) override;
  bool CopyIn(std::string_view source, std::string_view name, bool move) override;
  bool EndCopyIn() override;
  bool BeginDelete() override;
  bool DeleteFile(std::string_view name) override;
  bool EndDelete() override;
  bool RemoveDir(std::string_view name) override;

  archive::TArcType ArchiveType() const { return Type; }
  // The kind of archive to make when the file does not exist yet (its name may have no
  // extension to tell); an existing archive keeps the type read from it.
  void SetNewArchiveType(archive::TArcType type) {
    if (Items.empty() && !Reader)
      Type = type;
  }
  // Folder for the list files and the archiver's log (a model path); the owner's WorkFolder.
  std::string WorkFolder;
  // Code page of names written on DOS; the owner's CodePage.
  std::string CodePage = "IBM437";
  // How an archiver the user cancels is ended (tests shorten the grace period).
  platform::TStopPolicy StopPolicy;

private:
  struct TItem {
    TFileEntry Entry;
    std::string Folder;  // inside the archive, "" or ending in "\"
    uint64_t Record = 0; // the entry's place in the archive, for extracting exactly it
    bool Stored = false; // the archive holds an entry for it (folders may exist only by files)
  };

  TARCDiskInterface(TBrowser* owner, std::string archivePath);
  // Reads the directory into the item list; false after reporting when the archive is unreadable.
  bool ReadDirectory();
  void Collect();
  void AddItem(TItem item);
  // A lasting copy of `path` for a key of Paths.
  std::string_view KeepPath(std::string_view path);
  void Report(int code, const std::string& name);
  bool CreateListFile();
  // One name of the list, "/"-separated; false (nothing written) for a name no list can carry.
  bool WriteListLine(std::string name);
  bool RunArchiver(int mode, const std::string& workFolder);
  void ReportLeftOut();
  // True when every stored entry under `folder` (an inner path) is in the delete run's list.
  bool NothingStaysIn(const std::string& folder) const;
  void DropListFile();

  std::string NativeArchive;
  archive::TArcType Type = archive::TArcType::atNA;
  std::unique_ptr<archive::TZipTV> Reader;
  std::unique_ptr<archive::TUnBase> Extractor;

  std::vector<TItem> Items;                                       // in the archive's order
  std::unordered_map<std::string, std::vector<uint32_t>> Folders; // folder → items, archive order
  // folder + name → item; the keys are views into PathText, which never moves them.
  std::unordered_map<std::string_view, size_t> Paths;
  std::vector<std::unique_ptr<char[]>> PathText;
  size_t PathTextLeft = 0;
  char* PathTextAt = nullptr;
  // While reading: the folder of the entry before, and scratch for the entry being collected.
  std::string LastFolder;
  std::string FolderOfEntry;
  std::vector<std::string_view> Parts;
  const std::vector<uint32_t>* Listing = nullptr; // the folder being enumerated, walked backwards
  size_t Position = 0;

  // The copy-in or delete run in progress.
  // What OnArchiveMode answers. Both change nothing here: there are no short names to pass
  // instead of long ones, and names go to the archiver as they are on disk.
  bool LongNames = false;
  bool OemCommand = false;
  bool MoveRun = false;
  bool SubFolders = false;
  std::string SourceFolder; // model path ending in "\"
  std::string TargetPrefix; // folder inside the archive for the files added, "/"-separated
  std::string ListPath;     // native
  std::FILE* List = nullptr;
  int ListLines = 0;
  enum TLeftOutReason { lrPattern, lrNotAFile };
  struct TLeftOut {
    std::string Source;
    TLeftOutReason Reason;
  };
  std::vector<TLeftOut> LeftOut; // sources of the copy-in run that were not listed
  // The delete run: inner paths listed so far, and the stored folders whose contents were gone
  // through, decided on at its end.
  std::unordered_set<std::string> Deleted;
  std::vector<std::string> EmptiedFolders;
};

} // namespace corvane
