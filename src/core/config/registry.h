// The registry of the current user, as the few values the program keeps there (the resource
// explorer's last folder, the installation folder) need it: an INI file of our own at
// $XDG_CONFIG_HOME/corvane/registry.ini (~/.config when the variable is unset or relative), one
// section per key path ("HKCU\Software\..."), read and written through TIniFile's rules.
#pragma once

#include <string>
#include <string_view>

namespace corvane::config {

// The native path of registry.ini; empty when neither XDG_CONFIG_HOME nor HOME gives a folder.
std::string RegistryFileName();

// A string value of a key; `defaultValue` when the file, the key or the value is missing.
std::string ReadRegistryString(std::string_view key, std::string_view value,
                               std::string_view defaultValue);
// Writes a string value, making the key (and the folders of the file) when missing. False when
// it could not be written.
bool WriteRegistryString(std::string_view key, std::string_view value, std::string_view text);

} // namespace corvane::config
