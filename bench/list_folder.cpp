// list_folder: reading and sorting a folder of 100,000 files, against a bare readdir + statx loop
// over the same folder in the same run, and the model's heap memory per listed entry.
//
// The folder is made once under $CORVANE_BENCH_DIR (default /tmp/corvane-bench) and reused. Each
// side runs several times, alternating, and the fastest run of each counts, so that a cold cache
// or a busy moment does not decide the ratio.
#include "model/browser.h"
#include "platform/native_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int FileCount = 100000;
constexpr int Rounds = 5;

using Clock = std::chrono::steady_clock;

std::string BenchFolder() {
  const char* base = std::getenv("CORVANE_BENCH_DIR");
  std::string folder = base && *base ? base : "/tmp/corvane-bench";
  ::mkdir(folder.c_str(), 0755);
  folder += "/list_folder_100k";
  return folder;
}

bool MakeFolder(const std::string& folder) {
  const std::string done = folder + ".complete";
  if (::access(done.c_str(), F_OK) == 0)
    return true;
  std::printf("making %d files in %s ...\n", FileCount, folder.c_str());
  ::mkdir(folder.c_str(), 0755);
  char name[64];
  for (int i = 0; i < FileCount; ++i) {
    // Mixed names, extensions and sizes, so that sorting has real work to do.
    static const char* const exts[] = {"txt", "cpp", "h", "jpg", "tar.gz", "md"};
    const long long n = i;
    std::snprintf(name, sizeof name, "/%c%07lld_file.%s", static_cast<char>('a' + n * 7919 % 26),
                  n * 104729 % FileCount, exts[i % 6]);
    const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
      return false;
    if (i % 10 == 0 && ::ftruncate(fd, i) != 0) {
      ::close(fd);
      return false;
    }
    ::close(fd);
  }
  const int fd = ::open(done.c_str(), O_WRONLY | O_CREAT, 0644);
  ::close(fd);
  return true;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The baseline: what any listing must do at least.
long BareList(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir)
    return -1;
  long count = 0;
  long long bytes = 0;
  while (const dirent* entry = ::readdir(dir)) {
    struct statx sx {};
    if (::statx(::dirfd(dir), entry->d_name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &sx) == 0) {
      ++count;
      bytes += static_cast<long long>(sx.stx_size);
    }
  }
  ::closedir(dir);
  return bytes >= 0 ? count : -1;
}

size_t HeapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

} // namespace

int main() {
  const std::string folder = BenchFolder();
  if (!MakeFolder(folder)) {
    std::printf("cannot make the benchmark folder %s\n", folder.c_str());
    return 1;
  }
  const auto model = corvane::platform::NativeToModel(folder);
  if (!model) {
    std::printf("no model path for %s\n", folder.c_str());
    return 1;
  }
  const std::string rel = model->substr(3);

  double bare = 1e9;
  double ours = 1e9;
  int count = 0;
  for (int round = 0; round < Rounds; ++round) {
    auto start = Clock::now();
    const long listed = BareList(folder);
    bare = std::min(bare, Seconds(Clock::now() - start));

    corvane::TBrowser browser;
    browser.SortMode = corvane::smName;
    start = Clock::now();
    browser.SetRoot("C:\\", 0, rel);
    ours = std::min(ours, Seconds(Clock::now() - start));
    count = browser.Count();
    if (listed < FileCount || count < FileCount) {
      std::printf("listed %ld and %d entries, expected %d\n", listed, count, FileCount);
      return 1;
    }
  }

  size_t bytesPerEntry = 0;
  {
    const size_t before = HeapInUse();
    corvane::TBrowser browser;
    browser.SortMode = corvane::smName;
    browser.SetRoot("C:\\", 0, rel);
    const size_t after = HeapInUse();
    bytesPerEntry = (after - before) / static_cast<size_t>(browser.Count());
  }

  std::printf("bare readdir+statx: %.1f ms; TBrowser SetRoot+ReadFolder (name order): %.1f ms; "
              "%d entries\n",
              bare * 1000, ours * 1000, count);
  std::printf("figure list_ratio %.2f x\n", ours / bare);
  std::printf("figure bytes_per_entry %zu B\n", bytesPerEntry);
  return 0;
}
