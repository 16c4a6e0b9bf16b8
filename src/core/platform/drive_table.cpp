#include "platform/drive_table.h"

#include "platform/atomic_file.h"
#include "platform/mount_table.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>

namespace corvane::platform {

namespace {

constexpr std::array<const char*, 5> KindNames = {"removable", "fixed", "remote", "cdrom",
                                                  "ramdisk"};

std::optional<TDriveKind> KindFromName(std::string_view name) {
  for (size_t i = 0; i < KindNames.size(); ++i)
    if (name == KindNames[i])
      return static_cast<TDriveKind>(i);
  return std::nullopt;
}

bool Under(std::string_view path, std::string_view folder) {
  return path.substr(0, folder.size()) == folder &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

bool UnderAny(std::string_view path, std::initializer_list<std::string_view> folders) {
  return std::any_of(folders.begin(), folders.end(),
                     [&](std::string_view folder) { return Under(path, folder); });
}

bool OneOf(std::string_view text, std::initializer_list<std::string_view> words) {
  return std::find(words.begin(), words.end(), text) != words.end();
}

bool IsPseudoFs(std::string_view type) {
  return OneOf(type, {"proc",       "sysfs",       "devtmpfs",  "devpts",      "cgroup",
                      "cgroup2",    "autofs",      "mqueue",    "debugfs",     "tracefs",
                      "securityfs", "pstore",      "bpf",       "configfs",    "fusectl",
                      "hugetlbfs",  "binfmt_misc", "efivarfs",  "squashfs",    "overlay",
                      "nsfs",       "rpc_pipefs",  "selinuxfs", "fuse.portal", "fuse.lxcfs"});
}

bool IsRemoteFs(std::string_view type) {
  return OneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "afs", "glusterfs",
                      "fuse.glusterfs", "fuse.sshfs", "fuse.rclone", "fuse.davfs", "davfs",
                      "fuse.s3fs", "fuse.gvfsd-fuse", "fuse.gvfs-fuse-daemon"});
}

bool IsOpticalFs(std::string_view type) {
  return OneOf(type, {"iso9660", "udf"});
}

bool IsRamFs(std::string_view type) {
  return OneOf(type, {"tmpfs", "ramfs"});
}

std::string Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return std::string(text);
}

// A volume worth a letter, found on this run.
struct TFound {
  std::string Key; // what its letter is kept for: the mount point, or the device name "sr0"
  TDrive Drive;
};

// drives.ini: "[Drives]" then "D=<key>;<kind>" lines, keys escaped like mountinfo fields.
std::map<char, std::pair<std::string, TDriveKind>> ReadKept(const std::string& path) {
  std::map<char, std::pair<std::string, TDriveKind>> kept;
  const std::string text = ReadSmallFile(path);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos)
      end = text.size();
    const std::string line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    const size_t equals = line.find('=');
    const size_t semicolon = line.rfind(';');
    if (equals != 1 || semicolon == std::string::npos || semicolon < equals)
      continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    const auto kind = KindFromName(Trim(std::string_view(line).substr(semicolon + 1)));
    if (letter < 'D' || letter > 'Z' || !kind)
      continue;
    kept.emplace(letter, std::make_pair(UnescapeMountField(
                                            Trim(std::string_view(line).substr(2, semicolon - 2))),
                                        *kind));
  }
  return kept;
}

void WriteKept(const std::string& path,
               const std::map<char, std::pair<std::string, TDriveKind>>& kept) {
  std::string text = "[Drives]\n";
  for (const auto& [letter, value] : kept) {
    text += letter;
    text += '=';
    text += EscapeMountField(value.first);
    text += ';';
    text += DriveKindName(value.second);
    text += '\n';
  }
  // Make the folder; the file itself is replaced in one step.
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0)
    for (size_t p = path.find('/', 1); p != std::string::npos && p <= slash;
         p = path.find('/', p + 1))
      ::mkdir(path.substr(0, p).c_str(), 0700);
  WriteFileAtomically(path, text, 0600);
}

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

std::string DeviceNumberOf(const std::string& sysBlockDevice) {
  return Trim(ReadSmallFile(sysBlockDevice + "/dev"));
}

// Whether the block device M:m is removable: its own or its disk's "removable" flag, or a USB
// device somewhere on the way to it.
bool IsRemovableDevice(const std::string& sysRoot, unsigned major, unsigned minor) {
  const std::string node =
      sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  for (const char* flag : {"/removable", "/../removable"})
    if (Trim(ReadSmallFile(node + flag)) == "1")
      return true;
  char resolved[PATH_MAX];
  if (::realpath(node.c_str(), resolved))
    return std::string_view(resolved).find("/usb") != std::string_view::npos;
  return false;
}

std::vector<std::string> DevicesNamed(const std::string& sysRoot, std::string_view prefix) {
  std::vector<std::string> names;
  for (int i = 0; i < 16; ++i) {
    std::string name = std::string(prefix) + std::to_string(i);
    if (Exists(sysRoot + "/block/" + name))
      names.push_back(std::move(name));
  }
  return names;
}

const TMountEntry* MountOfDevice(const std::vector<TMountEntry>& mounts, const std::string& name,
                                 const std::string& number) {
  for (const auto& mount : mounts)
    if (mount.Source == "/dev/" + name ||
        number == std::to_string(mount.Major) + ":" + std::to_string(mount.Minor))
      return &mount;
  return nullptr;
}

} // namespace

const char* DriveKindName(TDriveKind kind) {
  return KindNames[static_cast<size_t>(kind)];
}

TDriveSources TDriveSources::FromEnvironment() {
  TDriveSources sources;
  if (const char* fixture = std::getenv("CORVANE_DRIVES"); fixture && *fixture) {
    const std::string folder = fixture;
    sources.MountInfo = folder + "/mountinfo";
    sources.SysRoot = folder + "/sys";
    sources.KeptFile = folder + "/drives.ini";
    sources.ByLabel = folder + "/by-label";
    return sources;
  }
  sources.MountInfo = "/proc/self/mountinfo";
  sources.SysRoot = "/sys";
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
    config = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    config = std::string(home) + "/.config";
  if (!config.empty())
    sources.KeptFile = config + "/corvane/drives.ini";
  sources.ByLabel = "/dev/disk/by-label";
  return sources;
}

TDriveTable& TDriveTable::Instance() {
  static TDriveTable table;
  return table;
}

TDriveTable::TDriveTable() {
  Reload();
}

void TDriveTable::Reload() {
  Reload(TDriveSources::FromEnvironment());
}

void TDriveTable::Reload(const TDriveSources& sources) {
  DriveList.clear();
  ByLabel = sources.ByLabel;
  const std::vector<TMountEntry> mounts = ParseMountInfo(ReadSmallFile(sources.MountInfo));

  DriveList.push_back(TDrive{'C', "/", TDriveKind::Fixed, true, {}});

  // Floppy devices are A: and B:, mounted or not.
  const auto floppies = DevicesNamed(sources.SysRoot, "fd");
  for (size_t i = 0; i < floppies.size() && i < 2; ++i) {
    const TMountEntry* mount = MountOfDevice(
        mounts, floppies[i], DeviceNumberOf(sources.SysRoot + "/block/" + floppies[i]));
    DriveList.push_back(TDrive{static_cast<char>('A' + i),
                               mount ? mount->MountPoint : std::string(), TDriveKind::Removable,
                               mount != nullptr, "/dev/" + floppies[i]});
  }

  std::vector<TFound> found;
  std::vector<const TMountEntry*> claimed;
  // Optical drives get a letter even when empty; it is kept for the device, not the disc.
  for (const auto& name : DevicesNamed(sources.SysRoot, "sr")) {
    const TMountEntry* mount =
        MountOfDevice(mounts, name, DeviceNumberOf(sources.SysRoot + "/block/" + name));
    if (mount)
      claimed.push_back(mount);
    found.push_back(TFound{name, TDrive{'?', mount ? mount->MountPoint : std::string(),
                                        TDriveKind::CdRom, mount != nullptr, "/dev/" + name}});
  }
  for (const auto& mount : mounts) {
    const std::string& point = mount.MountPoint;
    if (point == "/" || std::find(claimed.begin(), claimed.end(), &mount) != claimed.end() ||
        IsPseudoFs(mount.FsType) || UnderAny(point, {"/proc", "/sys", "/dev"}) ||
        (Under(point, "/run") && !Under(point, "/run/media")))
      continue;
    const bool remote = IsRemoteFs(mount.FsType);
    const bool media = UnderAny(point, {"/media", "/run/media", "/mnt"});
    const bool block = mount.Source.rfind("/dev/", 0) == 0;
    const bool system = UnderAny(point, {"/boot", "/efi", "/usr", "/var", "/snap"});
    if (!remote && !media && !(block && !system))
      continue;
    TDriveKind kind = TDriveKind::Fixed;
    if (IsOpticalFs(mount.FsType) || mount.Source.rfind("/dev/sr", 0) == 0)
      kind = TDriveKind::CdRom;
    else if (remote)
      kind = TDriveKind::Remote;
    else if (IsRamFs(mount.FsType))
      kind = TDriveKind::RamDisk;
    else if (mount.Major != 0 && IsRemovableDevice(sources.SysRoot, mount.Major, mount.Minor))
      kind = TDriveKind::Removable;
    found.push_back(TFound{point, TDrive{'?', point, kind, true, block ? mount.Source : ""}});
  }

  // Letters: the kept one for a key seen before, else the first free one from D:.
  auto kept = ReadKept(sources.KeptFile);
  bool changed = false;
  std::vector<bool> used(26, false);
  for (const auto& drive : DriveList)
    used[static_cast<size_t>(drive.Letter - 'A')] = true;
  for (const auto& [letter, value] : kept)
    used[static_cast<size_t>(letter - 'A')] = true;
  for (auto& item : found) {
    const auto keptEntry = std::find_if(kept.begin(), kept.end(),
                                        [&](const auto& k) { return k.second.first == item.Key; });
    if (keptEntry != kept.end()) {
      item.Drive.Letter = keptEntry->first;
      if (keptEntry->second.second != item.Drive.Kind) {
        keptEntry->second.second = item.Drive.Kind;
        changed = true;
      }
      continue;
    }
    const auto free = std::find(used.begin() + 3, used.end(), false);
    if (free == used.end())
      continue; // all 23 letters taken: the volume stays reachable under C:
    *free = true;
    item.Drive.Letter = static_cast<char>('A' + (free - used.begin()));
    kept[item.Drive.Letter] = {item.Key, item.Drive.Kind};
    changed = true;
  }
  for (auto& item : found)
    if (item.Drive.Letter != '?')
      DriveList.push_back(std::move(item.Drive));
  // Removable volumes and optical drives that are away keep their letters, not ready.
  for (const auto& [letter, value] : kept) {
    if (Find(letter) ||
        (value.second != TDriveKind::Removable && value.second != TDriveKind::CdRom))
      continue;
    const bool device = value.first.find('/') == std::string::npos;
    DriveList.push_back(TDrive{letter, device ? std::string() : value.first, value.second, false,
                               device ? "/dev/" + value.first : std::string()});
  }
  std::sort(DriveList.begin(), DriveList.end(),
            [](const TDrive& a, const TDrive& b) { return a.Letter < b.Letter; });
  if (changed && !sources.KeptFile.empty())
    WriteKept(sources.KeptFile, kept);
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
    if (!drive.Mounted || drive.MountPoint.empty())
      continue;
    const bool covers = drive.MountPoint == "/" || Under(nativePath, drive.MountPoint);
    if (covers && (!best || drive.MountPoint.size() > best->MountPoint.size()))
      best = &drive;
  }
  return best;
}

} // namespace corvane::platform
