// Small path helpers shared by the file sources and the browser. They work on model paths
// ("C:\folder\name.ext") and have no length limits: a cut path would name another file.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace corvane {

// Splits at the last dot into name and extension (no dot: the whole name and an empty extension).
// "a.tar.gz" gives "a.tar" and "gz"; ".profile" gives "" and "profile".
std::pair<std::string, std::string> SplitFileName(std::string_view name);

// Splits at the last "\" into the folder with its trailing "\" and the name; without "\" the folder
// is empty and the name is the whole path.
std::pair<std::string, std::string> SplitPath(std::string_view path);

// Deletes a file (or a link, never its target) given by its model path; false when it does not
// exist or cannot be deleted. The file is untouched on failure.
bool ForceDeleteFile(std::string_view modelPath);

// The path to hand to outside archivers. There are no short names here, and shortening a name
// would name another file, so the path is returned as it is.
std::string ShortDosPath(std::string_view path);

// Appends "\" unless the text is empty or already ends with one.
void AddBackslash(std::string& path);

// ASCII-only upper and lower case; other bytes are kept.
char UpCaseAscii(char c);
bool SameTextAscii(std::string_view a, std::string_view b);

} // namespace corvane
