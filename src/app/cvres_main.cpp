// cvres: the executable resource reader on the command line, for scripts and for checking files.
//
//   cvres l FILE                         one line per resource and language:
//                                        TYPE <tab> NAME <tab> LANGUAGE <tab> SIZE
//   cvres x FILE TYPE NAME [LANGUAGE]    that resource's raw bytes to standard output
//
// Types, names and languages are numbers in decimal or stored names. On the command line a
// number may also be written "#5"; a name is compared without regard to ASCII case, as the
// module loader does. Without a language the first one stored is taken.
//
// Exit status: 0 done, 1 the file was refused or holds no such resource (message on standard
// error), 2 bad usage.
#include "resources/exe_image.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

using namespace corvane::resources;

namespace {

void Usage() {
  std::fputs("usage: cvres l FILE\n"
             "       cvres x FILE TYPE NAME [LANGUAGE]\n",
             stderr);
}

int Fail(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", message.c_str());
  return 1;
}

// A stored name with tab, newline and backslash escaped, so that every leaf is one line.
std::string Printed(const TResourceName& name) {
  if (!name.Named)
    return std::to_string(name.Id);
  std::string out;
  for (const char c : name.Name) {
    switch (c) {
    case '\t':
      out += "\\t";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\\':
      out += "\\\\";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// A number in decimal (also "#" and decimal) that fits 31 bits, the range of ids.
std::optional<uint32_t> ParseId(const std::string& text) {
  const size_t start = !text.empty() && text[0] == '#' ? 1 : 0;
  if (text.size() == start || text.size() - start > 10)
    return std::nullopt;
  uint64_t value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (value > 0x7FFFFFFF)
    return std::nullopt;
  return static_cast<uint32_t>(value);
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

bool Matches(const TResourceName& name, const std::string& wanted) {
  if (const auto id = ParseId(wanted))
    return !name.Named && name.Id == *id;
  return name.Named && SameText(name.Name, wanted);
}

// The image's resource directory, or the exit status when there is none.
int OpenDirectory(TExeImage& image, TResourceDirectory*& directory) {
  image.Resources();
  if (image.ResourceStatus() == rsNotPE)
    return Fail("not a PE file");
  if (image.ResourceStatus() == rsNoResources)
    return Fail("no resource section");
  directory = image.Directory();
  return 0;
}

int List(TExeImage& image) {
  TResourceDirectory* directory = nullptr;
  if (const int status = OpenDirectory(image, directory))
    return status;
  directory->WalkLeaves([](const TResourceLeaf& leaf) {
    std::printf("%s\t%s\t%s\t%u\n", Printed(leaf.Type).c_str(), Printed(leaf.Name).c_str(),
                Printed(leaf.Language).c_str(), leaf.Data.Size);
    return true;
  });
  return std::fflush(stdout) == 0 ? 0 : Fail("write error");
}

int Extract(TExeImage& image, const std::string& type, const std::string& name,
            const std::optional<uint32_t>& language) {
  TResourceDirectory* directory = nullptr;
  if (const int status = OpenDirectory(image, directory))
    return status;
  std::optional<TResourceLeaf> found;
  directory->WalkLeaves([&](const TResourceLeaf& leaf) {
    if (!Matches(leaf.Type, type) || !Matches(leaf.Name, name))
      return true;
    if (language && (leaf.Language.Named || leaf.Language.Id != *language))
      return true;
    found = leaf;
    return false;
  });
  if (!found)
    return Fail("no such resource");
  if (!found->Data.InFile)
    return Fail("Resource data lies outside the file");
  const auto& bytes = found->Data.Bytes;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0)
    return Fail("write error");
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const bool list = command == "l" && argc == 3;
  const bool extract = command == "x" && (argc == 5 || argc == 6);
  if (!list && !extract) {
    Usage();
    return 2;
  }
  std::optional<uint32_t> language;
  if (extract && argc == 6) {
    language = ParseId(argv[5]);
    if (!language) {
      Usage();
      return 2;
    }
  }
  try {
    TExeImage image{std::string(argv[2])};
    return list ? List(image) : Extract(image, argv[3], argv[4], language);
  } catch (const EExeError& error) {
    return Fail(error.what());
  }
}
