// ZIP archives made in memory for tests: well-formed ones in the variants the readers must know
// (stored and deflated data, traditional encryption, data descriptors, zip64 fields, names from
// several hosts, self-extractors), and hostile ones whose headers lie through the Stated... fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::test {

// "Made by" hosts.
inline constexpr uint8_t zipHostDos = 0;
inline constexpr uint8_t zipHostUnix = 3;
inline constexpr uint8_t zipHostNtfs = 11;

inline constexpr uint16_t zipStore = 0;
inline constexpr uint16_t zipDeflate = 8;

// General purpose flag: the name is UTF-8.
inline constexpr uint16_t zipFlagUtf8 = 0x0800;

struct TZipItem {
  TZipItem() = default;
  TZipItem(std::string name, std::string data, uint16_t method = zipStore)
      : Name(std::move(name)), Data(std::move(data)), Method(method) {}

  std::string Name; // the stored bytes
  // The contents. For methods other than store and deflate: the packed bytes, stored as they are.
  std::string Data;
  uint16_t Method = zipStore;
  std::string Password;          // traditional encryption when not empty
  uint32_t DosTime = 0x5A8B6000; // date << 16 | time: 2025-04-11 12:00:00
  uint8_t Host = zipHostDos;
  uint32_t Attributes = 0; // external: DOS attributes in the low byte, a Unix mode in the high half
  uint16_t Flags = 0;      // general purpose bits beyond encryption and data descriptor
  bool DataDescriptor = false;
  bool Zip64 = false; // sizes and offset as 0xFFFFFFFF, the values in the zip64 extra field
  std::string Extra;  // further extra fields, in both headers
  // Lies, written instead of the true values in both headers.
  std::optional<uint64_t> StatedSize;
  std::optional<uint64_t> StatedPackedSize;
  std::optional<uint32_t> StatedCrc;
  std::optional<uint16_t> LocalMethod; // in the local header only

  // Copies with one field changed, for tables of items.
  [[nodiscard]] TZipItem WithPassword(std::string password) const;
  [[nodiscard]] TZipItem WithTime(uint32_t dosTime) const;
  [[nodiscard]] TZipItem WithHost(uint8_t host) const;
  [[nodiscard]] TZipItem WithAttributes(uint32_t attributes) const;
  // Made on Unix with this mode (type bits included).
  [[nodiscard]] TZipItem WithUnixMode(uint32_t mode) const;
  [[nodiscard]] TZipItem WithFlags(uint16_t flags) const;
  [[nodiscard]] TZipItem WithDataDescriptor() const;
  [[nodiscard]] TZipItem WithZip64() const;
  [[nodiscard]] TZipItem WithExtra(std::string extra) const;
  [[nodiscard]] TZipItem WithStatedSize(uint64_t size) const;
  [[nodiscard]] TZipItem WithStatedPackedSize(uint64_t size) const;
  [[nodiscard]] TZipItem WithStatedCrc(uint32_t crc) const;
  [[nodiscard]] TZipItem WithLocalMethod(uint16_t method) const;
};

struct TZipArchive {
  TZipArchive() = default;
  explicit TZipArchive(std::vector<TZipItem> items) : Items(std::move(items)) {}

  std::vector<TZipItem> Items;
  std::string Comment;
  // Bytes before the archive, as in a self-extractor. Its offsets count from the archive's own
  // start unless OffsetsIncludeStub (the self-extractor's maker adjusted them).
  std::string Stub;
  bool OffsetsIncludeStub = false;
  // The zip64 end record and locator, with the plain end record's fields at their maximum.
  bool Zip64End = false;
  // Lies in the end record (the zip64 one when there is one).
  std::optional<uint64_t> StatedCount;
  std::optional<uint64_t> StatedDirectorySize;
  std::optional<uint64_t> StatedDirectoryOffset;
};

std::string BuildZip(const TZipArchive& archive);

// An executable-like stub of `size` bytes (at least 2): "MZ" and padding.
std::string ExeStub(size_t size);

// External attributes of a Unix mode (the item's Host should then be zipHostUnix).
inline uint32_t UnixAttributes(uint32_t mode) {
  return mode << 16;
}

// The Unicode path extra field that gives a UTF-8 name for the stored name `rawName`.
std::string UnicodePathExtra(std::string_view rawName, std::string_view utf8Name);

} // namespace corvane::test
