// Conversion between model paths ("C:\home\ann\notes.txt") and native paths
// ("/home/ann/notes.txt"). A path becomes native only where it leaves the program: system calls,
// child processes, hand-off files, the clipboard, the command line.
//
// Linux names may hold "\" and cannot hold "/"; model names are the other way round. Converting
// swaps the two characters inside names as well as turning separators around, so every name
// survives a round trip. Names are bytes: nothing here looks at their encoding, and there is no
// length limit on either form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane::platform {

// Turns "\" into "/" and "/" into "\"; every other byte is kept.
std::string SwapSeparators(std::string_view path);

// "X:" followed by nothing or by "\..." becomes the drive's mount point plus the rest. An unknown
// letter or a text that is not a model path gives nothing.
std::optional<std::string> ModelToNative(std::string_view modelPath);

// A model folder, with or without its trailing "\", as a native path without a trailing "/" (a
// root stays "/"); empty when it has no native form.
std::string ModelToNativeFolder(std::string_view modelFolder);

// An absolute native path becomes "X:\..." on the drive with the longest mount-point prefix; a
// trailing "/" is kept as a trailing "\". A relative path gives nothing.
std::optional<std::string> NativeToModel(std::string_view nativePath);

// Typed input (a copy or move target, a new name, an extraction folder) as a model path. In typed
// text "/" and "\" both separate folders, and a ":" is part of a name (Linux names may hold one)
// except in these forms: a letter with ":" followed by a separator or nothing names that drive
// ("d:" is "D:\"). A text starting with "/" is a native absolute path; "~" alone or followed by a
// separator is the home folder; a text starting with "\" starts at the root of the drive of
// `baseFolder`; anything else is relative to `baseFolder` (a model folder ending in "\"). A
// trailing separator is kept as a trailing "\" (a folder to make). Nothing when the text needs a
// base and none is given, or when a native path lies on no drive.
std::optional<std::string> TypedToModel(std::string_view typed, std::string_view baseFolder);

// The user's home folder ($HOME, else the password database), native, without a trailing "/".
std::string HomeFolder();

} // namespace corvane::platform
