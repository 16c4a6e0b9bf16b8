// TByteSource: random access to the bytes of an archive, from a file or from memory. Every reader
// works through it, so the same code reads files on disk and the fuzzers' inputs.
#pragma once

#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::archive {

class TByteSource {
public:
  virtual ~TByteSource() = default;
  // Reads up to count bytes at offset; fewer only at the end of the source. Returns the number
  // read, or -1 on a read error.
  virtual ptrdiff_t ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
  virtual uint64_t Size() const = 0;

  // Exactly count bytes at offset, or false (past the end, or a read error).
  bool ReadExact(uint64_t offset, void* buffer, size_t count);
};

class TFileByteSource final : public TByteSource {
public:
  // Opens a native path read-only; Valid() is false when that failed (errno set).
  explicit TFileByteSource(const std::string& nativePath);
  bool Valid() const { return Fd.Valid(); }
  int Descriptor() const { return Fd.Get(); }

  ptrdiff_t ReadAt(uint64_t offset, void* buffer, size_t count) override;
  uint64_t Size() const override { return FileSize; }

private:
  platform::TUniqueFd Fd;
  uint64_t FileSize = 0;
};

class TMemoryByteSource final : public TByteSource {
public:
  TMemoryByteSource(const void* data, size_t size)
      : Data(static_cast<const uint8_t*>(data)), DataSize(size) {}
  ptrdiff_t ReadAt(uint64_t offset, void* buffer, size_t count) override;
  uint64_t Size() const override { return DataSize; }

private:
  const uint8_t* Data;
  size_t DataSize;
};

// Little-endian fields of headers.
inline uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Le64(const uint8_t* p) {
  return static_cast<uint64_t>(Le32(p)) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
}

} // namespace corvane::archive
