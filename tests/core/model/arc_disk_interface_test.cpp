#include "archive/archive_component.h"
#include "hostile_archives.h"
#include "listing.h"
#include "model/arc_disk_interface.h"
#include "model/archiver_command.h"
#include "model/browser.h"
#include "platform/launcher.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace corvane {
namespace {

using test::Listing;
using test::Names;
using test::ReadFile;
using test::TTempFolder;
using test::TZipArchive;
using test::TZipItem;

constexpr uint32_t April11Noon = 0x5A8B6000; // 2025-04-11 12:00:00

bool Exists(const std::string& native) {
  struct stat st {};
  return ::lstat(native.c_str(), &st) == 0;
}

// A folder with archives in it, a browser over it and the messages it reported.
struct TArchiveFixture {
  TArchiveFixture() {
    Browser.SortMode = smName;
    Browser.FoldersFirst = true;
    Browser.WorkFolder = Dir.Model() + "work\\";
    Browser.OnCopyError = [this](TCopyError kind, const std::string& text) {
      Errors.push_back(std::to_string(static_cast<int>(kind)) + " " + text);
    };
  }
  std::string MakeZip(const std::string& name, std::vector<TZipItem> items) {
    const std::string native = Dir.Native(name);
    test::WriteFile(native, test::BuildZip(TZipArchive(std::move(items))));
    return native;
  }
  void OpenFolder(std::string_view rel = "") {
    ASSERT_TRUE(Browser.SetRoot("C:\\", 0, Dir.Rel() + std::string(rel)));
  }
  bool Enter(const std::string& name) {
    Browser.Cursor = Browser.FindEntry(name);
    return Browser.OpenSource(skArchive, Dir.Model() + name, "");
  }
  bool ErrorSays(std::string_view text) const {
    for (const std::string& error : Errors)
      if (error.find(text) != std::string::npos)
        return true;
    return false;
  }

  TTempFolder Dir;
  TBrowser Browser;
  std::vector<std::string> Errors;
};

TEST(ArchiveSource, ListsFoldersOnceWithSizesAndDatesAndGoesUpToTheArchive) {
  TArchiveFixture f;
  TZipItem folder("docs/", "");
  folder.Attributes = 16;
  f.MakeZip("a.zip", {TZipItem("docs/a.txt", "alpha"), TZipItem("docs/sub/b.txt", "bravo!"), folder,
                      TZipItem("top.txt", "12345").WithTime(April11Noon)});
  test::WriteFile(f.Dir.File("other.txt"), "x");
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("a.zip"));
  EXPECT_EQ(f.Browser.SourceKind(), skArchive);
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "docs", "top.txt"}));
  const TFileEntry* top = f.Browser.GetEntry(f.Browser.FindEntry("top.txt"));
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->Size, 5);
  EXPECT_EQ(top->Written, (platform::TSystemTime{2025, 4, 0, 11, 12, 0, 0, 0}));
  EXPECT_TRUE(f.Browser.IsFolder(f.Browser.FindEntry("docs")));

  ASSERT_TRUE(f.Browser.EnterFolder(f.Browser.FindEntry("docs")));
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "sub", "a.txt"}));
  EXPECT_EQ(f.Browser.GetEntry(f.Browser.FindEntry("a.txt"))->Size, 5);
  ASSERT_TRUE(f.Browser.EnterFolder(f.Browser.FindEntry("sub")));
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "b.txt"}));

  ASSERT_TRUE(f.Browser.GoUp());
  EXPECT_EQ(f.Browser.EntryName(f.Browser.Cursor), "sub");
  ASSERT_TRUE(f.Browser.GoUp());
  EXPECT_EQ(f.Browser.EntryName(f.Browser.Cursor), "docs");
  ASSERT_TRUE(f.Browser.GoUp()); // out of the archive, onto it
  EXPECT_EQ(f.Browser.SourceKind(), skFolder);
  EXPECT_EQ(f.Browser.EntryName(f.Browser.Cursor), "a.zip");
  EXPECT_TRUE(f.Errors.empty());
}

TEST(ArchiveSource, DosNamesAreReadInTheOwnersCodePage) {
  TArchiveFixture f;
  f.Browser.CodePage = "IBM866";
  f.MakeZip("a.zip", {TZipItem("\x8f\xe0\xa8\xa2\xa5\xe2.txt", "hello")}); // "Привет.txt"
  f.Dir.Folder("out");
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("a.zip"));
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "Привет.txt"}));
  ASSERT_TRUE(
      f.Browser.CurrentSource()->CopyOut("Привет.txt", f.Dir.Model() + "out\\Привет.txt", false));
  EXPECT_EQ(ReadFile(f.Dir.Native("out/Привет.txt")), "hello");
}

TEST(ArchiveSource, DamagedOrForeignArchiveIsReportedAndNotEntered) {
  for (const std::string& bytes :
       {std::string("PK\3\4 this is no archive at all"), std::string("plain text named .zip"),
        test::BuildZip(TZipArchive({TZipItem("a.txt", "alpha")})).substr(0, 40)}) {
    TArchiveFixture f;
    test::WriteFile(f.Dir.Native("bad.zip"), bytes);
    f.OpenFolder();
    EXPECT_FALSE(f.Enter("bad.zip"));
    EXPECT_EQ(f.Browser.SourceKind(), skFolder);
    EXPECT_EQ(Listing(f.Browser), (Names{"..", "bad.zip"}));
    ASSERT_EQ(f.Errors.size(), 1u) << "reported once: " << testing::PrintToString(f.Errors);
    EXPECT_EQ(f.Errors.front().substr(0, 2), "5 ");
  }
}

TEST(ArchiveSource, CopiesOutExactlyTheChosenEntry) {
  TArchiveFixture f;
  f.MakeZip("a.zip",
            {TZipItem("a*.txt", "star"), TZipItem("ab.txt", "plain"),
             TZipItem("bad.txt", "damaged").WithStatedCrc(1), TZipItem("docs/deep.txt", "deep")});
  f.Dir.Folder("out");
  test::WriteFile(f.Dir.Native("out/bad.txt"), "old contents");
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("a.zip"));
  TDiskInterface& source = *f.Browser.CurrentSource();
  const std::string out = f.Dir.Model() + "out\\";

  EXPECT_TRUE(source.CopyOut("a*.txt", out + "a*.txt", false));
  EXPECT_EQ(ReadFile(f.Dir.Native("out/a*.txt")), "star");
  EXPECT_FALSE(Exists(f.Dir.Native("out/ab.txt"))); // a name is no mask here
  EXPECT_TRUE(source.CopyOut("docs\\deep.txt", out + "deep.txt", false));
  EXPECT_EQ(ReadFile(f.Dir.Native("out/deep.txt")), "deep");

  EXPECT_FALSE(source.CopyOut("ab.txt", out + "renamed.txt", false));
  EXPECT_FALSE(source.CopyOut("missing.txt", out + "missing.txt", false));
  EXPECT_FALSE(Exists(f.Dir.Native("out/renamed.txt")));

  // A damaged entry fails with the library's reason, and the file it would replace stays.
  EXPECT_FALSE(source.CopyOut("bad.txt", out + "bad.txt", false));
  EXPECT_EQ(ReadFile(f.Dir.Native("out/bad.txt")), "old contents");
  EXPECT_TRUE(f.ErrorSays("5 "));

  // Declining to overwrite keeps the old file and counts as done.
  test::WriteFile(f.Dir.Native("out/ab.txt"), "mine");
  f.Browser.OnCopyConfirm = [](TCopyConfirm kind, const std::string&, bool& answer) {
    EXPECT_EQ(kind, TCopyConfirm::Exists);
    answer = false;
  };
  EXPECT_TRUE(source.CopyOut("ab.txt", out + "ab.txt", false));
  EXPECT_EQ(ReadFile(f.Dir.Native("out/ab.txt")), "mine");
}

TEST(ArchiveSource, EncryptedEntriesAskTheOwnerForThePasswordAndNeverLoop) {
  struct Case {
    std::vector<std::string> Answers; // "" cancels
    bool Copied;
    size_t Asked;
  };
  for (const Case& c : {Case{{"secret"}, true, 1}, Case{{"wrong", "secret"}, true, 2},
                        Case{{"wrong", ""}, false, 2}, Case{{"wrong"}, false, 16}}) {
    TArchiveFixture f;
    f.MakeZip("a.zip", {TZipItem("s.txt", "hidden").WithPassword("secret")});
    f.Dir.Folder("out");
    f.OpenFolder();
    ASSERT_TRUE(f.Enter("a.zip"));
    size_t asked = 0;
    f.Browser.OnPassword = [&](const std::string& prompt, std::string& password) {
      EXPECT_EQ(prompt, "s.txt");
      const std::string& answer = c.Answers[std::min(asked, c.Answers.size() - 1)];
      ++asked;
      if (answer.empty())
        f.Browser.Busy = false; // what the prompt's Cancel does
      else
        password = answer;
    };
    f.Browser.Cursor = f.Browser.FindEntry("s.txt");
    ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "out", false));
    EXPECT_EQ(Exists(f.Dir.Native("out/s.txt")), c.Copied) << c.Answers.front();
    if (c.Copied) {
      EXPECT_EQ(ReadFile(f.Dir.Native("out/s.txt")), "hidden");
    }
    EXPECT_EQ(asked, c.Asked) << c.Answers.front() << " then " << c.Answers.back();
  }
}

TEST(ArchiveSource, CopyEngineTakesFilesAndFoldersOut) {
  TArchiveFixture f;
  f.MakeZip("a.zip", {TZipItem("docs/a.txt", "alpha"), TZipItem("docs/sub/b.txt", "bravo"),
                      TZipItem("c.txt", "charlie")});
  f.Dir.Folder("out");
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("a.zip"));
  f.Browser.ToggleMark(f.Browser.FindEntry("docs"));
  f.Browser.ToggleMark(f.Browser.FindEntry("c.txt"));
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "out", true));
  EXPECT_EQ(ReadFile(f.Dir.Native("out/docs/a.txt")), "alpha");
  EXPECT_EQ(ReadFile(f.Dir.Native("out/docs/sub/b.txt")), "bravo")
      << testing::PrintToString(f.Errors);
  EXPECT_EQ(ReadFile(f.Dir.Native("out/c.txt")), "charlie");
  EXPECT_EQ(f.Browser.SelectedCount(), 0);
  // A move out of an archive leaves the archive as it was.
  ASSERT_TRUE(f.Browser.Refresh());
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "docs", "c.txt"}));
}

// 500 files in 5 folders, all marked, taken out through the copy engine: one pass over the
// archive in every format, with the overwrite answers, a damaged entry among them and Stop in the
// middle, and each file's events.
TEST(ArchiveSource, ManyEntriesComeOutInOnePassOverTheArchive) {
  using TFiles = std::vector<std::pair<std::string, std::string>>;
  struct Format {
    const char* Name;
    std::function<std::string(const TFiles&)> Build;
    bool Checksummed; // whether a damaged byte of data is noticed
  };
  const Format formats[] = {
      {"zip",
       [](const TFiles& files) {
         std::vector<TZipItem> items;
         for (const auto& [name, data] : files)
           items.emplace_back(name, data);
         return test::BuildZip(TZipArchive(std::move(items)));
       },
       true},
      {"tar",
       [](const TFiles& files) {
         std::vector<test::TTarItem> items(files.size());
         for (size_t i = 0; i < files.size(); ++i)
           std::tie(items[i].Name, items[i].Data) = files[i];
         return test::BuildTar(items);
       },
       false},
      {"arj",
       [](const TFiles& files) {
         std::vector<test::TArjItem> items(files.size());
         for (size_t i = 0; i < files.size(); ++i)
           std::tie(items[i].Name, items[i].Data) = files[i];
         return test::BuildArj(items);
       },
       true},
  };
  const std::string damaged = "d2/f050.txt";
  TFiles files;
  for (int folder = 0; folder < 5; ++folder)
    for (int file = 0; file < 100; ++file) {
      char name[32];
      std::snprintf(name, sizeof name, "d%d/f%03d.txt", folder, file);
      files.emplace_back(name, name == damaged ? std::string("DAMAGE ME")
                                               : "data of " + std::string(name));
    }
  for (const Format& format : formats) {
    TArchiveFixture f;
    std::string bytes = format.Build(files);
    if (format.Checksummed)
      bytes[bytes.find("DAMAGE ME")] = 'd';
    test::WriteFile(f.Dir.Native(std::string("a.") + format.Name), bytes);
    test::WriteFile(f.Dir.File("out/d1/f010.txt"), "old, replaced");
    test::WriteFile(f.Dir.File("out/d1/f011.txt"), "old, kept");
    f.OpenFolder();
    ASSERT_TRUE(f.Enter(std::string("a.") + format.Name)) << format.Name;
    std::vector<std::string> asked;
    f.Browser.OnCopyConfirm = [&](TCopyConfirm, const std::string& target, bool& answer) {
      asked.push_back(target);
      answer = target.ends_with("f010.txt");
    };
    int begun = 0, ended = 0;
    f.Browser.OnCopyFirstBlock = [&](const std::string&, const std::string&, int64_t) { ++begun; };
    f.Browser.OnCopyFileEnd = [&] { ++ended; };
    for (int i = 2; i <= f.Browser.Count(); ++i)
      f.Browser.ToggleMark(i);

    const uint64_t passes = archive::ArchivePasses();
    ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "out", false));
    EXPECT_EQ(archive::ArchivePasses() - passes, 1u) << format.Name;
    EXPECT_EQ(ReadFile(f.Dir.Native("out/d0/f000.txt")), "data of d0/f000.txt") << format.Name;
    EXPECT_EQ(ReadFile(f.Dir.Native("out/d4/f099.txt")), "data of d4/f099.txt") << format.Name;
    EXPECT_EQ(ReadFile(f.Dir.Native("out/d1/f010.txt")), "data of d1/f010.txt") << format.Name;
    EXPECT_EQ(ReadFile(f.Dir.Native("out/d1/f011.txt")), "old, kept") << format.Name;
    EXPECT_EQ(asked.size(), 2u) << format.Name;
    EXPECT_EQ(begun, 499) << format.Name; // all but the declined one
    EXPECT_EQ(ended, 499) << format.Name;
    if (format.Checksummed) {
      EXPECT_FALSE(Exists(f.Dir.Native("out/d2/f050.txt"))) << format.Name;
      // The reader's reason, then the file that failed.
      ASSERT_EQ(f.Errors.size(), 2u) << format.Name;
      EXPECT_EQ(f.Errors[0].substr(0, 2), "5 ") << format.Name;
      EXPECT_EQ(f.Errors[1], "1 " + f.Dir.Model() + "out\\d2\\f050.txt") << format.Name;
      // The folder with the damaged file stays marked; the others were done.
      EXPECT_EQ(f.Browser.SelectedCount(), 1) << format.Name;
      EXPECT_TRUE(f.Browser.IsMarked(f.Browser.FindEntry("d2"))) << format.Name;
    } else {
      EXPECT_TRUE(f.Errors.empty()) << format.Name;
      EXPECT_EQ(f.Browser.SelectedCount(), 0) << format.Name;
    }

    // Stop after the 150th file: nothing more is written, nothing is reported, still one pass.
    f.Errors.clear();
    for (int i = 2; i <= f.Browser.Count(); ++i)
      if (!f.Browser.IsMarked(i))
        f.Browser.ToggleMark(i);
    ended = 0;
    f.Browser.OnCopyFileEnd = [&] {
      if (++ended == 150)
        f.Browser.StopOperation();
    };
    const uint64_t before = archive::ArchivePasses();
    ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "stopped\\", false));
    EXPECT_EQ(archive::ArchivePasses() - before, 1u) << format.Name;
    EXPECT_EQ(ended, 150) << format.Name;
    EXPECT_TRUE(Exists(f.Dir.Native("stopped/d1/f049.txt"))) << format.Name;
    EXPECT_FALSE(Exists(f.Dir.Native("stopped/d1/f050.txt"))) << format.Name;
    EXPECT_FALSE(Exists(f.Dir.Native("stopped/d2/f000.txt"))) << format.Name;
    EXPECT_TRUE(f.Errors.empty()) << format.Name;
    EXPECT_EQ(f.Browser.SelectedCount(), 4) << format.Name; // d0 done; d1 partly; d2, d3, d4 not
  }
}

// A cabinet's members share one compressed folder: taking them all out decodes it once.
TEST(ArchiveSource, ACabinetsMembersComeOutInOnePass) {
  TArchiveFixture f;
  test::WriteFile(f.Dir.Native("m.cab"),
                  ReadFile(CORVANE_SOURCE_DIR "/tests/core/archive/fixtures/cab/mszip.cab"));
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("m.cab"));
  for (int i = 2; i <= f.Browser.Count(); ++i)
    f.Browser.ToggleMark(i);
  const uint64_t passes = archive::ArchivePasses();
  ASSERT_TRUE(f.Browser.CopyToPath(f.Dir.Model() + "out\\", false));
  EXPECT_EQ(archive::ArchivePasses() - passes, 1u);
  EXPECT_EQ(ReadFile(f.Dir.Native("out/readme.txt")), "Cabinet fixture for the CAB reader.\r\n");
  EXPECT_EQ(ReadFile(f.Dir.Native("out/sub/deeper/numbers.txt")).substr(0, 6), "1\r\n2\r\n");
  EXPECT_TRUE(f.Errors.empty()) << testing::PrintToString(f.Errors);
  EXPECT_EQ(f.Browser.SelectedCount(), 0);
}

TEST(ArchiveSource, ArchiveInsideAnArchiveOpensFromItsCopyAndGoesBack) {
  TArchiveFixture f;
  const std::string inner = test::BuildZip(TZipArchive({TZipItem("in.txt", "inside")}));
  f.MakeZip("outer.zip", {TZipItem("nest/inner.zip", inner)});
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("outer.zip"));
  ASSERT_TRUE(f.Browser.EnterFolder(f.Browser.FindEntry("nest")));
  const std::string copy = f.Browser.WorkFolder + "inner.zip";
  f.Dir.Folder("work");
  ASSERT_TRUE(f.Browser.CurrentSource()->CopyOut("nest\\inner.zip", copy, false));
  f.Browser.Cursor = f.Browser.FindEntry("inner.zip");
  ASSERT_TRUE(f.Browser.OpenSource(skArchive, copy, ""));
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "in.txt"}));
  ASSERT_TRUE(f.Browser.GoUp());
  EXPECT_EQ(f.Browser.SourceKind(), skArchive);
  EXPECT_EQ(f.Browser.RelPath(), "nest\\");
  EXPECT_EQ(f.Browser.EntryName(f.Browser.Cursor), "inner.zip");
}

TEST(ArchiverCommand, TemplatesBecomeArgumentLists) {
  struct Case {
    const char* Template;
    std::vector<std::string> Args; // after the program
  };
  const std::string archive = "/x/my archive.zip";
  const std::string list = "/t/files 0.lst";
  for (const Case& c : {
           Case{"rar a % @", {"a", archive, "@" + list}},
           Case{"arj d % !", {"d", archive, "!" + list}},
           Case{"7zz a -tzip -sdel % @", {"a", "-tzip", "-sdel", archive, "@" + list}},
           Case{"zz x", {"x", archive, list}},   // no "%": archive and list appended
           Case{"zz a %", {"a", archive, list}}, // nothing after "%"
           Case{"zz a % -r @", {"a", archive, "-r", "@" + list}},
           Case{"zz a % @ ", {"a", archive, "@", list}}, // a blank keeps the list apart
       }) {
    const auto command = BuildArchiverCommand(c.Template, archive, list);
    ASSERT_TRUE(command) << c.Template;
    EXPECT_EQ(command->Args, c.Args) << c.Template;
  }
  EXPECT_FALSE(BuildArchiverCommand("  % @", archive, list));
  EXPECT_FALSE(BuildArchiverCommand("", archive, list));
}

// An archiver stand-in: it records its arguments, working folder and list file, prints a line to
// stderr and ends with the given status, changing nothing.
struct TStubArchiver {
  TStubArchiver(TTempFolder& dir, int status) : Dir(dir) {
    Path = dir.Native("bin/stubarc");
    dir.Folder("bin");
    dir.Folder("record");
    test::WriteFile(Path, "#!/bin/sh\n"
                          "rec='" +
                              dir.Native("record") +
                              "'\n"
                              "printf '%s\\n' \"$@\" > \"$rec/args\"\n"
                              "pwd > \"$rec/cwd\"\n"
                              "for a in \"$@\"; do f=${a#[@!]}; case $f in *.lst) cat \"$f\" > "
                              "\"$rec/list\";; esac; done\n"
                              "while read -r n; do [ -f \"$n\" ] && echo \"$n\" >> \"$rec/found\"; "
                              "done < \"$rec/list\"\n"
                              "echo 'stub: disk full' >&2\n"
                              "exit " +
                              std::to_string(status) + "\n");
    ::chmod(Path.c_str(), 0755);
  }
  std::string Args() const { return ReadFile(Dir.Native("record/args")); }
  std::string Cwd() const { return ReadFile(Dir.Native("record/cwd")); }
  std::string List() const { return ReadFile(Dir.Native("record/list")); }
  std::string Found() const { return ReadFile(Dir.Native("record/found")); }

  TTempFolder& Dir;
  std::string Path;
};

// Copying into an archive: a source browser over "src" and the fixture's browser in the archive.
struct TCopyInFixture : TArchiveFixture {
  explicit TCopyInFixture(int status = 0) : Stub(Dir, status) {
    Archive = MakeZip("a.zip", {TZipItem("old.txt", "old")});
    test::WriteFile(Dir.File("src/a.txt"), "alpha");
    test::WriteFile(Dir.File("src/tree/b.txt"), "bravo");
    Source.SortMode = smName;
    EXPECT_TRUE(Source.SetRoot("C:\\", 0, Dir.Rel() + "src"));
    OpenFolder();
    EXPECT_TRUE(Enter("a.zip"));
    Browser.OnArchiveParameters = [this](int type, int mode, int, std::string& text) {
      Modes.push_back(mode);
      EXPECT_EQ(type, static_cast<int>(archive::TArcType::atZIP));
      text = Template(mode);
    };
  }
  std::function<std::string(int)> Template = [this](int mode) {
    return Stub.Path + (mode == amDelete ? " d % !" : " a -x % @");
  };

  TStubArchiver Stub;
  std::string Archive;
  TBrowser Source;
  std::vector<int> Modes;
};

TEST(ArchiveSource, AddsThroughTheArchiverWithAListFileInTheSourceFolder) {
  TCopyInFixture f;
  f.Dir.Folder("work");
  test::WriteFile(f.Dir.Native("work/files0.lst"), "someone else's");
  f.Source.ToggleMark(f.Source.FindEntry("a.txt"));
  f.Source.ToggleMark(f.Source.FindEntry("tree"));
  ASSERT_TRUE(f.Source.CopyToBrowser(f.Browser, false));
  EXPECT_EQ(f.Modes, (std::vector<int>{amAddFolders}));
  const std::string list = f.Dir.Native("work/files1.lst");
  EXPECT_EQ(f.Stub.Args(), "a\n-x\n" + f.Archive + "\n@" + list + "\n");
  EXPECT_EQ(f.Stub.Cwd(), f.Dir.Native("src") + "\n");
  EXPECT_EQ(f.Stub.List(), "a.txt\ntree/b.txt\n");
  EXPECT_FALSE(Exists(list)); // removed after the run
  EXPECT_EQ(ReadFile(f.Dir.Native("work/files0.lst")), "someone else's");
  EXPECT_EQ(f.Stub.Found(), "a.txt\ntree/b.txt\n"); // every name leads to its file
  EXPECT_EQ(ReadFile(f.Dir.Native("work/archiver.log")), "stub: disk full\n");
  EXPECT_TRUE(f.Errors.empty());
}

TEST(ArchiveSource, NamesAnArchiverWouldReadAsPatternsAreNeverListed) {
  // "a*.txt" in a list would also match "ab.txt": adding it could move, deleting it could delete
  // a file nobody chose.
  TCopyInFixture f;
  test::WriteFile(f.Dir.File("src/a*.txt"), "star");
  test::WriteFile(f.Dir.File("src/ab.txt"), "plain");
  f.Source.ReadFolder();
  f.Source.ToggleMark(f.Source.FindEntry("a*.txt"));
  f.Source.ToggleMark(f.Source.FindEntry("ab.txt"));
  ASSERT_TRUE(f.Source.CopyToBrowser(f.Browser, true));
  EXPECT_EQ(f.Stub.List(), "ab.txt\n");
  ASSERT_EQ(f.Errors.size(), 1u);
  EXPECT_NE(f.Errors.front().find(f.Dir.Model() + "src\\a*.txt"), std::string::npos);
  EXPECT_EQ(ReadFile(f.Dir.Native("src/a*.txt")), "star");

  TArchiveFixture g;
  g.MakeZip("b.zip", {TZipItem("a*.txt", "star"), TZipItem("ab.txt", "plain")});
  TStubArchiver stub(g.Dir, 0);
  g.OpenFolder();
  ASSERT_TRUE(g.Enter("b.zip"));
  g.Browser.OnArchiveParameters = [&stub](int, int, int, std::string& text) {
    text = stub.Path + " d % @";
  };
  std::vector<std::string> notDeleted;
  g.Browser.OnDeleteError = [&](const std::string& path) { notDeleted.push_back(path); };
  g.Browser.ToggleMark(g.Browser.FindEntry("a*.txt"));
  g.Browser.ToggleMark(g.Browser.FindEntry("ab.txt"));
  g.Browser.DeleteSelection();
  EXPECT_EQ(stub.List(), "ab.txt\n");
  EXPECT_EQ(notDeleted, (std::vector<std::string>{g.Dir.Model() + "b.zip\\a*.txt"}));
}

TEST(ArchiveSource, FilesAddedToAFolderInsideTheArchiveAreNamedWithIt) {
  TCopyInFixture f;
  f.Source.Cursor = f.Source.FindEntry("a.txt");
  // The archive panel shows the folder docs\sub (which need not exist yet).
  TBrowser& target = f.Browser;
  target.CloseSource();
  target.Cursor = target.FindEntry("a.zip");
  ASSERT_TRUE(target.OpenSource(skArchive, f.Dir.Model() + "a.zip", "docs\\sub\\"));
  ASSERT_TRUE(f.Source.CopyToBrowser(target, true));
  EXPECT_EQ(f.Stub.List(), "docs/sub/a.txt\n");
  EXPECT_EQ(f.Stub.Found(), "docs/sub/a.txt\n");
  EXPECT_EQ(f.Stub.Cwd().find(f.Dir.Native("work/stage-")), 0u);
  // The staging folder is gone and the source was neither followed nor touched.
  EXPECT_FALSE(Exists(f.Stub.Cwd().substr(0, f.Stub.Cwd().size() - 1)));
  EXPECT_EQ(ReadFile(f.Dir.Native("src/a.txt")), "alpha");
  EXPECT_TRUE(f.Errors.empty());
}

TEST(ArchiveSource, DeletesThroughTheArchiverAndReadsTheArchiveAgain) {
  TCopyInFixture f;
  f.Browser.Cursor = f.Browser.FindEntry("old.txt");
  f.Browser.DeleteSelection();
  EXPECT_EQ(f.Modes, (std::vector<int>{amDelete}));
  const std::string args = f.Stub.Args();
  EXPECT_EQ(args.substr(0, 2 + f.Archive.size() + 2), "d\n" + f.Archive + "\n!");
  EXPECT_EQ(f.Stub.List(), "old.txt\n");
  EXPECT_EQ(f.Stub.Cwd(), f.Dir.Path() + "\n");
  // The stub changed nothing, and the listing read again says so.
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "old.txt"}));
}

TEST(ArchiveSource, ArchiverFailuresAreReportedAndTheSourcesKept) {
  struct Case {
    const char* Name;
    int Status;
    std::string Template; // "" for the stub's
    const char* Message;
  };
  for (const Case& c : {Case{"fails", 3, "", "failed with exit status 3"},
                        Case{"missing", 0, "no-such-archiver-here a % @", "was not found"},
                        Case{"no program", 0, " % @", "No archiver is set"}}) {
    TCopyInFixture f(c.Status);
    if (!c.Template.empty())
      f.Template = [&c](int) { return c.Template; };
    const std::string before = ReadFile(f.Archive);
    f.Source.ToggleMark(f.Source.FindEntry("a.txt"));
    ASSERT_TRUE(f.Source.CopyToBrowser(f.Browser, true)) << c.Name;
    EXPECT_EQ(f.Modes, (std::vector<int>{amMove})) << c.Name;
    EXPECT_TRUE(f.ErrorSays(c.Message)) << c.Name;
    if (c.Status == 3) {
      EXPECT_TRUE(f.ErrorSays("stub: disk full")) << "the log's tail is in the message";
    }
    EXPECT_EQ(ReadFile(f.Dir.Native("src/a.txt")), "alpha") << c.Name;
    EXPECT_EQ(ReadFile(f.Archive), before) << c.Name;
    EXPECT_EQ(Listing(f.Browser), (Names{"..", "old.txt"})) << c.Name;
  }
}

TEST(ArchiveSource, ArchiveTypesWithoutAnArchiverRefuseToChange) {
  TArchiveFixture f;
  f.Dir.Folder("src");
  test::WriteFile(f.Dir.File("src/a.txt"), "alpha");
  // A TAR with one file, by hand: a ustar header and one block of data.
  std::string tar(1536, '\0');
  tar.replace(0, 5, "x.txt");
  tar.replace(100, 7, "0000644");
  tar.replace(124, 11, "00000000001");
  tar.replace(136, 11, "14000000000");
  tar[156] = '0';
  tar.replace(257, 6, std::string("ustar\0", 6));
  tar.replace(263, 2, "00");
  tar.replace(148, 8, "        ");
  unsigned sum = 0;
  for (size_t i = 0; i < 512; ++i)
    sum += static_cast<unsigned char>(tar[i]);
  char field[8];
  std::snprintf(field, sizeof field, "%06o", sum);
  tar.replace(148, 7, std::string(field, 6) + '\0');
  tar[512] = 'x';
  test::WriteFile(f.Dir.Native("x.tar"), tar);
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("x.tar"));
  ASSERT_EQ(Listing(f.Browser), (Names{"..", "x.txt"}));
  TBrowser source;
  ASSERT_TRUE(source.SetRoot("C:\\", 0, f.Dir.Rel() + "src"));
  source.Cursor = source.FindEntry("a.txt");
  ASSERT_TRUE(source.CopyToBrowser(f.Browser, true));
  EXPECT_TRUE(f.ErrorSays("No archiver is set for atTAR")) << testing::PrintToString(f.Errors);
  EXPECT_EQ(ReadFile(f.Dir.Native("src/a.txt")), "alpha");
}

TEST(ArchiveSource, DeletingAFolderKeepsWhatTheUserKeptAndTheFolderHoldingIt) {
  // An archiver deletes a listed folder with everything under it: a stored folder is listed only
  // when nothing under it stays. In docs the read-only member is answered No and "a*.txt" cannot
  // be listed, so docs stays; docs\sub is emptied and goes.
  for (const bool real : {false, true}) {
    if (real && platform::FindOnPath("7zz").empty())
      GTEST_SKIP() << "7zz is not installed";
    TArchiveFixture f;
    TStubArchiver stub(f.Dir, 0);
    TZipItem docs("docs/", ""), sub("docs/sub/", "");
    docs.Attributes = sub.Attributes = 16;
    f.MakeZip("a.zip", {docs, TZipItem("docs/ro.txt", "kept").WithAttributes(1),
                        TZipItem("docs/a*.txt", "star"), TZipItem("docs/ok.txt", "goes"), sub,
                        TZipItem("docs/sub/x.txt", "goes"), TZipItem("top.txt", "stays")});
    f.OpenFolder();
    ASSERT_TRUE(f.Enter("a.zip"));
    f.Browser.OnArchiveParameters = [&](int, int, int, std::string& text) {
      text = real ? "7zz d % @" : stub.Path + " d % @";
    };
    std::vector<std::string> asked;
    f.Browser.OnDeleteConfirm = [&](TDeleteConfirm, const std::string& path, bool& answer) {
      asked.push_back(path);
      answer = false;
    };
    f.Browser.Cursor = f.Browser.FindEntry("docs");
    f.Browser.DeleteSelection();
    EXPECT_EQ(asked, (std::vector<std::string>{f.Dir.Model() + "a.zip\\docs\\ro.txt"}));
    if (!real) {
      std::vector<std::string> lines;
      std::istringstream list(stub.List());
      for (std::string line; std::getline(list, line);)
        lines.push_back(line);
      std::sort(lines.begin(), lines.end());
      EXPECT_EQ(lines, (std::vector<std::string>{"docs/ok.txt", "docs/sub", "docs/sub/x.txt"}));
      continue;
    }
    EXPECT_TRUE(f.Errors.empty()) << testing::PrintToString(f.Errors);
    EXPECT_EQ(Listing(f.Browser), (Names{"..", "docs", "top.txt"}));
    ASSERT_TRUE(f.Browser.EnterFolder(f.Browser.FindEntry("docs")));
    EXPECT_EQ(Listing(f.Browser), (Names{"..", "a*.txt", "ro.txt"}));
  }
}

TEST(ArchiveSource, LinksFifosAndSocketsAreNeverHandedToTheArchiver) {
  // An archiver follows a link (a move would archive and delete the files it points to) and
  // blocks on a FIFO; they are reported, once each, and stay, while the files beside them move.
  if (platform::FindOnPath("7zz").empty())
    GTEST_SKIP() << "7zz is not installed";
  TArchiveFixture f;
  f.MakeZip("a.zip", {TZipItem("old.txt", "old")});
  test::WriteFile(f.Dir.File("real/r.txt"), "elsewhere");
  test::WriteFile(f.Dir.File("src/a.txt"), "alpha");
  test::WriteFile(f.Dir.File("src/tree/b.txt"), "bravo");
  std::vector<std::string> special = {"src/to-file", "src/to-folder", "src/tree/to-folder",
                                      "src/fifo"};
  f.Dir.Link("src/to-file", f.Dir.Native("real/r.txt"));
  f.Dir.Link("src/to-folder", f.Dir.Native("real"));
  f.Dir.Link("src/tree/to-folder", "../../real");
  ASSERT_EQ(::mkfifo(f.Dir.Native("src/fifo").c_str(), 0600), 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = f.Dir.Native("src/sock");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (socketPath.size() < sizeof address.sun_path) {
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    special.push_back("src/sock");
  }
  TBrowser source;
  source.SortMode = smName;
  ASSERT_TRUE(source.SetRoot("C:\\", 0, f.Dir.Rel() + "src"));
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("a.zip"));
  for (int i = 1; i <= source.Count(); ++i)
    if (source.EntryName(i) != "..")
      source.ToggleMark(i);
  ASSERT_TRUE(source.CopyToBrowser(f.Browser, true));
  ::close(sock);

  std::string errors;
  for (const std::string& error : f.Errors)
    errors += error + "\n";
  for (const std::string& kept : special) {
    std::string model = f.Dir.Model() + kept;
    std::replace(model.begin(), model.end(), '/', '\\');
    size_t times = 0;
    for (size_t at = errors.find(model + "\n"); at != std::string::npos;
         at = errors.find(model + "\n", at + 1))
      ++times;
    EXPECT_EQ(times, 1u) << kept << " in " << errors;
    EXPECT_TRUE(Exists(f.Dir.Native(kept))) << kept;
  }
  EXPECT_EQ(ReadFile(f.Dir.Native("real/r.txt")), "elsewhere");
  EXPECT_FALSE(Exists(f.Dir.Native("src/a.txt")));
  EXPECT_FALSE(Exists(f.Dir.Native("src/tree/b.txt")));
  f.Browser.Refresh();
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "tree", "a.txt", "old.txt"}));
  ASSERT_TRUE(f.Browser.EnterFolder(f.Browser.FindEntry("tree")));
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "b.txt"}));
}

TEST(ArchiveSource, ACancelledArchiverIsReportedAndTheArchiveReadAsItLeftIt) {
  // A slow archiver that has already rewritten the archive when the user cancels a move.
  TCopyInFixture f;
  test::WriteFile(
      f.Dir.Native("changed.zip"),
      test::BuildZip(TZipArchive({TZipItem("old.txt", "old"), TZipItem("half.txt", "")})));
  const std::string slow = f.Dir.Native("bin/slowarc");
  test::WriteFile(slow, "#!/bin/sh\ncp '" + f.Dir.Native("changed.zip") + "' '" + f.Archive +
                            "'\n: > '" + f.Dir.Native("ready") + "'\nexec /bin/sleep 60\n");
  ::chmod(slow.c_str(), 0755);
  f.Template = [&slow](int) { return slow + " a -tzip -sdel % @"; };
  std::vector<TArchiverWait> calls;
  f.Browser.OnArchiverWait = [&](const TArchiverWait& wait) {
    calls.push_back(wait);
    return !Exists(f.Dir.Native("ready"));
  };
  f.Source.ToggleMark(f.Source.FindEntry("a.txt"));
  ASSERT_TRUE(f.Source.CopyToBrowser(f.Browser, true));
  EXPECT_EQ(f.Errors,
            (std::vector<std::string>{"5 The archiver \"" + slow +
                                      "\" was cancelled; the archive is as it left it."}));
  EXPECT_EQ(ReadFile(f.Dir.Native("src/a.txt")), "alpha");
  ASSERT_TRUE(f.Browser.Refresh());
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "half.txt", "old.txt"}));
  ASSERT_GE(calls.size(), 2u);
  EXPECT_TRUE(calls.front().Running);
  EXPECT_FALSE(calls.back().Running) << "the last call says the archiver has ended";
  EXPECT_EQ(calls.back().Archive, f.Dir.Model() + "a.zip");
  EXPECT_EQ(calls.back().Program, slow);
}

// The real archiver, when it is installed.
TEST(ArchiveSource, RealArchiverAddsMovesAndDeletes) {
  if (platform::FindOnPath("7zz").empty())
    GTEST_SKIP() << "7zz is not installed";
  TArchiveFixture f;
  f.MakeZip("a.zip", {TZipItem("old.txt", "old")});
  test::WriteFile(f.Dir.File("src/a.txt"), "alpha");
  test::WriteFile(f.Dir.File("src/tree/b.txt"), "bravo");
  test::WriteFile(f.Dir.File("src/moved.txt"), "moved");
  TBrowser source;
  source.SortMode = smName;
  ASSERT_TRUE(source.SetRoot("C:\\", 0, f.Dir.Rel() + "src"));
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("a.zip"));

  source.ToggleMark(source.FindEntry("a.txt"));
  source.ToggleMark(source.FindEntry("tree"));
  ASSERT_TRUE(source.CopyToBrowser(f.Browser, false));
  EXPECT_TRUE(f.Errors.empty()) << (f.Errors.empty() ? "" : f.Errors.front());
  ASSERT_TRUE(f.Browser.ReadFolder());
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "tree", "a.txt", "old.txt"}));
  ASSERT_TRUE(f.Browser.EnterFolder(f.Browser.FindEntry("tree")));
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "b.txt"}));
  ASSERT_TRUE(f.Browser.GoUp());

  // A move into a folder inside the archive: the file is named with the folder and leaves.
  ASSERT_TRUE(f.Browser.EnterFolder(f.Browser.FindEntry("tree")));
  ASSERT_TRUE(source.ReadFolder());
  source.Cursor = source.FindEntry("moved.txt");
  ASSERT_TRUE(source.CopyToBrowser(f.Browser, true));
  EXPECT_TRUE(f.Errors.empty()) << (f.Errors.empty() ? "" : f.Errors.front());
  EXPECT_FALSE(Exists(f.Dir.Native("src/moved.txt")));
  EXPECT_TRUE(Exists(f.Dir.Native("src/a.txt")));
  f.Browser.Refresh();
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "b.txt", "moved.txt"}));
  ASSERT_TRUE(f.Browser.GoUp());

  f.Browser.Refresh();
  f.Browser.ToggleMark(f.Browser.FindEntry("old.txt"));
  f.Browser.ToggleMark(f.Browser.FindEntry("tree"));
  f.Browser.DeleteSelection();
  EXPECT_TRUE(f.Errors.empty()) << (f.Errors.empty() ? "" : f.Errors.front());
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "a.txt"}));
  f.Dir.Folder("out");
  ASSERT_TRUE(f.Browser.CurrentSource()->CopyOut("a.txt", f.Dir.Model() + "out\\a.txt", false));
  EXPECT_EQ(ReadFile(f.Dir.Native("out/a.txt")), "alpha");
}

TEST(ArchiveSource, RealArjAddsAndDeletes) {
  if (platform::FindOnPath("arj").empty())
    GTEST_SKIP() << "arj is not installed";
  TArchiveFixture f;
  test::WriteFile(f.Dir.Native("a.arj"),
                  ReadFile(CORVANE_SOURCE_DIR "/tests/core/archive/fixtures/arj/methods_m0.arj"));
  test::WriteFile(f.Dir.File("src/new.txt"), "new");
  TBrowser source;
  ASSERT_TRUE(source.SetRoot("C:\\", 0, f.Dir.Rel() + "src"));
  source.Cursor = source.FindEntry("new.txt");
  f.OpenFolder();
  ASSERT_TRUE(f.Enter("a.arj"));
  ASSERT_TRUE(source.CopyToBrowser(f.Browser, false));
  EXPECT_TRUE(f.Errors.empty()) << testing::PrintToString(f.Errors);
  f.Browser.Refresh();
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "sub", "new.txt"}));
  f.Browser.Cursor = f.Browser.FindEntry("new.txt");
  f.Browser.DeleteSelection();
  EXPECT_TRUE(f.Errors.empty()) << testing::PrintToString(f.Errors);
  EXPECT_EQ(Listing(f.Browser), (Names{"..", "sub"}));
}

} // namespace
} // namespace corvane
