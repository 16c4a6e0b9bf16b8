// TDriveTable: the drive letters of the model paths and the native folders behind them.
//
// Every path inside the program keeps the form "C:\home\ann\": the algorithms that look at the
// first letter, the first three characters or the last "\" then work unchanged. The table maps
// each letter to the native mount point it stands for; C: is "/" and is always present, fixed and
// ready. Native paths are turned into model paths through the mount point with the longest prefix,
// so a file on a mounted stick shows under the stick's own letter.
//
// The table is one process-wide object built on first use. This first version knows only C:; the
// volume scan (mountinfo, sysfs, kept letters) fills the same interface.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

enum class TDriveKind { Removable, Fixed, Remote, CdRom, RamDisk };

struct TDrive {
  char Letter = 'C';      // upper case
  std::string MountPoint; // native folder, no trailing "/" except for "/" itself
  TDriveKind Kind = TDriveKind::Fixed;
};

class TDriveTable final {
public:
  static TDriveTable& Instance();

  // Rebuilds the table from the system.
  void Reload();

  // Ordered by letter.
  const std::vector<TDrive>& Drives() const { return DriveList; }
  // The drive of a letter in either case, or nullptr.
  const TDrive* Find(char letter) const;
  // The drive whose mount point is the longest whole-component prefix of an absolute native path,
  // or nullptr for a relative path.
  const TDrive* FindByNative(std::string_view nativePath) const;

private:
  TDriveTable();
  std::vector<TDrive> DriveList;
};

} // namespace corvane::platform
