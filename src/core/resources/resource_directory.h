// TResourceDirectory: checked access to the resource directory of one image, the three-level
// table (type, name, language) that the resource section starts with.
//
// A hostile file can make the directory a graph rather than a tree: an entry may point back at
// its own directory or at any other, and the counts are 16-bit numbers nothing forces to be true.
// So the walk is limited the way the format is: three levels, with the language level holding
// data entries only. Each directory is expanded into a list once per image (Claim), which stops
// cycles and also the blow-up of many entries sharing one directory, and a budget (Grant) bounds
// the number of items one image can make. Counts are cut to the entries that lie inside the file,
// and names longer than MaxNameUnits are cut.
#pragma once

#include "resources/byte_reader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace corvane::resources {

class TExeImage;

// One 8-byte directory entry.
struct TDirEntry {
  uint32_t NameField = 0; // top bit set: offset of a name; otherwise an id
  uint32_t DataField = 0; // top bit set: offset of a sub-directory; otherwise of a data entry

  bool IsNamed() const { return (NameField & 0x80000000u) != 0; }
  uint32_t Id() const { return NameField; }
  uint32_t NameOffset() const { return NameField & 0x7FFFFFFFu; }
  bool IsDirectory() const { return (DataField & 0x80000000u) != 0; }
  uint32_t Target() const { return DataField & 0x7FFFFFFFu; }
};

// A data entry: where a resource's bytes are and how many there are.
struct TDataEntry {
  bool Present = false; // the entry itself could be read
  uint32_t Rva = 0;
  uint32_t Size = 0;
  bool InFile = false; // all Size bytes lie inside the file
  TBytes Bytes;        // the Size bytes when InFile, otherwise empty
};

// A type, name or language as the directory gives it: a number or a name.
struct TResourceName {
  bool Named = false;
  uint32_t Id = 0;
  std::string Name; // UTF-8; empty for a name that lies outside the file
};

// One resource in one language, as a raw walk meets it.
struct TResourceLeaf {
  TResourceName Type, Name, Language;
  TDataEntry Data;
};

class TResourceDirectory final {
public:
  static constexpr size_t MaxNameUnits = 1024;
  // Items (and group members) one image may make, and leaves one raw walk may visit. Real files
  // have a few thousand resources.
  static constexpr size_t MaxItems = size_t{1} << 18;
  static constexpr size_t MaxLeaves = size_t{1} << 20;

  // `root` is the file offset of the resource section's raw data.
  TResourceDirectory(const TExeImage& image, uint64_t root);

  // The entries of the directory at `offset` (from the root), named ones first, as many as the
  // counts give and the file holds.
  std::vector<TDirEntry> Entries(uint32_t offset) const;
  // Its first entry, if it has one.
  bool FirstEntry(uint32_t offset, TDirEntry& entry) const;
  TDataEntry Data(uint32_t offset) const;
  // The stored name at an offset from the root (16-bit length, UTF-16 characters) in UTF-8.
  std::string Name(uint32_t offset) const;
  TResourceName NameOf(const TDirEntry& entry) const;

  // True the first time a directory is claimed for a list, false after that.
  bool Claim(uint32_t offset);
  // How many of `wanted` new items the image may still make; those are taken from the budget.
  size_t Grant(size_t wanted);

  // Visits every leaf of the three-level tree in directory order, until the visitor returns false.
  // A data entry above the language level or a directory below it is not a leaf of a sound tree
  // and is passed over; a directory met twice is walked once.
  void WalkLeaves(const std::function<bool(const TResourceLeaf&)>& visit) const;

private:
  const TExeImage& Image;
  TBytes File;
  uint64_t Root;
  std::unordered_set<uint32_t> Claimed;
  size_t ItemsLeft = MaxItems;
};

} // namespace corvane::resources
