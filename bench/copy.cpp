// copy: the browser's copy engine against cp on the same file system in the same run, for one big
// file (1 GiB of pseudo-random data) and for a tree of 10,000 small files (100 folders of 100
// files of 4 KiB).
//
// The sources are made once under $CORVANE_BENCH_DIR (default /tmp/corvane-bench) and reused. Each
// side first makes one untimed copy, so that both read their source from the same warm page cache;
// then the sides take turns, the order swapping every round, each copying into a fresh target
// folder that is removed afterwards. Before every timed copy the target is gone and sync() has
// written out whatever the last copy left dirty, the same for both sides. The fastest run of each
// side counts.
#include "model/browser.h"
#include "platform/native_path.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

constexpr int64_t BigSize = int64_t{1} << 30;
constexpr int SmallFolders = 100;
constexpr int SmallFilesPerFolder = 100;
constexpr int SmallFileCount = SmallFolders * SmallFilesPerFolder;
constexpr size_t SmallFileSize = 4096;
constexpr int64_t FreeBytesForBig = int64_t{3} << 30;
constexpr int Rounds = 3;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::string BenchBase() {
  const char* base = std::getenv("CORVANE_BENCH_DIR");
  std::string folder = base && *base ? base : "/tmp/corvane-bench";
  ::mkdir(folder.c_str(), 0755);
  return folder;
}

// Real data, so that no file system can store or copy it as holes.
class TRandomBytes final {
public:
  void Fill(char* data, size_t size) {
    for (size_t i = 0; i + 8 <= size; i += 8) {
      State ^= State << 13;
      State ^= State >> 7;
      State ^= State << 17;
      std::copy_n(reinterpret_cast<const char*>(&State), 8, data + i);
    }
  }

private:
  uint64_t State = 0x9e3779b97f4a7c15u;
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written <= 0)
      return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Writes a file under a temporary name and gives it its name only when complete.
bool MakeDataFile(const std::string& path, int64_t size, TRandomBytes& random,
                  std::vector<char>& buffer) {
  const std::string partial = path + ".part";
  const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  bool ok = true;
  for (int64_t done = 0; ok && done < size;) {
    const size_t chunk = static_cast<size_t>(std::min<int64_t>(size - done, buffer.size()));
    random.Fill(buffer.data(), chunk);
    ok = WriteAll(fd, buffer.data(), chunk);
    done += static_cast<int64_t>(chunk);
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(partial.c_str(), path.c_str()) != 0) {
    ::unlink(partial.c_str());
    return false;
  }
  return true;
}

// A regular file of exactly `size` bytes with all of them stored.
bool IsFullFile(const std::string& path, int64_t size) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == size &&
         static_cast<int64_t>(st.st_blocks) * 512 >= size;
}

bool MakeBigFile(const std::string& path) {
  if (IsFullFile(path, BigSize))
    return true;
  std::printf("making the 1 GiB file %s ...\n", path.c_str());
  std::fflush(stdout);
  TRandomBytes random;
  std::vector<char> buffer(size_t{1} << 20);
  return MakeDataFile(path, BigSize, random, buffer);
}

bool MakeSmallTree(const std::string& tree) {
  const std::string done = tree + ".complete";
  if (::access(done.c_str(), F_OK) == 0)
    return true;
  std::printf("making %d files of %zu bytes in %s ...\n", SmallFileCount, SmallFileSize,
              tree.c_str());
  std::fflush(stdout);
  std::error_code error;
  fs::remove_all(tree, error);
  if (::mkdir(tree.c_str(), 0755) != 0)
    return false;
  TRandomBytes random;
  std::vector<char> buffer(SmallFileSize);
  char name[64];
  for (int d = 0; d < SmallFolders; ++d) {
    std::snprintf(name, sizeof name, "/d%03d", d);
    const std::string folder = tree + name;
    if (::mkdir(folder.c_str(), 0755) != 0)
      return false;
    for (int f = 0; f < SmallFilesPerFolder; ++f) {
      std::snprintf(name, sizeof name, "/f%03d.dat", f);
      if (!MakeDataFile(folder + name, SmallFileSize, random, buffer))
        return false;
    }
  }
  const int fd = ::open(done.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  ::close(fd);
  return true;
}

int64_t FreeBytes(const std::string& folder) {
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) != 0)
    return -1;
  return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

bool HaveCp() {
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos)
      end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    if (::access((dir + "/cp").c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

// Runs cp with the arguments and waits for it; true when it exited with 0.
bool RunCp(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = "cp";
  argv.push_back(program.data());
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, "cp", nullptr, nullptr, argv.data(), environ) != 0)
    return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A fresh, empty target folder, with nothing pending for the disk.
bool FreshTarget(const std::string& target) {
  std::error_code error;
  fs::remove_all(target, error);
  if (error || ::mkdir(target.c_str(), 0755) != 0)
    return false;
  ::sync();
  return true;
}

void RemoveTarget(const std::string& target) {
  std::error_code error;
  fs::remove_all(target, error);
}

// Copies the entry `name` of the native folder `sourceFolder` into the native folder `target`
// with a browser set on the source's folder, timing CopyToPath alone. Negative on failure.
double OursOnce(const std::string& sourceFolder, const std::string& name,
                const std::string& target) {
  const auto sourceModel = corvane::platform::NativeToModel(sourceFolder);
  const auto targetModel = corvane::platform::NativeToModel(target);
  if (!sourceModel || !targetModel || sourceModel->size() < 3)
    return -1;
  corvane::TBrowser browser;
  int errors = 0;
  browser.OnCopyError = [&errors](corvane::TCopyError, const std::string&) { ++errors; };
  if (!browser.SetRoot(sourceModel->substr(0, 3), 0, sourceModel->substr(3)))
    return -1;
  browser.Cursor = browser.FindEntry(name);
  if (browser.Cursor == 0)
    return -1;
  const auto start = Clock::now();
  const bool started = browser.CopyToPath(*targetModel, false);
  const double seconds = Seconds(Clock::now() - start);
  return started && errors == 0 ? seconds : -1;
}

double CpOnce(const std::vector<std::string>& args) {
  const auto start = Clock::now();
  const bool ok = RunCp(args);
  const double seconds = Seconds(Clock::now() - start);
  return ok ? seconds : -1;
}

bool CheckBigCopy(const std::string& target) {
  return IsFullFile(target + "/big.bin", BigSize);
}

bool CheckSmallCopy(const std::string& target) {
  std::error_code error;
  int files = 0;
  for (fs::recursive_directory_iterator it(target + "/tree", error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error) && it->file_size(error) == SmallFileSize)
      ++files;
  }
  return !error && files == SmallFileCount;
}

struct TResult {
  double Ours = 1e9;
  double Cp = 1e9;
  bool Ok = false;
};

// One untimed copy of each side, then the timed rounds.
TResult Compare(const char* what, const std::string& target, const std::string& sourceFolder,
                const std::string& name, const std::vector<std::string>& cpArgs,
                bool (*check)(const std::string&)) {
  TResult result;
  auto runOurs = [&]() {
    if (!FreshTarget(target))
      return -1.0;
    const double seconds = OursOnce(sourceFolder, name, target);
    const bool ok = seconds >= 0 && check(target);
    RemoveTarget(target);
    return ok ? seconds : -1.0;
  };
  auto runCp = [&]() {
    if (!FreshTarget(target))
      return -1.0;
    const double seconds = CpOnce(cpArgs);
    const bool ok = seconds >= 0 && check(target);
    RemoveTarget(target);
    return ok ? seconds : -1.0;
  };
  if (runOurs() < 0 || runCp() < 0) {
    std::printf("%s: a warm-up copy failed\n", what);
    return result;
  }
  for (int round = 0; round < Rounds; ++round) {
    for (int side = 0; side < 2; ++side) {
      const bool ours = (round + side) % 2 == 0;
      const double seconds = ours ? runOurs() : runCp();
      if (seconds < 0) {
        std::printf("%s: %s copy failed\n", what, ours ? "the browser's" : "cp's");
        return result;
      }
      double& best = ours ? result.Ours : result.Cp;
      best = std::min(best, seconds);
    }
  }
  result.Ok = true;
  return result;
}

} // namespace

int main() {
  const std::string base = BenchBase();
  const std::string target = base + "/copy_target";
  RemoveTarget(target);
  if (!HaveCp()) {
    std::printf("cp is not installed: no baseline, no figures\n");
    return 0;
  }

  const int64_t freeBytes = FreeBytes(base);
  if (freeBytes < FreeBytesForBig) {
    std::printf("only %.2f GiB free in %s, 3 GiB needed: no copy_big_ratio\n",
                static_cast<double>(freeBytes) / (1 << 30), base.c_str());
  } else {
    const std::string folder = base + "/copy_big";
    ::mkdir(folder.c_str(), 0755);
    const std::string file = folder + "/big.bin";
    if (!MakeBigFile(file)) {
      std::printf("cannot make %s\n", file.c_str());
    } else {
      const TResult big =
          Compare("1 GiB file", target, folder, "big.bin", {file, target + "/"}, CheckBigCopy);
      if (big.Ok) {
        std::printf("1 GiB file: cp %.1f ms; TBrowser CopyToPath %.1f ms\n", big.Cp * 1000,
                    big.Ours * 1000);
        std::printf("figure copy_big_ratio %.2f x\n", big.Ours / big.Cp);
      }
    }
  }

  const std::string folder = base + "/copy_small";
  ::mkdir(folder.c_str(), 0755);
  const std::string tree = folder + "/tree";
  if (!MakeSmallTree(tree)) {
    std::printf("cannot make %s\n", tree.c_str());
  } else {
    const TResult small = Compare("10,000 small files", target, folder, "tree",
                                  {"-r", tree, target + "/"}, CheckSmallCopy);
    if (small.Ok) {
      std::printf("%d files of %zu bytes in %d folders: cp -r %.1f ms; TBrowser CopyToPath %.1f "
                  "ms\n",
                  SmallFileCount, SmallFileSize, SmallFolders, small.Cp * 1000, small.Ours * 1000);
      std::printf("figure copy_small_ratio %.2f x\n", small.Ours / small.Cp);
    }
  }
  RemoveTarget(target);
  return 0;
}
