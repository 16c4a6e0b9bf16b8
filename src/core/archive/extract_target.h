// Writing extracted entries without ever leaving the target folder or losing a file.
//
// Every folder below the target is opened component by component with O_NOFOLLOW, so no write
// follows a symbolic link, whatever the archive put there before. A new file is created with
// O_EXCL; a file that exists is replaced only when the new one is complete (written to a temporary
// file beside it, then renamed over it). A file whose data turns out bad is removed, so a failed
// entry leaves nothing half-written behind.
#pragma once

#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane::archive {

class TExtractTarget {
public:
  // Opens the target folder, creating it and its parents when missing. errNone or errCreateDir.
  int Open(const std::string& nativeDir);

  // The folder below the target named by the first `count` components, created as needed.
  // Returns a descriptor owned by this object (valid until the next call), or -1 with error set
  // (errCreateDir: cannot be made, or a link or file is in the way).
  int Folder(const std::vector<std::string>& components, size_t count, int& error);
  int Root() const { return RootFd.Get(); }

private:
  platform::TUniqueFd RootFd;
  // The folders of the last request, each opened from the one before.
  std::vector<std::string> OpenNames;
  std::vector<platform::TUniqueFd> OpenFds;
};

// What is at a name inside a folder, without following a link.
enum class TExisting { None, File, Folder, Other };
TExisting ExistingAt(int folderFd, const std::string& name);

class TOutputFile {
public:
  TOutputFile() = default;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;
  ~TOutputFile() { Discard(); }

  // Starts the file `name` in the folder. replace: a file of that name exists and is to be
  // replaced at Commit. errNone or errWriteFile (errno kept).
  int Create(int folderFd, const std::string& name, bool replace);
  // errNone, errDiskFull or errWriteFile.
  int Write(const uint8_t* data, size_t size);
  // Gives the file its mode (permission bits; the process umask applies, set-id bits never) and,
  // when setTime, its modification time, then puts it in place. errNone or errCloseFile.
  int Commit(mode_t mode, bool setTime, int64_t unixTime);
  // Removes what was written (nothing happens after Commit).
  void Discard();

private:
  int FolderFd = -1;
  std::string Name;
  std::string WrittenName; // the temporary name when replacing, else Name
  platform::TUniqueFd Fd;
};

// A symbolic link entry, replacing an existing non-folder entry of that name when replace.
int CreateLink(int folderFd, const std::string& name, const std::string& target, bool replace);

// A hard link `name` in the folder to the file fromName in fromFolderFd (never a folder; a link is
// linked as itself), replacing an existing non-folder entry of that name when replace only once
// the link exists. errNone, errFileNotFound (nothing to link to) or errWriteFile.
int CreateHardLink(int fromFolderFd, const std::string& fromName, int folderFd,
                   const std::string& name, bool replace);

// The mode a file gets from the stored permission bits: the umask applies, set-id and sticky bits
// never; read-only clears the write bits.
mode_t ExtractedMode(bool hasMode, uint32_t storedMode, bool readOnly, bool folder);

} // namespace corvane::archive
