// cvarc run as a program: the sample archives list and extract as their catalogue says, and the
// exit status and messages scripts rely on.
#include "archive_samples.h"
#include "hostile_archives.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using corvane::test::TTempFolder;

namespace {

const std::string Corpus = CORVANE_SOURCE_DIR "/tests/corpus/";

struct TRun {
  int Status = -1;
  std::string Out;
};

// Runs cvarc with the arguments (single-quoted for the shell), stdout and stderr together when
// merge is set; environment is put before the command ("NAME=value ...").
TRun Cvarc(const std::vector<std::string>& args, bool merge = false,
           const std::string& environment = "") {
  std::string command = "TZ=UTC " + environment + " '" CORVANE_CVARC "'";
  for (const auto& arg : args)
    command += " '" + arg + "'";
  command += merge ? " 2>&1" : " 2>/dev/null";
  TRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    return run;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    run.Out.append(buffer, got);
  const int status = ::pclose(pipe);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The catalogue with folder names as cvarc prints them, without a trailing "/".
std::map<std::string, std::vector<corvane::test::TSampleEntry>> ReadCatalogue() {
  auto catalogue = corvane::test::CorpusSamples();
  for (auto& [sample, entries] : catalogue)
    for (auto& entry : entries)
      while (entry.Name.size() > 1 && entry.Name.back() == '/')
        entry.Name.pop_back();
  return catalogue;
}

struct TListed {
  std::string Name;
  bool Folder = false;
  long long Size = 0;
};

std::vector<TListed> ParseListing(const std::string& out) {
  std::vector<TListed> entries;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("type ", 0) == 0)
      continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    std::string field;
    while (std::getline(split, field, '\t'))
      fields.push_back(field);
    if (fields.size() != 5)
      continue;
    TListed entry;
    entry.Size = std::stoll(fields[0]);
    entry.Name = fields[4];
    entry.Folder = !entry.Name.empty() && entry.Name.back() == '/';
    if (entry.Folder)
      entry.Name.pop_back();
    entries.push_back(entry);
  }
  return entries;
}

// Every catalogue entry is listed with its kind and size. Names the catalogue only describes
// ("(non-ASCII name, ...)") match a listed entry of that size that no other line claimed.
void ExpectListingMatches(const std::string& sample,
                          const std::vector<corvane::test::TSampleEntry>& expected,
                          std::vector<TListed> listed) {
  std::vector<const corvane::test::TSampleEntry*> described;
  for (const auto& e : expected) {
    if (e.Name.rfind("(non-ASCII", 0) == 0) {
      described.push_back(&e);
      continue;
    }
    auto found = std::find_if(listed.begin(), listed.end(),
                              [&](const TListed& l) { return l.Name == e.Name; });
    if (found == listed.end()) {
      ADD_FAILURE() << sample << ": " << e.Name << " not listed";
      continue;
    }
    EXPECT_EQ(found->Folder, e.Folder) << sample << ": " << e.Name;
    if (e.Size >= 0) {
      EXPECT_EQ(found->Size, e.Size) << sample << ": " << e.Name;
    }
    listed.erase(found);
  }
  for (const auto* e : described) {
    auto found = std::find_if(listed.begin(), listed.end(), [&](const TListed& l) {
      return l.Size == e->Size && !l.Folder &&
             std::any_of(l.Name.begin(), l.Name.end(),
                         [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; });
    });
    if (found == listed.end())
      ADD_FAILURE() << sample << ": no non-ASCII entry of " << e->Size << " bytes";
    else
      listed.erase(found);
  }
  // Folders implied by their files may be listed too; files must all be in the catalogue.
  for (const auto& l : listed)
    EXPECT_TRUE(l.Folder) << sample << ": unexpected entry " << l.Name;
}

struct TSampleCase {
  const char* Sample;
  const char* Type;
  int ExtractStatus; // 0 all fine, 1 some entries fail
  const char* Password;
};

} // namespace

TEST(Cvarc, SampleArchivesListAndExtractAsCatalogued) {
  const TSampleCase cases[] = {
      {"archives/zip/libarchive__test_read_format_zip_msdos.zip", "atZIP", 0, nullptr},
      {"archives/zip/libarchive__test_read_format_zip_zip64a.zip", "atZIP", 0, nullptr},
      {"archives/zip/sharpcompress__Zip.zip64.zip", "atZIP", 0, nullptr},
      {"archives/zip/sharpcompress__zipcrypto.zip", "atZIP", 0, "test"},
      {"archives/zip/libarchive__test_read_format_zip_traditional_encryption_data.zip", "atZIP", 0,
       "12345678"},
      // The older ZIP methods: shrink, reduce (factors 1 and 4) and implode.
      {"archives/zip/sharpcompress__Zip.shrink.zip", "atZIP", 0, nullptr},
      {"archives/zip/sharpcompress__Zip.reduce1.zip", "atZIP", 0, nullptr},
      {"archives/zip/sharpcompress__Zip.implode.zip", "atZIP", 0, nullptr},
      {"archives/zip/sharpcompress__Zip.reduce4.zip", "atZIP", 0, nullptr},
      {"archives/tar/libarchive__test_compat_gtar_1.tar", "atTAR", 0, nullptr},
      {"archives/tar/sharpcompress__Tar.PaxLocalHeader.tar", "atTAR", 0, nullptr},
      {"archives/gzip/libarchive__test_read_format_raw.data.gz", "atGZip", 0, nullptr},
      {"archives/gzip/patool__t.txt.gz", "atGZip", 0, nullptr},
      {"archives/uue/libarchive__test_compat_zip_1.zip.uu", "atUUE", 0, nullptr},
      {"archives/lha/lhasa__lharc113_lh1.lzh", "atLHA", 0, nullptr},
      {"archives/lha/lhasa__lha213_lh0.lzh", "atLHA", 0, nullptr},
      {"archives/lha/lhasa__lha213_lh5.lzh", "atLHA", 0, nullptr},
      {"archives/lha/lhasa__lha_unix114i_h1_lh6.lzh", "atLHA", 0, nullptr},
      {"archives/lha/lhasa__explzh_723_h2_lh7.lzh", "atLHA", 0, nullptr},
      {"archives/lha/lhasa__lha213_subdir.lzh", "atLHA", 0, nullptr},
      {"archives/lha/lhasa__explzh_723_h1_subdir.lzh", "atLHA", 0, nullptr},
      {"archives/rar/sharpcompress__Rar.rar", "atRAR", 0, nullptr},
      {"archives/rar/sharpcompress__Rar5.rar", "atRAR", 0, nullptr},
      {"archives/rar/libarchive__test_read_format_rar_windows.rar", "atRAR", 0, nullptr},
      {"archives/rar/libarchive__test_read_format_rar5_win32.rar", "atRAR", 0, nullptr},
      // RAR 1.5 lists fully; its method cannot be decoded, and each entry fails with its code.
      {"archives/rar/sharpcompress__Rar15.rar", "atRAR", 1, nullptr},
      {"archives/cab/libarchive__test_read_format_cab_1.cab", "atCAB", 0, nullptr},
      {"archives/cab/libarchive__test_read_format_cab_2.cab", "atCAB", 0, nullptr},
      {"archives/cab/libarchive__test_read_format_cab_3.cab", "atCAB", 0, nullptr},
      {"archives/arj/sharpcompress__Arj.store.arj", "atARJ", 0, nullptr},
      {"archives/arj/sharpcompress__Arj.method1.arj", "atARJ", 0, nullptr},
      {"archives/arj/sharpcompress__Arj.method4.arj", "atARJ", 0, nullptr},
      {"archives/zoo/patool__t.zoo", "atZOO", 0, nullptr},
      {"archives/zoo/troglobit-zoo__sample.zoo", "atZOO", 0, nullptr},
      {"archives/arc/patool__t.arc", "atARC", 0, nullptr},
      {"archives/arc/sharpcompress__Arc.crunched.arc", "atARC", 0, nullptr},
      {"archives/arc/sharpcompress__Arc.squashed.arc", "atARC", 0, nullptr},
      {"archives/arc/sharpcompress__Arc.squeezed.arc", "atARC", 0, nullptr},
  };
  const auto catalogue = ReadCatalogue();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Sample);
    const std::string path = Corpus + c.Sample;
    const TRun list = Cvarc({"l", path});
    EXPECT_EQ(list.Status, 0);
    EXPECT_EQ(list.Out.substr(0, list.Out.find('\n')), std::string("type ") + c.Type);
    ASSERT_TRUE(catalogue.contains(c.Sample));
    const auto& expected = catalogue.at(c.Sample);
    ExpectListingMatches(c.Sample, expected, ParseListing(list.Out));

    TTempFolder target;
    std::vector<std::string> args;
    if (c.Password)
      args = {"-p", c.Password};
    args.insert(args.end(), {"x", path, target.Path()});
    EXPECT_EQ(Cvarc(args).Status, c.ExtractStatus);
    if (c.ExtractStatus != 0)
      continue;
    for (const auto& e : expected) {
      if (e.Name.rfind("(non-ASCII", 0) == 0)
        continue;
      const std::filesystem::path written = target.Native(e.Name);
      if (e.Folder) {
        EXPECT_TRUE(std::filesystem::is_directory(written)) << e.Name;
      } else if (std::filesystem::is_symlink(written)) {
        // A link's size is that of its target's name.
        EXPECT_EQ(static_cast<long long>(std::filesystem::read_symlink(written).string().size()),
                  e.Size);
      } else {
        ASSERT_TRUE(std::filesystem::is_regular_file(written)) << e.Name;
        EXPECT_EQ(static_cast<long long>(std::filesystem::file_size(written)), e.Size) << e.Name;
      }
    }
  }
}

TEST(Cvarc, TestCommandAndExitStatus) {
  // A multi-member GZIP lists, but unpacking it is refused for its entry.
  const std::string multi = Corpus + "archives/gzip/libarchive__test_compat_gzip_1.tgz";
  const TRun test = Cvarc({"t", multi}, true);
  EXPECT_EQ(test.Status, 1);
  EXPECT_NE(test.Out.find("25262 Multi-Part GZIP files not supported"), std::string::npos)
      << test.Out;

  const TRun good = Cvarc({"t", Corpus + "archives/tar/sharpcompress__Tar.PaxLocalHeader.tar"});
  EXPECT_EQ(good.Status, 0);
  EXPECT_NE(good.Out.find("ok pax/overridden-name.txt\n"), std::string::npos) << good.Out;
  EXPECT_NE(good.Out.find("ok second.txt\n"), std::string::npos) << good.Out;

  // A wrong password: the entries fail, nothing loops.
  const TRun wrong =
      Cvarc({"-p", "nope", "t", Corpus + "archives/zip/sharpcompress__zipcrypto.zip"}, true);
  EXPECT_EQ(wrong.Status, 1);
  EXPECT_NE(wrong.Out.find("26517 Invalid password"), std::string::npos) << wrong.Out;

  TTempFolder folder;
  const std::string text = folder.File("notes.zip", 100);
  const TRun unknown = Cvarc({"x", text, folder.Native("out")}, true);
  EXPECT_EQ(unknown.Status, 2);
  EXPECT_EQ(unknown.Out, "25242 Invalid or unsupported archive type for this operation\n");
  EXPECT_EQ(Cvarc({"l", folder.Native("missing.zip")}, true).Out, "25235 Error opening file\n");
  EXPECT_EQ(Cvarc({"l", folder.Native("missing.zip")}).Status, 2);
  EXPECT_EQ(Cvarc({"q"}).Status, 2);
  // Without the libraries for RAR and CAB those formats fail with their own messages, and the
  // others go on working.
  const std::string rar = Corpus + "archives/rar/sharpcompress__Rar5.rar";
  const std::string cab = Corpus + "archives/cab/libarchive__test_read_format_cab_1.cab";
  const std::string zip = Corpus + "archives/zip/sharpcompress__Zip.zip64.zip";
  const std::string none = "CORVANE_LIB_RAR=none CORVANE_LIB_CAB=/nonexistent/libmissing.so.0";
  const TRun noRar = Cvarc({"x", rar, folder.Native("rar")}, true, none);
  EXPECT_EQ(noRar.Status, 2);
  EXPECT_EQ(noRar.Out, "25258 Unrar.dll not found\n");
  const TRun noCab = Cvarc({"x", cab, folder.Native("cab")}, true, none);
  EXPECT_EQ(noCab.Status, 2);
  EXPECT_EQ(noCab.Out, "25259 Cabinet.dll not found\n");
  EXPECT_EQ(Cvarc({"x", zip, folder.Native("zip")}, true, none).Status, 0);

  // A type that can be listed but not unpacked by this program.
  const TRun sfx =
      Cvarc({"x", Corpus + "archives/lha/lhasa__lha213_sfx.exe", folder.Native("out")}, true);
  EXPECT_EQ(sfx.Status, 2);
}

// Hostile archives: each writes nothing outside its target, leaves the user's files there as they
// were, and reports its entry; cvarc then exits with 1.
TEST(Cvarc, HostileArchivesStayInsideTheTarget) {
  using namespace std::string_literals;
  struct TRow {
    std::string Label;
    std::string File;
    std::string Bytes;
    int Status;
    std::string Line; // expected in the output
  };
  std::vector<TRow> rows;
  for (const auto& sample : corvane::test::NulByteSamples()) {
    // A NUL byte is printed as "\0", so that the whole stored name shows.
    std::string printed = sample.Refused;
    for (size_t at = printed.find('\0'); at != std::string::npos; at = printed.find('\0', at))
      printed.replace(at, 1, "\\0");
    rows.push_back(
        {sample.Label, sample.File, sample.Bytes, 1, "25243 Invalid file name " + printed + "\n"});
  }
  using corvane::test::BuildTar;
  rows.push_back({"tar hard link onto itself", "self.tar",
                  BuildTar({{"user.txt", "", true, "user.txt"}, {"ok.txt", "ok", false, ""}}), 0,
                  ""});
  rows.push_back({"tar hard link onto a missing file", "missing.tar",
                  BuildTar({{"user.txt", "", true, "gone.txt"}, {"ok.txt", "ok", false, ""}}), 1,
                  "25172 File not found user.txt\n"});
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Label);
    TTempFolder folder;
    const std::string archive = folder.Native(row.File);
    corvane::test::WriteFile(archive, row.Bytes);
    // The sentinel folder above the target, and the user's files in it.
    corvane::test::WriteFile(folder.File("above/y"), "sentinel");
    corvane::test::WriteFile(folder.File("above/target/x"), "user x");
    corvane::test::WriteFile(folder.File("above/target/user.txt"), "user file");
    const TRun run = Cvarc({"x", archive, folder.Native("above/target")}, true);
    EXPECT_EQ(run.Status, row.Status) << run.Out;
    EXPECT_NE(run.Out.find(row.Line), std::string::npos) << run.Out;
    std::vector<std::string> tree;
    for (auto it = std::filesystem::recursive_directory_iterator(folder.Native("above"));
         it != std::filesystem::recursive_directory_iterator(); ++it)
      tree.push_back(it->path().lexically_relative(folder.Native("above")).string() +
                     (it->is_symlink() ? "@" : ""));
    std::sort(tree.begin(), tree.end());
    EXPECT_EQ(tree, (std::vector<std::string>{"target", "target/ok.txt", "target/user.txt",
                                              "target/x", "y"}));
    EXPECT_EQ(corvane::test::ReadFile(folder.Native("above/y")), "sentinel");
    EXPECT_EQ(corvane::test::ReadFile(folder.Native("above/target/x")), "user x");
    EXPECT_EQ(corvane::test::ReadFile(folder.Native("above/target/user.txt")), "user file");
  }
}
