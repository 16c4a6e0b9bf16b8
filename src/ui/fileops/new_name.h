// A name typed for a new folder or file, as the place it names: relative to the panel's folder,
// or a path of its own ("/" and "\" separate, "~" is home, "d:\" a drive; a ":" elsewhere is part
// of a name). Names with control characters are refused: they are nearly always a paste gone
// wrong, and a NUL would cut the name short where the system sees it.
#pragma once

#include <QString>

#include <optional>
#include <string>

namespace corvane {

struct TNewName {
  std::string Model;   // the model path of the new entry, without a trailing "\"
  std::string Native;  // the same, native
  bool IsPath = false; // typed as a path rather than a plain name of the panel's folder
};

// The place, or a message for the user in `error`.
std::optional<TNewName> ResolveNewName(const QString& typed, const std::string& panelFolder,
                                       QString& error);

// The system's reason for errno value `error`, on a line of its own, or "" for 0.
QString ReasonLine(int error);

} // namespace corvane
