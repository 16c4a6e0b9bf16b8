#include "model/browser.h"

#include "model/arc_disk_interface.h"
#include "model/mask.h"
#include "model/path_utils.h"
#include "model/standart_disk_interface.h"
#include "platform/file_ops.h"
#include "platform/native_path.h"
#include "platform/process_messages.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace corvane {

namespace {

// Whether an entry's full name is exactly `name`, without building the full name.
bool NameEquals(const TFileEntry& entry, std::string_view name) {
  if (entry.Ext.empty())
    return name == entry.Name;
  return name.size() == entry.Name.size() + 1 + entry.Ext.size() &&
         name.substr(0, entry.Name.size()) == entry.Name && name[entry.Name.size()] == '.' &&
         name.substr(entry.Name.size() + 1) == entry.Ext;
}

} // namespace

TBrowser::TBrowser() = default;

TBrowser::~TBrowser() {
  while (CloseSource()) {
  }
}

std::unique_ptr<TDiskInterface> TBrowser::MakeSource(uint8_t kind, std::string_view root) {
  if (kind == skFolder)
    return std::make_unique<TStandartDiskInterface>(this, root);
  if (kind == skArchive)
    return TARCDiskInterface::Open(this, root);
  return nullptr;
}

bool TBrowser::SetRoot(std::string_view root, uint8_t kind, std::string_view relPath) {
  if (InOperation())
    return false;
  while (CloseSource()) {
  }
  return OpenSource(kind, root, relPath);
}

bool TBrowser::OpenSource(uint8_t kind, std::string_view root, std::string_view relPath) {
  return OpenSource(MakeSource(kind, root), relPath);
}

bool TBrowser::OpenSource(std::unique_ptr<TDiskInterface> source, std::string_view relPath) {
  if (!source || InOperation())
    return false;
  if (Source)
    Source->SavedRelPath = Rel;
  Kind = source->SourceKind;
  Root = source->Root;
  Rel.assign(relPath);
  source->Parent = std::move(Source);
  Source = std::move(source);
  return ReadFolder();
}

bool TBrowser::CloseSource() {
  if (!Source || InOperation())
    return false;
  Source = std::move(Source->Parent);
  if (Source) {
    Root = Source->Root;
    Rel = Source->SavedRelPath;
    Kind = Source->SourceKind;
  } else {
    Root.clear();
    Rel.clear();
    Kind = skFolder;
  }
  return true;
}

bool TBrowser::ReadFolder() {
  if (InOperation())
    return false;
  Entries.clear();
  Entries.shrink_to_fit();
  Total = 0;
  MarkedCount = 0;
  MarkedBytes = 0;
  const bool filter = !Mask.empty() && Mask != "*.*";
  IsAtRoot = Rel.empty() && (!Source || !Source->Parent);
  AddBackslash(Rel);

  std::vector<TFileEntry> read;
  if (!IsAtRoot)
    read.push_back(TFileEntry::MakeUpEntry());
  const size_t first = read.size();
  LastReadError = 0;
  if (Source) {
    TFileEntry entry;
    std::string fullName;
    bool more = Source->FindFirst(Rel, entry);
    LastReadError = more ? 0 : Source->LastError;
    for (; more; more = Source->FindNext(entry)) {
      entry.Attr &= static_cast<uint16_t>(~faUpEntry); // a source never lists ".."
      if (filter && !entry.IsFolder()) {
        fullName = entry.Name;
        if (!entry.Ext.empty()) {
          fullName += '.';
          fullName += entry.Ext;
        }
        if (!corvane::MatchesMask(fullName, Mask))
          continue;
      }
      if ((entry.Attr & faHidden) && !ShowHidden)
        continue;
      Total += entry.Size;
      read.push_back(std::move(entry));
    }
  }
  SortListing(read, first);
  Cursor = Entries.empty() ? 0 : 1;
  return true;
}

void TBrowser::SortListing(std::vector<TFileEntry>& read, size_t first) {
  const size_t count = read.size() - first;
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  if (count > 1 && (SortMode != smReadingOrder || FoldersFirst || ExecutablesFirst)) {
    const size_t keyLength = SortKeyLength(SortMode);
    std::string keys;
    keys.reserve(keyLength * count);
    for (size_t i = 0; i < count; ++i) {
      const TFileEntry& entry = read[first + i];
      AppendSortKey(keys, entry, SortMode, SortClass(entry, FoldersFirst, ExecutablesFirst),
                    static_cast<int64_t>(first + i + 1));
    }
    const char* base = keys.data();
    // Equal keys are rare (long names cut short, names differing only in case); the raw bytes of
    // the full names then decide.
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      const int byKey = std::memcmp(base + a * keyLength, base + b * keyLength, keyLength);
      if (byKey != 0)
        return byKey < 0;
      return read[first + a].EntryName() < read[first + b].EntryName();
    });
  }
  Entries.reserve(read.size());
  for (size_t i = 0; i < first; ++i)
    Entries.push_back(std::move(read[i]));
  for (const uint32_t index : order)
    Entries.push_back(std::move(read[first + index]));
}

bool TBrowser::EnterFolder(int index) {
  if (!ValidIndex(index) || !IsFolder(index) || InOperation())
    return false;
  const TFileEntry& entry = Entries[index - 1];
  if (entry.IsUpEntry())
    return GoUp();
  Rel += entry.EntryName();
  Rel += '\\';
  return ReadFolder();
}

bool TBrowser::GoUp() {
  if (IsAtRoot || InOperation())
    return false;
  if (!Rel.empty()) {
    std::string_view rel = Rel;
    rel.remove_suffix(1); // the trailing "\"
    const size_t slash = rel.rfind('\\');
    const std::string left(slash == std::string_view::npos ? rel : rel.substr(slash + 1));
    Rel.resize(slash == std::string_view::npos ? 0 : slash + 1);
    ReadFolder();
    // The folder just left, by its exact name when it exists, else ignoring ASCII case.
    if (const int exact = FindEntry(left)) {
      Cursor = exact;
    } else {
      for (int i = Count(); i >= 1; --i)
        if (SameTextAscii(Entries[i - 1].EntryName(), left)) {
          Cursor = i;
          break;
        }
    }
    return true;
  }
  std::string archiveName;
  if (Kind == skArchive)
    archiveName = SplitPath(Root).second;
  CloseSource();
  ReadFolder();
  if (!archiveName.empty())
    if (const int index = FindEntry(archiveName))
      Cursor = index;
  return true;
}

bool TBrowser::Refresh() {
  if (InOperation())
    return false;
  std::vector<std::string> marked;
  marked.reserve(static_cast<size_t>(MarkedCount));
  for (const auto& entry : Entries)
    if (entry.Marked)
      marked.push_back(entry.EntryName());
  const std::string cursorName = ValidIndex(Cursor) ? EntryName(Cursor) : std::string("..");

  const bool result = ReadFolder();

  for (int i = Count(); i >= 1; --i)
    if (NameEquals(Entries[i - 1], cursorName)) {
      Cursor = i;
      break;
    }
  // Marks come back by walking the names against the new listing circularly: listings rarely
  // change much, so each name is usually found right after the previous one.
  const int count = Count();
  int start = 1;
  for (const auto& name : marked) {
    for (int tries = 0, i = start; tries < count; ++tries, i = i % count + 1)
      if (NameEquals(Entries[i - 1], name)) {
        ToggleMark(i);
        start = i;
        break;
      }
  }
  return result;
}

bool TBrowser::RenameEntry(int index, std::string_view newName) {
  if (!ValidIndex(index) || Kind != skFolder || InOperation() || newName.empty() ||
      newName.find('\\') != std::string_view::npos || newName == "." || newName == "..")
    return false;
  TFileEntry& entry = Entries[index - 1];
  if (entry.IsUpEntry())
    return false;
  const std::string folder = Root + Rel;
  const auto from = platform::ModelToNative(folder + entry.EntryName());
  const auto to = platform::ModelToNative(folder + std::string(newName));
  if (!from || !to || !platform::RenameNoReplace(*from, *to))
    return false;
  std::tie(entry.Name, entry.Ext) = SplitFileName(newName);
  return true;
}

TFileEntry* TBrowser::GetEntry(int index) {
  return ValidIndex(index) ? &Entries[index - 1] : nullptr;
}

const TFileEntry* TBrowser::GetEntry(int index) const {
  return ValidIndex(index) ? &Entries[index - 1] : nullptr;
}

std::string TBrowser::EntryName(int index) const {
  return ValidIndex(index) ? Entries[index - 1].EntryName() : std::string();
}

bool TBrowser::IsFolder(int index) const {
  return ValidIndex(index) && Entries[index - 1].IsFolder();
}

bool TBrowser::IsMarked(int index) const {
  return ValidIndex(index) && Entries[index - 1].Marked;
}

void TBrowser::ToggleMark(int index) {
  if (!ValidIndex(index))
    return;
  TFileEntry& entry = Entries[index - 1];
  if (entry.IsUpEntry())
    return;
  entry.Marked = !entry.Marked;
  MarkedCount += entry.Marked ? 1 : -1;
  MarkedBytes += entry.Marked ? entry.Size : -entry.Size;
}

int TBrowser::FindEntry(std::string_view name) const {
  for (int i = 1; i <= Count(); ++i)
    if (NameEquals(Entries[i - 1], name))
      return i;
  return 0;
}

int64_t TBrowser::FolderSize(std::string_view relFolder) {
  if (!Source)
    return 0;
  const TOperationScope operation(*this);
  int64_t bytes = 0;
  // Depth first with an explicit stack: each folder's enumeration ends before its sub-folders are
  // walked, as a source allows only one at a time, and deep trees cannot exhaust the call stack.
  std::vector<std::string> pending;
  pending.emplace_back(relFolder);
  AddBackslash(pending.back());
  bool first = true;
  TFileEntry entry;
  while (!pending.empty()) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    if (!first)
      platform::ProcessMessages();
    first = false;
    const size_t firstChild = pending.size();
    for (bool more = Source->FindFirst(folder, entry); more; more = Source->FindNext(entry)) {
      if (entry.IsFolder()) {
        if (entry.IsWalkableFolder() && !IntoPseudoFileSystem(folder + entry.EntryName()))
          pending.push_back(folder + entry.EntryName() + '\\');
      } else {
        bytes += entry.Size;
      }
    }
    // Walk the sub-folders in the order they were found.
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
  }
  return bytes;
}

bool TBrowser::EntryFolderSize(int index) {
  if (!ValidIndex(index) || !IsFolder(index))
    return false;
  // The walk lets waiting messages run: the entry is looked at again only after it.
  const TFileEntry& walked = Entries[index - 1];
  int64_t size = 0;
  if (walked.IsUpEntry())
    size = FolderSize(Rel);
  else if (walked.IsWalkableFolder())
    size = FolderSize(Rel + walked.EntryName());
  TFileEntry& entry = Entries[index - 1];
  if (entry.Marked)
    MarkedBytes += size - entry.Size;
  entry.Size = size;
  return true;
}

int64_t TBrowser::SelectionSize() {
  if (MarkedCount > 0) {
    int64_t bytes = 0;
    for (int i = 1; i <= Count(); ++i) {
      if (!Entries[i - 1].Marked)
        continue;
      if (Entries[i - 1].IsFolder())
        EntryFolderSize(i);
      bytes += Entries[i - 1].Size;
    }
    return bytes;
  }
  if (!ValidIndex(Cursor))
    return 0;
  if (IsFolder(Cursor))
    EntryFolderSize(Cursor);
  return Entries[Cursor - 1].Size;
}

void TBrowser::FindNextMatch(std::string_view mask) {
  const int count = Count();
  for (int step = 1; step < count + (ValidIndex(Cursor) ? 0 : 1); ++step) {
    const int i = ValidIndex(Cursor) ? (Cursor - 1 + step) % count + 1 : step;
    if (corvane::MatchesMask(Entries[i - 1].EntryName(), mask)) {
      Cursor = i;
      return;
    }
  }
}

bool TBrowser::IntoPseudoFileSystem(const std::string& relFolder) const {
  if (Kind != skFolder)
    return false;
  const auto native = platform::ModelToNative(Root + relFolder);
  return native && platform::IsMountPoint(*native) && platform::OnPseudoFileSystem(*native);
}

bool TBrowser::MatchesMask(std::string_view name, std::string_view masks) {
  return corvane::MatchesMask(name, masks);
}

} // namespace corvane
