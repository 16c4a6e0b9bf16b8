#include "config/registry.h"

#include "config/ini_file.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace corvane::config {

std::string RegistryFileName() {
  std::string folder;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
    folder = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    folder = std::string(home) + "/.config";
  else
    return {};
  return folder + "/corvane/registry.ini";
}

std::string ReadRegistryString(std::string_view key, std::string_view value,
                               std::string_view defaultValue) {
  const std::string file = RegistryFileName();
  if (file.empty())
    return std::string(defaultValue);
  return TIniFile(file).ReadString(key, value, defaultValue);
}

bool WriteRegistryString(std::string_view key, std::string_view value, std::string_view text) {
  const std::string file = RegistryFileName();
  if (file.empty())
    return false;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ignored);
  return TIniFile(file).WriteString(key, value, text);
}

} // namespace corvane::config
