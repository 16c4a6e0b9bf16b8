// TDiskInterface: a file source, anything a browser can list and change: a real folder tree or
// the inside of an archive.
//
// Sources are stacked: entering an archive pushes an archive source on top of the real one and
// leaving it pops it again, so each source owns the one below it (Parent). Paths handed to a
// source are model paths relative to its Root, except the outside path of the two copy
// operations. Failures are results, never exceptions; the callers turn them into the browser's
// events. The virtual operations keep the order in which the engines meet them.
#pragma once

#include "model/file_entry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class TBrowser;

enum TSourceKind : uint8_t { skFolder = 0, skArchive = 1 };

class TDiskInterface {
public:
  TDiskInterface(TBrowser* owner, uint8_t sourceKind, std::string root);
  TDiskInterface(const TDiskInterface&) = delete;
  TDiskInterface& operator=(const TDiskInterface&) = delete;
  virtual ~TDiskInterface();

  // 1. The first entry of a folder, or false when it is empty or cannot be listed.
  virtual bool FindFirst(std::string_view folder, TFileEntry& entry) = 0;
  // 2. The next entry, or false at the end (the enumeration is then closed).
  virtual bool FindNext(TFileEntry& entry) = 0;
  // The same listing for walks that look at names (find): an entry may carry only its name, its
  // kind and the folder bit, and CompleteEntry fills in the rest of the entry listed last (false
  // when it has vanished). Sources that list everything at no extra cost keep these.
  virtual bool FindFirstName(std::string_view folder, TFileEntry& entry) {
    return FindFirst(folder, entry);
  }
  virtual bool FindNextName(TFileEntry& entry) { return FindNext(entry); }
  virtual bool CompleteEntry(TFileEntry&) { return true; }
  // 3. Prepares to receive files with CopyIn.
  virtual bool BeginCopyIn(std::string_view sourceFolder, std::string_view targetFolder, int kind,
                           bool move);
  // 4. Copies one file of this source to an outside path; true on success and when the user
  //    declined to overwrite.
  virtual bool CopyOut(std::string_view name, std::string_view target, bool move);
  // One file to copy out with CopyOutMany, and whether it was.
  struct TCopyOutItem {
    std::string Name;   // relative to the source's root
    std::string Target; // the outside model path
    bool Done = false;  // copied, or the user declined to overwrite its target
  };
  // 4a. Copies many files out in one go, as CopyOut would each, with the same events; `finished`
  //     is called with each item's index once it is done with (copied, declined or failed). It
  //     ends early when the owner's Busy is cleared. A source that can read all of them in one
  //     pass (an archive) does so; this one copies them one by one.
  virtual void CopyOutMany(std::vector<TCopyOutItem>& items, bool move,
                           const std::function<void(size_t index)>& finished);
  // 5. Copies one outside file into this source.
  virtual bool CopyIn(std::string_view source, std::string_view name, bool move);
  // 6. Finishes what BeginCopyIn prepared.
  virtual bool EndCopyIn();
  // 7. Prepares a run of DeleteFile calls.
  virtual bool BeginDelete();
  // 8. True when the file is gone.
  virtual bool DeleteFile(std::string_view name) = 0;
  // 9. Finishes the delete run.
  virtual bool EndDelete();
  // 10. Makes a folder and gives it the attributes.
  virtual bool MakeDir(std::string_view name, uint16_t attr);
  // 11. Removes an empty folder.
  virtual bool RemoveDir(std::string_view name);

  // Why the last FindFirst found nothing: 0 for an empty folder, else the system's error number
  // (the folder is missing or cannot be read), so that callers can tell the two apart.
  int LastError = 0;

  std::unique_ptr<TDiskInterface> Parent; // the source below this one, if any
  uint8_t SourceKind;
  std::string SavedRelPath; // the owner's RelPath when a source was pushed on top of this one
  std::string Root;         // "C:\folder\" for a real source, the archive's path for an archive
  TBrowser* Owner;
};

} // namespace corvane
