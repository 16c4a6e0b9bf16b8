#include "platform/drive_probe.h"
#include "platform/drive_table.h"
#include "platform/native_path.h"
#include "temp_folder.h"

#include <unistd.h>

#include <fstream>
#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

using test::TTempFolder;

const char* const RootLine = "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n";

// A machine laid out in a folder: mountinfo, sysfs, kept letters and label links.
class DriveTableTest : public ::testing::Test {
protected:
  void TearDown() override { TDriveTable::Instance().Reload(); }

  void Write(const std::string& relative, const std::string& text) {
    Dir.File(relative);
    std::ofstream(Dir.Native(relative)) << text;
  }
  void Mounts(const std::string& lines) { Write("mountinfo", RootLine + lines); }
  const TDriveTable& Load() {
    TDriveTable::Instance().Reload(TDriveSources{Dir.Native("mountinfo"), Dir.Native("sys"),
                                                 Dir.Native("drives.ini"), Dir.Native("by-label")});
    return TDriveTable::Instance();
  }
  std::string Letters() {
    std::string letters;
    for (const auto& drive : TDriveTable::Instance().Drives())
      letters += drive.Letter;
    return letters;
  }

  TTempFolder Dir;
};

TEST_F(DriveTableTest, FloppyFixedOpticalAndNetworkDrivesInLetterOrder) {
  Write("sys/block/fd0/dev", "2:0\n");
  Write("sys/block/sr0/dev", "11:0\n");
  Mounts("40 28 0:50 / /net/share rw - nfs4 server:/export rw\n");
  Write("drives.ini", "[Drives]\nD=sr0;cdrom\nF=/net/share;remote\n");
  const auto& table = Load();
  ASSERT_EQ(Letters(), "ACDF");
  struct Case {
    char Letter;
    TDriveKind Kind;
    bool Mounted;
  };
  for (const Case& c : {Case{'A', TDriveKind::Removable, false}, Case{'C', TDriveKind::Fixed, true},
                        Case{'D', TDriveKind::CdRom, false}, Case{'F', TDriveKind::Remote, true}}) {
    const TDrive* drive = table.Find(c.Letter);
    ASSERT_TRUE(drive) << c.Letter;
    EXPECT_EQ(drive->Kind, c.Kind) << c.Letter;
    EXPECT_EQ(drive->Mounted, c.Mounted) << c.Letter;
  }
  // The empty optical drive and the floppy without a disk are not ready; C: always is.
  EXPECT_FALSE(IsDriveReady('d'));
  EXPECT_FALSE(IsDriveReady('A'));
  EXPECT_TRUE(IsDriveReady('C'));
  EXPECT_FALSE(IsDriveReady('Q'));
}

TEST_F(DriveTableTest, PseudoAndSystemFileSystemsGetNoLetter) {
  Write("sys/dev/block/8:3/removable", "0\n");
  Mounts("22 28 0:21 / /proc rw - proc proc rw\n"
         "23 28 0:22 / /sys rw - sysfs sysfs rw\n"
         "24 28 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
         "26 24 0:24 / /dev/shm rw - tmpfs tmpfs rw\n"
         "42 23 0:39 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
         "50 28 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
         "51 28 0:41 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
         "52 28 7:1 / /snap/core/1 ro - squashfs /dev/loop1 ro\n"
         "53 28 8:1 / /boot rw - ext4 /dev/sda1 rw\n"
         "54 28 8:2 / /var rw - ext4 /dev/sda2 rw\n"
         "55 28 0:42 / /tmp rw - tmpfs tmpfs rw\n"
         "56 28 8:3 / /home rw - ext4 /dev/sda3 rw\n"
         "57 28 0:43 / /mnt/ram rw - tmpfs tmpfs rw\n"
         "58 28 0:44 / /home/ann/remote rw - fuse.sshfs ann@host: rw\n");
  const auto& table = Load();
  ASSERT_EQ(Letters(), "CDEF");
  EXPECT_EQ(table.Find('D')->MountPoint, "/home");
  EXPECT_EQ(table.Find('D')->Kind, TDriveKind::Fixed);
  EXPECT_EQ(table.Find('E')->Kind, TDriveKind::RamDisk);
  EXPECT_EQ(table.Find('F')->Kind, TDriveKind::Remote);
}

TEST_F(DriveTableTest, LettersAreKeptWhenVolumesGoAndComeBack) {
  Write("sys/dev/block/8:17/removable", "1\n");
  Write("sys/dev/block/8:33/removable", "0\n");
  const std::string stick = "60 28 8:17 / /media/ann/MY\\040STICK rw - vfat /dev/sdb1 rw\n";
  const std::string disk = "61 28 8:33 / /media/ann/DISK rw - ext4 /dev/sdc1 rw\n";
  Mounts(stick + disk);
  Load();
  ASSERT_EQ(Letters(), "CDE");
  EXPECT_EQ(TDriveTable::Instance().Find('D')->MountPoint, "/media/ann/MY STICK");
  EXPECT_EQ(TDriveTable::Instance().Find('D')->Kind, TDriveKind::Removable);
  EXPECT_EQ(TDriveTable::Instance().Find('E')->Kind, TDriveKind::Fixed);

  // The stick is pulled and another volume arrives: the stick's letter waits for it.
  Mounts(disk + "62 28 8:49 / /mnt/new rw - ext4 /dev/sdd1 rw\n");
  const auto& table = Load();
  ASSERT_EQ(Letters(), "CDEF");
  EXPECT_FALSE(table.Find('D')->Mounted);
  EXPECT_FALSE(IsDriveReady('D'));
  EXPECT_FALSE(ModelToNative("D:\\file.txt")); // never the empty mount folder on C:
  EXPECT_EQ(table.Find('F')->MountPoint, "/mnt/new");

  Mounts(stick + disk);
  Load();
  ASSERT_EQ(Letters(), "CDE");
  EXPECT_TRUE(TDriveTable::Instance().Find('D')->Mounted);
}

TEST_F(DriveTableTest, NativePathsUnderAMountTakeItsLetter) {
  Mounts("60 28 8:17 / /media/ann/STICK rw - vfat /dev/sdb1 rw\n"
         "61 28 8:18 / /media/ann/STICK/inner rw - ext4 /dev/sdb2 rw\n");
  Load();
  struct Case {
    const char* Native;
    const char* Model;
  };
  for (const Case& c : {Case{"/media/ann/STICK/docs/a.txt", "D:\\docs\\a.txt"},
                        Case{"/media/ann/STICK", "D:\\"}, Case{"/media/ann/STICK/inner/x", "E:\\x"},
                        Case{"/media/ann/STICKY/x", "C:\\media\\ann\\STICKY\\x"}})
    EXPECT_EQ(NativeToModel(c.Native), c.Model) << c.Native;
  for (const Case& c :
       {Case{"/media/ann/STICK/docs/a.txt", "D:\\docs\\a.txt"}, Case{"/media/ann/STICK/", "D:\\"},
        Case{"/media/ann/STICK/inner/x", "E:\\x"}})
    EXPECT_EQ(ModelToNative(c.Model), c.Native) << c.Model;
}

TEST_F(DriveTableTest, UsbDevicesAreRemovableAndLabelsComeFromTheirLinks) {
  Dir.Folder("sys/devices/pci0/usb1/1-1/block/sdb/sdb1");
  Dir.Folder("sys/dev/block");
  ASSERT_EQ(::symlink("../../devices/pci0/usb1/1-1/block/sdb/sdb1",
                      Dir.Native("sys/dev/block/8:17").c_str()),
            0);
  Dir.Folder("by-label");
  ASSERT_EQ(::symlink("../../sdb1", Dir.Native("by-label/MY\\x20STICK").c_str()), 0);
  ASSERT_EQ(::symlink("../../sdc1", Dir.Native("by-label/OTHER").c_str()), 0);
  Mounts("60 28 8:17 / /media/ann/s rw - exfat /dev/sdb1 rw\n"
         "61 28 0:55 / /mnt/share rw - cifs //nas/share rw\n");
  const auto& table = Load();
  EXPECT_EQ(table.Find('D')->Kind, TDriveKind::Removable);
  EXPECT_EQ(VolumeLabel('D'), "MY STICK");
  EXPECT_EQ(VolumeLabel('E'), "");
  EXPECT_EQ(VolumeLabel('C'), "");
}

} // namespace
} // namespace corvane::platform
