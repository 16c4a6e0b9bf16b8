#include "model/path_utils.h"

#include "platform/file_ops.h"
#include "platform/native_path.h"

namespace corvane {

std::pair<std::string, std::string> SplitFileName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos)
    return {std::string(name), std::string()};
  return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

std::pair<std::string, std::string> SplitPath(std::string_view path) {
  const size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos)
    return {std::string(), std::string(path)};
  return {std::string(path.substr(0, slash + 1)), std::string(path.substr(slash + 1))};
}

bool ForceDeleteFile(std::string_view modelPath) {
  const auto native = platform::ModelToNative(modelPath);
  return native && platform::DeleteFileAt(*native);
}

std::string ShortDosPath(std::string_view path) {
  return std::string(path);
}

void AddBackslash(std::string& path) {
  if (!path.empty() && path.back() != '\\')
    path += '\\';
}

char UpCaseAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpCaseAscii(a[i]) != UpCaseAscii(b[i]))
      return false;
  return true;
}

} // namespace corvane
