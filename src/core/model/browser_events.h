// TBrowserEvents: the events through which the browser's operations reach the user interface.
//
// The browser never draws and never asks anything itself; progress, questions and errors go out
// through these members, each raised only when set. A dialog binds the events it needs for one
// operation with TScopedEvent, which puts the previous handler back on every way out, so that no
// handler outlives the dialog it calls into.
#pragma once

#include "model/file_entry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace corvane {

// One call of OnArchiverWait: which archiver works on which archive, and whether it still runs.
struct TArchiverWait {
  std::string Archive; // the archive as the panels show it
  std::string Program; // the archiver, as its command line names it
  bool Running = true; // false once, when it has ended: a window shown for the run can go
};

// What an overwrite question is about.
enum class TCopyConfirm { Exists = 1, ExistsReadOnly = 2 };
// What a copy or move reports: one file failed, a folder would go into itself, a target folder
// cannot be made; or a message of an archive source (its library's or its archiver's).
enum class TCopyError { FileFailed = 1, IntoItself = 3, FolderNotMade = 4, ArchiveMessage = 5 };
// What a delete question is about.
enum class TDeleteConfirm { ReadOnly = 1 };

class TBrowserEvents {
public:
  // Copy and move.
  std::function<void(const std::string& sourceFolder, int64_t totalBytes)> OnCopyBegin;
  std::function<void(const std::string& source, const std::string& target, int64_t size)>
      OnCopyFirstBlock;
  std::function<void(int64_t done, int64_t size)> OnCopyOneBlock;
  // Answer true overwrites.
  std::function<void(TCopyConfirm kind, const std::string& target, bool& answer)> OnCopyConfirm;
  // The path of what failed, or for ArchiveMessage the message.
  std::function<void(TCopyError kind, const std::string& pathOrMessage)> OnCopyError;
  std::function<void()> OnCopyFileEnd;
  std::function<void()> OnCopyEnd;
  // Find files.
  std::function<void(const std::string& folder)> OnSearchFolder;
  std::function<void(const std::string& folder, const TFileEntry& entry)> OnSearchFound;
  // Delete.
  std::function<void()> OnDeleteBegin;
  std::function<void(const std::string& path)> OnDeleteFile;
  std::function<void(TDeleteConfirm kind, const std::string& path, bool& answer)> OnDeleteConfirm;
  std::function<void(const std::string& path)> OnDeleteError;
  // A folder that is itself a mount point was chosen: deleting its contents would empty the
  // mounted volume, so it is refused and kept.
  std::function<void(const std::string& path)> OnDeleteRefused;
  std::function<void()> OnDeleteEnd;
  // Archive sources.
  std::function<void()> OnArchiveReadBegin;
  std::function<void()> OnArchiveReadEntry;
  std::function<void()> OnArchiveReadEnd;
  std::function<void(const std::string& prompt, std::string& password)> OnPassword;
  std::function<void(int archiveType, bool& longNames, bool& oemCommand, bool& flag3)>
      OnArchiveMode;
  std::function<void(int archiveType, int line, int maxLength, std::string& text)>
      OnArchiveParameters;
  // Called again and again while an outside archiver runs, so that windows can repaint, and once
  // more when it has ended. The source being changed is in use: the handler must not let the user
  // act on the browser. Answering false asks for the archiver's end (the user cancelled); the
  // calls go on until it has ended, and the run is then reported as cancelled.
  std::function<bool(const TArchiverWait& wait)> OnArchiverWait;

protected:
  TBrowserEvents() = default;
  ~TBrowserEvents() = default;
};

// Binds one event for the lifetime of the object and restores the previous handler afterwards.
template <class TEvent> class TScopedEvent final {
public:
  TScopedEvent(TEvent& slot, TEvent handler)
      : Slot(slot), Saved(std::exchange(slot, std::move(handler))) {}
  TScopedEvent(const TScopedEvent&) = delete;
  TScopedEvent& operator=(const TScopedEvent&) = delete;
  ~TScopedEvent() { Slot = std::move(Saved); }

private:
  TEvent& Slot;
  TEvent Saved;
};

} // namespace corvane
