// TExeImage: the resources of a 32- or 64-bit Windows executable or library, read without running
// anything from it.
//
// The image holds the whole file in memory (read once at creation) and checks only the headers
// then; the resource tree (resource_item.h) is built item by item as it is asked for, so opening a
// large library costs one read and the header checks. The file is read into memory rather than
// mapped because other programs may write it while it is shown: a mapped file that another
// program truncates kills the reader with SIGBUS, a copy cannot.
//
// Nothing read from the file is trusted. The PE headers are found through the offset at 0x3C and
// the optional header's own size field (so 64-bit images work), every section and directory is
// checked against the file size, and data addresses are turned into file offsets through the
// section table with overflow-safe arithmetic (resource_directory.h has the rest of the rules).
#pragma once

#include "resources/resource_directory.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::resources {

class TResourceList;
class TResourceItem;

// The reader's exception; its text is meant for the user.
class EExeError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Values of TExeImage::ResourceStatus().
inline constexpr int rsReady = 0;
inline constexpr int rsNotPE = 2;
inline constexpr int rsNoResources = 3;

// One entry of the section table.
struct TSection {
  std::string Name; // up to 8 characters, as stored
  uint32_t VirtualSize = 0;
  uint32_t VirtualAddress = 0;
  uint32_t RawSize = 0;
  uint32_t RawPosition = 0;
};

class TExeImage final {
public:
  // Files larger than this are refused ("MapViewOfFile failed"): the offsets inside a PE file are
  // 32-bit, and the whole file is held in memory.
  static constexpr uint64_t MaxFileSize = uint64_t{1} << 30;

  // Reads the file at a native path. Throws EExeError with the texts of the component: "Couldn't
  // open: " + name (missing, unreadable, or not a regular file), "CreateFileMapping failed" (an
  // empty file), "MapViewOfFile failed" (a read error or a file above MaxFileSize),
  // "unrecognized file format" (no "MZ" at the start).
  explicit TExeImage(const std::string& fileName);
  // The same checks over bytes already in memory (the fuzzer's input, for instance); the name is
  // only kept for FileName().
  TExeImage(std::vector<uint8_t> bytes, const std::string& fileName);
  ~TExeImage();
  TExeImage(const TExeImage&) = delete;
  TExeImage& operator=(const TExeImage&) = delete;

  const std::string& FileName() const { return Name; }
  // rsReady, rsNotPE (no PE headers, or headers that do not fit the file: nothing else can be
  // read) or rsNoResources (after Resources() found no section ".rsrc").
  int ResourceStatus() const { return Status; }

  // The root list of resource types, built on first use; nullptr when ResourceStatus() is rsNotPE
  // or becomes rsNoResources.
  TResourceList* Resources();
  // The type items of the icon images (type 3) and cursor images (type 1), which the root list
  // leaves out: their images are reached through the icon and cursor groups. nullptr when the file
  // has no such type.
  TResourceItem* IconType();
  TResourceItem* CursorType();

  // The resource section's directory, for the lists, the items and raw walks over every leaf
  // (cvres); nullptr until Resources() has found the section.
  TResourceDirectory* Directory() { return ResourceDir.get(); }

  // The file as read, its sections (those whose header lies inside the file) and whether it is a
  // 64-bit (PE32+) image.
  TBytes Bytes() const { return Data; }
  const std::vector<TSection>& Sections() const { return SectionTable; }
  bool Is64Bit() const { return Pe32Plus; }

  // Where `size` bytes at a relative virtual address lie in the file: through the section that
  // holds the address (or, for an address no section claims, through the resource section as the
  // address arithmetic of the format implies); false when they would not lie inside the file.
  bool RvaToOffset(uint32_t rva, uint32_t size, uint64_t& offset) const;

private:
  void CheckHeaders();

  std::string Name;
  std::vector<uint8_t> Data;
  int Status = rsReady;
  bool Pe32Plus = false;
  std::vector<TSection> SectionTable;
  const TSection* ResourceSection = nullptr;
  std::unique_ptr<TResourceDirectory> ResourceDir;
  std::unique_ptr<TResourceList> Root;
};

} // namespace corvane::resources
