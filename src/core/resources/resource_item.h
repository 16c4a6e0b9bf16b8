// The resource tree of a TExeImage: lists of items, made on first access, each item an entry of
// the resource directory with the behaviour of its resource type.
//
// The tree shows two of the directory's three levels. The root list holds the resource types;
// the list of a type holds its resources; the language level below is not shown, and a
// resource's data is that of its first language. Icon and cursor images (types 3 and 1) are left
// out of the root list: they are reached through the groups (types 14 and 12) that list them,
// and take their display names from the group entry.
//
// Core hands out bytes and plain structures, never pictures or widgets: a picture item gives its
// complete file image (.bmp, .ico, .cur) for the window to load, menus and string tables give
// their text lines, and dialog and version resources are decoded by dialog_template.h and
// version_info.h from RawData(). Items are owned by their lists and lists by their item (the
// root list by the image), so everything goes when the TExeImage goes.
#pragma once

#include "resources/exe_image.h"
#include "resources/menu_template.h"
#include "resources/picture_files.h"
#include "resources/resource_directory.h"
#include "resources/string_table.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane::resources {

// The standard resource types 0 to 16.
enum class TResourceType {
  rtUnknown0,
  rtCursorEntry,
  rtBitmap,
  rtIconEntry,
  rtMenu,
  rtDialog,
  rtString,
  rtFontDir,
  rtFont,
  rtAccelerators,
  rtRCData,
  rtMessageTable,
  rtCursor,
  rtUnknown13,
  rtIcon,
  rtUnknown15,
  rtVersion,
};

// The name of a standard type without its "rt" prefix ("Bitmap" for 2); empty above 16.
std::string_view ResourceTypeName(uint32_t id);

class TResourceItem;

class TResourceList {
public:
  // `level` is that of the items: 1 for the types (root list), 2 for the resources.
  TResourceList(TExeImage& image, TResourceItem* owner, uint32_t directory, int32_t resType,
                int level);
  virtual ~TResourceList();
  TResourceList(const TResourceList&) = delete;
  TResourceList& operator=(const TResourceList&) = delete;

  size_t Count();
  TResourceItem& Item(size_t index); // throws std::out_of_range past Count()

  // The type that chose the class of the items: 0 for the root list, the type's id for the list
  // of a type (a named type gives a negative value, which chooses the base class).
  int32_t ResType() const { return Type; }
  uint32_t Directory() const { return DirectoryOffset; }
  int Level() const { return ItemLevel; }
  TExeImage& Image() const { return Owner; }
  TResourceItem* OwnerItem() const { return Parent; }
  // True when the reader's limits (resource_directory.h) left entries out, or when the directory
  // had already been listed elsewhere in the tree and so lists nothing here.
  bool Truncated();

  // The items with the numeric id `id`, in list order (the groups look their images up so).
  const std::vector<TResourceItem*>& WithId(uint32_t id);
  // Root list only: the type item of type 1 or 3 kept out of the items, or nullptr.
  TResourceItem* KeptType(uint32_t id);

protected:
  virtual void Build();
  TResourceDirectory& Dir() const { return *Owner.Directory(); }

  std::vector<TResourceItem*> Items;
  bool Cut = false;

private:
  void EnsureBuilt();

  TExeImage& Owner;
  TResourceItem* Parent;
  uint32_t DirectoryOffset;
  int32_t Type;
  int ItemLevel;
  bool Built = false;
  std::vector<std::unique_ptr<TResourceItem>> Owned;
  TResourceItem* KeptCursor = nullptr;
  TResourceItem* KeptIcon = nullptr;
  std::unordered_map<uint32_t, std::vector<TResourceItem*>> ById;
  bool Indexed = false;
};

// The images of an icon group (TCursorResourceList: of a cursor group): for each group entry in
// order, every item of the image type's list with the entry's image id. The items stay owned by
// that list; each one found gets the entry as its GroupEntry.
class TIconResourceList : public TResourceList {
public:
  TIconResourceList(TExeImage& image, TResourceItem& group, uint32_t imageType);

protected:
  void Build() override;

private:
  uint32_t ImageType;
};

class TCursorResourceList final : public TIconResourceList {
public:
  TCursorResourceList(TExeImage& image, TResourceItem& group)
      : TIconResourceList(image, group, 1) {}
};

class TResourceItem {
public:
  TResourceItem(TResourceList& list, const TDirEntry& entry) : Owner(list), DirEntry(entry) {}
  virtual ~TResourceItem();
  TResourceItem(const TResourceItem&) = delete;
  TResourceItem& operator=(const TResourceItem&) = delete;

  // The display name: a standard type's name for a type item, the stored name of a named item,
  // otherwise the id in decimal.
  virtual std::string GetName() const;
  // The child list, made once; throws EExeError "ResourceItem is not a list" when IsList() is
  // false.
  virtual TResourceList& GetResourceList();
  // True for a type item whose resources sit in a directory of their own, and for icon and
  // cursor groups; a resource (whose languages are not shown) is never a list.
  virtual bool IsList() const;
  // The item in its file form: the raw data for most types. Throws EExeError when the data is
  // missing or lies outside the file; a list gives nothing.
  virtual std::vector<uint8_t> FileImage() const;
  // The item as text lines (string tables and menus), or nullopt when it has no text form.
  virtual std::optional<std::vector<std::string>> TextLines() const;

  // FileImage() written to a stream (EExeError "Stream write error" when that fails) or to a file
  // at a native path, which is replaced in one step.
  void SaveToStream(std::ostream& out) const;
  void SaveToFile(const std::string& nativePath) const;

  // The name by which the module's loader would find the resource: a standard type's name for a
  // type item with id 0 to 16, the stored name of a named item, otherwise "#" and the id.
  std::string ResName() const;
  int32_t ResType() const { return Owner.ResType(); }
  // A list's sub-directory offset; otherwise the data's relative virtual address.
  uint32_t Offset() const;
  // The data of a non-list item (empty when it lies outside the file) and its stored size.
  TBytes RawData() const;
  uint32_t RawSize() const;

  bool IsNamed() const { return DirEntry.IsNamed(); }
  uint32_t Id() const { return IsNamed() ? 0 : DirEntry.Id(); }
  std::string StoredName() const;
  const TDirEntry& Entry() const { return DirEntry; }
  TResourceList& List() const { return Owner; }
  // The data entry the item stands for, list or not: its own entry's, or that of its first
  // language.
  TDataEntry StoredData() const;

protected:
  TResourceDirectory& Dir() const { return *Owner.Image().Directory(); }
  // StoredData()'s bytes, or EExeError when there are none to give.
  TBytes CheckedData() const;
  virtual std::unique_ptr<TResourceList> MakeList();

private:
  TResourceList& Owner;
  TDirEntry DirEntry;
  std::unique_ptr<TResourceList> Children;
};

// Type 2.
class TBitMapResource final : public TResourceItem {
public:
  using TResourceItem::TResourceItem;
  std::vector<uint8_t> FileImage() const override; // BitmapFileImage()
};

// Type 3: one icon image.
class TIconResEntry : public TResourceItem {
public:
  using TResourceItem::TResourceItem;
  // "32 X 32 16 Colors" from the group entry; the id without one.
  std::string GetName() const override;
  std::vector<uint8_t> FileImage() const override; // IconFileImage()
  // The entry of the last group listed that lists this image.
  const std::optional<TGroupEntry>& GroupEntry() const { return Group; }
  void SetGroupEntry(const TGroupEntry& entry) { Group = entry; }

private:
  std::optional<TGroupEntry> Group;
};

// Type 1: one cursor image.
class TCursorResEntry final : public TIconResEntry {
public:
  using TIconResEntry::TIconResEntry;
  // "32 X 32 1 Bit(s)": the entry's width twice (its stored height counts the mask too) and its
  // bit count.
  std::string GetName() const override;
  std::vector<uint8_t> FileImage() const override; // CursorFileImage()
};

// Type 4.
class TMenuResource final : public TResourceItem {
public:
  using TResourceItem::TResourceItem;
  // Menu-script lines (MenuScriptLines); nullopt for an extended template.
  std::optional<std::vector<std::string>> TextLines() const override;
  std::optional<TMenuTemplate> Decode() const;
};

// Type 6.
class TStringResource final : public TResourceItem {
public:
  using TResourceItem::TResourceItem;
  // One line per string (StringTableLines).
  std::optional<std::vector<std::string>> TextLines() const override;
  // The block's strings; a named block counts as block 0.
  std::vector<TResourceString> Strings() const;
};

// Type 14: an icon group, always a list of its images.
class TIconResource : public TResourceItem {
public:
  using TResourceItem::TResourceItem;
  bool IsList() const override { return true; }
  std::vector<TGroupEntry> GroupEntries() const;

protected:
  std::unique_ptr<TResourceList> MakeList() override;
};

// Type 12: a cursor group.
class TCursorResource final : public TIconResource {
public:
  using TIconResource::TIconResource;

protected:
  std::unique_ptr<TResourceList> MakeList() override;
};

// The item for an entry of a list of type `resType`: the class of the standard type for 0 to 16,
// TResourceItem for others.
std::unique_ptr<TResourceItem> MakeResourceItem(int32_t resType, TResourceList& list,
                                                const TDirEntry& entry);

} // namespace corvane::resources
