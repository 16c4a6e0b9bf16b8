// The temporary folder of one running program: `<program folder>/temp/<pid>`. It holds what the
// archive sources need on disk (list files, the archiver's log) and the copies taken out of
// archives for viewers and players. Every running instance has a folder of its own, so one
// instance's clean-up never takes files another one is still using.
//
// Next to each folder, `temp/<pid>.owner` holds a stamp of the process that made it: the boot id
// and the process's start time, as /proc tells them. A process id alone names no process for long:
// after the program ends (or crashes, leaving its folder behind) the id is reused by whatever
// starts next. A folder is stale when the process with its id is not running, or is running but
// carries another stamp. The stamp lives outside the folder because anything inside may be
// replaced by a copy out of an archive that happens to have the same name.
//
// Only the entries named `<pid>` and `<pid>.owner` in temp/ are ours to judge; anything else
// there is left alone. Removal never follows links: a link in temp/ or in a stale folder goes as
// a link, and what it points to stays. A program folder that cannot be written makes nothing
// fail: there is then no temporary folder, and the caller says so when one is needed.
#pragma once

#include <sys/types.h>

#include <string>

namespace corvane::platform {

// `<programFolder>/temp/<pid of this process>`, native, without a trailing "/"; "" without a
// program folder (every function here then does nothing).
std::string ProcessTempFolder(const std::string& programFolder);

// The stamp that tells process `pid` from others that had the same id before it: "" when the
// process does not run or /proc does not say.
std::string ProcessStamp(pid_t pid);

// Removes the folders (and their stamps) in `<programFolder>/temp` whose process has ended.
// Folders of running instances stay, and so does one whose stamp is not there yet (its process
// may be making it right now). Returns how many folders went.
int RemoveStaleTemps(const std::string& programFolder);

// Makes this process's folder (and temp/) when missing and records this process as its owner.
// Returns the folder's path, or "" (errno set) when it cannot be made.
std::string MakeProcessTemp(const std::string& programFolder);

// Removes this process's folder with everything in it, and its stamp; the folders of other
// processes stay. True when nothing of it is left (also when there was none); else false, with
// what stayed in `why`.
bool RemoveProcessTemp(const std::string& programFolder, std::string* why = nullptr);

} // namespace corvane::platform
