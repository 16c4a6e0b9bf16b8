// TTempFolder: a real temporary folder for tests, removed with everything in it afterwards.
// Paths handed in are relative to the folder and use "/"; Model() gives the model path
// ("C:\tmp\...\") the file model works with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::test {

class TTempFolder final {
public:
  TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  ~TTempFolder();

  // Native path of the folder (no trailing "/") or of something inside it.
  const std::string& Path() const { return Root; }
  std::string Native(std::string_view relative) const;
  // Model path of the folder, ending with "\".
  std::string Model() const;
  // The same relative to the drive root "C:\", as a panel shows it: "tmp\corvane-test-...\".
  std::string Rel() const;

  // Makes a file of `size` bytes (folders above it included); returns its native path.
  std::string File(std::string_view relative, int64_t size = 0);
  std::string Folder(std::string_view relative);
  std::string Link(std::string_view relative, std::string_view target);
  // Sets the modification and access time (seconds since 1970).
  void SetTime(std::string_view relative, int64_t seconds);
  void Chmod(std::string_view relative, unsigned mode);
  // Makes an empty file at a native path; false when it cannot.
  static bool Touch(const std::string& nativePath);

private:
  std::string Root;
};

// The whole contents of a file (empty when it cannot be read), and writing one.
std::string ReadFile(const std::string& nativePath);
void WriteFile(const std::string& nativePath, const std::string& text);

// Runs `body` in a child process that first drops to an unprivileged user, so that permission
// checks apply even when the tests run as root. Returns the body's result, or -1 when the child
// failed otherwise. Anything the child reaches must be open to others.
int RunUnprivileged(int (*body)(void*), void* context);

// A file system mounted on a folder for one test, detached again on every way out (a failed
// assertion included). Only root can mount; elsewhere, and where the kernel refuses, Mounted() is
// false and the test says what it skips. `what` is mount(8)'s arguments before the folder:
// "-t tmpfs -o size=1m tmpfs", "-t proc proc", "--bind /some/folder".
class TMount final {
public:
  TMount(const std::string& what, std::string nativeFolder);
  TMount(const TMount&) = delete;
  TMount& operator=(const TMount&) = delete;
  ~TMount();
  bool Mounted() const { return IsMounted; }

private:
  std::string Folder;
  bool IsMounted = false;
};

// Removes a tree without following links (chmod-ing folders where needed).
void RemoveTree(const std::string& nativePath);

} // namespace corvane::test
