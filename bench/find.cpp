// find: finding "*.txt" in a tree of 100,000 files with the browser's search, the walk the find
// window runs, against `find DIR -name '*.txt'` over the same tree in the same run.
//
// Each side runs several times, alternating, and the fastest run of each counts.
#include "model/browser.h"
#include "platform/native_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int Folders = 1000; // 10 top folders of 100 sub-folders, 100 files in each
constexpr int FilesPerFolder = 100;
constexpr int Rounds = 5;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::string TreeFolder() {
  const char* base = std::getenv("CORVANE_BENCH_DIR");
  std::string folder = base && *base ? base : "/tmp/corvane-bench";
  ::mkdir(folder.c_str(), 0755);
  return folder + "/find_tree_100k";
}

// Makes the tree unless a finished one is there; the number of .txt files in it, or -1.
long MakeTree(const std::string& root) {
  const std::string done = root + ".complete";
  const long txt = Folders * FilesPerFolder / 4;
  if (::access(done.c_str(), F_OK) == 0)
    return txt;
  std::printf("making %d files in %s ...\n", Folders * FilesPerFolder, root.c_str());
  ::mkdir(root.c_str(), 0755);
  static const char* const exts[] = {"txt", "cpp", "jpg", "md"};
  for (int f = 0; f < Folders; ++f) {
    const std::string top = root + "/top" + std::to_string(f / 100);
    ::mkdir(top.c_str(), 0755);
    const std::string folder = top + "/folder" + std::to_string(f % 100);
    ::mkdir(folder.c_str(), 0755);
    for (int i = 0; i < FilesPerFolder; ++i) {
      const std::string name = folder + "/file" + std::to_string(i) + "." + exts[i % 4];
      const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0)
        return -1;
      ::close(fd);
    }
  }
  const int fd = ::open(done.c_str(), O_WRONLY | O_CREAT, 0644);
  ::close(fd);
  return txt;
}

} // namespace

int main() {
  const std::string root = TreeFolder();
  const long expected = MakeTree(root);
  if (expected < 0) {
    std::printf("cannot make the benchmark tree %s\n", root.c_str());
    return 1;
  }
  const auto model = corvane::platform::NativeToModel(root);
  if (!model) {
    std::printf("no model path for %s\n", root.c_str());
    return 1;
  }
  const std::string rel = model->substr(3);
  const std::string command = "find '" + root + "' -name '*.txt' > /dev/null";

  double baseline = 1e9;
  double ours = 1e9;
  for (int round = 0; round < Rounds; ++round) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
      std::printf("find failed; the figure is skipped\n");
      return 0;
    }
    baseline = std::min(baseline, Seconds(Clock::now() - start));

    corvane::TBrowser browser;
    browser.SetRoot("C:\\", 0, rel);
    long hits = 0;
    browser.OnSearchFound = [&hits](const std::string&, const corvane::TFileEntry&) { ++hits; };
    start = Clock::now();
    browser.SearchTree(rel, "*.txt");
    ours = std::min(ours, Seconds(Clock::now() - start));
    if (hits != expected) {
      std::printf("found %ld files, expected %ld\n", hits, expected);
      return 1;
    }
  }
  std::printf("find -name: %.1f ms; TBrowser SearchTree: %.1f ms; %ld hits\n", baseline * 1000,
              ours * 1000, expected);
  std::printf("figure find_ratio %.2f x\n", ours / baseline);
  return 0;
}
