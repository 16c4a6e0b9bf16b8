#include "platform/native_path.h"

#include "platform/drive_table.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace corvane::platform {

std::string SwapSeparators(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\')
      c = '/';
    else if (c == '/')
      c = '\\';
  }
  return out;
}

std::optional<std::string> ModelToNative(std::string_view modelPath) {
  if (modelPath.size() < 2 || modelPath[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(modelPath[0])))
    return std::nullopt;
  const std::string_view rest = modelPath.substr(2);
  if (!rest.empty() && rest.front() != '\\')
    return std::nullopt;
  // An absent volume has no native place: its mount point is then a folder of another drive.
  const TDrive* drive = TDriveTable::Instance().Find(modelPath[0]);
  if (!drive || !drive->Mounted || drive->MountPoint.empty())
    return std::nullopt;
  std::string native = drive->MountPoint;
  if (native == "/")
    native.clear();
  native += rest.empty() ? std::string("/") : SwapSeparators(rest);
  return native;
}

std::optional<std::string> NativeToModel(std::string_view nativePath) {
  const TDrive* drive = TDriveTable::Instance().FindByNative(nativePath);
  if (!drive)
    return std::nullopt;
  std::string_view rest = nativePath;
  if (drive->MountPoint != "/")
    rest.remove_prefix(drive->MountPoint.size());
  std::string model;
  model.reserve(rest.size() + 3);
  model += drive->Letter;
  model += ':';
  if (rest.empty())
    model += '\\';
  else
    model += SwapSeparators(rest);
  return model;
}

std::string HomeFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env && *env)
    home = env;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
    home = pw->pw_dir;
  else
    home = "/";
  while (home.size() > 1 && home.back() == '/')
    home.pop_back();
  return home;
}

std::string ModelToNativeFolder(std::string_view modelFolder) {
  std::string native = ModelToNative(modelFolder).value_or(std::string());
  while (native.size() > 1 && native.back() == '/')
    native.pop_back();
  return native;
}

std::optional<std::string> TypedToModel(std::string_view typed, std::string_view baseFolder) {
  if (!typed.empty() && typed.front() == '/') {
    std::string native(typed);
    std::replace(native.begin(), native.end(), '\\', '/');
    return NativeToModel(native);
  }
  if (!typed.empty() && typed.front() == '~' &&
      (typed.size() == 1 || typed[1] == '/' || typed[1] == '\\')) {
    std::string native = HomeFolder();
    if (native == "/")
      native.clear();
    native += '/';
    native += typed.substr(std::min<size_t>(typed.size(), 2));
    std::replace(native.begin(), native.end(), '\\', '/');
    return NativeToModel(native);
  }
  std::string model;
  std::string_view rest = typed;
  if (typed.size() >= 2 && typed[1] == ':' && std::isalpha(static_cast<unsigned char>(typed[0])) &&
      (typed.size() == 2 || typed[2] == '\\' || typed[2] == '/')) {
    model = {static_cast<char>(std::toupper(static_cast<unsigned char>(typed[0]))), ':', '\\'};
    rest.remove_prefix(std::min<size_t>(typed.size(), 3));
  } else if (baseFolder.size() < 3) {
    return std::nullopt;
  } else if (!typed.empty() && (typed.front() == '\\')) {
    model = baseFolder.substr(0, 3);
    rest.remove_prefix(1);
  } else {
    model = baseFolder;
    if (model.back() != '\\')
      model += '\\';
  }
  const size_t start = model.size();
  model += rest;
  std::replace(model.begin() + static_cast<std::ptrdiff_t>(start), model.end(), '/', '\\');
  return model;
}

} // namespace corvane::platform
