#include "temp_folder.h"

#include "platform/native_path.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace corvane::test {

namespace {

void MakeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0777);
}

// Both walks run with FTW_CHDIR and use the name inside the current folder, so that trees deeper
// than PATH_MAX are removed too.
int RemoveOne(const char* path, const struct stat*, int type, struct FTW* ftw) {
  const char* name = path + ftw->base;
  if (type == FTW_DP)
    ::rmdir(name);
  else
    ::unlink(name);
  return 0;
}

int OpenUp(const char* path, const struct stat* st, int type, struct FTW* ftw) {
  if (type == FTW_D || type == FTW_DNR)
    ::chmod(path + ftw->base, (st->st_mode & 07777) | 0700);
  return 0;
}

} // namespace

TTempFolder::TTempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvane-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (!::mkdtemp(buffer.data()))
    throw std::runtime_error("cannot make a temporary folder");
  Root = buffer.data();
  // Open to others so that unprivileged child processes can reach what the tests make.
  ::chmod(Root.c_str(), 0777);
}

TTempFolder::~TTempFolder() {
  RemoveTree(Root);
}

std::string TTempFolder::Native(std::string_view relative) const {
  std::string path = Root;
  if (!relative.empty()) {
    path += '/';
    path += relative;
  }
  return path;
}

std::string TTempFolder::Model() const {
  std::string model = platform::NativeToModel(Root).value_or(std::string());
  model += '\\';
  return model;
}

std::string TTempFolder::Rel() const {
  return Model().substr(3);
}

std::string TTempFolder::File(std::string_view relative, int64_t size) {
  const std::string path = Native(relative);
  MakeParents(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    throw std::runtime_error("cannot make " + path);
  if (size > 0 && ::ftruncate(fd, size) != 0) {
    ::close(fd);
    throw std::runtime_error("cannot size " + path);
  }
  ::close(fd);
  return path;
}

std::string TTempFolder::Folder(std::string_view relative) {
  const std::string path = Native(relative);
  MakeParents(path + "/");
  return path;
}

std::string TTempFolder::Link(std::string_view relative, std::string_view target) {
  const std::string path = Native(relative);
  MakeParents(path);
  if (::symlink(std::string(target).c_str(), path.c_str()) != 0)
    throw std::runtime_error("cannot link " + path);
  return path;
}

void TTempFolder::SetTime(std::string_view relative, int64_t seconds) {
  const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  ::utimensat(AT_FDCWD, Native(relative).c_str(), times, AT_SYMLINK_NOFOLLOW);
}

bool TTempFolder::Touch(const std::string& nativePath) {
  const int fd = ::open(nativePath.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0)
    return false;
  ::close(fd);
  return true;
}

void TTempFolder::Chmod(std::string_view relative, unsigned mode) {
  ::chmod(Native(relative).c_str(), mode);
}

int RunUnprivileged(int (*body)(void*), void* context) {
  const pid_t child = ::fork();
  if (child < 0)
    return -1;
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
      ::_exit(250);
    ::_exit(body(context));
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

void RemoveTree(const std::string& nativePath) {
  const int here = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  ::nftw(nativePath.c_str(), OpenUp, 16, FTW_PHYS | FTW_CHDIR);
  ::nftw(nativePath.c_str(), RemoveOne, 16, FTW_PHYS | FTW_DEPTH | FTW_CHDIR);
  if (here >= 0) {
    [[maybe_unused]] const int back = ::fchdir(here);
    ::close(here);
  }
}

} // namespace corvane::test
