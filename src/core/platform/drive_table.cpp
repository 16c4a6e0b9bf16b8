#include "platform/drive_table.h"

#include <cctype>

namespace corvane::platform {

TDriveTable& TDriveTable::Instance() {
  static TDriveTable table;
  return table;
}

TDriveTable::TDriveTable() {
  Reload();
}

void TDriveTable::Reload() {
  DriveList.clear();
  DriveList.push_back(TDrive{'C', "/", TDriveKind::Fixed});
}

const TDrive* TDriveTable::Find(char letter) const {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const auto& drive : DriveList)
    if (drive.Letter == upper)
      return &drive;
  return nullptr;
}

const TDrive* TDriveTable::FindByNative(std::string_view nativePath) const {
  if (nativePath.empty() || nativePath.front() != '/')
    return nullptr;
  const TDrive* best = nullptr;
  for (const auto& drive : DriveList) {
    const std::string_view mount = drive.MountPoint;
    bool covers = false;
    if (mount == "/")
      covers = true;
    else if (nativePath.substr(0, mount.size()) == mount)
      covers = nativePath.size() == mount.size() || nativePath[mount.size()] == '/';
    if (covers && (!best || mount.size() > best->MountPoint.size()))
      best = &drive;
  }
  return best;
}

} // namespace corvane::platform
