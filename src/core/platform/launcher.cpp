#include "platform/launcher.h"

#include "platform/program_folder.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <mutex>

extern char** environ;

namespace corvane::platform {

namespace {

constexpr std::initializer_list<const char*> TextEditors = {
    "gnome-text-editor", "gedit", "kate", "mousepad", "featherpad", "xed"};
constexpr std::initializer_list<const char*> MediaPlayers = {"vlc",       "mpv",      "totem",
                                                             "celluloid", "smplayer", "parole"};

// The typed command arrives as $1; the subshell keeps an "exit" or a syntax error in it from
// ending the shell before the prompt for Enter.
constexpr const char* TerminalScript = "(eval \"$1\"); echo; read -r x";

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return LowerAscii(c); });
  return lower;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Where a relative path given for the child is, seen from here: the child resolves it after
// changing to its working folder.
std::string SeenFromHere(const std::string& path, const std::string& workFolder) {
  if (path.empty() || path.front() == '/' || workFolder.empty())
    return path;
  return workFolder + (workFolder.back() == '/' ? "" : "/") + path;
}

std::string FirstOnPath(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (std::string path = FindOnPath(name); !path.empty())
      return path;
  return {};
}

// The children started and not yet collected. Process-wide, like the children themselves.
struct TChildren {
  std::mutex Lock;
  std::vector<pid_t> Pids;
};

TChildren& Children() {
  static TChildren children;
  return children;
}

// A program to start: the path handed to posix_spawn (empty when there is none) and its
// arguments after argv[0].
struct TTarget {
  std::string Path;
  std::vector<std::string> Args;
};

TTarget Resolve(const std::string& program, const std::vector<std::string>& args,
                const std::string& workFolder) {
  if (program.empty())
    return {};
  if (program.find('/') != std::string::npos) {
    // Anything there is handed to the kernel, which says why it will not run it.
    struct stat st {};
    if (::stat(SeenFromHere(program, workFolder).c_str(), &st) != 0)
      return {};
    return {program, args};
  }
  if (SameName(program, "notepad.exe")) {
    if (std::string editor = FirstOnPath(TextEditors); !editor.empty())
      return {editor, args};
    if (args.empty())
      return {};
    return {FindOnPath("xdg-open"), {args.back()}};
  }
  if (SameName(program, "command.com"))
    return {FindOnPath("x-terminal-emulator"), args};
  if (SameName(program, "mplayer") || SameName(program, "mplayer.exe")) {
    if (!args.empty())
      return {FindOnPath("xdg-open"), {args.back()}};
    return {FirstOnPath(MediaPlayers), {}};
  }
  if (SameName(program, "edit.exe") || SameName(program, "inet.exe")) {
    // The program's own viewer and page viewer live beside it as cvedit and cvinet.
    std::string path = ProgramFolder() + "/cv" + LowerAscii(program.substr(0, program.size() - 4));
    if (!IsExecutableFile(path))
      return {};
    return {path, args};
  }

  std::string name = program;
  if (name.size() > 4) {
    const std::string suffix = LowerAscii(std::string_view(name).substr(name.size() - 4));
    if (suffix == ".exe" || suffix == ".com" || suffix == ".bat")
      name.resize(name.size() - 4);
  }
  std::string path = FindOnPath(name);
  if (path.empty() && LowerAscii(name) != name)
    path = FindOnPath(LowerAscii(name));
  return {path, args};
}

// The posix_spawn attribute and file-action objects, destroyed on every path.
class TSpawnSetup final {
public:
  TSpawnSetup() {
    ::posix_spawnattr_init(&Attr);
    ::posix_spawn_file_actions_init(&Actions);
  }
  TSpawnSetup(const TSpawnSetup&) = delete;
  TSpawnSetup& operator=(const TSpawnSetup&) = delete;
  ~TSpawnSetup() {
    ::posix_spawn_file_actions_destroy(&Actions);
    ::posix_spawnattr_destroy(&Attr);
  }

  posix_spawnattr_t Attr;
  posix_spawn_file_actions_t Actions;
};

// Starts a program; with `output` >= 0 its stdout and stderr go there. `pid` receives the child's
// id; the caller decides whether the launcher reaps it or waits for it itself.
TLaunchResult SpawnChild(const std::string& path, const std::vector<std::string>& args,
                         const std::string& workFolder, int output, pid_t& pid) {
  TSpawnSetup setup;
  sigset_t all, none;
  ::sigfillset(&all);
  ::sigemptyset(&none);
  int error = ::posix_spawnattr_setflags(
      &setup.Attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
  if (error == 0)
    error = ::posix_spawnattr_setsigdefault(&setup.Attr, &all);
  if (error == 0)
    error = ::posix_spawnattr_setsigmask(&setup.Attr, &none);
  if (error == 0)
    error =
        ::posix_spawn_file_actions_addopen(&setup.Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (error == 0 && output >= 0)
    error = ::posix_spawn_file_actions_adddup2(&setup.Actions, output, STDOUT_FILENO);
  if (error == 0 && output >= 0)
    error = ::posix_spawn_file_actions_adddup2(&setup.Actions, output, STDERR_FILENO);
  if (error == 0 && !workFolder.empty())
    error = ::posix_spawn_file_actions_addchdir_np(&setup.Actions, workFolder.c_str());
  if (error == 0)
    error = ::posix_spawn_file_actions_addclosefrom_np(&setup.Actions, STDERR_FILENO + 1);

  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid = -1;
  if (error == 0)
    error = ::posix_spawn(&pid, path.c_str(), &setup.Actions, &setup.Attr, argv.data(), environ);
  if (error != 0) {
    // glibc has collected the child already when its chdir or exec failed.
    errno = error;
    return TLaunchResult::Failed;
  }
  return TLaunchResult::Started;
}

// Starts a program that runs on its own; the launcher reaps it later.
TLaunchResult Spawn(const std::string& path, const std::vector<std::string>& args,
                    const std::string& workFolder) {
  pid_t pid = -1;
  const TLaunchResult result = SpawnChild(path, args, workFolder, -1, pid);
  if (result != TLaunchResult::Started)
    return result;
  TChildren& children = Children();
  std::lock_guard lock(children.Lock);
  children.Pids.push_back(pid);
  return TLaunchResult::Started;
}

TLaunchResult NotFound() {
  errno = ENOENT;
  return TLaunchResult::NotFound;
}

} // namespace

size_t ReapLaunched() {
  const int savedErrno = errno;
  TChildren& children = Children();
  std::lock_guard lock(children.Lock);
  std::erase_if(children.Pids, [](pid_t pid) {
    int status = 0;
    pid_t done;
    do {
      done = ::waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    // ECHILD: someone else collected it after all; it is no longer ours to wait for.
    return done == pid || (done < 0 && errno == ECHILD);
  });
  errno = savedErrno;
  return children.Pids.size();
}

TLaunchResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workFolder) {
  ReapLaunched();
  const TTarget target = Resolve(program, args, workFolder);
  if (target.Path.empty())
    return NotFound();
  return Spawn(target.Path, target.Args, workFolder);
}

TRunResult RunAndWait(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workFolder, const std::string& logPath,
                      const std::function<bool()>& whileWaiting, const TStopPolicy& stop) {
  ReapLaunched();
  TRunResult result;
  const TTarget target = Resolve(program, args, workFolder);
  if (target.Path.empty()) {
    result.Launch = NotFound();
    result.Error = ENOENT;
    return result;
  }
  TUniqueFd log;
  if (!logPath.empty()) {
    log.Reset(::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!log.Valid()) {
      result.Launch = TLaunchResult::Failed;
      result.Error = errno;
      return result;
    }
  }
  pid_t pid = -1;
  result.Launch = SpawnChild(target.Path, target.Args, workFolder, log.Get(), pid);
  if (result.Launch != TLaunchResult::Started) {
    result.Error = errno;
    return result;
  }
  const auto now = [&stop] { return stop.Now ? stop.Now() : std::chrono::steady_clock::now(); };
  // The child leads a session of its own, so its id is also the id of its process group: the
  // signals reach what it started as well (a helper left behind would keep writing the archive).
  enum { Running, Terminated, Killed } stage = Running;
  std::chrono::steady_clock::time_point killAt{};
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid)
      break;
    if (done < 0 && errno != EINTR) {
      result.Error = errno;
      result.ExitCode = -1;
      return result;
    }
    const bool goOn = !whileWaiting || whileWaiting();
    if (stage == Running && !goOn) {
      result.Cancelled = true;
      ::kill(-pid, SIGTERM);
      stage = Terminated;
      killAt = now() + stop.Grace;
    } else if (stage == Terminated && now() >= killAt) {
      ::kill(-pid, SIGKILL);
      stage = Killed;
    }
    ::usleep(10000);
  }
  if (WIFEXITED(status)) {
    result.ExitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.ExitCode = -1;
    result.Signal = WTERMSIG(status);
  }
  return result;
}

TLaunchResult OpenDocument(const std::string& nativePath, const std::string& workFolder) {
  ReapLaunched();
  const std::string opener = FindOnPath("xdg-open");
  if (opener.empty())
    return NotFound();
  return Spawn(opener, {nativePath}, workFolder);
}

bool IsProgramFile(const std::string& nativePath) {
  struct stat st {};
  if (::stat(nativePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) == 0)
    return false;
  // O_NONBLOCK: should a FIFO have taken the file's place since the stat, opening it must not
  // wait for a writer.
  const TUniqueFd fd(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid())
    return errno == EACCES;
  struct stat opened {};
  if (::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode))
    return false;
  char head[4] = {};
  ssize_t got;
  do {
    got = ::read(fd.Get(), head, sizeof head);
  } while (got < 0 && errno == EINTR);
  return (got >= 2 && head[0] == '#' && head[1] == '!') ||
         (got == 4 && head[0] == '\x7f' && head[1] == 'E' && head[2] == 'L' && head[3] == 'F');
}

TLaunchResult OpenFile(const std::string& nativePath, const std::string& workFolder) {
  ReapLaunched();
  if (IsProgramFile(SeenFromHere(nativePath, workFolder))) {
    // Without a "/" posix_spawn would still take the name from the working folder, not PATH.
    const TLaunchResult result = Spawn(nativePath, {}, workFolder);
    if (result != TLaunchResult::Failed || (errno != ENOEXEC && errno != EACCES))
      return result;
  }
  return OpenDocument(nativePath, workFolder);
}

TLaunchResult RunEditorCommand(const std::string& commandLine, const std::string& file,
                               const std::string& workFolder) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) {
    ReapLaunched();
    return NotFound();
  }
  const std::string program = std::move(words.front());
  words.erase(words.begin());
  if (!file.empty())
    words.push_back(file);
  return RunProgram(program, words, workFolder);
}

TLaunchResult RunInTerminal(const std::string& command, const std::string& workFolder) {
  ReapLaunched();
  if (command.find_first_not_of(" \t\n") == std::string::npos)
    return NotFound();
  const std::string terminal = FindOnPath("x-terminal-emulator");
  if (terminal.empty())
    return NotFound();
  return Spawn(terminal, {"-e", "/bin/sh", "-c", TerminalScript, "sh", command}, workFolder);
}

std::string FindOnPath(const std::string& name) {
  if (name.empty())
    return {};
  if (name.find('/') != std::string::npos)
    return IsExecutableFile(name) ? name : std::string();

  std::string searchPath;
  if (const char* path = std::getenv("PATH")) {
    searchPath = path;
  } else if (const size_t size = ::confstr(_CS_PATH, nullptr, 0); size > 0) {
    searchPath.resize(size);
    ::confstr(_CS_PATH, searchPath.data(), size);
    searchPath.resize(size - 1);
  }

  for (size_t begin = 0; begin <= searchPath.size();) {
    size_t end = searchPath.find(':', begin);
    if (end == std::string::npos)
      end = searchPath.size();
    const std::string_view folder = std::string_view(searchPath).substr(begin, end - begin);
    begin = end + 1;
    if (folder.empty() || folder.front() != '/')
      continue;
    std::string candidate(folder);
    if (candidate.back() != '/')
      candidate += '/';
    candidate += name;
    if (IsExecutableFile(candidate))
      return candidate;
  }
  return {};
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false; // also true for a word that is so far only "" or ''
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord)
        words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else if (c == '\'') {
      inWord = true;
      const size_t close = std::min(text.find('\'', i + 1), text.size());
      word.append(text.substr(i + 1, close - i - 1));
      i = close;
    } else if (c == '"') {
      inWord = true;
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == '$' || next == '`' || next == '"' || next == '\\')) {
          word += next;
          ++i;
        } else if (text[i] == '\\' && next == '\n') {
          ++i;
        } else {
          word += text[i];
        }
      }
    } else if (c == '\\' && i + 1 < text.size()) {
      ++i;
      if (text[i] != '\n') {
        inWord = true;
        word += text[i];
      }
    } else {
      inWord = true;
      word += c; // a trailing backslash stays itself
    }
  }
  if (inWord)
    words.push_back(std::move(word));
  return words;
}

} // namespace corvane::platform
