// cvarc: the archive components on the command line, for scripts and for checking archives.
//
//   cvarc [-p PASSWORD] [-c CODEPAGE] l ARCHIVE          list the entries
//   cvarc [-p PASSWORD] [-c CODEPAGE] t ARCHIVE          test every entry
//   cvarc [-p PASSWORD] [-c CODEPAGE] x ARCHIVE DIR [MASK]  extract into DIR
//
// Exit status: 0 when every entry was fine, 1 when some failed, 2 when the archive could not be
// read or its type has no extractor.
#include "archive/archive_component.h"
#include "archive/archive_libraries.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace corvane::archive;

namespace {

void Usage() {
  std::fputs("usage: cvarc [-p PASSWORD] [-c CODEPAGE] l ARCHIVE\n"
             "       cvarc [-p PASSWORD] [-c CODEPAGE] t ARCHIVE\n"
             "       cvarc [-p PASSWORD] [-c CODEPAGE] x ARCHIVE DIR [MASK]\n",
             stderr);
}

// The stored name with "/" separators, a folder ending in "/", and tab, newline and backslash
// escaped so that every entry is one line; a NUL byte shows as "\0" (printed as it is, it would
// end the name there).
std::string PrintedPath(const TArcEntry& entry) {
  std::string name = entry.Name;
  while (!name.empty() && name.back() == '/')
    name.pop_back();
  std::string out;
  for (const char c : name) {
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
    case '\0':
      out += "\\0";
      break;
    default:
      out += c;
    }
  }
  if (entry.IsFolder)
    out += '/';
  return out;
}

std::string PrintedTime(const TArcEntry& entry) {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  if (entry.HasDosTime) {
    const uint32_t dos = entry.DosTime;
    year = static_cast<int>((dos >> 25) & 0x7F) + 1980;
    month = static_cast<int>((dos >> 21) & 0x0F);
    day = static_cast<int>((dos >> 16) & 0x1F);
    hour = static_cast<int>((dos >> 11) & 0x1F);
    minute = static_cast<int>((dos >> 5) & 0x3F);
    second = static_cast<int>((dos & 0x1F) * 2);
  } else if (entry.HasUnixTime) {
    const auto t = static_cast<std::time_t>(entry.UnixTime);
    std::tm tm{};
    if (localtime_r(&t, &tm)) {
      year = tm.tm_year + 1900;
      month = tm.tm_mon + 1;
      day = tm.tm_mday;
      hour = tm.tm_hour;
      minute = tm.tm_min;
      second = tm.tm_sec;
    }
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

void PrintArchiveError(int code, const std::string& text) {
  std::fprintf(stderr, "%d %s\n", code, text.c_str());
}

int List(const std::string& archive, const std::string& codePage) {
  TZipTV reader;
  reader.CodePage = codePage;
  reader.ShowAllDirs = true;
  reader.SetArchiveFile(archive);
  if (reader.ArcType() == TArcType::atFileOpenErr) {
    PrintArchiveError(errOpenFile, ArchiveErrorText(errOpenFile));
    return 2;
  }
  std::printf("type %s\n", std::string(ArcTypeName(reader.ArcType())).c_str());
  reader.OnRead = [](TZipTV* sender, int64_t, int) {
    const TArcEntry& entry = sender->Entry();
    const uint64_t packed = entry.PackedSize ? entry.PackedSize : entry.Size;
    std::printf("%llu\t%llu\t%s\t%u\t%s\n", static_cast<unsigned long long>(entry.Size),
                static_cast<unsigned long long>(packed), PrintedTime(entry).c_str(),
                entry.Attributes, PrintedPath(entry).c_str());
  };
  try {
    reader.ReadArchive();
  } catch (const EArchiveError& error) {
    std::fflush(stdout);
    PrintArchiveError(error.Code(), error.what());
    return 2;
  }
  return 0;
}

int Unpack(const std::string& archive, const std::string& codePage, const std::string& password,
           bool test, const std::string& dir, const std::string& mask) {
  const TArcType type = [&] {
    TZipTV probe;
    probe.SetArchiveFile(archive);
    return probe.ArcType();
  }();
  if (type == TArcType::atFileOpenErr) {
    PrintArchiveError(errOpenFile, ArchiveErrorText(errOpenFile));
    return 2;
  }
  std::unique_ptr<TUnBase> extractor = MakeExtractor(type);
  if (!extractor) {
    PrintArchiveError(errUnsupportedType, ArchiveErrorText(errUnsupportedType));
    return 2;
  }
  if (auto* zip = dynamic_cast<TUnZIP*>(extractor.get()); zip && !password.empty())
    zip->Passwords.push_back(password);
  if (auto* rar = dynamic_cast<TUnRAR*>(extractor.get()))
    rar->Password = password;
  extractor->CodePage = codePage;
  extractor->TestOnly = test;
  extractor->ExtractDir = dir;
  if (!mask.empty())
    extractor->FileSpec = mask;
  bool inOperation = false;
  extractor->OnActivate = [&](TAwkMain*) { inOperation = true; };
  extractor->OnError = [&](TAwkMain* sender, const std::string&, const std::string& text,
                           const std::string&, int code) {
    // Faults of the whole archive arrive as the exception.
    const TArcEntry& entry = static_cast<TUnBase*>(sender)->Entry();
    if (inOperation && !entry.Name.empty())
      std::fprintf(test ? stdout : stderr, "%d %s %s\n", code, text.c_str(),
                   PrintedPath(entry).c_str());
  };
  extractor->OnEnd = [&](TUnBase* sender, const std::string&, bool crcPass) {
    if (test && crcPass)
      std::printf("ok %s\n", PrintedPath(sender->Entry()).c_str());
  };
  extractor->SetArchiveFile(archive);
  try {
    extractor->Extract();
  } catch (const EArchiveError& error) {
    std::fflush(stdout);
    PrintArchiveError(error.Code(), error.what());
    return 2;
  }
  return extractor->FailedCount() > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
  LoadArchiveLibraries();
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string password;
  std::string codePage = "IBM437";
  size_t i = 0;
  for (; i + 1 < args.size() && (args[i] == "-p" || args[i] == "-c"); i += 2)
    (args[i] == "-p" ? password : codePage) = args[i + 1];
  if (i >= args.size()) {
    Usage();
    return 2;
  }
  const std::string command = args[i];
  const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  if (command == "l" && rest.size() == 1)
    return List(rest[0], codePage);
  if (command == "t" && rest.size() == 1)
    return Unpack(rest[0], codePage, password, true, std::string(), std::string());
  if (command == "x" && (rest.size() == 2 || rest.size() == 3))
    return Unpack(rest[0], codePage, password, false, rest[1],
                  rest.size() == 3 ? rest[2] : std::string());
  Usage();
  return 2;
}
