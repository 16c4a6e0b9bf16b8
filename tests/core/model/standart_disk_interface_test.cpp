#include "model/standart_disk_interface.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "temp_folder.h"

#include <sys/xattr.h>

#include <gtest/gtest.h>

#include <map>

namespace corvane {
namespace {

using test::TTempFolder;

std::map<std::string, TFileEntry> ListAll(TStandartDiskInterface& source, std::string_view folder) {
  std::map<std::string, TFileEntry> entries;
  TFileEntry entry;
  for (bool more = source.FindFirst(folder, entry); more; more = source.FindNext(entry))
    entries[entry.EntryName()] = entry;
  return entries;
}

TEST(StandartDiskInterface, RootsAreNormalised) {
  struct Case {
    const char* Given;
    const char* Root;
  };
  for (const Case& c : {Case{"C", "C:\\"}, Case{"C:", "C:\\"}, Case{"C:\\tmp", "C:\\tmp\\"},
                        Case{"C:\\tmp\\", "C:\\tmp\\"}})
    EXPECT_EQ(TStandartDiskInterface(nullptr, c.Given).Root, c.Root) << c.Given;

  TStandartDiskInterface drive(nullptr, "C");
  TFileEntry entry;
  EXPECT_TRUE(drive.FindFirst("", entry)); // the root of drive C
}

TEST(StandartDiskInterface, ListsEntriesSplitAtTheLastDot) {
  TTempFolder dir;
  dir.Folder("empty");
  dir.File("a.b.c", 12);
  dir.File(".profile");
  dir.File("back\\slash");
  TStandartDiskInterface source(nullptr, dir.Model());
  TFileEntry entry;
  EXPECT_FALSE(source.FindFirst("empty", entry));
  EXPECT_FALSE(source.FindFirst("missing\\", entry));

  const auto entries = ListAll(source, "");
  ASSERT_EQ(entries.size(), 4u);
  const TFileEntry& abc = entries.at("a.b.c");
  EXPECT_EQ(abc.Name, "a.b");
  EXPECT_EQ(abc.Ext, "c");
  EXPECT_EQ(abc.Size, 12);
  EXPECT_EQ(entries.at(".profile").Name, "");
  EXPECT_EQ(entries.at(".profile").Ext, "profile");
  EXPECT_TRUE(entries.at(".profile").Attr & platform::faHidden);
  EXPECT_TRUE(entries.at("empty").IsFolder());
  // A "\" in a native name is a "/" in the model, and the model name reaches the file again.
  ASSERT_TRUE(entries.count("back/slash"));
  EXPECT_TRUE(source.DeleteFile("back/slash"));
  EXPECT_FALSE(platform::PathExists(dir.Native("back\\slash")));
}

TEST(StandartDiskInterface, DeletesReadOnlyFilesAndLeavesFullFolders) {
  TTempFolder dir;
  dir.File("ro.txt");
  dir.Chmod("ro.txt", 0444);
  dir.File("full/inside");
  TStandartDiskInterface source(nullptr, dir.Model());
  EXPECT_TRUE(source.DeleteFile("ro.txt"));
  EXPECT_FALSE(platform::PathExists(dir.Native("ro.txt")));
  EXPECT_FALSE(source.DeleteFile("ro.txt"));
  EXPECT_FALSE(source.DeleteFile("full"));
  EXPECT_FALSE(source.RemoveDir("full"));
  EXPECT_TRUE(platform::PathExists(dir.Native("full/inside")));
  EXPECT_TRUE(source.DeleteFile("full\\inside"));
  EXPECT_TRUE(source.RemoveDir("full"));
}

TEST(StandartDiskInterface, MakeDirGivesTheAttributes) {
  TTempFolder dir;
  TStandartDiskInterface source(nullptr, dir.Model());
  EXPECT_TRUE(source.MakeDir("plain", 16));
  EXPECT_FALSE(source.MakeDir("plain", 16));
  EXPECT_FALSE(source.MakeDir("no\\parent", 16));
  EXPECT_EQ(platform::GetFileAttributes(dir.Native("plain")), 16);
  if (::setxattr(dir.Native("plain").c_str(), "user.probe", "1", 1, 0) != 0)
    GTEST_SKIP() << "user extended attributes are not supported in " << dir.Path();
  EXPECT_TRUE(source.MakeDir("hidden", 16 + 2));
  EXPECT_EQ(platform::GetFileAttributes(dir.Native("hidden")), 16 + 2);
}

} // namespace
} // namespace corvane
