// TStandartDiskInterface: the file source over the real file system.
//
// It turns its model paths into native ones only at the system call, lists with TDirReader (one
// enumeration at a time, closed at its end), and fills entries with 64-bit sizes, local times and
// the attribute mapping of file_attributes.h. Copying in and out goes through CopyFileBlocks.
#pragma once

#include "model/disk_interface.h"
#include "platform/dir_reader.h"

#include <optional>

namespace corvane {

class TStandartDiskInterface final : public TDiskInterface {
public:
  // "C" and "C:" both become "C:\"; a root always ends with "\".
  TStandartDiskInterface(TBrowser* owner, std::string_view root);

  bool FindFirst(std::string_view folder, TFileEntry& entry) override;
  bool FindNext(TFileEntry& entry) override;
  bool FindFirstName(std::string_view folder, TFileEntry& entry) override;
  bool CompleteEntry(TFileEntry& entry) override;
  bool CopyOut(std::string_view name, std::string_view target, bool move) override;
  bool CopyIn(std::string_view source, std::string_view name, bool move) override;
  bool DeleteFile(std::string_view name) override;
  bool MakeDir(std::string_view name, uint16_t attr) override;
  bool RemoveDir(std::string_view name) override;

  // The native path of a path relative to Root, or nothing when Root names no drive.
  std::optional<std::string> NativePath(std::string_view relative) const;
  // Fills an entry from a native name and its status.
  // Starts listing a folder (relative to the root) with the reader.
  bool OpenListing(std::string_view folder, bool namesOnly);
  static void FillEntry(const std::string& name, const platform::TFileStatus& status,
                        TFileEntry& entry);

private:
  platform::TDirReader Reader;
  std::string NameBuffer;
  platform::TFileStatus Status;
  bool NamesOnly = false; // the listing open gives names and kinds only
};

// The normal form of a real source's root: ":" added when missing, ending with "\".
std::string NormalizeSourceRoot(std::string_view root);

} // namespace corvane
