// The launcher: the one place that starts other programs (editors, viewers, documents, typed
// commands) and lets them run on their own.
//
// Programs start from an argument list with posix_spawn, never from a command string handed to a
// shell: a file name with blanks, quotes or "$" in it is one argument and nothing else, whatever it
// holds. The only text a shell ever reads is a command the user typed into the command line, and
// that is run in a terminal, because the user meant it as a shell command.
//
// Each child starts in the working folder asked for, with stdin from /dev/null, our environment,
// default signal dispositions and an empty signal mask (whatever we ignore or block is no business
// of an editor), none of our descriptors above stderr (an editor must not keep our watches, pipes
// or sockets open), and in a session of its own, so that closing the terminal we were started from
// or pressing Ctrl+C there does not take the user's editor with it. posix_spawn reports a failed
// chdir or exec to us as an error, so "Failed" is known at once and nothing is left running then.
//
// We never wait for a launched program, but it is still our child and would stay a zombie after
// it ends until someone collects it. A SIGCHLD handler that reaps with waitpid(-1) would also take
// the exit status of children other code waits for (archiver runs, QProcess), and ignoring SIGCHLD
// would do the same for every child of the process. So the launcher keeps the ids of the children
// it started and collects exactly those with waitpid(pid, WNOHANG): on every launcher call, and
// whenever the window calls ReapLaunched (from an idle timer, say). A finished program stays a
// zombie at most until then, which costs a process-table slot and nothing else.
//
// Names from old settings are Windows program names. A few well-known ones are mapped to what does
// the same job here (compared without regard to ASCII letter case):
//   notepad.exe        the first of gnome-text-editor, gedit, kate, mousepad, featherpad, xed on
//                      PATH; else xdg-open on the file
//   command.com        x-terminal-emulator
//   mplayer(.exe)      with a file: xdg-open on it; without one: the first of vlc, mpv, totem,
//                      celluloid, smplayer, parole on PATH
//   edit.exe, inet.exe the programs "cvedit" and "cvinet" in the program folder
// Any other name loses a ".exe", ".com" or ".bat" suffix and is looked up on PATH as written, then
// in lower case (old settings often spell names in capitals). A name holding "/" is a path and is
// used as it is; a relative one is taken from the working folder, as a shell there would.
//
// A program that is not there is no error to show: the launch functions say NotFound, start
// nothing, and the caller decides whether to tell the user.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

enum class TLaunchResult {
  Started,
  NotFound, // no such program (errno ENOENT); nothing was started
  Failed,   // the program is there but could not be started; errno says why
};

// Runs a program named in settings (mapped as above) or by path, with the arguments as they are.
// An empty working folder leaves the child in ours.
TLaunchResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workFolder);

// Opens a file or folder with the desktop's program for it (xdg-open).
TLaunchResult OpenDocument(const std::string& nativePath, const std::string& workFolder);

// Whether a file is a program that Enter runs: a regular file (links followed) with an execute bit
// that is a program, i.e. an ELF file or a script starting with "#!". An execute bit alone says
// nothing: every file on exFAT, NTFS and CIFS mounts has one, and a document there opens like any
// other. A program file we may not read (mode 0111) is left to the kernel to judge. FIFOs,
// devices and folders are never programs, and nothing here blocks on them.
bool IsProgramFile(const std::string& nativePath);

// What Enter on a file does: a program file (IsProgramFile) runs without arguments; anything else
// opens as a document. So does a program the kernel will not run (a noexec mount refuses it).
TLaunchResult OpenFile(const std::string& nativePath, const std::string& workFolder);

// Runs an editor command from settings (`"/opt/My Editor/ed" -n`) on a file: the command is split
// by SplitCommandLine, its first word is the program (mapped as above), and the file is appended
// as one argument (none when it is empty).
TLaunchResult RunEditorCommand(const std::string& commandLine, const std::string& file,
                               const std::string& workFolder);

// Runs a typed command in x-terminal-emulator that stays open until Enter, so that its output can
// be read. The command reaches `sh -c` as a positional parameter and runs through eval in a
// subshell: a trailing comment or "&", a syntax error or an "exit" in it still leaves the prompt
// for Enter, where pasting it in front of "; read" would lose it. A blank command runs nothing.
TLaunchResult RunInTerminal(const std::string& command, const std::string& workFolder);

// How a program run with RunAndWait ended.
struct TRunResult {
  TLaunchResult Launch = TLaunchResult::NotFound;
  int Error = 0;          // errno when it could not be started or waited for
  int ExitCode = -1;      // its exit status; -1 when it did not exit normally
  int Signal = 0;         // the signal that ended it, or 0
  bool Cancelled = false; // the waiting caller asked for its end
  bool Succeeded() const { return Launch == TLaunchResult::Started && ExitCode == 0 && !Cancelled; }
};

// How RunAndWait ends a program the waiting caller no longer wants: SIGTERM to the program and
// everything it started (its process group), and SIGKILL when it has not ended after `Grace`.
struct TStopPolicy {
  std::chrono::milliseconds Grace{3000};
  // The clock the grace period is measured with; the steady clock when empty.
  std::function<std::chrono::steady_clock::time_point()> Now;
};

// Runs a program (named as for RunProgram) and waits until it ends: stdin from /dev/null, so a
// question it asks cannot hang us, stdout and stderr written to `logPath` (replacing what was
// there; nowhere when empty). While it runs, `whileWaiting` is called about every 10 ms so that a
// window can repaint; when it returns false the program is stopped as `stop` says, and the call
// goes on (its answer no longer matters) until the program has ended, so a window stays alive
// while a stubborn program is being ended. For outside tools whose result the caller needs, such
// as archivers.
TRunResult RunAndWait(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workFolder, const std::string& logPath,
                      const std::function<bool()>& whileWaiting, const TStopPolicy& stop = {});

// Collects the launched programs that have ended; returns how many are still running.
size_t ReapLaunched();

// The full path of an executable regular file `name` in the folders of $PATH as it is now, or ""
// when there is none. Empty and relative PATH entries are skipped: they would mean our own working
// folder, which is nothing the user chose. Without PATH the system's default path is searched. A
// name holding "/" is returned as it is when it names an executable file.
std::string FindOnPath(const std::string& name);

// Splits a command line into words as a POSIX shell does, and does nothing else: blanks (space,
// tab, newline) separate words; '...' keeps everything literally; "..." keeps everything but lets
// a backslash escape $ ` " \ and a newline; outside quotes a backslash keeps the next character
// (backslash-newline vanishes). "" is an empty word. No expansion of any kind: $, `, *, ~ and #
// are plain characters. An unclosed quote runs to the end of the text.
std::vector<std::string> SplitCommandLine(std::string_view text);

} // namespace corvane::platform
