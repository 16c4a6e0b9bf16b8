// The extractors and the directory reader as the program drives them: events, options, names that
// try to leave the target folder, links, existing files, faults of one entry, passwords.
#include "archive/archive_component.h"
#include "hostile_archives.h"
#include "temp_folder.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace corvane::archive;
using namespace corvane::test;
namespace fs = std::filesystem;

namespace {

std::string WriteZip(TTempFolder& folder, const std::string& name, const TZipArchive& archive) {
  const std::string path = folder.Native(name);
  WriteFile(path, BuildZip(archive));
  return path;
}

TZipItem Item(const std::string& name, const std::string& data, uint16_t method = zipStore) {
  TZipItem item;
  item.Name = name;
  item.Data = data;
  item.Method = method;
  return item;
}

TZipItem UnixItem(const std::string& name, const std::string& data, uint32_t mode) {
  TZipItem item = Item(name, data);
  item.Host = zipHostUnix;
  item.Attributes = UnixAttributes(mode);
  return item;
}

struct TErrors {
  std::vector<std::pair<int, std::string>> List;
  void Bind(TAwkMain& component) {
    component.OnError = [this](TAwkMain*, const std::string& fn, const std::string&,
                               const std::string&, int code) { List.emplace_back(code, fn); };
  }
};

// Everything below a folder, relative, folders ending in "/".
std::vector<std::string> Tree(const std::string& root) {
  std::vector<std::string> names;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    std::string name = fs::relative(it->path(), root).string();
    if (it->is_symlink())
      name += "@";
    else if (it->is_directory())
      name += "/";
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace

TEST(ArchiveExtract, StoredFoldersAreKeptOrFlattened) {
  TTempFolder folder;
  TZipArchive archive;
  archive.Items = {Item("docs/", ""), Item("docs/a.txt", "alpha"),
                   Item("docs/deep/b.txt", "beta", zipDeflate), Item("c.txt", "gamma")};
  const std::string zip = WriteZip(folder, "tree.zip", archive);
  for (const bool stored : {true, false}) {
    const std::string target = folder.Native(stored ? "kept" : "flat");
    TUnZIP unzip;
    unzip.ExtractDir = target;
    unzip.UseStoredDirs = stored;
    unzip.SetArchiveFile(zip);
    unzip.Extract();
    EXPECT_EQ(unzip.FailedCount(), 0);
    if (stored) {
      EXPECT_EQ(Tree(target), (std::vector<std::string>{"c.txt", "docs/", "docs/a.txt",
                                                        "docs/deep/", "docs/deep/b.txt"}));
      EXPECT_EQ(ReadFile(target + "/docs/deep/b.txt"), "beta");
    } else {
      EXPECT_EQ(Tree(target), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    }
  }
}

TEST(ArchiveExtract, EventsInOrderWithProgressSteps) {
  TTempFolder folder;
  TZipArchive archive;
  archive.Items = {Item("big.bin", std::string(1 << 20, 'x'), zipDeflate), Item("empty.txt", "")};
  const std::string zip = WriteZip(folder, "p.zip", archive);
  const struct {
    TProgressNotify Notify;
    int Step;
  } cases[] = {
      {TProgressNotify::Five, 5}, {TProgressNotify::Ten, 10}, {TProgressNotify::TwentyFive, 25}};
  for (const auto& c : cases) {
    TUnZIP unzip;
    std::vector<std::string> events;
    std::vector<int> progress;
    unzip.ProgressNotify = c.Notify;
    unzip.ExtractDir = folder.Native("out" + std::to_string(c.Step));
    unzip.OnActivate = [&](TAwkMain*) { events.push_back("activate"); };
    unzip.OnDeactivate = [&](TAwkMain*) { events.push_back("deactivate"); };
    unzip.OnBegin = [&](TUnBase*, const std::string& fn, int recNum, bool&) {
      events.push_back("begin " + fn + " " + std::to_string(recNum));
    };
    unzip.OnEnd = [&](TUnBase*, const std::string& fn, bool pass) {
      events.push_back("end " + fn + (pass ? " ok" : " bad"));
    };
    unzip.OnProgress = [&](TUnBase*, const std::string& fn, uint8_t percent) {
      if (fn == "big.bin")
        progress.push_back(percent);
    };
    unzip.SetArchiveFile(zip);
    unzip.Extract();
    EXPECT_EQ(events,
              (std::vector<std::string>{"activate", "begin big.bin 0", "end big.bin ok",
                                        "begin empty.txt 1", "end empty.txt ok", "deactivate"}));
    std::vector<int> expected;
    for (int p = c.Step; p <= 100; p += c.Step)
      expected.push_back(p);
    EXPECT_EQ(progress, expected) << c.Step;
  }
}

TEST(ArchiveExtract, NamesLeavingTheTargetAreRefusedAndTheRestGoesOn) {
  TTempFolder folder;
  TZipArchive archive;
  archive.Items = {Item("../evil.txt", "x"),  Item("/tmp/abs.txt", "x"),
                   Item("C:/drive.txt", "x"), Item("a/../../up.txt", "x"),
                   Item("..\\dos.txt", "x"),  Item("fine/ok.txt", "ok")};
  const std::string zip = WriteZip(folder, "hostile.zip", archive);
  fs::create_directory(folder.Native("target"));
  TUnZIP unzip;
  TErrors errors;
  errors.Bind(unzip);
  unzip.ExtractDir = folder.Native("target");
  unzip.SetArchiveFile(zip);
  unzip.Extract();
  EXPECT_EQ(unzip.FailedCount(), 5);
  ASSERT_EQ(errors.List.size(), 5u);
  for (const auto& [code, fn] : errors.List)
    EXPECT_EQ(code, errInvalidFileName) << fn;
  EXPECT_EQ(errors.List[0].second, "evil.txt");
  EXPECT_EQ(Tree(folder.Path()), (std::vector<std::string>{"hostile.zip", "target/", "target/fine/",
                                                           "target/fine/ok.txt"}));
}

TEST(ArchiveExtract, NamesAndLinkTargetsHoldingANulAreRefusedInEveryFormat) {
  for (const THostileSample& sample : NulByteSamples()) {
    SCOPED_TRACE(sample.Label);
    TTempFolder folder;
    const std::string archive = folder.Native(sample.File);
    WriteFile(archive, sample.Bytes);
    // The folder above the target holds a file a climbing hard link would reach; the target
    // holds the user's file of the name a cut entry name would end in.
    WriteFile(folder.File("above/y"), "sentinel");
    WriteFile(folder.File("above/target/x"), "user");
    TZipTV probe;
    probe.SetArchiveFile(archive);
    auto extractor = MakeExtractor(probe.ArcType());
    ASSERT_NE(extractor, nullptr) << ArcTypeName(probe.ArcType());
    // Each fault with the stored name of the entry it belongs to.
    std::vector<std::pair<int, std::string>> errors;
    extractor->OnError = [&](TAwkMain* sender, const std::string&, const std::string&,
                             const std::string&, int code) {
      errors.emplace_back(code, static_cast<TUnBase*>(sender)->Entry().Name);
    };
    extractor->ExtractDir = folder.Native("above/target");
    extractor->SetArchiveFile(archive);
    extractor->Extract();
    EXPECT_EQ(extractor->FailedCount(), 1);
    EXPECT_EQ(errors, (std::vector<std::pair<int, std::string>>{
                          {static_cast<int>(errInvalidFileName), sample.Refused}}));
    EXPECT_EQ(Tree(folder.Native("above")),
              (std::vector<std::string>{"target/", "target/ok.txt", "target/x", "y"}));
    EXPECT_EQ(ReadFile(folder.Native("above/target/x")), "user");
    EXPECT_EQ(ReadFile(folder.Native("above/y")), "sentinel");
  }
}

TEST(ArchiveExtract, NoWriteFollowsALink) {
  TTempFolder folder;
  fs::create_directory(folder.Native("outside"));
  fs::create_directory(folder.Native("target"));
  // A link the user already had in the target, and links the archive brings.
  folder.Link("target/planted", "../outside");
  TZipArchive archive;
  archive.Items = {
      UnixItem("abs", "/etc", 0120777),          UnixItem("up", "../outside", 0120777),
      UnixItem("down", "sub/file", 0120777),     UnixItem("abs/passwd", "owned", 0100644),
      UnixItem("up/evil.txt", "owned", 0100644), UnixItem("planted/evil.txt", "owned", 0100644),
      UnixItem("down", "replaced", 0100644)};
  const std::string zip = WriteZip(folder, "links.zip", archive);
  TUnZIP unzip;
  TErrors errors;
  errors.Bind(unzip);
  unzip.ExtractDir = folder.Native("target");
  unzip.SetArchiveFile(zip);
  unzip.Extract();
  EXPECT_TRUE(fs::is_empty(folder.Native("outside")));
  // The links pointing out were refused, so the files named below them went into folders of the
  // target; the link that was already there is not followed; the harmless link was made and then
  // replaced as a name of its own, so that file too went into the target.
  std::vector<int> codes;
  for (const auto& e : errors.List)
    codes.push_back(e.first);
  EXPECT_EQ(codes, (std::vector<int>{errInvalidFileName, errInvalidFileName, errCreateDir}));
  EXPECT_EQ(ReadFile(folder.Native("target/abs/passwd")), "owned");
  EXPECT_EQ(ReadFile(folder.Native("target/up/evil.txt")), "owned");
  EXPECT_EQ(ReadFile(folder.Native("target/down")), "replaced");
  EXPECT_FALSE(fs::is_symlink(folder.Native("target/down")));
  EXPECT_TRUE(fs::is_symlink(folder.Native("target/planted")));
}

TEST(ArchiveExtract, ExistingFilesAndEntriesThatFail) {
  TTempFolder folder;
  fs::create_directory(folder.Native("target"));
  WriteFile(folder.Native("target/keep.txt"), "mine");
  WriteFile(folder.Native("target/replace.txt"), "old");
  WriteFile(folder.Native("target/bad-over.txt"), "precious");
  TZipArchive archive;
  TZipItem badOver = Item("bad-over.txt", "new contents", zipDeflate);
  badOver.StatedCrc = 0x12345678;
  TZipItem badNew = Item("bad-new.txt", "new contents");
  badNew.StatedCrc = 0x12345678;
  TZipItem lying = Item("lying.txt", std::string(5000, 'z'), zipDeflate);
  lying.StatedSize = 10; // the data inflates to far more than the header says
  archive.Items = {Item("keep.txt", "theirs"), Item("replace.txt", "new"), badOver, badNew, lying};
  const std::string zip = WriteZip(folder, "mixed.zip", archive);
  TUnZIP unzip;
  TErrors errors;
  errors.Bind(unzip);
  std::vector<std::string> asked;
  unzip.OnFileExists = [&](TUnBase*, const std::string& fn, int64_t, bool& accept) {
    asked.push_back(fn);
    accept = fn != "keep.txt";
  };
  unzip.ExtractDir = folder.Native("target");
  unzip.SetArchiveFile(zip);
  unzip.Extract();
  EXPECT_EQ(asked, (std::vector<std::string>{"keep.txt", "replace.txt", "bad-over.txt"}));
  EXPECT_EQ(ReadFile(folder.Native("target/keep.txt")), "mine");
  EXPECT_EQ(ReadFile(folder.Native("target/replace.txt")), "new");
  // A failed entry leaves the old file whole and no partial file behind.
  EXPECT_EQ(ReadFile(folder.Native("target/bad-over.txt")), "precious");
  EXPECT_EQ(Tree(folder.Native("target")),
            (std::vector<std::string>{"bad-over.txt", "keep.txt", "replace.txt"}));
  ASSERT_EQ(errors.List.size(), 3u);
  EXPECT_EQ(errors.List[0], std::make_pair(static_cast<int>(errCrc), std::string("bad-over.txt")));
  EXPECT_EQ(errors.List[1], std::make_pair(static_cast<int>(errCrc), std::string("bad-new.txt")));
  EXPECT_EQ(errors.List[2].second, "lying.txt");
  EXPECT_EQ(unzip.FailedCount(), 3);
}

TEST(ArchiveExtract, ModesAndDatesAreRestoredSafely) {
  TTempFolder folder;
  TZipArchive archive;
  TZipItem readOnly = Item("readonly.txt", "r");
  readOnly.Attributes = ftReadOnly;
  archive.Items = {UnixItem("run.sh", "#!/bin/sh\n", 0100755), UnixItem("setuid", "x", 0104755),
                   readOnly, Item("plain.txt", "p")};
  const std::string zip = WriteZip(folder, "modes.zip", archive);
  const mode_t old = ::umask(022);
  for (const TSetDate when : {TSetDate::sdOrigDate, TSetDate::sdSysDate}) {
    const std::string target = folder.Native(when == TSetDate::sdOrigDate ? "orig" : "sys");
    TUnZIP unzip;
    unzip.ExtractDir = target;
    unzip.SetDateTo = when;
    unzip.SetArchiveFile(zip);
    unzip.Extract();
    struct stat st {};
    ASSERT_EQ(::stat((target + "/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(::stat((target + "/setuid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(::stat((target + "/readonly.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_EQ(::stat((target + "/plain.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    // 2025-04-11 12:00:00 local time.
    std::tm tm{};
    const time_t mtime = st.st_mtime;
    localtime_r(&mtime, &tm);
    if (when == TSetDate::sdOrigDate) {
      EXPECT_EQ(
          std::vector<int>({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min}),
          std::vector<int>({2025, 4, 11, 12, 0}));
    } else {
      EXPECT_GT(mtime, time(nullptr) - 600);
    }
  }
  ::umask(old);
}

TEST(ArchiveExtract, PasswordsAreTriedInOrderAndAskingIsBounded) {
  TTempFolder folder;
  TZipArchive archive;
  TZipItem first = Item("first.txt", "one");
  first.Password = "right";
  TZipItem second = Item("second.txt", "two", zipDeflate);
  second.Password = "right";
  archive.Items = {first, second};
  const std::string zip = WriteZip(folder, "locked.zip", archive);

  {
    // The list is tried, and the password that worked opens the next entry without asking.
    TUnZIP unzip;
    int asked = 0;
    unzip.Passwords = {"wrong", "right"};
    unzip.OnGetPassword = [&](TUnZIP*, const std::string&, std::string&, bool&) { ++asked; };
    unzip.ExtractDir = folder.Native("list");
    unzip.SetArchiveFile(zip);
    unzip.Extract();
    EXPECT_EQ(unzip.FailedCount(), 0);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(ReadFile(folder.Native("list/second.txt")), "two");
  }
  {
    // A user who keeps answering wrong and asking to try again is asked a bounded number of times.
    TUnZIP unzip;
    TErrors errors;
    errors.Bind(unzip);
    int asked = 0;
    unzip.OnGetPassword = [&](TUnZIP*, const std::string&, std::string& password, bool& tryAgain) {
      ++asked;
      password = "guess" + std::to_string(asked);
      tryAgain = true;
    };
    unzip.ExtractDir = folder.Native("stubborn");
    unzip.FileSpec = "first.txt";
    unzip.SetArchiveFile(zip);
    unzip.Extract();
    EXPECT_GT(asked, 1);
    EXPECT_LE(asked, 16);
    ASSERT_EQ(errors.List.size(), 1u);
    EXPECT_EQ(errors.List[0].first, errInvalidPassword);
  }
  {
    // The user answers right on the second question.
    TUnZIP unzip;
    int asked = 0;
    unzip.OnGetPassword = [&](TUnZIP*, const std::string&, std::string& password, bool& tryAgain) {
      password = ++asked == 1 ? "typo" : "right";
      tryAgain = true;
    };
    unzip.ExtractDir = folder.Native("second-try");
    unzip.SetArchiveFile(zip);
    unzip.Extract();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(unzip.FailedCount(), 0);
  }
  {
    // Cancelling (an empty answer) ends the entry with its code, without a second question.
    TUnZIP unzip;
    TErrors errors;
    errors.Bind(unzip);
    int asked = 0;
    unzip.OnGetPassword = [&](TUnZIP*, const std::string&, std::string&, bool& tryAgain) {
      ++asked;
      tryAgain = true;
    };
    unzip.ExtractDir = folder.Native("cancel");
    unzip.SetArchiveFile(zip);
    unzip.Extract();
    EXPECT_EQ(asked, 2); // once per entry
    ASSERT_EQ(errors.List.size(), 2u);
    EXPECT_EQ(errors.List[0].first, errPasswordFailed);
    EXPECT_FALSE(fs::exists(folder.Native("cancel/first.txt")));
  }
}

TEST(ArchiveExtract, EntriesChosenByRecordNumberAndTestingWritesNothing) {
  TTempFolder folder;
  TZipArchive archive;
  archive.Items = {Item("a*.txt", "star"), Item("ab.txt", "plain"), Item("a?.txt", "question")};
  const std::string zip = WriteZip(folder, "wild.zip", archive);
  TUnZIP unzip;
  unzip.ExtractDir = folder.Native("one");
  unzip.SetArchiveFile(zip);
  unzip.ExtractEntries({0});
  EXPECT_EQ(Tree(folder.Native("one")), std::vector<std::string>{"a*.txt"});

  TUnZIP tester;
  int ended = 0;
  tester.TestOnly = true;
  tester.ExtractDir = folder.Native("never");
  tester.OnEnd = [&](TUnBase*, const std::string&, bool pass) { ended += pass; };
  tester.SetArchiveFile(zip);
  tester.Extract();
  EXPECT_EQ(ended, 3);
  EXPECT_FALSE(fs::exists(folder.Native("never")));
}

TEST(ArchiveExtract, AFaultOfTheWholeArchiveIsReportedAndThrown) {
  TTempFolder folder;
  const struct {
    const char* Label;
    std::string Content;
    int Code;
  } cases[] = {
      {"text", "just text", errUnsupportedType},
      {"zip whose directory is cut off", BuildZip([] {
         TZipArchive a;
         a.Items = {Item("x", "y")};
         a.StatedDirectoryOffset = 1u << 30;
         return a;
       }()),
       0},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Native(std::string(c.Label) + ".zip");
    WriteFile(path, c.Content);
    TUnZIP unzip;
    TErrors errors;
    errors.Bind(unzip);
    int active = 0;
    unzip.OnActivate = [&](TAwkMain*) { ++active; };
    unzip.OnDeactivate = [&](TAwkMain*) { --active; };
    unzip.ExtractDir = folder.Native("out");
    unzip.SetArchiveFile(path);
    try {
      unzip.Extract();
      ADD_FAILURE() << c.Label << ": no exception";
    } catch (const EArchiveError& error) {
      if (c.Code) {
        EXPECT_EQ(error.Code(), c.Code) << c.Label;
      }
      EXPECT_EQ(error.what(), ArchiveErrorText(error.Code()));
      ASSERT_EQ(errors.List.size(), 1u) << c.Label;
      EXPECT_EQ(errors.List[0], std::make_pair(error.Code(), path)) << c.Label;
    }
    EXPECT_EQ(active, 0) << c.Label;
  }
}

TEST(ArchiveList, ReportsEntriesWithBlankFoldersAndTheMask) {
  TTempFolder folder;
  TZipArchive archive;
  archive.Items = {Item("full/", ""), Item("full/a.txt", "a"), Item("empty/", ""),
                   Item("b.doc", "bb"), Item("full/sub/c.txt", "ccc")};
  const std::string zip = WriteZip(folder, "list.zip", archive);
  const struct {
    bool Blank;
    const char* Mask;
    std::vector<std::string> Names;
  } cases[] = {
      {false, "*.*", {"full\\a.txt", "b.doc", "full\\sub\\c.txt"}},
      {true, "*.*", {"full\\a.txt", "b.doc", "full\\sub\\c.txt", "empty"}},
      {false, "*.txt", {"full\\a.txt", "full\\sub\\c.txt"}},
  };
  for (const auto& c : cases) {
    TZipTV reader;
    std::vector<std::string> names;
    int totals = -1;
    reader.ShowBlankDirs = c.Blank;
    reader.FileSpec = c.Mask;
    reader.OnRead = [&](TZipTV* sender, int64_t, int filenum) {
      EXPECT_EQ(filenum, static_cast<int>(names.size()));
      names.push_back(sender->FileName());
      if (sender->FileName() == "b.doc") {
        EXPECT_EQ(sender->UnpackedSize(), 2u);
        EXPECT_EQ(sender->DosDateTime(), 0x5A8B6000u);
      }
    };
    reader.OnTotals = [&](TZipTV*, int count) { totals = count; };
    reader.SetArchiveFile(zip);
    reader.ReadArchive();
    EXPECT_EQ(names, c.Names) << c.Mask << c.Blank;
    EXPECT_EQ(totals, static_cast<int>(c.Names.size()));
  }
}

namespace {

int Shell(const std::string& command) {
  return std::system(command.c_str());
}

} // namespace

TEST(ArchiveExtract, HardLinksStayInsideAndTheArchiveIsNeverOverwritten) {
  TTempFolder folder;
  fs::create_directory(folder.Native("src"));
  WriteFile(folder.Native("src/a.txt"), "shared");
  ASSERT_EQ(
      Shell("cd '" + folder.Path() + "/src' && ln a.txt b.txt && tar cf ../links.tar a.txt b.txt"),
      0);
  TUnTAR untar;
  untar.ExtractDir = folder.Native("out");
  untar.SetArchiveFile(folder.Native("links.tar"));
  untar.Extract();
  EXPECT_EQ(untar.FailedCount(), 0);
  struct stat a {
  }, b{};
  ASSERT_EQ(::stat(folder.Native("out/a.txt").c_str(), &a), 0);
  ASSERT_EQ(::stat(folder.Native("out/b.txt").c_str(), &b), 0);
  EXPECT_EQ(a.st_ino, b.st_ino);

  // A GZIP without a stored name unpacks to the archive's own name when that has no extension to
  // drop: extracting it beside itself must not replace it.
  WriteFile(folder.Native("plain.txt"), "contents");
  ASSERT_EQ(Shell("cd '" + folder.Path() + "' && gzip -n -c plain.txt > packed"), 0);
  const std::string before = ReadFile(folder.Native("packed"));
  TUnGZIP gunzip;
  TErrors errors;
  errors.Bind(gunzip);
  gunzip.ExtractDir = folder.Path();
  gunzip.SetArchiveFile(folder.Native("packed"));
  gunzip.Extract();
  ASSERT_EQ(errors.List.size(), 1u);
  EXPECT_EQ(errors.List[0].first, errSameFileNames);
  EXPECT_EQ(ReadFile(folder.Native("packed")), before);
}

TEST(ArchiveExtract, AHardLinkReplacesAFileOnlyOnceItIsMade) {
  struct TCase {
    const char* What;
    std::vector<TTarItem> Items;
    int Error;            // of the link entry
    const char* LinkedTo; // the file user.txt is then one with, or nullptr: left as it was
  };
  const TCase cases[] = {
      {"onto itself", {{"user.txt", "", true, "user.txt"}}, errNone, nullptr},
      {"onto a missing file", {{"user.txt", "", true, "missing.txt"}}, errFileNotFound, nullptr},
      {"onto a folder", {{"user.txt", "", true, "sub"}}, errFileNotFound, nullptr},
      {"onto another file", {{"user.txt", "", true, "other.txt"}}, errNone, "other.txt"},
      {"onto an entry written before",
       {{"new.txt", "from the archive", false, ""}, {"user.txt", "", true, "new.txt"}},
       errNone,
       "new.txt"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TTempFolder folder;
    WriteFile(folder.File("target/user.txt"), "mine");
    WriteFile(folder.File("target/other.txt"), "other");
    folder.Folder("target/sub");
    WriteFile(folder.Native("links.tar"), BuildTar(c.Items));
    std::vector<std::string> before = Tree(folder.Native("target"));
    TUnTAR untar;
    TErrors errors;
    errors.Bind(untar);
    untar.ExtractDir = folder.Native("target");
    untar.SetArchiveFile(folder.Native("links.tar"));
    untar.Extract();
    if (c.Error == errNone)
      EXPECT_TRUE(errors.List.empty());
    else
      EXPECT_EQ(errors.List, (std::vector<std::pair<int, std::string>>{{c.Error, "user.txt"}}));
    // Nothing extra: no temporary name is left behind.
    for (const TTarItem& item : c.Items)
      if (!item.HardLink)
        before.push_back(item.Name);
    std::sort(before.begin(), before.end());
    EXPECT_EQ(Tree(folder.Native("target")), before);
    struct stat user {
    }, linked{};
    ASSERT_EQ(::stat(folder.Native("target/user.txt").c_str(), &user), 0);
    if (c.LinkedTo) {
      ASSERT_EQ(::stat(folder.Native(std::string("target/") + c.LinkedTo).c_str(), &linked), 0);
      EXPECT_EQ(user.st_ino, linked.st_ino);
    } else {
      EXPECT_EQ(ReadFile(folder.Native("target/user.txt")), "mine");
      EXPECT_EQ(user.st_nlink, 1u);
    }
  }
}

TEST(ArchiveExtract, EncodedFilesInSeveralParts) {
  TTempFolder folder;
  std::string data;
  for (int i = 0; i < 400; ++i)
    data += "line " + std::to_string(i) + "\n";
  const std::string encoded = EncodeText("story.txt", data);
  const size_t cut = encoded.find('\n', encoded.size() / 2) + 1;
  WriteFile(folder.Native("story.uue"), encoded.substr(0, cut));
  WriteFile(folder.Native("story.001"), "Subject: part 2\n\n" + encoded.substr(cut));

  TUUDecode decode;
  std::vector<std::string> asked;
  decode.OnNextVolume = [&](TZipCommon*, std::string& dir, std::string& fn, const std::string&,
                            bool exists, bool& cancel) {
    asked.push_back(fn + (exists ? "" : " (missing)"));
    EXPECT_EQ(dir, folder.Path() + "/");
    cancel = !exists;
  };
  decode.ExtractDir = folder.Native("out");
  decode.SetArchiveFile(folder.Native("story.uue"));
  ASSERT_EQ(decode.ArcType(), TArcType::atUUE);
  decode.Extract();
  EXPECT_EQ(decode.FailedCount(), 0);
  EXPECT_EQ(ReadFile(folder.Native("out/story.txt")), data);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked[0], "story.001");

  // Without its second part the entry fails with its code and leaves no partial file.
  fs::remove(folder.Native("story.001"));
  TUUDecode broken;
  TErrors errors;
  errors.Bind(broken);
  broken.ExtractDir = folder.Native("broken");
  broken.SetArchiveFile(folder.Native("story.uue"));
  broken.Extract();
  ASSERT_EQ(errors.List.size(), 1u);
  EXPECT_EQ(errors.List[0],
            std::make_pair(static_cast<int>(errBrokenVolumeChain), std::string("story.txt")));
  EXPECT_FALSE(fs::exists(folder.Native("broken/story.txt")));
}
