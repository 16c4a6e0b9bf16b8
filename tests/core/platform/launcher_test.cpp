#include "platform/launcher.h"
#include "temp_folder.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <thread>

namespace corvane::platform {
namespace {

using test::TTempFolder;
using Strings = std::vector<std::string>;

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? buffer : path;
}

// Ids of the zombie children of this process.
std::set<pid_t> ZombieChildren() {
  std::set<pid_t> zombies;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    // A process may end while it is being read: its stat file then fails to read (ESRCH).
    std::string stat;
    try {
      stat = test::ReadFile(entry.path().string() + "/stat");
    } catch (const std::exception&) {
      continue;
    }
    // "pid (name) state ppid ...", where the name may hold blanks and parentheses.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
      continue;
    std::istringstream rest(stat.substr(close + 1));
    char state = 0;
    pid_t parent = 0;
    if (rest >> state >> parent && state == 'Z' && parent == ::getpid())
      zombies.insert(std::stoi(name));
  }
  return zombies;
}

// Waits (at most 10 s) until every launched program has ended and been collected.
bool Drain() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ReapLaunched() > 0) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// What one stub saw: the folder it ran in and its arguments after argv[0].
struct TRun {
  std::string Folder;
  Strings Args;
  bool operator==(const TRun&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TRun& run) {
  out << "in " << run.Folder << ":";
  for (const std::string& arg : run.Args)
    out << " [" << arg << "]";
  return out;
}

// A temporary world of stub programs. While it lives, its "stub bin" folder is the whole PATH (so
// no program installed on this machine can answer) and its "home" folder is the program folder.
// A stub records where it ran and its arguments under a tag; Ran() waits until every launched
// program has ended and returns the records. At the end no launched child may be left running or
// a zombie.
class TStubWorld final {
public:
  TStubWorld()
      : Bin(Dir.Folder("stub bin")), Home(Dir.Folder("home")), Work(Dir.Folder("work folder")),
        Records(Dir.Folder("records")), SavedPath(Saved("PATH")), SavedHome(Saved("CORVANE_HOME")),
        ZombiesBefore(ZombieChildren()) {
    ::setenv("PATH", Bin.c_str(), 1);
    ::setenv("CORVANE_HOME", Home.c_str(), 1);
  }
  TStubWorld(const TStubWorld&) = delete;
  TStubWorld& operator=(const TStubWorld&) = delete;
  ~TStubWorld() {
    EXPECT_TRUE(Drain()) << "a launched program is still running";
    EXPECT_EQ(NewZombies(), std::set<pid_t>());
    Restore("PATH", SavedPath);
    Restore("CORVANE_HOME", SavedHome);
  }

  // Writes an executable script at `relative` (inside the world) that records under `tag`, or
  // under its own name. `tail` runs after the record is written.
  std::string Stub(const std::string& relative, std::string tag = {},
                   const std::string& tail = {}) {
    if (tag.empty())
      tag = relative.substr(relative.rfind('/') + 1);
    const std::string path = Dir.File(relative);
    test::WriteFile(path, "#!/bin/sh\n{ pwd -P; for arg do printf '%s\\n' \"$arg\"; done; } > '" +
                              Records + "/" + tag + "'\n" + tail);
    Dir.Chmod(relative, 0755);
    return path;
  }
  std::string PathStub(const std::string& name) { return Stub("stub bin/" + name); }

  std::map<std::string, TRun> Ran() {
    EXPECT_TRUE(Drain());
    std::map<std::string, TRun> runs;
    for (const auto& entry : std::filesystem::directory_iterator(Records)) {
      std::istringstream in(test::ReadFile(entry.path().string()));
      TRun run;
      std::getline(in, run.Folder);
      for (std::string line; std::getline(in, line);)
        run.Args.push_back(line);
      runs[entry.path().filename().string()] = run;
    }
    return runs;
  }

  std::set<pid_t> NewZombies() const {
    std::set<pid_t> zombies = ZombieChildren();
    for (pid_t pid : ZombiesBefore)
      zombies.erase(pid);
    return zombies;
  }

  std::string RealWork() const { return RealPath(Work); }

  TTempFolder Dir;
  const std::string Bin;
  const std::string Home;
  const std::string Work;
  const std::string Records;

private:
  static std::optional<std::string> Saved(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }

  std::optional<std::string> SavedPath;
  std::optional<std::string> SavedHome;
  const std::set<pid_t> ZombiesBefore;
};

TEST(LauncherSplit, CommandLinesSplitAsAShellWould) {
  const struct {
    const char* Text;
    Strings Words;
  } cases[] = {
      {"", {}},
      {" \t\n ", {}},
      {"  ed  -n\t--x  ", {"ed", "-n", "--x"}},
      {R"("/opt/My Editor/ed" -n)", {"/opt/My Editor/ed", "-n"}},
      {R"('a b'c "d e"f)", {"a bc", "d ef"}},
      {R"(My\ Editor\\ed)", {R"(My Editor\ed)"}},
      {R"('a\b "c"')", {R"(a\b "c")"}},
      {R"('don'\''t')", {"don't"}},
      {R"("a\"b\\c\d\$e\`f")", {R"(a"b\c\d$e`f)"}},
      {R"("" x '')", {"", "x", ""}},
      {"$HOME `date` *.txt ~ #note", {"$HOME", "`date`", "*.txt", "~", "#note"}},
      {"a\\\nb \"c\\\nd\" \\\n", {"ab", "cd"}},
      {R"(ed "open end)", {"ed", "open end"}},
      {R"(ed 'open end)", {"ed", "open end"}},
      {R"(ed end\)", {"ed", R"(end\)"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitCommandLine(c.Text), c.Words) << c.Text;
}

TEST(LauncherPath, FindOnPathTakesTheFirstExecutableFileInPathOrder) {
  TStubWorld world;
  TTempFolder& dir = world.Dir;
  // "a" holds a non-executable "tool" and a folder "tool2"; "b" holds both as programs.
  dir.File("a/tool");
  dir.Folder("a/tool2");
  const std::string toolB = world.Stub("b/tool");
  const std::string tool2B = world.Stub("b/tool2");
  // Empty and relative entries would name our own working folder; both hold a "tool" there.
  world.Stub("tool");
  world.Stub("rel/tool");
  const std::string cwd = RealPath(".");
  ASSERT_EQ(::chdir(dir.Path().c_str()), 0);

  ::setenv("PATH", ("rel::" + dir.Native("a") + ":" + dir.Native("b") + "/").c_str(), 1);
  EXPECT_EQ(FindOnPath("tool"), toolB);
  EXPECT_EQ(FindOnPath("tool2"), tool2B);
  EXPECT_EQ(FindOnPath("missing"), "");
  EXPECT_EQ(FindOnPath(""), "");
  EXPECT_EQ(FindOnPath(toolB), toolB);
  EXPECT_EQ(FindOnPath(dir.Native("a/tool")), "");
  EXPECT_EQ(FindOnPath("rel/tool"), "rel/tool");

  // PATH is read at every call.
  ::setenv("PATH", dir.Native("a").c_str(), 1);
  EXPECT_EQ(FindOnPath("tool"), "");
  ::unsetenv("PATH");
  const std::string shell = FindOnPath("sh");
  EXPECT_TRUE(shell.size() > 3 && shell.ends_with("/sh") && shell.front() == '/') << shell;

  ASSERT_EQ(::chdir(cwd.c_str()), 0);
}

TEST(Launcher, ArgumentsReachTheProgramUnchangedInTheWorkingFolder) {
  TStubWorld world;
  world.PathStub("tool");
  const Strings args = {"my notes.txt", "", R"(it's "quoted" $HOME *; rm x)", "-n"};
  EXPECT_EQ(RunProgram("tool", args, world.Work), TLaunchResult::Started);
  EXPECT_EQ(world.Ran(), (std::map<std::string, TRun>{{"tool", {world.RealWork(), args}}}));

  // A relative path is taken from the working folder, where the program itself resolves it.
  world.Stub("work folder/sub/local");
  EXPECT_EQ(RunProgram("sub/local", {"x"}, world.Work), TLaunchResult::Started);
  EXPECT_EQ(world.Ran().at("local"), (TRun{world.RealWork(), {"x"}}));

  // Without a working folder the program starts in ours.
  EXPECT_EQ(RunProgram("tool", {}, ""), TLaunchResult::Started);
  EXPECT_EQ(world.Ran().at("tool"), (TRun{RealPath("."), {}}));
}

TEST(Launcher, SettingsNamesMapToTheProgramsPresent) {
  const struct {
    const char* Program;
    Strings OnPath;
    Strings InProgramFolder;
    Strings Args;
    const char* Runs; // the stub expected to run: a name on PATH, "home-" one in the program folder
    Strings RunArgs;
  } cases[] = {
      {"notepad.exe", {"xed", "kate", "gedit", "xdg-open"}, {}, {"a b.txt"}, "gedit", {"a b.txt"}},
      {"NotePad.EXE", {"featherpad", "xdg-open"}, {}, {"a.txt"}, "featherpad", {"a.txt"}},
      {"notepad.exe", {"xdg-open", "vlc"}, {}, {"a b.txt"}, "xdg-open", {"a b.txt"}},
      {"command.com", {"x-terminal-emulator", "command"}, {}, {}, "x-terminal-emulator", {}},
      {"mplayer.exe", {"xdg-open", "vlc"}, {}, {"song 1.mp3"}, "xdg-open", {"song 1.mp3"}},
      {"MPLAYER", {"xdg-open", "vlc"}, {}, {"-fs", "clip.avi"}, "xdg-open", {"clip.avi"}},
      {"mplayer.exe", {"smplayer", "mpv", "xdg-open"}, {}, {}, "mpv", {}},
      {"edit.exe", {"edit", "cvedit"}, {"cvedit", "cvinet"}, {"a.txt"}, "home-cvedit", {"a.txt"}},
      {"INET.EXE", {"inet", "cvinet"}, {"cvedit", "cvinet"}, {}, "home-cvinet", {}},
      {"FOO.BAT", {"foo"}, {}, {"x"}, "foo", {"x"}},
      {"FOO.BAT", {"foo", "FOO"}, {}, {}, "FOO", {}},
      {"tool.Exe", {"tool"}, {}, {}, "tool", {}},
      {"tool.CoM", {"tool"}, {}, {}, "tool", {}},
      {"tool.sh", {"tool.sh", "tool"}, {}, {}, "tool.sh", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Program + (" -> " + std::string(c.Runs)));
    TStubWorld world;
    for (const std::string& name : c.OnPath)
      world.PathStub(name);
    for (const std::string& name : c.InProgramFolder)
      world.Stub("home/" + name, "home-" + name);
    EXPECT_EQ(RunProgram(c.Program, c.Args, world.Work), TLaunchResult::Started);
    EXPECT_EQ(world.Ran(), (std::map<std::string, TRun>{{c.Runs, {world.RealWork(), c.RunArgs}}}));
  }
}

TEST(Launcher, MissingProgramsStartNothing) {
  const struct {
    const char* Program;
    Strings OnPath;
    Strings InProgramFolder;
    Strings Args;
  } cases[] = {
      {"missing", {"xdg-open", "x-terminal-emulator"}, {}, {"a.txt"}},
      {"", {"xdg-open"}, {}, {}},
      {"/no/such/program", {"program"}, {}, {}},
      {"no/such/program", {"program"}, {}, {}},
      {"mplayer.exe", {"xdg-open", "mplayer"}, {}, {}},
      {"notepad.exe", {"xdg-open", "notepad"}, {}, {}},
      {"notepad.exe", {"gnome-text-editor.exe"}, {}, {"a.txt"}},
      {"command.com", {"xterm", "command"}, {}, {}},
      {"edit.exe", {"edit", "cvedit"}, {"cvinet", "edit"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Program);
    TStubWorld world;
    for (const std::string& name : c.OnPath)
      world.PathStub(name);
    for (const std::string& name : c.InProgramFolder)
      world.Stub("home/" + name, "home-" + name);
    errno = 0;
    EXPECT_EQ(RunProgram(c.Program, c.Args, world.Work), TLaunchResult::NotFound);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(world.Ran(), (std::map<std::string, TRun>{}));
  }
}

TEST(Launcher, ProgramsStartFreeOfOurDescriptorsSignalsAndSession) {
  TStubWorld world;
  // A descriptor of ours without close-on-exec, an ignored SIGPIPE and a blocked SIGUSR1: none
  // of them may reach the program.
  const int leaked = ::open(world.Dir.File("ours").c_str(), O_RDONLY);
  ASSERT_GE(leaked, 3);
  struct sigaction ignore {};
  struct sigaction savedPipe {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &savedPipe);
  sigset_t usr1, savedMask;
  ::sigemptyset(&usr1);
  ::sigaddset(&usr1, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &usr1, &savedMask);

  world.Stub("stub bin/tool", {},
             "exec > '" + world.Dir.Native("state") + "'\nleaked=" + std::to_string(leaked) + R"(
[ /proc/$$/fd/0 -ef /dev/null ] && echo stdin-null
[ -e /proc/$$/fd/$leaked ] || echo closed
read -r pid name state parent group session rest < /proc/$$/stat
[ "$session" = "$$" ] && echo own-session
while read -r key value; do
  case $key in SigIgn:|SigBlk:) echo "$key $value";; esac
done < /proc/$$/status
)");
  const TLaunchResult result = RunProgram("tool", {}, world.Work);

  ::pthread_sigmask(SIG_SETMASK, &savedMask, nullptr);
  ::sigaction(SIGPIPE, &savedPipe, nullptr);
  ::close(leaked);
  EXPECT_EQ(result, TLaunchResult::Started);
  EXPECT_EQ(world.Ran().size(), 1u);
  // glibc's spawn leaves its own two internal signals (32 and 33) ignored in every child; a glibc
  // program takes them over at start-up. Signals 1 to 31 are what a program inherits from us.
  std::istringstream state(test::ReadFile(world.Dir.Native("state")));
  Strings lines;
  for (std::string line; std::getline(state, line);)
    lines.push_back(line.starts_with("SigIgn: ")
                        ? "SigIgn & 1-31: " +
                              std::to_string(std::stoull(line.substr(8), nullptr, 16) & 0x7fffffff)
                        : line);
  EXPECT_EQ(lines, (Strings{"stdin-null", "closed", "own-session", "SigBlk: 0000000000000000",
                            "SigIgn & 1-31: 0"}));
}

TEST(Launcher, ProgramsThatCannotStartFailWithTheReason) {
  TStubWorld world;
  world.PathStub("tool");
  world.Dir.File("plain");
  errno = 0;
  EXPECT_EQ(RunProgram("tool", {}, world.Dir.Native("no such folder")), TLaunchResult::Failed);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(RunProgram(world.Dir.Native("plain"), {}, world.Work), TLaunchResult::Failed);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(RunProgram(world.Work, {}, world.Work), TLaunchResult::Failed);
  EXPECT_EQ(errno, EACCES);
  // The children that failed are gone at once, not left as zombies for someone to collect.
  EXPECT_EQ(world.NewZombies(), std::set<pid_t>());
  EXPECT_EQ(world.Ran(), (std::map<std::string, TRun>{}));
}

TEST(Launcher, OpenFileRunsOnlyProgramsAndOpensEverythingElse) {
  // An execute bit alone makes nothing a program: on exFAT, NTFS and CIFS mounts every file has
  // one. Only an ELF file or a "#!" script runs; everything else goes to xdg-open.
  enum TKind { Elf, Script, Text, Fifo, Folder };
  const struct {
    const char* Name;
    TKind Kind;
    const char* Content;
    unsigned Mode;
    bool Runs; // else xdg-open gets the path
  } cases[] = {
      {"true copy", Elf, nullptr, 0755, true},
      {"my script", Script, nullptr, 0755, true},
      {"only owner may run", Script, nullptr, 0700, true},
      {"notes.txt", Text, "hello\n", 0644, false},
      {"fat notes.txt", Text, "hello\n", 0755, false},
      {"letter.doc", Text, "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1 rest of a document", 0777, false},
      {"half a shebang", Text, "#", 0755, false},
      {"elf look-alike", Text,
       "\x7f"
       "EL",
       0755, false},
      {"empty", Text, "", 0755, false},
      {"plain script", Script, nullptr, 0644, false},
      {"a fifo", Fifo, nullptr, 0755, false},
      {"a folder", Folder, nullptr, 0755, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TStubWorld world;
    world.PathStub("xdg-open");
    std::string path;
    switch (c.Kind) {
    case Elf:
      path = world.Dir.File(c.Name);
      test::WriteFile(path, test::ReadFile("/bin/true"));
      ASSERT_GT(test::ReadFile(path).size(), 4u);
      break;
    case Script:
      path = world.Stub(c.Name, "self");
      break;
    case Text:
      path = world.Dir.File(c.Name);
      test::WriteFile(path, c.Content);
      break;
    case Fifo:
      path = world.Dir.Native(c.Name);
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      break;
    case Folder:
      path = world.Dir.Folder(c.Name);
      break;
    }
    world.Dir.Chmod(c.Name, c.Mode);
    EXPECT_EQ(IsProgramFile(path), c.Runs);
    EXPECT_EQ(OpenFile(path, world.Work), TLaunchResult::Started);
    std::map<std::string, TRun> expected;
    if (!c.Runs)
      expected["xdg-open"] = TRun{world.RealWork(), {path}};
    else if (c.Kind == Script)
      expected["self"] = TRun{world.RealWork(), {}};
    EXPECT_EQ(world.Ran(), expected);
  }

  {
    TStubWorld world;
    world.PathStub("xdg-open");
    // OpenDocument never runs a program; a relative path is taken from the working folder.
    const std::string script = world.Stub("work folder/my script", "self");
    EXPECT_EQ(OpenDocument(script, world.Work), TLaunchResult::Started);
    EXPECT_EQ(world.Ran(),
              (std::map<std::string, TRun>{{"xdg-open", {world.RealWork(), {script}}}}));
    EXPECT_EQ(OpenFile("my script", world.Work), TLaunchResult::Started);
    EXPECT_EQ(world.Ran().at("self"), (TRun{world.RealWork(), {}}));
  }

  TStubWorld world;
  const std::string plain = world.Dir.File("plain.txt");
  EXPECT_EQ(OpenFile(plain, world.Work), TLaunchResult::NotFound);
  EXPECT_EQ(OpenDocument(plain, world.Work), TLaunchResult::NotFound);
}

TEST(Launcher, EditorCommandsSplitAndKeepTheFileWhole) {
  TStubWorld world;
  const std::string editor = world.Stub("My Editor/ed");
  world.PathStub("gedit");
  const std::string file = "/some folder/my notes.txt";

  EXPECT_EQ(RunEditorCommand("\"" + editor + "\" -n '--title=A B'", file, world.Work),
            TLaunchResult::Started);
  EXPECT_EQ(world.Ran().at("ed"), (TRun{world.RealWork(), {"-n", "--title=A B", file}}));

  EXPECT_EQ(RunEditorCommand("NOTEPAD.EXE", file, world.Work), TLaunchResult::Started);
  EXPECT_EQ(world.Ran().at("gedit"), (TRun{world.RealWork(), {file}}));

  EXPECT_EQ(RunEditorCommand("gedit --new-window", "", world.Work), TLaunchResult::Started);
  EXPECT_EQ(world.Ran().at("gedit"), (TRun{world.RealWork(), {"--new-window"}}));

  EXPECT_EQ(RunEditorCommand("  ", file, world.Work), TLaunchResult::NotFound);
}

TEST(Launcher, TypedCommandsRunInATerminalThatWaitsForEnter) {
  // The terminal stub runs what follows "-e" as a terminal would, with no one at the keyboard,
  // and keeps what it prints.
  const struct {
    const char* Command;
    const char* Output; // "%w" stands for the working folder
  } cases[] = {
      {"pwd -P", "%w\n\n"},
      {R"(printf '%s|' "a  b" 'c'"'"'d' # a note; printf no)", "a  b|c'd|\n"},
      {"printf bye; exit 3", "bye\n"},
      {"printf x; if", "\n"},
      {"true &", "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Command);
    TStubWorld world;
    world.Stub("stub bin/x-terminal-emulator", {},
               "shift\n\"$@\" < /dev/null > '" + world.Records + "/../output' 2> /dev/null\n");
    EXPECT_EQ(RunInTerminal(c.Command, world.Work), TLaunchResult::Started);
    const auto runs = world.Ran();
    ASSERT_EQ(runs.size(), 1u);
    const TRun& run = runs.begin()->second;
    EXPECT_EQ(run.Folder, world.RealWork());
    ASSERT_GE(run.Args.size(), 2u);
    EXPECT_EQ(run.Args.front(), "-e");
    EXPECT_EQ(run.Args.back(), c.Command);
    std::string output = c.Output;
    if (const size_t at = output.find("%w"); at != std::string::npos)
      output.replace(at, 2, world.RealWork());
    EXPECT_EQ(test::ReadFile(world.Dir.Native("output")), output);
  }

  TStubWorld world;
  world.PathStub("x-terminal-emulator");
  EXPECT_EQ(RunInTerminal(" \t", world.Work), TLaunchResult::NotFound);
  ::setenv("PATH", world.Work.c_str(), 1);
  EXPECT_EQ(RunInTerminal("ls", world.Work), TLaunchResult::NotFound);
  EXPECT_EQ(world.Ran(), (std::map<std::string, TRun>{}));
}

TEST(Launcher, EndedProgramsAreCollectedByTheNextCall) {
  TStubWorld world;
  world.PathStub("tool");
  ASSERT_EQ(RunProgram("tool", {}, world.Work), TLaunchResult::Started);
  // Until someone collects it, the ended program is a zombie.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (world.NewZombies().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(world.NewZombies().size(), 1u);

  // Any launcher call collects it, even one that starts nothing.
  EXPECT_EQ(RunProgram("missing", {}, world.Work), TLaunchResult::NotFound);
  EXPECT_EQ(world.NewZombies(), std::set<pid_t>());
  EXPECT_EQ(ReapLaunched(), 0u);
}

TEST(LauncherWait, AWaitingCallerEndsTheProgramWithTermThenKill) {
  // The stubs say when they are ready, so that the end is asked for after their trap is set. The
  // grace period runs on a clock of the test's own: it moves only after the callback has been
  // called many times while the program would not die.
  struct Case {
    const char* Name;
    const char* Script;
    bool Cancel;
    int Signal;
    int ExitCode;
  };
  constexpr int CallsBeforeTheClockMoves = 50;
  for (const Case& c :
       {Case{"finishes", "exit 3", false, 0, 3},
        Case{"obeys TERM", ": > ready; exec /bin/sleep 60", true, SIGTERM, -1},
        Case{"ignores TERM", "trap '' TERM; : > ready; exec /bin/sleep 60", true, SIGKILL, -1}}) {
    TStubWorld world;
    world.Stub("stub bin/slow", "slow", c.Script);
    const std::string ready = world.Work + "/ready";
    auto clock = std::chrono::steady_clock::time_point();
    TStopPolicy stop;
    stop.Grace = std::chrono::seconds(3);
    stop.Now = [&clock] { return clock; };
    int afterCancel = -1;
    const auto started = std::chrono::steady_clock::now();
    const TRunResult result = RunAndWait(
        "slow", {}, world.Work, world.Dir.File("log"),
        [&] {
          if (afterCancel >= 0) {
            if (++afterCancel == CallsBeforeTheClockMoves)
              clock += stop.Grace;
            return false;
          }
          if (!c.Cancel || ::access(ready.c_str(), F_OK) != 0)
            return true;
          afterCancel = 0;
          return false;
        },
        stop);
    EXPECT_EQ(result.Launch, TLaunchResult::Started) << c.Name;
    EXPECT_EQ(result.Cancelled, c.Cancel) << c.Name;
    EXPECT_EQ(result.Signal, c.Signal) << c.Name;
    EXPECT_EQ(result.ExitCode, c.ExitCode) << c.Name;
    EXPECT_FALSE(result.Succeeded()) << c.Name;
    if (c.Signal == SIGKILL) {
      EXPECT_GE(afterCancel, CallsBeforeTheClockMoves) << "killed only after the grace period";
    } else if (c.Signal == SIGTERM) {
      EXPECT_LT(afterCancel, CallsBeforeTheClockMoves) << "TERM alone ended it";
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30)) << c.Name;
  }
}

} // namespace
} // namespace corvane::platform
