#include "platform/dir_reader.h"
#include "platform/fat_attributes.h"
#include "platform/file_attributes.h"
#include "temp_folder.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

namespace corvane::platform {
namespace {

using test::TTempFolder;

// Keeps FAT bits per inode, as a FAT volume would, for machines that cannot mount one.
class TFakeFatLayer final : public TFatAttributeLayer {
public:
  bool IsFat(int) override { return true; }
  bool Get(int fd, uint32_t& attr) override {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
      return false;
    const auto it = Bits.find(st.st_ino);
    attr = it != Bits.end() ? it->second : (S_ISDIR(st.st_mode) ? 0x10 : 0x20);
    return true;
  }
  bool Set(int fd, uint32_t attr) override {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
      return false;
    Bits[st.st_ino] = attr;
    return true;
  }
  std::map<ino_t, uint32_t> Bits;
};

// Mounts a small vfat image when this machine allows it; empty otherwise, with the reason.
std::string MountVfat(TTempFolder& dir, std::string& why) {
  if (::geteuid() != 0) {
    why = "not running as root";
    return {};
  }
  const std::string image = dir.Native("fat.img");
  const std::string mountPoint = dir.Folder("fat");
  if (std::system(("mkfs.vfat -C '" + image + "' 1024 >/dev/null 2>&1").c_str()) != 0) {
    why = "mkfs.vfat is missing";
    return {};
  }
  if (std::system(
          ("mount -o loop -t vfat '" + image + "' '" + mountPoint + "' >/dev/null 2>&1").c_str()) !=
      0) {
    why = "the kernel refused to mount a vfat loop image";
    return {};
  }
  return mountPoint;
}

void CheckFatBits(const std::string& folder) {
  const std::string file = folder + "/a.txt";
  const std::string sub = folder + "/d";
  ASSERT_TRUE(test::TTempFolder::Touch(file));
  ASSERT_EQ(::mkdir(sub.c_str(), 0777), 0);

  EXPECT_EQ(GetFileAttributes(file), faArchive);
  EXPECT_TRUE(SetFileAttributes(file, faReadOnly | faHidden | faSystem));
  EXPECT_EQ(GetFileAttributes(file), faReadOnly | faHidden | faSystem);
  EXPECT_TRUE(SetFileAttributes(sub, faDirectory | faHidden));
  EXPECT_EQ(GetFileAttributes(sub), faDirectory | faHidden);
  // The bits live on the volume, not in a stored attribute.
  char buffer[8];
  EXPECT_LT(::getxattr(file.c_str(), AttrXattrName, buffer, sizeof buffer), 0);

  TDirReader reader;
  ASSERT_TRUE(reader.Open(folder));
  std::string name;
  TFileStatus status;
  std::map<std::string, uint16_t> listed;
  while (reader.Next(name, status))
    listed[name] = status.Attr;
  EXPECT_EQ(listed["a.txt"], faReadOnly | faHidden | faSystem);
  EXPECT_EQ(listed["d"], faDirectory | faHidden);
}

TEST(FatAttributes, VolumeKeepsReadOnlyHiddenSystemAndArchive) {
  TTempFolder dir;
  std::string why;
  const std::string mounted = MountVfat(dir, why);
  if (!mounted.empty()) {
    std::cout << "FAT bits tested on a real vfat volume\n";
    CheckFatBits(mounted);
    ::umount(mounted.c_str());
    return;
  }
  std::cout << "FAT bits tested through an injected ioctl layer: " << why << "\n";
  TFakeFatLayer fake;
  TFatAttributeLayer::Replace(&fake);
  CheckFatBits(dir.Folder("volume"));
  TFatAttributeLayer::Replace(nullptr);
}

} // namespace
} // namespace corvane::platform
