// The benchmark folder of 100,000 files, made once under $CORVANE_BENCH_DIR (default
// /tmp/corvane-bench) and reused by every benchmark that lists it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace corvane::bench {

constexpr int BenchFileCount = 100000;

inline std::string BenchFolder() {
  const char* base = std::getenv("CORVANE_BENCH_DIR");
  std::string folder = base && *base ? base : "/tmp/corvane-bench";
  ::mkdir(folder.c_str(), 0755);
  return folder + "/list_folder_100k";
}

// Makes the folder unless a finished one is there; false when it cannot be made.
inline bool MakeBenchFolder(const std::string& folder) {
  const std::string done = folder + ".complete";
  if (::access(done.c_str(), F_OK) == 0)
    return true;
  std::printf("making %d files in %s ...\n", BenchFileCount, folder.c_str());
  ::mkdir(folder.c_str(), 0755);
  char name[64];
  for (int i = 0; i < BenchFileCount; ++i) {
    // Mixed names, extensions and sizes, so that sorting has real work to do.
    static const char* const exts[] = {"txt", "cpp", "h", "jpg", "tar.gz", "md"};
    const long long n = i;
    std::snprintf(name, sizeof name, "/%c%07lld_file.%s", static_cast<char>('a' + n * 7919 % 26),
                  n * 104729 % BenchFileCount, exts[i % 6]);
    const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
      return false;
    const bool sized = i % 10 != 0 || ::ftruncate(fd, i) == 0;
    ::close(fd);
    if (!sized)
      return false;
  }
  const int fd = ::open(done.c_str(), O_WRONLY | O_CREAT, 0644);
  ::close(fd);
  return true;
}

} // namespace corvane::bench
