#include "resources/resource_item.h"

#include "platform/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <stdexcept>

namespace corvane::resources {

namespace {

constexpr std::string_view typeNames[] = {
    "Unknown0", "CursorEntry", "Bitmap", "IconEntry",    "Menu",    "Dialog",
    "String",   "FontDir",     "Font",   "Accelerators", "RCData",  "MessageTable",
    "Cursor",   "Unknown13",   "Icon",   "Unknown15",    "Version",
};

} // namespace

std::string_view ResourceTypeName(uint32_t id) {
  return id < std::size(typeNames) ? typeNames[id] : std::string_view();
}

std::unique_ptr<TResourceItem> MakeResourceItem(int32_t resType, TResourceList& list,
                                                const TDirEntry& entry) {
  switch (resType) {
  case static_cast<int32_t>(TResourceType::rtCursorEntry):
    return std::make_unique<TCursorResEntry>(list, entry);
  case static_cast<int32_t>(TResourceType::rtBitmap):
    return std::make_unique<TBitMapResource>(list, entry);
  case static_cast<int32_t>(TResourceType::rtIconEntry):
    return std::make_unique<TIconResEntry>(list, entry);
  case static_cast<int32_t>(TResourceType::rtMenu):
    return std::make_unique<TMenuResource>(list, entry);
  case static_cast<int32_t>(TResourceType::rtString):
    return std::make_unique<TStringResource>(list, entry);
  case static_cast<int32_t>(TResourceType::rtCursor):
    return std::make_unique<TCursorResource>(list, entry);
  case static_cast<int32_t>(TResourceType::rtIcon):
    return std::make_unique<TIconResource>(list, entry);
  default:
    return std::make_unique<TResourceItem>(list, entry);
  }
}

// ---- TResourceList ----

TResourceList::TResourceList(TExeImage& image, TResourceItem* owner, uint32_t directory,
                             int32_t resType, int level)
    : Owner(image), Parent(owner), DirectoryOffset(directory), Type(resType), ItemLevel(level) {}

TResourceList::~TResourceList() = default;

void TResourceList::EnsureBuilt() {
  if (Built)
    return;
  Built = true;
  Build();
}

size_t TResourceList::Count() {
  EnsureBuilt();
  return Items.size();
}

TResourceItem& TResourceList::Item(size_t index) {
  EnsureBuilt();
  return *Items.at(index);
}

bool TResourceList::Truncated() {
  EnsureBuilt();
  return Cut;
}

const std::vector<TResourceItem*>& TResourceList::WithId(uint32_t id) {
  static const std::vector<TResourceItem*> none;
  EnsureBuilt();
  if (!Indexed) {
    Indexed = true;
    for (TResourceItem* item : Items)
      if (!item->IsNamed())
        ById[item->Id()].push_back(item);
  }
  const auto found = ById.find(id);
  return found == ById.end() ? none : found->second;
}

TResourceItem* TResourceList::KeptType(uint32_t id) {
  EnsureBuilt();
  return id == 1 ? KeptCursor : id == 3 ? KeptIcon : nullptr;
}

void TResourceList::Build() {
  TResourceDirectory& dir = Dir();
  if (!dir.Claim(DirectoryOffset)) {
    Cut = true;
    return;
  }
  const std::vector<TDirEntry> entries = dir.Entries(DirectoryOffset);
  const size_t granted = dir.Grant(entries.size());
  Cut = granted < entries.size();
  for (size_t i = 0; i < granted; ++i) {
    const TDirEntry& entry = entries[i];
    auto item = MakeResourceItem(Type, *this, entry);
    TResourceItem* made = item.get();
    Owned.push_back(std::move(item));
    if (ItemLevel == 1 && !entry.IsNamed() && (entry.Id() == 1 || entry.Id() == 3)) {
      TResourceItem*& kept = entry.Id() == 1 ? KeptCursor : KeptIcon;
      if (!kept)
        kept = made;
      continue;
    }
    Items.push_back(made);
  }
}

TIconResourceList::TIconResourceList(TExeImage& image, TResourceItem& group, uint32_t imageType)
    : TResourceList(image, &group, group.Entry().Target(), static_cast<int32_t>(imageType), 2),
      ImageType(imageType) {}

void TIconResourceList::Build() {
  auto* group = static_cast<TIconResource*>(OwnerItem());
  TResourceItem* type = ImageType == 1 ? Image().CursorType() : Image().IconType();
  if (!type || !type->IsList())
    return;
  TResourceList& images = type->GetResourceList();
  for (const TGroupEntry& entry : group->GroupEntries()) {
    for (TResourceItem* image : images.WithId(entry.ImageId())) {
      if (!Dir().Grant(1)) {
        Cut = true;
        return;
      }
      Items.push_back(image);
      if (auto* icon = dynamic_cast<TIconResEntry*>(image))
        icon->SetGroupEntry(entry);
    }
  }
}

// ---- TResourceItem ----

TResourceItem::~TResourceItem() = default;

std::string TResourceItem::StoredName() const {
  return IsNamed() ? Dir().Name(DirEntry.NameOffset()) : std::string();
}

std::string TResourceItem::GetName() const {
  if (IsNamed())
    return StoredName();
  if (Owner.Level() == 1 && DirEntry.Id() < std::size(typeNames))
    return std::string(ResourceTypeName(DirEntry.Id()));
  return std::to_string(DirEntry.Id());
}

std::string TResourceItem::ResName() const {
  if (IsNamed())
    return StoredName();
  if (Owner.Level() == 1 && DirEntry.Id() < std::size(typeNames))
    return std::string(ResourceTypeName(DirEntry.Id()));
  return "#" + std::to_string(DirEntry.Id());
}

bool TResourceItem::IsList() const {
  // The language level is the last one the tree goes down to.
  if (!DirEntry.IsDirectory() || Owner.Level() >= 2)
    return false;
  TDirEntry first;
  return Dir().FirstEntry(DirEntry.Target(), first) && first.IsDirectory();
}

TResourceList& TResourceItem::GetResourceList() {
  if (!IsList())
    throw EExeError("ResourceItem is not a list");
  if (!Children)
    Children = MakeList();
  return *Children;
}

std::unique_ptr<TResourceList> TResourceItem::MakeList() {
  const int32_t type = Owner.Level() == 1 ? static_cast<int32_t>(DirEntry.Id()) : Owner.ResType();
  return std::make_unique<TResourceList>(Owner.Image(), this, DirEntry.Target(), type,
                                         Owner.Level() + 1);
}

TDataEntry TResourceItem::StoredData() const {
  if (!DirEntry.IsDirectory())
    return Dir().Data(DirEntry.Target());
  TDirEntry first;
  if (Dir().FirstEntry(DirEntry.Target(), first) && !first.IsDirectory())
    return Dir().Data(first.Target());
  return {};
}

uint32_t TResourceItem::Offset() const {
  return IsList() ? DirEntry.Target() : StoredData().Rva;
}

TBytes TResourceItem::RawData() const {
  return IsList() ? TBytes() : StoredData().Bytes;
}

uint32_t TResourceItem::RawSize() const {
  return IsList() ? 0 : StoredData().Size;
}

TBytes TResourceItem::CheckedData() const {
  const TDataEntry data = StoredData();
  if (!data.Present)
    throw EExeError("Resource has no data");
  if (!data.InFile)
    throw EExeError("Resource data lies outside the file");
  return data.Bytes;
}

std::vector<uint8_t> TResourceItem::FileImage() const {
  if (IsList())
    return {};
  const TBytes data = CheckedData();
  return {data.begin(), data.end()};
}

std::optional<std::vector<std::string>> TResourceItem::TextLines() const {
  return std::nullopt;
}

void TResourceItem::SaveToStream(std::ostream& out) const {
  const std::vector<uint8_t> image = FileImage();
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  if (!out)
    throw EExeError("Stream write error");
}

void TResourceItem::SaveToFile(const std::string& nativePath) const {
  const std::vector<uint8_t> image = FileImage();
  const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
  if (!platform::WriteFileAtomically(nativePath, bytes))
    throw EExeError("Cannot create file " + nativePath + ": " + std::strerror(errno));
}

// ---- the typed items ----

std::vector<uint8_t> TBitMapResource::FileImage() const {
  return BitmapFileImage(CheckedData());
}

std::string TIconResEntry::GetName() const {
  if (!Group)
    return TResourceItem::GetName();
  return std::to_string(Group->IconWidth()) + " X " + std::to_string(Group->IconHeight()) + " " +
         std::to_string(Group->ColorCount()) + " Colors";
}

std::vector<uint8_t> TIconResEntry::FileImage() const {
  return IconFileImage(CheckedData(), Group ? &*Group : nullptr);
}

std::string TCursorResEntry::GetName() const {
  const auto& group = GroupEntry();
  if (!group)
    return TResourceItem::GetName();
  const std::string width = std::to_string(group->CursorWidth());
  return width + " X " + width + " " + std::to_string(group->BitCount()) + " Bit(s)";
}

std::vector<uint8_t> TCursorResEntry::FileImage() const {
  const auto& group = GroupEntry();
  return CursorFileImage(CheckedData(), group ? &*group : nullptr);
}

std::optional<TMenuTemplate> TMenuResource::Decode() const {
  return DecodeMenu(CheckedData());
}

std::optional<std::vector<std::string>> TMenuResource::TextLines() const {
  const auto menu = Decode();
  if (!menu)
    return std::nullopt;
  return MenuScriptLines(*menu);
}

std::vector<TResourceString> TStringResource::Strings() const {
  return DecodeStringBlock(CheckedData(), Id());
}

std::optional<std::vector<std::string>> TStringResource::TextLines() const {
  return StringTableLines(Strings());
}

std::vector<TGroupEntry> TIconResource::GroupEntries() const {
  const TDataEntry data = StoredData();
  return ReadGroupDirectory(data.Bytes);
}

std::unique_ptr<TResourceList> TIconResource::MakeList() {
  return std::make_unique<TIconResourceList>(List().Image(), *this, 3);
}

std::unique_ptr<TResourceList> TCursorResource::MakeList() {
  return std::make_unique<TCursorResourceList>(List().Image(), *this);
}

} // namespace corvane::resources
