// Finding the program's own files (language files, settings files, help, pictures) in the
// program folder. Files unpacked from old archives often have upper-case names, so these names
// are looked up ignoring case: the exact name first, then a case-folded scan of the folder. The
// user's files are never looked up this way.
#pragma once

#include <string>

namespace corvane::platform {

// The native path of a file of the program folder: the existing file whose name matches ignoring
// ASCII case, or the exact path when none exists (where it would be made).
std::string ProgramFile(const std::string& name);

} // namespace corvane::platform
