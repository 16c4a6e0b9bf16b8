// The attribute bits of files on FAT volumes (sticks, memory cards, floppies), which keep the
// read-only, hidden, system and archive bits themselves. The kernel reads and sets them through
// the FAT ioctls; everywhere else the stored attribute of file_attributes.h stands in.
//
// The layer is one replaceable object so that tests can check the mapping where no FAT volume
// can be mounted.
#pragma once

#include <cstdint>

namespace corvane::platform {

class TFatAttributeLayer {
public:
  virtual ~TFatAttributeLayer() = default;
  // Whether the open file or folder lives on a FAT file system.
  virtual bool IsFat(int fd) = 0;
  virtual bool Get(int fd, uint32_t& attr) = 0;
  virtual bool Set(int fd, uint32_t attr) = 0;

  static TFatAttributeLayer& Current();
  // Puts in another layer (nullptr: the kernel's again); the caller keeps it alive meanwhile.
  static void Replace(TFatAttributeLayer* layer);
};

// The FAT bits of a name inside an open folder, or false when they cannot be read.
bool ReadFatAttributesAt(int dirFd, const char* name, uint16_t& attr);

} // namespace corvane::platform
