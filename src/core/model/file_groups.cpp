#include "model/file_groups.h"

#include <array>
#include <cctype>
#include <utility>

namespace corvane {
namespace {

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

constexpr std::pair<const char*, TFileGroup> Groups[] = {
    {"bmp", TFileGroup::Picture},   {"jpg", TFileGroup::Picture},  {"jpeg", TFileGroup::Picture},
    {"jpe", TFileGroup::Picture},   {"ico", TFileGroup::Picture},  {"emf", TFileGroup::Picture},
    {"wmf", TFileGroup::Picture},   {"pcx", TFileGroup::Picture},  {"jif", TFileGroup::Picture},
    {"dib", TFileGroup::Picture},   {"rle", TFileGroup::Picture},  {"tga", TFileGroup::Picture},
    {"gif", TFileGroup::Picture},   {"mid", TFileGroup::WaveMidi}, {"wav", TFileGroup::WaveMidi},
    {"rmi", TFileGroup::WaveMidi},  {"avi", TFileGroup::Video},    {"mov", TFileGroup::Video},
    {"mpg", TFileGroup::Video},     {"mp1", TFileGroup::Video},    {"mp2", TFileGroup::MpegAudio},
    {"mp3", TFileGroup::MpegAudio}, {"xm", TFileGroup::Tracker},   {"mod", TFileGroup::Tracker},
    {"s3m", TFileGroup::Tracker},   {"stm", TFileGroup::Tracker},  {"itz", TFileGroup::Tracker},
    {"it", TFileGroup::Tracker},    {"mpp", TFileGroup::Tracker},  {"med", TFileGroup::Tracker},
    {"mdz", TFileGroup::Tracker},   {"htm", TFileGroup::WebPage},  {"html", TFileGroup::WebPage},
};

} // namespace

TFileGroup FileGroupOfExt(std::string_view ext) {
  for (const auto& [known, group] : Groups)
    if (SameAscii(ext, known))
      return group;
  return TFileGroup::Other;
}

std::string_view ExtOfPath(std::string_view path) {
  const size_t separator = path.find_last_of("\\/");
  const std::string_view name =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

} // namespace corvane
