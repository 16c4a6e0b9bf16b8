// The program folder: where the program's own files are (language files, default settings,
// help, pictures) and where it keeps the settings it writes. It is the folder of the running
// executable; CORVANE_HOME names another one (tests and portable set-ups use that).
#pragma once

#include <string>

namespace corvane::platform {

// Native, without a trailing "/".
std::string ProgramFolder();

} // namespace corvane::platform
