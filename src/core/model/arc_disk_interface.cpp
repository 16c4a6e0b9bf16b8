#include "model/arc_disk_interface.h"

#include "archive/archive_component.h"
#include "archive/entry_path.h"
#include "model/archiver_command.h"
#include "model/browser.h"
#include "model/path_utils.h"
#include "platform/launcher.h"
#include "platform/native_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

namespace corvane {

using archive::EArchiveError;
using archive::TArcType;

namespace {

// The local calendar time of an archive entry: its Unix time when it has one, else its DOS time,
// whose fields are local time already.
platform::TSystemTime EntryTime(const archive::TArcEntry& entry) {
  if (entry.HasUnixTime)
    return platform::ToLocalSystemTime({entry.UnixTime, 0});
  platform::TSystemTime time;
  if (entry.HasDosTime) {
    const uint32_t dos = entry.DosTime;
    time.Year = static_cast<uint16_t>(((dos >> 25) & 0x7F) + 1980);
    time.Month = static_cast<uint16_t>((dos >> 21) & 0x0F);
    time.Day = static_cast<uint16_t>((dos >> 16) & 0x1F);
    time.Hour = static_cast<uint16_t>((dos >> 11) & 0x1F);
    time.Minute = static_cast<uint16_t>((dos >> 5) & 0x3F);
    time.Second = static_cast<uint16_t>((dos & 0x1F) * 2);
  }
  return time;
}

// A stored name as folder components: empty and "." components dropped; nothing when a ".."
// component makes the name point outside the archive (such entries cannot be taken out anyway).
std::optional<std::vector<std::string>> Components(const std::string& storedName) {
  std::vector<std::string> parts;
  size_t begin = 0;
  while (begin <= storedName.size()) {
    size_t end = storedName.find('\\', begin);
    if (end == std::string::npos)
      end = storedName.size();
    std::string part = storedName.substr(begin, end - begin);
    begin = end + 1;
    if (part.empty() || part == ".")
      continue;
    if (part == "..")
      return std::nullopt;
    parts.push_back(std::move(part));
  }
  return parts;
}

// The same as views into `storedName`, for reading many names without a string per component;
// false where Components gives nothing.
bool ComponentViews(std::string_view storedName, std::vector<std::string_view>& parts) {
  parts.clear();
  size_t begin = 0;
  while (begin <= storedName.size()) {
    size_t end = storedName.find('\\', begin);
    if (end == std::string_view::npos)
      end = storedName.size();
    const std::string_view part = storedName.substr(begin, end - begin);
    begin = end + 1;
    if (part.empty() || part == ".")
      continue;
    if (part == "..")
      return false;
    parts.push_back(part);
  }
  return true;
}

std::string NativeOf(std::string_view model) {
  return platform::ModelToNative(model).value_or(std::string());
}

// The last lines of the archiver's log, for the message that says it failed.
std::string LogTail(const std::string& logPath) {
  std::ifstream log(logPath);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(log, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos)
      continue;
    lines.push_back(line.substr(0, 200));
    if (lines.size() > 6)
      lines.erase(lines.begin());
  }
  std::string tail;
  for (const std::string& kept : lines)
    tail += "\n" + kept;
  return tail;
}

// A temporary folder holding the path `prefix` ("docs/manual/"), whose last component is a link to
// `target`; removed again, links first and never followed, when the object goes.
class TStagingFolder final {
public:
  TStagingFolder(const std::string& parent, const std::string& prefix, const std::string& target) {
    std::string pattern = parent + "/stage-XXXXXX";
    if (!::mkdtemp(pattern.data()))
      return;
    Root = pattern;
    std::string at = Root;
    size_t begin = 0;
    for (size_t slash = prefix.find('/'); slash != std::string::npos;
         begin = slash + 1, slash = prefix.find('/', begin)) {
      at += '/' + prefix.substr(begin, slash - begin);
      Made.push_back(at);
      const bool last = slash + 1 == prefix.size();
      if ((last ? ::symlink(target.c_str(), at.c_str()) : ::mkdir(at.c_str(), 0700)) != 0) {
        Made.pop_back();
        Clear();
        return;
      }
    }
  }
  TStagingFolder(const TStagingFolder&) = delete;
  TStagingFolder& operator=(const TStagingFolder&) = delete;
  ~TStagingFolder() { Clear(); }
  const std::string& Path() const { return Root; }

private:
  void Clear() {
    const int saved = errno;
    // unlink removes the link itself and fails on the folders, which rmdir removes when empty.
    for (auto it = Made.rbegin(); it != Made.rend(); ++it)
      if (::unlink(it->c_str()) != 0)
        ::rmdir(it->c_str());
    Made.clear();
    if (!Root.empty())
      ::rmdir(Root.c_str());
    Root.clear();
    errno = saved;
  }

  std::string Root;
  std::vector<std::string> Made;
};

} // namespace

TARCDiskInterface::TARCDiskInterface(TBrowser* owner, std::string archivePath)
    : TDiskInterface(owner, skArchive, std::move(archivePath)) {}

TARCDiskInterface::~TARCDiskInterface() {
  DropListFile();
}

std::unique_ptr<TARCDiskInterface> TARCDiskInterface::Open(TBrowser* owner,
                                                           std::string_view archivePath) {
  std::unique_ptr<TARCDiskInterface> source(new TARCDiskInterface(owner, std::string(archivePath)));
  if (owner) {
    source->WorkFolder = owner->WorkFolder;
    source->CodePage = owner->CodePage;
  }
  source->NativeArchive = NativeOf(archivePath);
  if (source->NativeArchive.empty())
    return nullptr;
  if (!source->ReadDirectory())
    return nullptr;
  return source;
}

void TARCDiskInterface::Report(int code, const std::string& name) {
  if (!Owner || !Owner->OnCopyError)
    return;
  std::string text = archive::ArchiveErrorText(code);
  // The archive is named as the panels show it; an entry by its name.
  if (!name.empty())
    text += ": " + (name == NativeArchive ? Root : name);
  Owner->OnCopyError(TCopyError::ArchiveMessage, text);
}

bool TARCDiskInterface::ReadDirectory() {
  Items.clear();
  Folders.clear();
  Paths.clear();
  PathText.clear();
  PathTextLeft = 0;
  PathTextAt = nullptr;
  LastFolder.clear();
  Listing = nullptr;
  struct stat st {};
  if (::stat(NativeArchive.c_str(), &st) != 0 && errno == ENOENT) {
    Type = ArchiverTypeOf(TArcType::atNA, Root);
    return true;
  }
  if (!Reader) {
    Reader = std::make_unique<archive::TZipTV>();
    Reader->OnRead = [this](archive::TZipTV*, int64_t, int) {
      Collect();
      if (Owner && Owner->OnArchiveReadEntry)
        Owner->OnArchiveReadEntry();
    };
    Reader->OnError = [this](archive::TAwkMain*, const std::string& fn, const std::string&,
                             const std::string&, int code) { Report(code, fn); };
    Reader->OnNextVolume = [](archive::TZipCommon*, std::string&, std::string&, const std::string&,
                              bool exists, bool& cancel) { cancel = !exists; };
  }
  Reader->CodePage = CodePage;
  Reader->SetArchiveFile(NativeArchive);
  if (!Extractor || Type != Reader->ArcType()) {
    Type = Reader->ArcType();
    Extractor = archive::MakeExtractor(Type);
    if (Extractor) {
      Extractor->CodePage = CodePage;
      Extractor->UseStoredDirs = false;
      Extractor->SetDateTo = archive::TSetDate::sdOrigDate;
      Extractor->ProgressNotify = archive::TProgressNotify::Fifteen;
      Extractor->OnError = Reader->OnError;
      Extractor->OnNextVolume = Reader->OnNextVolume;
      if (auto* zip = dynamic_cast<archive::TUnZIP*>(Extractor.get()))
        zip->OnGetPassword = [this](archive::TUnZIP* sender, const std::string&,
                                    std::string& password, bool& tryAgain) {
          tryAgain = false;
          if (!Owner || !Owner->OnPassword || !Owner->Busy)
            return;
          // The prompt names the entry that needs the password.
          std::string answer = password;
          Owner->OnPassword(archive::ModelEntryName(sender->Entry().Name), answer);
          // Cancel clears Busy; an empty answer gives up too, so a wrong password cannot loop.
          if (Owner->Busy && !answer.empty()) {
            password = answer;
            tryAgain = true;
          }
        };
    }
  }
  if (Extractor)
    Extractor->SetArchiveFile(NativeArchive); // detected once per reading, not per entry taken out
  Reader->ShowBlankDirs = Extractor != nullptr;
  // Every folder the archive stores as an entry is read, not only the empty ones (the listing is
  // the same: a folder holding files is listed once either way), so that deleting knows which
  // folders exist as entries of their own and must go when emptied.
  Reader->ShowAllDirs = Extractor != nullptr;
  if (Owner && Owner->OnArchiveReadBegin)
    Owner->OnArchiveReadBegin();
  bool ok = true;
  try {
    Reader->ReadArchive();
  } catch (const EArchiveError&) {
    ok = false; // reported through OnError
  }
  // The lists stay for the source's life: give back what their growth left over.
  Items.shrink_to_fit();
  for (auto& [folder, items] : Folders)
    items.shrink_to_fit();
  Paths.rehash(0);
  Parts = {};
  FolderOfEntry = {};
  LastFolder = {};
  if (Owner && Owner->OnArchiveReadEnd)
    Owner->OnArchiveReadEnd();
  return ok;
}

void TARCDiskInterface::AddItem(TItem item) {
  std::string path;
  path.reserve(item.Folder.size() + item.Entry.Name.size() + item.Entry.Ext.size() + 1);
  path += item.Folder;
  path += item.Entry.Name;
  if (!item.Entry.Ext.empty()) {
    path += '.';
    path += item.Entry.Ext;
  }
  if (const auto found = Paths.find(path); found != Paths.end()) {
    TItem& existing = Items[found->second];
    if (item.Entry.IsFolder() && existing.Entry.IsFolder()) {
      // A stored folder entry met after its files made it: keep the one entry, now stored.
      if (item.Stored && !existing.Stored) {
        existing.Stored = true;
        existing.Record = item.Record;
        existing.Entry.Attr = item.Entry.Attr;
      }
      return;
    }
  }
  const size_t index = Items.size();
  Folders[item.Folder].push_back(static_cast<uint32_t>(index));
  Paths[KeepPath(path)] = index;
  Items.push_back(std::move(item));
}

std::string_view TARCDiskInterface::KeepPath(std::string_view path) {
  // Blocks of many keys each: a key costs its characters, not an allocation of its own.
  constexpr size_t BlockSize = 64 * 1024;
  if (path.size() > PathTextLeft) {
    const size_t size = std::max(BlockSize, path.size());
    PathText.push_back(std::make_unique<char[]>(size));
    PathTextLeft = size;
    PathTextAt = PathText.back().get();
  }
  char* const at = PathTextAt;
  std::memcpy(at, path.data(), path.size());
  PathTextAt += path.size();
  PathTextLeft -= path.size();
  return {at, path.size()};
}

void TARCDiskInterface::Collect() {
  const archive::TArcEntry& stored = Reader->Entry();
  const std::string name = Reader->FileName();
  if (!ComponentViews(name, Parts) || Parts.empty())
    return;
  const platform::TSystemTime time = EntryTime(stored);
  std::string& folder = FolderOfEntry;
  folder.clear();
  for (size_t i = 0; i + 1 < Parts.size(); ++i) {
    folder += Parts[i];
    folder += '\\';
  }
  if (folder != LastFolder) {
    // Make sure every folder on the way has an entry, even when the archive stores none.
    LastFolder = folder;
    std::string at;
    std::string path;
    for (size_t i = 0; i + 1 < Parts.size(); ++i) {
      const std::string_view part = Parts[i];
      path = at;
      path += part;
      if (!Paths.count(path)) {
        TItem made;
        made.Folder = at;
        std::tie(made.Entry.Name, made.Entry.Ext) = SplitFileName(part);
        made.Entry.Attr = faDirectory;
        made.Entry.Kind = TEntryKind::Folder;
        made.Entry.Created = made.Entry.Accessed = made.Entry.Written = time;
        AddItem(std::move(made));
      }
      at += part;
      at += '\\';
    }
  }

  TItem item;
  item.Folder = folder;
  item.Record = stored.Index;
  item.Stored = true;
  std::tie(item.Entry.Name, item.Entry.Ext) = SplitFileName(Parts.back());
  item.Entry.Created = item.Entry.Accessed = item.Entry.Written = time;
  if (stored.IsFolder) {
    item.Entry.Attr = static_cast<uint16_t>((stored.Attributes & 0xFF) | faDirectory);
    item.Entry.Kind = TEntryKind::Folder;
  } else {
    item.Entry.Attr = static_cast<uint16_t>(stored.Attributes & 0xFF & ~faDirectory);
    item.Entry.Size = static_cast<int64_t>(stored.Size);
    item.Entry.PackedSize = static_cast<int64_t>(stored.PackedSize);
    item.Entry.Kind = stored.IsLink ? TEntryKind::LinkToFile : TEntryKind::Regular;
  }
  AddItem(std::move(item));
}

bool TARCDiskInterface::FindFirst(std::string_view folder, TFileEntry& entry) {
  std::string key(folder);
  AddBackslash(key);
  const auto found = Folders.find(key);
  Listing = found == Folders.end() ? nullptr : &found->second;
  Position = Listing ? Listing->size() : 0;
  LastError = 0;
  return FindNext(entry);
}

bool TARCDiskInterface::FindNext(TFileEntry& entry) {
  if (!Listing || Position == 0) {
    Listing = nullptr;
    return false;
  }
  entry = Items[(*Listing)[--Position]].Entry;
  return true;
}

bool TARCDiskInterface::CopyOut(std::string_view name, std::string_view target, bool move) {
  std::vector<TCopyOutItem> one{{std::string(name), std::string(target)}};
  CopyOutMany(one, move, nullptr);
  return one.front().Done;
}

void TARCDiskInterface::CopyOutMany(std::vector<TCopyOutItem>& items, bool,
                                    const std::function<void(size_t)>& finished) {
  if (!Extractor)
    return TDiskInterface::CopyOutMany(items, false, finished);
  // Which item each chosen entry of the archive serves, and where it goes.
  struct TChosen {
    size_t Index;
    std::string NativeTarget;
    std::string NativeFolder;
  };
  std::unordered_map<uint64_t, TChosen> chosen;
  std::vector<uint64_t> records;
  const auto finish = [&](size_t index) {
    if (finished)
      finished(index);
  };
  for (size_t i = 0; i < items.size(); ++i) {
    const auto found = Paths.find(items[i].Name);
    const std::string fileName = SplitPath(items[i].Name).second;
    const auto [targetFolder, targetName] = SplitPath(items[i].Target);
    TChosen one{i, NativeOf(items[i].Target), platform::ModelToNativeFolder(targetFolder)};
    // An entry cannot get another name on its way out; folders are made by the engine.
    if (found == Paths.end() || fileName != targetName || Items[found->second].Entry.IsFolder() ||
        !Items[found->second].Stored || one.NativeTarget.empty() || one.NativeFolder.empty() ||
        chosen.count(Items[found->second].Record)) {
      finish(i);
      continue;
    }
    records.push_back(Items[found->second].Record);
    chosen.emplace(Items[found->second].Record, std::move(one));
  }
  if (records.empty())
    return;

  const TChosen* current = nullptr;
  int64_t size = 0;
  bool reached = false; // a chosen file was come to: a stop asked for now ends the pass after it
  bool stopping = false;
  // The extractor's events point into this call: they are put back on every way out.
  struct TRestore {
    archive::TUnBase& Extractor;
    decltype(archive::TUnBase::OnError) Error;
    ~TRestore() {
      Extractor.OnTargetFolder = nullptr;
      Extractor.OnFileExists = nullptr;
      Extractor.OnBegin = nullptr;
      Extractor.OnProgress = nullptr;
      Extractor.OnEnd = nullptr;
      Extractor.OnError = std::move(Error);
    }
  } restore{*Extractor, Extractor->OnError};
  const auto& savedError = restore.Error;
  // A stop the user asked for ends the pass; it is no fault to report.
  Extractor->OnError = [&](archive::TAwkMain* sender, const std::string& fn,
                           const std::string& text, const std::string& extra, int code) {
    if (!(stopping && code == archive::errUserAborted) && savedError)
      savedError(sender, fn, text, extra, code);
  };
  Extractor->OnTargetFolder = [&](archive::TUnBase* sender,
                                  const archive::TArcEntry& entry) -> std::string {
    current = nullptr;
    if (reached && Owner && !Owner->Busy) {
      stopping = true;
      sender->Stop(); // after this entry, which is left alone
      return {};
    }
    const auto found = chosen.find(entry.Index);
    if (found == chosen.end())
      return {};
    reached = true;
    // An existing target is asked about first, as a copy of one file would.
    struct stat st {};
    if (::lstat(found->second.NativeTarget.c_str(), &st) == 0) {
      bool answer = true;
      if (Owner && Owner->OnCopyConfirm)
        Owner->OnCopyConfirm((st.st_mode & 0200) ? TCopyConfirm::Exists
                                                 : TCopyConfirm::ExistsReadOnly,
                             items[found->second.Index].Target, answer);
      if (!answer) {
        // Declined: the file counts as done, and its target is untouched.
        items[found->second.Index].Done = true;
        finish(found->second.Index);
        return {};
      }
    }
    current = &found->second;
    size = static_cast<int64_t>(entry.Size);
    return current->NativeFolder;
  };
  // The question was asked above; the old file is replaced only once the new one is complete.
  Extractor->OnFileExists = [](archive::TUnBase*, const std::string&, int64_t, bool& accept) {
    accept = true;
  };
  Extractor->OnBegin = [&](archive::TUnBase*, const std::string&, int, bool&) {
    if (current && Owner && Owner->OnCopyFirstBlock)
      Owner->OnCopyFirstBlock(Root + "\\" + items[current->Index].Name,
                              items[current->Index].Target, size);
  };
  Extractor->OnProgress = [&](archive::TUnBase*, const std::string&, uint8_t percent) {
    if (percent > 0 && Owner && Owner->OnCopyOneBlock)
      Owner->OnCopyOneBlock(static_cast<int64_t>(std::nearbyint(double(size) * percent / 100.0)),
                            size);
  };
  Extractor->OnEnd = [&](archive::TUnBase*, const std::string&, bool good) {
    if (!current)
      return;
    struct stat st {};
    items[current->Index].Done = good && ::lstat(current->NativeTarget.c_str(), &st) == 0;
    if (Owner && Owner->OnCopyFileEnd)
      Owner->OnCopyFileEnd();
    finish(current->Index);
    current = nullptr;
  };
  try {
    Extractor->ExtractEntries(records);
  } catch (const EArchiveError&) {
    // reported through OnError, unless the user stopped it
  }
}

bool TARCDiskInterface::CreateListFile() {
  DropListFile();
  std::string folder = platform::ModelToNativeFolder(WorkFolder);
  if (folder.empty()) {
    if (Owner && Owner->OnCopyError)
      Owner->OnCopyError(TCopyError::ArchiveMessage,
                         "No work folder is set for the archiver's list file.");
    return false;
  }
  ::mkdir(folder.c_str(), 0700);
  for (unsigned n = 0; n < 100000; ++n) {
    const std::string path = folder + "/files" + std::to_string(n) + ".lst";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      if (errno == EEXIST)
        continue;
      break;
    }
    List = ::fdopen(fd, "w");
    if (!List) {
      ::close(fd);
      ::unlink(path.c_str());
      break;
    }
    ListPath = path;
    ListLines = 0;
    return true;
  }
  if (Owner && Owner->OnCopyError)
    Owner->OnCopyError(TCopyError::ArchiveMessage,
                       "Cannot create a list file in " + folder + ": " + std::strerror(errno));
  return false;
}

void TARCDiskInterface::DropListFile() {
  if (List) {
    std::fclose(List);
    List = nullptr;
  }
  if (!ListPath.empty()) {
    ::unlink(ListPath.c_str());
    ListPath.clear();
  }
}

bool TARCDiskInterface::BeginCopyIn(std::string_view sourceFolder, std::string_view targetFolder,
                                    int, bool move) {
  // Names in the list carry the folder inside the archive the files go to.
  TargetPrefix.clear();
  if (const auto parts = Components(std::string(targetFolder)))
    for (const std::string& part : *parts)
      TargetPrefix += part + '/';
  LongNames = false;
  OemCommand = false;
  bool unused = false;
  if (Owner && Owner->OnArchiveMode)
    Owner->OnArchiveMode(static_cast<int>(Type), LongNames, OemCommand, unused);
  SourceFolder.assign(sourceFolder);
  AddBackslash(SourceFolder);
  MoveRun = move;
  SubFolders = false;
  LeftOut.clear();
  return CreateListFile();
}

bool TARCDiskInterface::WriteListLine(std::string name) {
  // Archivers read "*" and "?" in a list as patterns that may match other files (a delete would
  // then remove them too), and a line break would split the name: such names are never listed.
  if (name.empty() || name.find_first_of("*?\n\r") != std::string::npos)
    return false;
  for (char& c : name)
    if (c == '\\')
      c = '/';
  std::fputs(name.c_str(), List);
  std::fputc('\n', List);
  ++ListLines;
  return true;
}

bool TARCDiskInterface::CopyIn(std::string_view source, std::string_view, bool) {
  // Names go into the list relative to the source folder, which is the archiver's working folder.
  if (!List || source.size() <= SourceFolder.size() ||
      source.substr(0, SourceFolder.size()) != SourceFolder)
    return false;
  // Only regular files are handed over: an archiver follows a link (a move would then delete the
  // files it points to) and waits for ever on a FIFO. Whatever else is met stays where it is.
  struct stat st {};
  const std::string native = NativeOf(source);
  if (native.empty() || ::lstat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    LeftOut.push_back({std::string(source), lrNotAFile});
    return false;
  }
  std::string rest(source.substr(SourceFolder.size()));
  while (!rest.empty() && rest.front() == '\\')
    rest.erase(rest.begin());
  if (rest.find('\\') != std::string::npos)
    SubFolders = true;
  if (!WriteListLine(TargetPrefix + rest))
    LeftOut.push_back({std::string(source), lrPattern});
  return false;
}

void TARCDiskInterface::ReportLeftOut() {
  if (!LeftOut.empty() && Owner && Owner->OnCopyError) {
    static constexpr const char* Reasons[] = {
        "Not added (an archiver would read \"*\", \"?\" or a line break in a name as a pattern or "
        "a new name); the files stay where they are:",
        "Not added (only regular files go to an archiver: it would follow a link and wait for ever "
        "on a FIFO, device or socket); they stay where they are:",
    };
    for (const TLeftOutReason reason : {lrPattern, lrNotAFile}) {
      std::string text;
      for (const auto& [name, why] : LeftOut)
        if (why == reason)
          text += "\n" + name;
      if (!text.empty())
        Owner->OnCopyError(TCopyError::ArchiveMessage, Reasons[reason] + text);
    }
  }
  LeftOut.clear();
}

bool TARCDiskInterface::RunArchiver(int mode, const std::string& workFolder) {
  bool flushed = std::fflush(List) == 0;
  flushed = std::fclose(List) == 0 && flushed;
  List = nullptr;
  if (flushed && ListLines == 0) {
    DropListFile(); // nothing to do: the archive stays as it is
    return true;
  }
  std::string commandTemplate = DefaultArchiverCommand(ArchiverTypeOf(Type, Root), mode);
  if (Owner && Owner->OnArchiveParameters)
    Owner->OnArchiveParameters(static_cast<int>(Type), mode, 255, commandTemplate);
  const auto command = BuildArchiverCommand(commandTemplate, NativeArchive, ListPath);
  bool ok = false;
  std::string failure;
  if (!flushed) {
    failure = "Cannot write the list file " + ListPath + ": " + std::strerror(errno);
  } else if (!command) {
    failure = "No archiver is set for " + std::string(archive::ArcTypeName(Type)) +
              " archives; the archive was not changed.";
  } else {
    const std::string log = platform::ModelToNativeFolder(WorkFolder) + "/archiver.log";
    TArchiverWait wait{Root, command->Program, true};
    const platform::TRunResult run = platform::RunAndWait(
        command->Program, command->Args, workFolder, log,
        [this, &wait] { return !Owner || !Owner->OnArchiverWait || Owner->OnArchiverWait(wait); },
        StopPolicy);
    if (run.Launch == platform::TLaunchResult::Started && Owner && Owner->OnArchiverWait) {
      wait.Running = false;
      Owner->OnArchiverWait(wait);
    }
    if (run.Cancelled)
      failure = "The archiver \"" + command->Program +
                "\" was cancelled; the archive is as it left it." + LogTail(log);
    else if (run.Launch == platform::TLaunchResult::NotFound)
      failure = "The archiver \"" + command->Program +
                "\" was not found. Install it or change "
                "the archiver's command line; the archive was not changed.";
    else if (run.Launch == platform::TLaunchResult::Failed)
      failure = "The archiver \"" + command->Program +
                "\" could not be started: " + std::strerror(run.Error);
    else if (run.Signal != 0)
      failure = "The archiver \"" + command->Program + "\" was stopped by signal " +
                std::to_string(run.Signal) + "." + LogTail(log);
    else if (run.ExitCode != 0)
      failure = "The archiver \"" + command->Program + "\" failed with exit status " +
                std::to_string(run.ExitCode) + "." + LogTail(log);
    else
      ok = true;
  }
  DropListFile();
  if (!ok && Owner && Owner->OnCopyError)
    Owner->OnCopyError(TCopyError::ArchiveMessage, failure);
  ReadDirectory();
  return ok;
}

bool TARCDiskInterface::EndCopyIn() {
  if (!List)
    return false;
  ReportLeftOut();
  const int mode = (MoveRun ? amMove : amAdd) + (SubFolders ? 1 : 0);
  const std::string source = platform::ModelToNativeFolder(SourceFolder);
  if (TargetPrefix.empty())
    return RunArchiver(mode, source);
  // The archiver names each file by its path from its working folder. For a folder inside the
  // archive, that is a staging folder in which the folder's path leads to the source folder
  // through a link; a move then removes the very files it archived.
  TStagingFolder stage(platform::ModelToNativeFolder(WorkFolder), TargetPrefix, source);
  if (!stage.Path().empty())
    return RunArchiver(mode, stage.Path());
  DropListFile();
  if (Owner && Owner->OnCopyError)
    Owner->OnCopyError(TCopyError::ArchiveMessage,
                       "Cannot prepare the archiver's working folder: " +
                           std::string(std::strerror(errno)));
  return false;
}

bool TARCDiskInterface::BeginDelete() {
  LongNames = false;
  OemCommand = false;
  bool unused = false;
  if (Owner && Owner->OnArchiveMode)
    Owner->OnArchiveMode(static_cast<int>(Type), LongNames, OemCommand, unused);
  Deleted.clear();
  EmptiedFolders.clear();
  return CreateListFile();
}

bool TARCDiskInterface::DeleteFile(std::string_view name) {
  std::string path(name);
  if (!List || !Paths.count(path) || !WriteListLine(path))
    return false;
  Deleted.insert(std::move(path));
  return true;
}

bool TARCDiskInterface::RemoveDir(std::string_view name) {
  // An archiver removes a folder named in its list with everything under it, so a folder the
  // archive stores as an entry of its own is listed only at the end, and only when nothing under
  // it stays (a member the user kept, a name no list can carry). One that exists only through its
  // files is gone with them.
  const auto found = Paths.find(std::string(name));
  if (!List || found == Paths.end() || !Items[found->second].Stored ||
      !Items[found->second].Entry.IsFolder())
    return false;
  EmptiedFolders.emplace_back(name);
  return true;
}

bool TARCDiskInterface::NothingStaysIn(const std::string& folder) const {
  const auto found = Folders.find(folder + '\\');
  if (found == Folders.end())
    return true;
  for (const size_t index : found->second) {
    const TItem& item = Items[index];
    const std::string path = item.Folder + item.Entry.EntryName();
    if (item.Entry.IsFolder() && !item.Stored) {
      if (!NothingStaysIn(path))
        return false;
    } else if (!Deleted.count(path)) {
      return false;
    }
  }
  return true;
}

bool TARCDiskInterface::EndDelete() {
  if (!List)
    return false;
  // Inner folders first, so that a folder holding only emptied folders goes too.
  std::stable_sort(
      EmptiedFolders.begin(), EmptiedFolders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '\\') > std::count(b.begin(), b.end(), '\\');
      });
  for (const std::string& folder : EmptiedFolders)
    if (!Deleted.count(folder) && NothingStaysIn(folder) && WriteListLine(folder))
      Deleted.insert(folder);
  EmptiedFolders.clear();
  Deleted.clear();
  const size_t slash = NativeArchive.rfind('/');
  return RunArchiver(amDelete, NativeArchive.substr(0, slash == 0 ? 1 : slash));
}

} // namespace corvane
