#include "archive/archive_component.h"

#include "archive/archive_detect.h"
#include "archive/archive_libraries.h"
#include "archive/entry_path.h"
#include "archive/extract_target.h"
#include "model/mask.h"
#include "platform/process_messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>
#include <unordered_set>

namespace corvane::archive {

namespace {

// A wrong password cannot make an entry ask for ever.
constexpr int MaxPasswordAttempts = 16;
constexpr size_t ExtractBufferSize = 256 * 1024;

std::string LastComponent(const std::string& name) {
  std::string trimmed = name;
  while (!trimmed.empty() && trimmed.back() == '/')
    trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

int64_t DosToUnix(uint32_t dos) {
  std::tm tm{};
  tm.tm_year = static_cast<int>((dos >> 25) & 0x7F) + 80;
  tm.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
  tm.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
  tm.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
  tm.tm_min = static_cast<int>((dos >> 5) & 0x3F);
  tm.tm_sec = static_cast<int>((dos & 0x1F) * 2);
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

uint32_t UnixToDos(int64_t unixTime) {
  const auto t = static_cast<std::time_t>(unixTime);
  std::tm tm{};
  if (!localtime_r(&t, &tm) || tm.tm_year < 80)
    return (0u << 25) | (1u << 21) | (1u << 16); // 1980-01-01 00:00:00
  if (tm.tm_year > 207)
    return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  return (static_cast<uint32_t>(tm.tm_year - 80) << 25) |
         (static_cast<uint32_t>(tm.tm_mon + 1) << 21) | (static_cast<uint32_t>(tm.tm_mday) << 16) |
         (static_cast<uint32_t>(tm.tm_hour) << 11) | (static_cast<uint32_t>(tm.tm_min) << 5) |
         static_cast<uint32_t>(tm.tm_sec / 2);
}

} // namespace

int64_t EntryUnixTime(const TArcEntry& entry) {
  if (entry.HasUnixTime)
    return entry.UnixTime;
  if (entry.HasDosTime)
    return DosToUnix(entry.DosTime);
  return static_cast<int64_t>(std::time(nullptr));
}

uint32_t EntryDosTime(const TArcEntry& entry) {
  if (entry.HasDosTime)
    return entry.DosTime;
  if (entry.HasUnixTime)
    return UnixToDos(entry.UnixTime);
  return 0;
}

TAwkMain::~TAwkMain() = default;

// ---- TZipCommon ----

void TZipCommon::SetArchiveFile(const std::string& nativePath) {
  Archive = nativePath;
  const TDetection detection = DetectArchiveFile(nativePath, ZipCmntBufSize);
  Type = detection.Type;
  ArchiveOffset = detection.Offset;
}

bool TZipCommon::MatchesFileSpec(const TArcEntry& entry) const {
  if (FileSpec.empty() || FileSpec == "*.*" || FileSpec == "*")
    return true;
  const bool whole = FileSpec.find_first_of("\\/") != std::string::npos;
  return MatchesMask(whole ? ModelEntryName(entry.Name) : ModelEntryName(LastComponent(entry.Name)),
                     FileSpec);
}

std::shared_ptr<void> TZipCommon::Activate() {
  if (OnActivate)
    OnActivate(this);
  const auto start = std::chrono::steady_clock::now();
  return std::shared_ptr<void>(nullptr, [this, start](void*) {
    if (OnDeactivate)
      OnDeactivate(this);
    if (OnElapsedTime)
      OnElapsedTime(this,
                    std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count());
  });
}

void TZipCommon::Fail(int code) {
  Fail(EArchiveError(code));
}

void TZipCommon::Fail(const EArchiveError& fault) {
  if (OnError)
    OnError(this, Archive, fault.what(), "", fault.Code());
  throw EArchiveError(fault.Code(), fault.what());
}

void TZipCommon::ReportEntryError(const TArcEntry& entry, int code, const std::string& text) {
  if (OnError)
    OnError(this, ModelEntryName(LastComponent(entry.Name)),
            text.empty() ? ArchiveErrorText(code) : text, "", code);
}

std::string TZipCommon::DefaultPartName(int part) const {
  if (Type == TArcType::atRAR || Type == TArcType::atRarExe)
    return RarPartName(Archive, part);
  if (Type == TArcType::atARJ || Type == TArcType::atArjExe)
    return ArjPartName(Archive, part);
  return {};
}

namespace {
std::atomic<uint64_t> PassCount{0};
} // namespace

uint64_t ArchivePasses() {
  return PassCount.load();
}

std::unique_ptr<TFormatReader> TZipCommon::OpenReader(std::unique_ptr<TByteSource>& source,
                                                      int maxHeaderLines) {
  ++PassCount;
  if (Type == TArcType::atNA)
    SetArchiveFile(Archive);
  auto file = std::make_unique<TFileByteSource>(Archive);
  if (!file->Valid())
    Fail(errOpenFile);
  source = std::move(file);
  TFormatOptions options;
  options.ArchiveName = Archive;
  options.CodePage = CodePage;
  options.ZipCmntBufSize = ZipCmntBufSize;
  options.StartOffset = ArchiveOffset;
  options.MaxHeaderLines = maxHeaderLines;
  options.NextPart = [this](int part,
                            const std::string& storedName) -> std::unique_ptr<TByteSource> {
    std::string path = DefaultPartName(part);
    if (!storedName.empty()) {
      // A name the archive gives is looked for beside it, whatever folder the name claims.
      const size_t slash = Archive.rfind('/');
      const size_t nameStart = storedName.find_last_of("/\\");
      const std::string base =
          nameStart == std::string::npos ? storedName : storedName.substr(nameStart + 1);
      if (!base.empty() && base != "." && base != "..")
        path = (slash == std::string::npos ? std::string() : Archive.substr(0, slash + 1)) + base;
    }
    if (path.empty())
      return nullptr;
    const size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string fn = slash == std::string::npos ? path : path.substr(slash + 1);
    if (OnNextVolume) {
      bool cancel = false;
      OnNextVolume(this, dir, fn, fn, ::access(path.c_str(), F_OK) == 0, cancel);
      if (cancel)
        return nullptr;
      if (!dir.empty() && dir.back() != '/')
        dir += '/';
      path = dir + fn;
    }
    auto next = std::make_unique<TFileByteSource>(path);
    if (!next->Valid())
      return nullptr;
    return next;
  };
  std::unique_ptr<TFormatReader> reader;
  try {
    reader = MakeFormatReader(Type, *source, options);
  } catch (const EArchiveError& error) {
    Fail(error);
  }
  // Outside the try: Fail throws, and its fault must be reported once, not again by the catch.
  if (!reader)
    Fail(Type == TArcType::atFileOpenErr ? errOpenFile : errUnsupportedType);
  return reader;
}

// ---- TZipTV ----

std::string TZipTV::FileName() const {
  return ModelEntryName(Current.Name);
}

uint32_t TZipTV::DosDateTime() const {
  return EntryDosTime(Current);
}

void TZipTV::Report(const TArcEntry& entry, int& filenum) {
  Current = entry;
  if (!Current.HasDosTime && !Current.HasUnixTime) {
    Current.HasUnixTime = true;
    Current.UnixTime = ArchiveTime;
  }
  if (OnRead)
    OnRead(this, static_cast<int64_t>(entry.Offset), filenum);
  if (OnReadFile)
    OnReadFile(this, FileName());
  ++filenum;
}

void TZipTV::ReadArchive() {
  const auto active = Activate();
  std::unique_ptr<TByteSource> source;
  auto reader = OpenReader(source, 100);
  struct stat st {};
  ArchiveTime = ::stat(Archive.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : 0;
  if (OnReadBegin)
    OnReadBegin(this);
  int filenum = 0;
  std::vector<TArcEntry> blankCandidates;
  std::unordered_set<std::string> foldersWithFiles;
  TArcEntry entry;
  while (true) {
    bool more = false;
    try {
      more = reader->Next(entry);
    } catch (const EArchiveError& error) {
      Fail(error);
    }
    if (!more)
      break;
    if (entry.IsFolder) {
      if (ShowAllDirs && MatchesFileSpec(entry))
        Report(entry, filenum);
      else if (ShowBlankDirs && !ShowAllDirs)
        blankCandidates.push_back(entry);
      continue;
    }
    if (ShowBlankDirs && !ShowAllDirs) {
      std::vector<std::string> components;
      if (SplitEntryPath(entry.Name, components)) {
        std::string prefix;
        for (size_t i = 0; i + 1 < components.size(); ++i) {
          prefix += (i ? "/" : "") + components[i];
          foldersWithFiles.insert(prefix);
        }
      }
    }
    if (MatchesFileSpec(entry))
      Report(entry, filenum);
  }
  for (const TArcEntry& folder : blankCandidates) {
    std::vector<std::string> components;
    std::string key;
    if (SplitEntryPath(folder.Name, components))
      for (size_t i = 0; i < components.size(); ++i)
        key += (i ? "/" : "") + components[i];
    if (!foldersWithFiles.contains(key) && MatchesFileSpec(folder))
      Report(folder, filenum);
  }
  if (OnTotals)
    OnTotals(this, filenum);
  if (OnReadEnd)
    OnReadEnd(this);
}

// ---- TUnBase ----

TUnBase::TUnBase() = default;
TUnBase::~TUnBase() = default;

void TUnBase::Extract() {
  Run(nullptr);
}

void TUnBase::ExtractEntries(const std::vector<uint64_t>& recNums) {
  Run(&recNums);
}

std::string TUnBase::PasswordFor(const TArcEntry&, int) {
  return {};
}

bool TUnBase::IsArchiveItself(int folderFd, const std::string& name) const {
  struct stat st {};
  return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         st.st_dev == ArchiveDevice && st.st_ino == ArchiveInode;
}

void TUnBase::CheckStop() {
  if (StopRequested) {
    StopRequested = false;
    Fail(errUserAborted);
  }
}

void TUnBase::Run(const std::vector<uint64_t>* recNums) {
  Failed = 0;
  StopRequested = false;
  const auto active = Activate();
  if (Type == TArcType::atNA)
    SetArchiveFile(Archive);
  if (Type == TArcType::atFileOpenErr)
    Fail(errOpenFile);
  if (!Serves(Type))
    Fail(errUnsupportedType);
  std::unique_ptr<TByteSource> source;
  auto reader = OpenReader(source, HeaderLineLimit());
  struct stat st {};
  if (::stat(Archive.c_str(), &st) == 0) {
    ArchiveDevice = st.st_dev;
    ArchiveInode = st.st_ino;
  }
  Target = std::make_unique<TExtractTarget>();
  TargetDir.clear();
  if (!TestOnly && !OnTargetFolder && Target->Open(ExtractDir) != errNone)
    Fail(errCreateDir);
  if (Buffer.size() != ExtractBufferSize)
    Buffer.resize(ExtractBufferSize);
  const std::set<uint64_t> wanted =
      recNums ? std::set<uint64_t>(recNums->begin(), recNums->end()) : std::set<uint64_t>();
  size_t extracted = 0;
  TArcEntry entry;
  while (true) {
    bool more = false;
    try {
      more = reader->Next(entry);
    } catch (const EArchiveError& error) {
      Fail(error);
    }
    if (!more)
      break;
    if (recNums ? !wanted.contains(entry.Index) : !MatchesFileSpec(entry))
      continue;
    ExtractEntry(*reader, entry);
    platform::ProcessMessages();
    CheckStop();
    // Chosen entries: the walk ends with the last of them, not at the end of the archive.
    if (recNums && ++extracted == wanted.size())
      break;
  }
  Target.reset();
}

void TUnBase::ExtractEntry(TFormatReader& reader, const TArcEntry& entry) {
  Current = entry;
  EntryFaultText.clear();
  const auto fail = [&](int code) {
    ++Failed;
    ReportEntryError(entry, code, EntryFaultText);
  };
  std::vector<std::string> components;
  if (!SplitEntryPath(entry.Name, components) || (components.empty() && !entry.IsFolder)) {
    fail(errInvalidFileName);
    return;
  }
  if (entry.IsFolder) {
    int error = errNone;
    if (UseStoredDirs && !TestOnly && !OnTargetFolder && !components.empty() &&
        Target->Folder(components, components.size(), error) < 0)
      fail(error);
    return;
  }
  const bool ownFolder = OnTargetFolder && !TestOnly;
  if (ownFolder) {
    const std::string folder = OnTargetFolder(this, entry);
    if (folder.empty())
      return;
    if (folder != TargetDir) {
      TargetDir.clear();
      if (Target->Open(folder) != errNone) {
        fail(errCreateDir);
        return;
      }
      TargetDir = folder;
    }
  }
  const std::string fn = ModelEntryName(entry.Name);
  bool extract = true;
  if (OnBegin)
    OnBegin(this, fn, static_cast<int>(entry.Index), extract);
  if (!extract)
    return;
  const std::string& name = components.back();
  int folderFd = -1;
  bool replace = false;
  if (!TestOnly) {
    int error = errNone;
    folderFd =
        Target->Folder(components, UseStoredDirs && !ownFolder ? components.size() - 1 : 0, error);
    if (folderFd < 0) {
      fail(error);
      if (OnEnd)
        OnEnd(this, fn, false);
      return;
    }
    const TExisting existing = ExistingAt(folderFd, name);
    if (existing == TExisting::Folder || existing == TExisting::Other) {
      fail(errWriteFile);
      if (OnEnd)
        OnEnd(this, fn, false);
      return;
    }
    replace = existing == TExisting::File;
    if (replace && IsArchiveItself(folderFd, name)) {
      // Extracting a file over the archive being read would lose the archive.
      fail(errSameFileNames);
      if (OnEnd)
        OnEnd(this, fn, false);
      return;
    }
    if (replace) {
      bool accept = true;
      if (OnFileExists)
        OnFileExists(this, fn, EntryUnixTime(entry), accept);
      if (!accept)
        return;
    }
  }
  const int result = entry.IsLink ? ExtractLink(entry, folderFd, name, replace)
                                  : ExtractData(reader, entry, fn, folderFd, name, replace);
  if (result != errNone)
    fail(result);
  if (OnEnd)
    OnEnd(this, fn, result == errNone);
}

int TUnBase::ExtractLink(const TArcEntry& entry, int folderFd, const std::string& name,
                         bool replace) {
  if (entry.IsHardLink) {
    // A hard link names another entry of the archive: it must be one already written inside the
    // target, reached without following a link.
    std::vector<std::string> components;
    if (!SplitEntryPath(entry.LinkTarget, components) || components.empty())
      return errInvalidFileName;
    if (TestOnly)
      return errNone;
    platform::TUniqueFd folder(::openat(Target->Root(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = 0; folder.Valid() && i + 1 < components.size(); ++i)
      folder.Reset(::openat(folder.Get(), components[i].c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.Valid())
      return errFileNotFound;
    return CreateHardLink(folder.Get(), components.back(), folderFd, name, replace);
  }
  if (!LinkStaysInside(entry.LinkTarget))
    return errInvalidFileName;
  if (TestOnly)
    return errNone;
  return CreateLink(folderFd, name, entry.LinkTarget, replace);
}

std::unique_ptr<TEntryData> TUnBase::OpenEntryData(TFormatReader& reader, const TArcEntry& entry,
                                                   int& error) {
  error = errNone;
  if (!entry.Encrypted)
    return reader.OpenData(entry, std::string(), error);
  bool triedOne = false;
  for (int attempt = 0; attempt < MaxPasswordAttempts; ++attempt) {
    const std::string password = PasswordFor(entry, attempt);
    if (password.empty())
      break;
    triedOne = true;
    auto data = reader.OpenData(entry, password, error);
    if (data) {
      PasswordAccepted(password);
      return data;
    }
    if (error != errInvalidPassword)
      return nullptr;
  }
  error = triedOne ? errInvalidPassword : errPasswordFailed;
  return nullptr;
}

int TUnBase::ExtractData(TFormatReader& reader, const TArcEntry& entry, const std::string& fn,
                         int folderFd, const std::string& name, bool replace) {
  int error = errNone;
  auto data = OpenEntryData(reader, entry, error);
  if (!data) {
    EntryFaultText = reader.FaultText();
    return error;
  }
  TOutputFile out;
  if (!TestOnly && (error = out.Create(folderFd, name, replace)) != errNone)
    return error;
  const int step = ProgressStep(ProgressNotify);
  int nextStep = step;
  uint64_t done = 0;
  const auto progressTo = [&](int percent) {
    for (; nextStep <= percent && nextStep <= 100; nextStep += step)
      if (OnProgress)
        OnProgress(this, fn, static_cast<uint8_t>(nextStep));
  };
  while (true) {
    const ptrdiff_t got = data->Read(Buffer.data(), Buffer.size());
    if (got < 0)
      return data->Error() != errNone ? data->Error() : errReadFile;
    if (got == 0)
      break;
    if (!TestOnly && (error = out.Write(Buffer.data(), static_cast<size_t>(got))) != errNone)
      return error;
    done += static_cast<uint64_t>(got);
    if (entry.Size > 0)
      progressTo(static_cast<int>(std::min<uint64_t>(100, done * 100 / entry.Size)));
    if (StopRequested)
      return errUserAborted;
  }
  if ((error = data->Finish()) != errNone)
    return error;
  if (!TestOnly) {
    const mode_t mode =
        ExtractedMode(entry.HasUnixMode, entry.UnixMode, entry.Attributes & ftReadOnly, false);
    const bool setTime =
        SetDateTo == TSetDate::sdOrigDate && (entry.HasUnixTime || entry.HasDosTime);
    if ((error = out.Commit(mode, setTime, EntryUnixTime(entry))) != errNone)
      return error;
  }
  progressTo(100);
  return errNone;
}

// ---- TUnZIP ----

bool TUnZIP::Serves(TArcType type) const {
  return type == TArcType::atZIP || type == TArcType::atZipExe;
}

std::string TUnZIP::PasswordFor(const TArcEntry&, int attempt) {
  if (attempt == 0) {
    // The password that opened the last entry first, then each of the list once, then the user.
    Candidates.clear();
    if (!LastGood.empty())
      Candidates.push_back(LastGood);
    for (const std::string& password : Passwords)
      if (!password.empty() &&
          std::find(Candidates.begin(), Candidates.end(), password) == Candidates.end())
        Candidates.push_back(password);
    MayAsk = true;
    Asked = 0;
  }
  if (static_cast<size_t>(attempt) < Candidates.size())
    return Candidates[static_cast<size_t>(attempt)];
  if (!OnGetPassword || !MayAsk)
    return {};
  std::string password;
  bool tryAgain = false;
  OnGetPassword(this, Archive, password, tryAgain);
  ++Asked;
  // Asked again after this one only when the user said so.
  MayAsk = tryAgain;
  return password;
}

// ---- TUUDecode ----

std::string TUUDecode::DefaultPartName(int part) const {
  const size_t slash = Archive.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : Archive.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? Archive : Archive.substr(slash + 1);
  const size_t dot = file.rfind('.');
  std::string stem = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
  const std::string extension =
      dot == std::string::npos || dot == 0 ? std::string() : file.substr(dot);
  const int number = VolumeStartNum + part - 1;
  char digits[16];
  if (NextVolumeName == TNextVolumeName::nvChangeExt) {
    std::snprintf(digits, sizeof digits, ".%03d", number % 1000);
    return folder + stem + digits;
  }
  std::snprintf(digits, sizeof digits, "%d", number);
  while (!stem.empty() && stem.back() >= '0' && stem.back() <= '9')
    stem.pop_back();
  const size_t digitCount = std::char_traits<char>::length(digits);
  if (!VolumeLongFilenames && stem.size() + digitCount > 8)
    stem.resize(8 > digitCount ? 8 - digitCount : 0);
  return folder + stem + digits + extension;
}

// ---- the table of extractors ----

std::unique_ptr<TUnBase> MakeExtractor(TArcType type) {
  switch (type) {
  case TArcType::atARC:
  case TArcType::atPAK:
    return std::make_unique<TUnARC>();
  case TArcType::atARJ:
    return std::make_unique<TUnARJ>();
  case TArcType::atCAB:
    return std::make_unique<TUnCAB>();
  case TArcType::atGZip:
    return std::make_unique<TUnGZIP>();
  case TArcType::atLHA:
    return std::make_unique<TUnLHA>();
  case TArcType::atRAR:
    return std::make_unique<TUnRAR>();
  case TArcType::atTAR:
    return std::make_unique<TUnTAR>();
  case TArcType::atUUE:
    return std::make_unique<TUUDecode>();
  case TArcType::atZIP:
  case TArcType::atZipExe:
    return std::make_unique<TUnZIP>();
  case TArcType::atZOO:
    return std::make_unique<TUnZOO>();
  default:
    return nullptr;
  }
}

} // namespace corvane::archive
