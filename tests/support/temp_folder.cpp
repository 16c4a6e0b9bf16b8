#include "temp_folder.h"

#include "platform/native_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace corvane::test {

namespace {

void MakeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0777);
}

// Removes one entry of an open folder, a folder with everything in it, by descriptors only: no
// path grows with the depth, so trees deeper than PATH_MAX go too, and links are never followed.
void RemoveAt(int parentFd, const char* name) {
  struct stat st {};
  if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
    return;
  if (!S_ISDIR(st.st_mode)) {
    ::unlinkat(parentFd, name, 0);
    return;
  }
  ::fchmodat(parentFd, name, (st.st_mode & 07777) | 0700, 0);
  const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    if (DIR* dir = ::fdopendir(fd)) {
      std::vector<std::string> names;
      while (const dirent* entry = ::readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
          names.emplace_back(entry->d_name);
      for (const auto& child : names)
        RemoveAt(::dirfd(dir), child.c_str());
      ::closedir(dir);
    } else {
      ::close(fd);
    }
  }
  ::unlinkat(parentFd, name, AT_REMOVEDIR);
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

std::string ReadFile(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& nativePath, const std::string& text) {
  std::ofstream(nativePath, std::ios::binary) << text;
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

TMount::TMount(const std::string& what, std::string nativeFolder)
    : Folder(std::move(nativeFolder)) {
  IsMounted = ::geteuid() == 0 &&
              std::system(("mount " + what + " '" + Folder + "' 2>/dev/null").c_str()) == 0;
}

TMount::~TMount() {
  if (IsMounted)
    ::umount2(Folder.c_str(), MNT_DETACH);
}

void RemoveTree(const std::string& nativePath) {
  RemoveAt(AT_FDCWD, nativePath.c_str());
}

} // namespace corvane::test
