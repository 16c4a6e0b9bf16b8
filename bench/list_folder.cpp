// list_folder: reading and sorting a folder of 100,000 files, against a bare readdir + statx loop
// over the same folder in the same run, and the model's heap memory per listed entry.
//
// Each side runs several times, alternating, and the fastest run of each counts, so that a cold
// cache or a busy moment does not decide the ratio.
#include "bench_folder.h"
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

namespace bench = corvane::bench;

constexpr int FileCount = bench::BenchFileCount;
constexpr int Rounds = 5;

using Clock = std::chrono::steady_clock;

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
  const std::string folder = corvane::bench::BenchFolder();
  if (!corvane::bench::MakeBenchFolder(folder)) {
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
