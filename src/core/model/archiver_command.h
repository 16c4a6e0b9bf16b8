// The outside archivers that put files into archives and take them out again: their built-in
// command lines and how one command line becomes a program with its arguments.
//
// A command line is a template such as "7zz a -tzip % @": "%" stands for the archive, and the list
// file naming the files to work on is appended to the end. Nothing is handed to a shell: the part
// before "%" is split into words (the program and its options), the archive is one argument
// whatever it holds, and the list file's path is glued to the last word after "%" ("@" + path),
// or follows as an argument of its own when nothing or a blank comes after "%".
#pragma once

#include "archive/archive_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// What a run of the archiver does; also the line of its command table (0-based).
enum TArchiverMode : int {
  amAdd = 0,
  amAddFolders = 1,
  amMove = 2,
  amMoveFolders = 3,
  amDelete = 4,
};

// The built-in command line for an archive type and mode, or "" when the type has no archiver.
std::string DefaultArchiverCommand(archive::TArcType type, int mode);

// The archive type an outside archiver is chosen by: the detected one, or, for an archive that
// does not exist yet, the one its extension names (zip, arj, rar).
archive::TArcType ArchiverTypeOf(archive::TArcType detected, std::string_view archivePath);

struct TArchiverCommand {
  std::string Program;
  std::vector<std::string> Args;
};

// The program and arguments of a template, or nothing when the template names no program.
std::optional<TArchiverCommand> BuildArchiverCommand(std::string_view commandTemplate,
                                                     const std::string& archivePath,
                                                     const std::string& listPath);

} // namespace corvane
