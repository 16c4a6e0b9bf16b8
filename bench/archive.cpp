// archive: listing and extracting archives with cvarc against bsdtar in the same run: a ZIP of
// about 200 MB in 2,000 files (listed and extracted) and a TAR of the same files (extracted); and
// the decoders of the older formats against the formats' own tools on a few megabytes: an ARJ
// archive against arj, an ARC archive against nomarch.
//
// The files and both archives are made once under $CORVANE_BENCH_DIR (default
// /tmp/corvane-bench), the archives by bsdtar itself. Each side first runs once untimed so that
// both read the archive from the same warm page cache; then the sides take turns, the order
// swapping every round, each extracting into a fresh folder that is removed afterwards, after a
// sync() so that neither pays for the other's dirty pages. The fastest run of each side counts.
//
// Entering an archive in a panel: a ZIP of 100,000 small entries in 500 folders, opened as a
// browser source until its top folder is listed, against bsdtar listing it; and the heap the open
// source keeps, per entry. Taking files out in a panel: every file of the 200 MB ZIP and TAR
// through the copy engine on an archive source (all marked, as F5 on the top folder), against
// bsdtar -x and 7zz x extracting the same archive.
#include "model/browser.h"
#include "platform/native_path.h"

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int FolderCount = 20;
constexpr int FilesPerFolder = 100;
constexpr size_t FileSize = 100 * 1024; // 2,000 files: about 200 MB
constexpr int Rounds = 3;

using Clock = std::chrono::steady_clock;

std::string BenchBase() {
  const char* base = std::getenv("CORVANE_BENCH_DIR");
  std::string folder = base && *base ? base : "/tmp/corvane-bench";
  ::mkdir(folder.c_str(), 0755);
  return folder;
}

// Text-like data that deflate shrinks to about a third, mixed with stretches of noise, so that
// inflating has real work to do.
void FillFile(std::string& data, uint64_t& state) {
  static const char* const words[] = {"archive ", "folder ",  "panel ", "cursor ", "copy ",
                                      "entry ",   "extract ", "list ",  "drive ",  "name\n"};
  data.clear();
  while (data.size() < FileSize) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    if (state % 16 == 0)
      for (int i = 0; i < 8; ++i)
        data += static_cast<char>((state >> (i * 8)) & 0xFF);
    else
      data += words[state % 10];
  }
  data.resize(FileSize);
}

// Runs a program (in folder, when given) with its output thrown away; true when it exited with 0.
bool Run(const std::vector<std::string>& args, const std::string& folder = std::string()) {
  std::vector<char*> argv;
  for (const auto& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  const int started = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0)
    return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool MakeData(const std::string& base) {
  const std::string done = base + "/archive.complete";
  if (::access(done.c_str(), F_OK) == 0)
    return true;
  const std::string tree = base + "/archive-tree";
  std::printf("making %d files of %zu KiB and their archives in %s ...\n",
              FolderCount * FilesPerFolder, FileSize / 1024, base.c_str());
  fs::remove_all(tree);
  uint64_t state = 0x9e3779b97f4a7c15u;
  std::string data;
  for (int f = 0; f < FolderCount; ++f) {
    const std::string folder = tree + "/folder" + std::to_string(f);
    fs::create_directories(folder);
    for (int i = 0; i < FilesPerFolder; ++i) {
      FillFile(data, state);
      FILE* file = std::fopen((folder + "/file" + std::to_string(i) + ".txt").c_str(), "wb");
      if (!file || std::fwrite(data.data(), 1, data.size(), file) != data.size() ||
          std::fclose(file) != 0)
        return false;
    }
  }
  if (!Run({"bsdtar", "--format", "zip", "-cf", base + "/archive.zip", "-C", tree, "."}) ||
      !Run({"bsdtar", "-cf", base + "/archive.tar", "-C", tree, "."}))
    return false;
  fs::remove_all(tree);
  FILE* marker = std::fopen(done.c_str(), "w");
  return marker && std::fclose(marker) == 0;
}

// Runs a side; a command whose last argument is "@TARGET" runs inside the target folder instead.
double TimeRun(std::vector<std::string> args, const std::string& target) {
  if (!target.empty()) {
    fs::remove_all(target);
    fs::create_directories(target);
  }
  std::string folder;
  if (!args.empty() && args.back() == "@TARGET") {
    args.pop_back();
    folder = target;
  }
  ::sync();
  const auto start = Clock::now();
  const bool ok = Run(args, folder);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!target.empty())
    fs::remove_all(target);
  return ok ? seconds : -1;
}

// The best of several runs of each side, alternating; -1 when either failed.
bool Compare(const char* figure, const std::vector<std::string>& ours,
             const std::vector<std::string>& theirs, const std::string& target,
             const char* baseline = "bsdtar") {
  if (TimeRun(ours, target) < 0 || TimeRun(theirs, target) < 0) {
    std::printf("%s: a run failed\n", figure);
    return false;
  }
  double best[2] = {1e9, 1e9};
  for (int round = 0; round < Rounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      const int side = (round + k) % 2;
      best[side] = std::min(best[side], TimeRun(side == 0 ? ours : theirs, target));
    }
  }
  std::printf("%s: cvarc %.3f s, %s %.3f s\n", figure, best[0], baseline, best[1]);
  std::printf("figure %s %.2f x\n", figure, best[0] / best[1]);
  return true;
}

bool Have(const std::string& tool) {
  return Run({"sh", "-c", "command -v " + tool});
}

// A few megabytes of the same kind of files for the older formats, archived by their own tools.
bool MakeOldFormatData(const std::string& base, const std::string& tool,
                       const std::string& archive) {
  if (::access(archive.c_str(), F_OK) == 0)
    return true;
  const std::string tree = base + "/old-format-tree";
  fs::remove_all(tree);
  fs::create_directories(tree);
  uint64_t state = 0x2545F4914F6CDD1Du;
  std::string data;
  std::vector<std::string> args = tool == "arj" ? std::vector<std::string>{"arj", "a", archive}
                                                : std::vector<std::string>{"arc", "a", archive};
  for (int i = 0; i < 40; ++i) {
    FillFile(data, state);
    const std::string name = "file" + std::to_string(i) + ".txt";
    FILE* file = std::fopen((tree + "/" + name).c_str(), "wb");
    if (!file || std::fwrite(data.data(), 1, data.size(), file) != data.size() ||
        std::fclose(file) != 0)
      return false;
    args.push_back(name);
  }
  const bool made = Run(args, tree);
  fs::remove_all(tree);
  return made;
}

void CompareOldFormats(const std::string& base, const std::string& cvarc) {
  const std::string out = base + "/old-format-out";
  if (!Have("arj")) {
    std::printf("arj is not installed (package arj): skipping arj_extract_ratio\n");
  } else {
    const std::string arj = base + "/archive.arj";
    if (MakeOldFormatData(base, "arj", arj))
      Compare("arj_extract_ratio", {cvarc, "x", arj, out}, {"arj", "x", arj, out + "/", "-y"}, out,
              "arj");
  }
  if (!Have("nomarch") || !Have("arc")) {
    std::printf(
        "nomarch or arc is not installed (packages nomarch, arc): skipping arc_extract_ratio\n");
  } else {
    const std::string arc = base + "/archive.arc";
    if (MakeOldFormatData(base, "arc", arc))
      Compare("arc_extract_ratio", {cvarc, "x", arc, out}, {"nomarch", arc, "@TARGET"}, out,
              "nomarch");
  }
}

constexpr int EnterFolders = 500;
constexpr int EnterFilesPerFolder = 200;

// The many-entry ZIP, made once: small files of a few bytes each, archived by bsdtar.
bool MakeEnterData(const std::string& base, const std::string& zip) {
  const std::string done = base + "/enter.complete";
  if (::access(done.c_str(), F_OK) == 0)
    return true;
  const std::string tree = base + "/enter-tree";
  std::printf("making %d small files in %d folders and their ZIP in %s ...\n",
              EnterFolders * EnterFilesPerFolder, EnterFolders, base.c_str());
  fs::remove_all(tree);
  for (int f = 0; f < EnterFolders; ++f) {
    const std::string folder = tree + "/folder" + std::to_string(f);
    fs::create_directories(folder);
    for (int i = 0; i < EnterFilesPerFolder; ++i) {
      const std::string text = "entry " + std::to_string(f) + "/" + std::to_string(i) + "\n";
      FILE* file = std::fopen((folder + "/file" + std::to_string(i) + ".txt").c_str(), "wb");
      if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
          std::fclose(file) != 0)
        return false;
    }
  }
  ::unlink(zip.c_str());
  const bool made = Run({"bsdtar", "--format", "zip", "-cf", zip, "-C", tree, "."});
  fs::remove_all(tree);
  if (!made)
    return false;
  FILE* marker = std::fopen(done.c_str(), "w");
  return marker && std::fclose(marker) == 0;
}

size_t HeapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Opens the archive in a browser the way a panel enters it, the reading events counted; the
// seconds until the top folder is listed, or -1. `heapGrowth` gets what the open source keeps.
double EnterOnce(const std::string& model, size_t& heapGrowth, int& entriesRead) {
  corvane::TBrowser browser;
  int read = 0;
  browser.OnArchiveReadBegin = [&read] { read = 0; };
  browser.OnArchiveReadEntry = [&read] { ++read; };
  browser.OnArchiveReadEnd = [] {};
  ::malloc_trim(0);
  const size_t before = HeapInUse();
  const auto start = Clock::now();
  const bool opened = browser.OpenSource(corvane::skArchive, model, "");
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  heapGrowth = HeapInUse() - before;
  entriesRead = read;
  return opened && browser.Count() > 0 ? seconds : -1;
}

void CompareEnter(const std::string& base) {
  const std::string zip = base + "/enter.zip";
  if (!MakeEnterData(base, zip)) {
    std::printf("could not make %s: skipping panel_enter_zip_ratio\n", zip.c_str());
    return;
  }
  const auto model = corvane::platform::NativeToModel(zip);
  if (!model) {
    std::printf("no model path for %s\n", zip.c_str());
    return;
  }
  size_t growth = 0;
  int entries = 0;
  if (EnterOnce(*model, growth, entries) < 0 || TimeRun({"bsdtar", "-tf", zip}, "") < 0) {
    std::printf("panel_enter_zip_ratio: a run failed\n");
    return;
  }
  double best[2] = {1e9, 1e9};
  size_t leastGrowth = growth;
  for (int round = 0; round < Rounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      const int side = (round + k) % 2;
      if (side == 0) {
        best[0] = std::min(best[0], EnterOnce(*model, growth, entries));
        leastGrowth = std::min(leastGrowth, growth);
      } else {
        best[1] = std::min(best[1], TimeRun({"bsdtar", "-tf", zip}, ""));
      }
    }
  }
  std::printf("panel_enter_zip_ratio: browser %.3f s (%d entries read), bsdtar %.3f s\n", best[0],
              entries, best[1]);
  std::printf("figure panel_enter_zip_ratio %.2f x\n", best[0] / best[1]);
  const int total = EnterFolders * EnterFilesPerFolder;
  std::printf("figure panel_enter_bytes_per_entry %.0f bytes\n",
              static_cast<double>(leastGrowth) / total);
}

// Takes every file out of an archive through the copy engine, as a panel does with the archive's
// top folder marked and F5: the seconds, or -1 when a file failed.
double CopyOutOnce(const std::string& model, const std::string& target) {
  fs::remove_all(target);
  fs::create_directories(target);
  const auto targetModel = corvane::platform::NativeToModel(target + "/");
  corvane::TBrowser browser;
  bool failed = false;
  browser.OnCopyError = [&failed](corvane::TCopyError, const std::string&) { failed = true; };
  if (!targetModel || !browser.OpenSource(corvane::skArchive, model, ""))
    return -1;
  for (int i = 1; i <= browser.Count(); ++i)
    browser.ToggleMark(i);
  ::sync();
  const auto start = Clock::now();
  const bool started = browser.CopyToPath(*targetModel, false);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  fs::remove_all(target);
  return started && !failed ? seconds : -1;
}

// The copy engine on an archive source against the format's own tool extracting the same files.
void CompareCopyOut(const char* figure, const std::string& archive,
                    const std::vector<std::string>& theirs, const char* baseline,
                    const std::string& target) {
  const auto model = corvane::platform::NativeToModel(archive);
  if (!model || CopyOutOnce(*model, target) < 0 || TimeRun(theirs, target) < 0) {
    std::printf("%s: a run failed\n", figure);
    return;
  }
  double best[2] = {1e9, 1e9};
  for (int round = 0; round < Rounds; ++round)
    for (int k = 0; k < 2; ++k) {
      const int side = (round + k) % 2;
      best[side] =
          std::min(best[side], side == 0 ? CopyOutOnce(*model, target) : TimeRun(theirs, target));
    }
  std::printf("%s: copy engine %.3f s, %s %.3f s\n", figure, best[0], baseline, best[1]);
  std::printf("figure %s %.2f x\n", figure, best[0] / best[1]);
}

} // namespace

// "archive enter" gives only the figures of entering an archive in a panel, "archive copyout" only
// those of taking every file out of one through the copy engine.
int main(int argc, char** argv) {
  if (!Have("bsdtar")) {
    std::printf(
        "bsdtar is not installed (package libarchive-tools): skipping the archive figures\n");
    return 0;
  }
  const std::string base = BenchBase();
  if (argc > 1 && std::string(argv[1]) == "enter") {
    CompareEnter(base);
    return 0;
  }
  const bool copyOutOnly = argc > 1 && std::string(argv[1]) == "copyout";
  if (!MakeData(base)) {
    std::printf("could not make the benchmark archives in %s\n", base.c_str());
    return 1;
  }
  const std::string cvarc = CORVANE_STAGE_DIR "/cvarc";
  const std::string zip = base + "/archive.zip";
  const std::string tar = base + "/archive.tar";
  const std::string out = base + "/archive-out";
  if (!copyOutOnly) {
    Compare("zip_list_ratio", {cvarc, "l", zip}, {"bsdtar", "-tf", zip}, std::string());
    Compare("zip_extract_ratio", {cvarc, "x", zip, out}, {"bsdtar", "-xf", zip, "-C", out}, out);
    Compare("tar_extract_ratio", {cvarc, "x", tar, out}, {"bsdtar", "-xf", tar, "-C", out}, out);
    CompareOldFormats(base, cvarc);
    CompareEnter(base);
  }
  CompareCopyOut("panel_copyout_tar_ratio", tar, {"bsdtar", "-xf", tar, "-C", out}, "bsdtar", out);
  if (Have("7zz"))
    CompareCopyOut("panel_copyout_zip_ratio", zip, {"7zz", "x", "-y", "-o" + out, zip}, "7zz", out);
  else
    std::printf("7zz is not installed (package 7zip): skipping panel_copyout_zip_ratio\n");
  return 0;
}
