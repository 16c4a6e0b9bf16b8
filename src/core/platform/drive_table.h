// TDriveTable: the drive letters of the model paths and the native folders behind them.
//
// Every path inside the program keeps the form "C:\home\ann\": the algorithms that look at the
// first letter, the first three characters or the last "\" then work unchanged. The table maps
// each letter to the native mount point it stands for:
// - C: is "/", always present, fixed and ready;
// - A: and B: exist only for real floppy devices;
// - every other user-visible volume (block devices mounted outside the system's own folders,
//   everything under /media, /run/media and /mnt, remote file systems, optical drives even when
//   empty) gets the first free letter from D: and keeps it across runs in drives.ini, so that
//   saved paths and the folder history stay valid. A removable volume that is away keeps its
//   letter and shows as not ready; pseudo file systems never get one.
// Native paths become model paths through the mounted drive with the longest mount-point prefix,
// so a file on a stick shows under the stick's letter.
//
// The table reads /proc/self/mountinfo, /sys and $XDG_CONFIG_HOME/corvane/drives.ini. With
// CORVANE_DRIVES=<folder> it reads <folder>/mountinfo, <folder>/sys/ and <folder>/drives.ini
// instead (and labels from <folder>/by-label/), which is how tests lay out machines of their own.
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
  bool Mounted = true; // its volume is there now; an absent removable drive is not
  std::string Device;  // the block device ("/dev/sdb1") when known, for the volume label
};

// Where the table reads the machine from.
struct TDriveSources {
  std::string MountInfo;
  std::string SysRoot;
  std::string KeptFile; // drives.ini
  std::string ByLabel;  // the folder of volume-label links

  // The real machine, or the CORVANE_DRIVES fixture folder when that is set.
  static TDriveSources FromEnvironment();
};

class TDriveTable final {
public:
  static TDriveTable& Instance();

  // Rebuilds the table from the sources (from the environment when none are given), and records
  // newly seen volumes in the kept-letters file.
  void Reload();
  void Reload(const TDriveSources& sources);

  // Ordered by letter.
  const std::vector<TDrive>& Drives() const { return DriveList; }
  // The drive of a letter in either case, or nullptr.
  const TDrive* Find(char letter) const;
  // The mounted drive whose mount point is the longest whole-component prefix of an absolute
  // native path, or nullptr for a relative path.
  const TDrive* FindByNative(std::string_view nativePath) const;
  // The folder of volume-label links the table was read with.
  const std::string& ByLabelFolder() const { return ByLabel; }

private:
  TDriveTable();
  std::vector<TDrive> DriveList;
  std::string ByLabel;
};

const char* DriveKindName(TDriveKind kind);

} // namespace corvane::platform
