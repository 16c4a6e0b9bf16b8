#include "platform/process_temp.h"

#include "platform/remove_tree.h"
#include "platform/unique_fd.h"
#include "platform/write_all.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::platform {
namespace {

constexpr std::string_view OwnerSuffix = ".owner";

std::string TempOf(const std::string& programFolder) {
  return (programFolder == "/" ? std::string() : programFolder) + "/temp";
}

// Up to `limit` bytes of a regular file, links not followed; nothing when it cannot be read.
std::optional<std::string> ReadSmall(int dirFd, const char* name, size_t limit, int noFollow) {
  const TUniqueFd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | noFollow));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  std::string text(limit, '\0');
  size_t have = 0;
  while (have < limit) {
    const ssize_t got = ::read(fd.Get(), text.data() + have, limit - have);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return std::nullopt;
    if (got == 0)
      break;
    have += static_cast<size_t>(got);
  }
  text.resize(have);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

const std::string& BootId() {
  static const std::string id =
      ReadSmall(AT_FDCWD, "/proc/sys/kernel/random/boot_id", 64, 0).value_or(std::string());
  return id;
}

// The 22nd field of /proc/<pid>/stat: when the process started, in clock ticks after boot.
std::string StartTime(pid_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/stat";
  const std::optional<std::string> stat = ReadSmall(AT_FDCWD, path.c_str(), 4096, 0);
  if (!stat)
    return {};
  // "pid (name) state ppid ...": the name may hold blanks and parentheses, so count from the
  // last ")"; the state is field 3.
  const size_t close = stat->rfind(')');
  if (close == std::string::npos)
    return {};
  size_t at = close + 1;
  for (int field = 3; field <= 22; ++field) {
    at = stat->find_first_not_of(' ', at);
    if (at == std::string::npos)
      return {};
    const size_t end = std::min(stat->find(' ', at), stat->size());
    if (field == 22)
      return stat->substr(at, end - at);
    at = end;
  }
  return {};
}

bool Running(pid_t pid) {
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The process id a name of temp/ belongs to: "<pid>" or "<pid>.owner", the id written as
// to_string writes it.
std::optional<pid_t> PidOfName(std::string_view name) {
  if (name.ends_with(OwnerSuffix))
    name.remove_suffix(OwnerSuffix.size());
  if (name.empty() || name.size() > 9 || name.front() == '0' ||
      name.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  return static_cast<pid_t>(std::stol(std::string(name)));
}

TUniqueFd OpenTemp(const std::string& programFolder, bool create) {
  if (programFolder.empty()) {
    errno = ENOENT; // no program folder: never a "temp" in the working folder or at the root
    return TUniqueFd();
  }
  const std::string temp = TempOf(programFolder);
  if (create && ::mkdir(temp.c_str(), 0700) != 0 && errno != EEXIST)
    return TUniqueFd();
  return TUniqueFd(::open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::optional<std::string> ReadOwner(int tempFd, pid_t pid) {
  const std::string name = std::to_string(pid) + std::string(OwnerSuffix);
  return ReadSmall(tempFd, name.c_str(), 256, O_NOFOLLOW);
}

// Removes an entry of temp/: a folder with everything in it, anything else (a link included)
// as it is. Gone already counts as removed.
bool RemoveEntry(int tempFd, const std::string& temp, const std::string& name, dev_t device,
                 TRemoveProblems& problems) {
  struct stat st {};
  if (::fstatat(tempFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT || problems.AddError(temp + "/" + name, errno);
  if (S_ISDIR(st.st_mode))
    return RemoveFolderTree(tempFd, name, temp + "/" + name, device, problems);
  return ::unlinkat(tempFd, name.c_str(), 0) == 0 || errno == ENOENT ||
         problems.AddError(temp + "/" + name, errno);
}

// Removes the folder of `pid` and then its stamp; the stamp stays while anything of the folder
// does, so that the folder is still known for what it is.
bool RemoveFolderOf(int tempFd, const std::string& temp, pid_t pid, dev_t device,
                    TRemoveProblems& problems) {
  const std::string name = std::to_string(pid);
  if (!RemoveEntry(tempFd, temp, name, device, problems))
    return false;
  return RemoveEntry(tempFd, temp, name + std::string(OwnerSuffix), device, problems);
}

} // namespace

std::string ProcessTempFolder(const std::string& programFolder) {
  if (programFolder.empty())
    return {};
  return TempOf(programFolder) + "/" + std::to_string(::getpid());
}

std::string ProcessStamp(pid_t pid) {
  if (pid <= 0)
    return {};
  const std::string start = StartTime(pid);
  return start.empty() ? std::string() : BootId() + " " + start;
}

int RemoveStaleTemps(const std::string& programFolder) {
  const TUniqueFd temp = OpenTemp(programFolder, false);
  struct stat st {};
  std::vector<std::pair<std::string, unsigned char>> entries;
  if (!temp.Valid() || ::fstat(temp.Get(), &st) != 0 || !ListFolder(temp.Get(), entries))
    return 0;
  std::set<pid_t> pids;
  for (const auto& entry : entries)
    if (const std::optional<pid_t> pid = PidOfName(entry.first))
      pids.insert(*pid);
  int removed = 0;
  const std::string tempPath = TempOf(programFolder);
  for (const pid_t pid : pids) {
    if (Running(pid)) {
      // A running process with the id: the folder is its own unless the stamp names another one.
      // Without a stamp, or when /proc will not tell this process's, nothing says it is stale.
      const std::optional<std::string> owner = ReadOwner(temp.Get(), pid);
      const std::string stamp = ProcessStamp(pid);
      if (!owner || stamp.empty() || *owner == stamp)
        continue;
    }
    TRemoveProblems problems;
    if (RemoveFolderOf(temp.Get(), tempPath, pid, st.st_dev, problems))
      ++removed;
  }
  return removed;
}

std::string MakeProcessTemp(const std::string& programFolder) {
  const TUniqueFd temp = OpenTemp(programFolder, true);
  struct stat tempSt {};
  if (!temp.Valid() || ::fstat(temp.Get(), &tempSt) != 0)
    return {};
  const pid_t self = ::getpid();
  const std::string name = std::to_string(self);
  const std::string ownerName = name + std::string(OwnerSuffix);
  const std::string stamp = ProcessStamp(self);
  const std::string path = ProcessTempFolder(programFolder);

  struct stat st {};
  if (::fstatat(temp.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    const std::optional<std::string> owner = ReadOwner(temp.Get(), self);
    if (S_ISDIR(st.st_mode) && owner && *owner == stamp)
      return path;
    // A folder without a stamp is taken to be ours (making the stamp may have failed); anything
    // else with our id is what an ended process of the same id left behind.
    if (!S_ISDIR(st.st_mode) || owner) {
      TRemoveProblems problems;
      if (!RemoveEntry(temp.Get(), TempOf(programFolder), name, tempSt.st_dev, problems)) {
        errno = EEXIST;
        return {};
      }
    }
  }
  if (::mkdirat(temp.Get(), name.c_str(), 0700) != 0 && errno != EEXIST)
    return {};
  if (::fstatat(temp.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return {};
  }
  // The stamp is made afresh (a link in its place is removed, not followed). Without it the folder
  // still serves; it is only kept longer by others' clean-up.
  if (::unlinkat(temp.Get(), ownerName.c_str(), 0) == 0 || errno == ENOENT) {
    const TUniqueFd owner(::openat(temp.Get(), ownerName.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    const std::string line = stamp + "\n";
    if (owner.Valid()) [[maybe_unused]]
      const bool written = WriteAll(owner.Get(), line.data(), line.size());
  }
  return path;
}

bool RemoveProcessTemp(const std::string& programFolder, std::string* why) {
  const TUniqueFd temp = OpenTemp(programFolder, false);
  struct stat st {};
  if (!temp.Valid() || ::fstat(temp.Get(), &st) != 0) {
    if (errno == ENOENT)
      return true;
    if (why)
      *why = TempOf(programFolder) + ": cannot open";
    return false;
  }
  TRemoveProblems problems;
  if (RemoveFolderOf(temp.Get(), TempOf(programFolder), ::getpid(), st.st_dev, problems))
    return true;
  if (why)
    *why = problems.Text();
  return false;
}

} // namespace corvane::platform
