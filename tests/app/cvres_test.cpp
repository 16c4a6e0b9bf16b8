// cvres run as a program: the listing of every leaf, extraction by type, name and language, and
// the exit status and messages scripts rely on.
#include "../core/resources/resource_fixtures.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace corvane::resources {
namespace {

using test::CorpusPath;
using test::FixturePath;

struct TRun {
  int Status = -1;
  std::string Out;
};

// Runs cvres with the arguments (single-quoted for the shell); standard error joins the output
// when `merge` is set.
TRun Cvres(const std::vector<std::string>& args, bool merge = false) {
  std::string command = "'" CORVANE_CVRES "'";
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

TEST(Cvres, ListsEveryLeafWithTheImagesOfIconsAndCursors) {
  const TRun run = Cvres({"l", FixturePath("res32.dll")});
  ASSERT_EQ(run.Status, 0);
  const std::vector<std::string> lines = Lines(run.Out);
  EXPECT_EQ(lines.size(), 24u);
  // Sizes agree with the tree's.
  TExeImage image(FixturePath("res32.dll"));
  const auto size = [&](std::string_view type, std::string_view name) {
    return std::to_string(
        test::Find(test::Find(*image.Resources(), type)->GetResourceList(), name)->RawSize());
  };
  for (const std::string& line : std::vector<std::string>{
           "AVI\tCLIP\t1033\t" + size("AVI", "CLIP"), "1\t1\t1033\t308", "3\t3\t1033\t666",
           "10\tCONFIG\t1031\t7", "10\tCONFIG\t1033\t7", "14\t1\t1033\t48", "240\t5\t1033\t8"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
  EXPECT_EQ(lines.front().substr(0, 4), "AVI\t") << "named types come first";
}

TEST(Cvres, ExtractsOneLeaf) {
  const std::string dll = FixturePath("res32.dll");
  TExeImage image(dll);
  const std::string clip = test::Text(
      test::Find(test::Find(*image.Resources(), "AVI")->GetResourceList(), "CLIP")->RawData());
  const struct {
    std::vector<std::string> Args;
    std::string Out;
  } cases[] = {
      {{"x", dll, "10", "CONFIG"}, "de-data"}, // the first language
      {{"x", dll, "10", "config", "1033"}, "en-data"},
      {{"x", dll, "#10", "CONFIG", "1031"}, "de-data"},
      {{"x", dll, "avi", "Clip"}, clip},
      {{"x", dll, "240", "#5"}, std::string("custom\x34\x12")},
  };
  for (const auto& c : cases) {
    const TRun run = Cvres(c.Args);
    EXPECT_EQ(run.Status, 0) << c.Args[2] << " " << c.Args[3];
    EXPECT_EQ(run.Out, c.Out) << c.Args[2] << " " << c.Args[3];
  }
}

TEST(Cvres, RefusalsAndBadUsage) {
  corvane::test::TTempFolder folder;
  const std::string empty = folder.File("empty.dll");
  const std::string text = folder.Native("text.exe");
  corvane::test::WriteFile(text, "just text");
  const std::string missing = folder.Native("missing.dll");
  // A copy whose CONFIG (first language) has its data entry pointing past the end of the file.
  const std::string outside = folder.Native("outside.dll");
  {
    std::vector<uint8_t> bytes = test::FileBytes(FixturePath("res32.dll"));
    TExeImage image(bytes, "probe");
    image.Resources();
    TResourceDirectory& directory = *image.Directory();
    TDirEntry name, language;
    for (const TDirEntry& type : directory.Entries(0))
      if (!type.IsNamed() && type.Id() == 10)
        directory.FirstEntry(type.Target(), name);
    ASSERT_TRUE(directory.FirstEntry(name.Target(), language));
    const size_t at = image.Sections().back().RawPosition + language.Target();
    bytes.at(at + 3) = 0x7F;
    corvane::test::WriteFile(outside, std::string(bytes.begin(), bytes.end()));
  }
  EXPECT_EQ(Cvres({"l", outside}).Status, 0);
  const std::string dll = FixturePath("res32.dll");
  const struct {
    std::vector<std::string> Args;
    int Status;
    std::string Message; // the first line of the output, standard error included
  } cases[] = {
      {{"l", missing}, 1, "Couldn't open: " + missing},
      {{"l", empty}, 1, "CreateFileMapping failed"},
      {{"l", text}, 1, "unrecognized file format"},
      {{"l", CorpusPath("radare2-testbins__anim8.exe")}, 1, "not a PE file"},
      {{"x", CorpusPath("radare2-testbins__cblp0.exe"), "1", "1"}, 1, "not a PE file"},
      {{"l", FixturePath("nores32.dll")}, 1, "no resource section"},
      {{"x", dll, "10", "MISSING"}, 1, "no such resource"},
      {{"x", dll, "10", "CONFIG", "1036"}, 1, "no such resource"},
      {{"x", outside, "10", "CONFIG"}, 1, "Resource data lies outside the file"},
      {{}, 2, "usage: cvres l FILE"},
      {{"l"}, 2, "usage: cvres l FILE"},
      {{"l", dll, "extra"}, 2, "usage: cvres l FILE"},
      {{"x", dll, "10"}, 2, "usage: cvres l FILE"},
      {{"x", dll, "10", "CONFIG", "english"}, 2, "usage: cvres l FILE"},
      {{"t", dll}, 2, "usage: cvres l FILE"},
  };
  for (const auto& c : cases) {
    const TRun run = Cvres(c.Args, true);
    const std::string where = c.Args.empty() ? "(none)" : c.Args[0] + " " + c.Args.back();
    EXPECT_EQ(run.Status, c.Status) << where;
    EXPECT_EQ(Lines(run.Out).empty() ? "" : Lines(run.Out)[0], c.Message) << where;
  }
}

} // namespace
} // namespace corvane::resources
