#include "zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

namespace corvane::test {
namespace {

void Put16(std::string& out, uint64_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
void Put32(std::string& out, uint64_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, (value >> 16) & 0xFFFF);
}
void Put64(std::string& out, uint64_t value) {
  Put32(out, value & 0xFFFFFFFF);
  Put32(out, value >> 32);
}

uint32_t Crc32(std::string_view data) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::string Deflate(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END)
    throw std::runtime_error("deflate");
  return out;
}

// Traditional PKWARE encryption as published; the key update is a CRC-32 step of one byte.
class TCipher {
public:
  explicit TCipher(std::string_view password) {
    for (char c : password)
      Update(static_cast<uint8_t>(c));
  }
  char Encrypt(char plain) {
    const uint32_t t = (Key2 | 2) & 0xFFFF;
    const auto mask = static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    Update(static_cast<uint8_t>(plain));
    return static_cast<char>(static_cast<uint8_t>(plain) ^ mask);
  }

private:
  static uint32_t CrcStep(uint32_t key, uint8_t byte) {
    return ~static_cast<uint32_t>(crc32(~key & 0xFFFFFFFFu, &byte, 1));
  }
  void Update(uint8_t plain) {
    Key0 = CrcStep(Key0, plain);
    Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
    Key2 = CrcStep(Key2, static_cast<uint8_t>(Key1 >> 24));
  }
  uint32_t Key0 = 0x12345678;
  uint32_t Key1 = 0x23456789;
  uint32_t Key2 = 0x34567890;
};

// One item as it ends up in the archive.
struct TWritten {
  uint32_t Crc = 0;
  uint64_t Size = 0;
  uint64_t PackedSize = 0;
  uint64_t Offset = 0;
  uint16_t Flags = 0;
};

std::string Zip64Extra(std::initializer_list<uint64_t> values) {
  std::string extra;
  Put16(extra, 0x0001);
  Put16(extra, values.size() * 8);
  for (uint64_t value : values)
    Put64(extra, value);
  return extra;
}

} // namespace

namespace {
template <typename Field, typename Value>
TZipItem Changed(const TZipItem& from, Field TZipItem::*field, Value value) {
  TZipItem item = from;
  item.*field = std::move(value);
  return item;
}
} // namespace

TZipItem TZipItem::WithPassword(std::string password) const {
  return Changed(*this, &TZipItem::Password, std::move(password));
}
TZipItem TZipItem::WithTime(uint32_t dosTime) const {
  return Changed(*this, &TZipItem::DosTime, dosTime);
}
TZipItem TZipItem::WithHost(uint8_t host) const {
  return Changed(*this, &TZipItem::Host, host);
}
TZipItem TZipItem::WithAttributes(uint32_t attributes) const {
  return Changed(*this, &TZipItem::Attributes, attributes);
}
TZipItem TZipItem::WithUnixMode(uint32_t mode) const {
  return WithHost(zipHostUnix).WithAttributes(UnixAttributes(mode));
}
TZipItem TZipItem::WithFlags(uint16_t flags) const {
  return Changed(*this, &TZipItem::Flags, flags);
}
TZipItem TZipItem::WithDataDescriptor() const {
  return Changed(*this, &TZipItem::DataDescriptor, true);
}
TZipItem TZipItem::WithZip64() const {
  return Changed(*this, &TZipItem::Zip64, true);
}
TZipItem TZipItem::WithExtra(std::string extra) const {
  return Changed(*this, &TZipItem::Extra, std::move(extra));
}
TZipItem TZipItem::WithStatedSize(uint64_t size) const {
  return Changed(*this, &TZipItem::StatedSize, size);
}
TZipItem TZipItem::WithStatedPackedSize(uint64_t size) const {
  return Changed(*this, &TZipItem::StatedPackedSize, size);
}
TZipItem TZipItem::WithStatedCrc(uint32_t crc) const {
  return Changed(*this, &TZipItem::StatedCrc, crc);
}
TZipItem TZipItem::WithLocalMethod(uint16_t method) const {
  return Changed(*this, &TZipItem::LocalMethod, method);
}

std::string ExeStub(size_t size) {
  std::string stub = "MZ";
  stub.resize(std::max<size_t>(size, 2), '\0');
  return stub;
}

std::string UnicodePathExtra(std::string_view rawName, std::string_view utf8Name) {
  std::string extra;
  Put16(extra, 0x7075);
  Put16(extra, 5 + utf8Name.size());
  extra.push_back(1);
  Put32(extra, Crc32(rawName));
  extra.append(utf8Name);
  return extra;
}

std::string BuildZip(const TZipArchive& archive) {
  std::string out = archive.Stub;
  const uint64_t base = archive.OffsetsIncludeStub ? 0 : archive.Stub.size();
  std::vector<TWritten> written;

  for (const TZipItem& item : archive.Items) {
    TWritten w;
    const uint32_t crc = Crc32(item.Data);
    std::string packed = item.Method == zipDeflate ? Deflate(item.Data) : item.Data;
    w.Flags = item.Flags;
    if (item.DataDescriptor)
      w.Flags |= 0x0008;
    if (!item.Password.empty()) {
      w.Flags |= 0x0001;
      std::string header;
      uint32_t seed = crc ^ static_cast<uint32_t>(item.Name.size() * 2654435761u);
      for (int i = 0; i < 11; ++i) {
        seed = seed * 1103515245u + 12345u;
        header.push_back(static_cast<char>(seed >> 24));
      }
      header.push_back(
          static_cast<char>(item.DataDescriptor ? (item.DosTime >> 8) & 0xFF : crc >> 24));
      TCipher cipher(item.Password);
      packed = header + packed;
      for (char& c : packed)
        c = cipher.Encrypt(c);
    }
    w.Crc = item.StatedCrc.value_or(crc);
    w.Size = item.StatedSize.value_or(item.Data.size());
    w.PackedSize = item.StatedPackedSize.value_or(packed.size());
    w.Offset = out.size() - base;

    const bool descriptor = item.DataDescriptor;
    std::string extra = item.Zip64
                            ? Zip64Extra({descriptor ? 0 : w.Size, descriptor ? 0 : w.PackedSize})
                            : std::string();
    extra += item.Extra;
    Put32(out, 0x04034b50);
    Put16(out, item.Zip64 ? 45 : 20);
    Put16(out, w.Flags);
    Put16(out, item.LocalMethod.value_or(item.Method));
    Put32(out, item.DosTime);
    Put32(out, descriptor ? 0 : w.Crc);
    Put32(out, item.Zip64 ? 0xFFFFFFFF : descriptor ? 0 : w.PackedSize);
    Put32(out, item.Zip64 ? 0xFFFFFFFF : descriptor ? 0 : w.Size);
    Put16(out, item.Name.size());
    Put16(out, extra.size());
    out += item.Name;
    out += extra;
    out += packed;
    if (descriptor) {
      Put32(out, 0x08074b50);
      Put32(out, w.Crc);
      if (item.Zip64) {
        Put64(out, w.PackedSize);
        Put64(out, w.Size);
      } else {
        Put32(out, w.PackedSize);
        Put32(out, w.Size);
      }
    }
    written.push_back(w);
  }

  const uint64_t directoryStart = out.size();
  for (size_t i = 0; i < archive.Items.size(); ++i) {
    const TZipItem& item = archive.Items[i];
    const TWritten& w = written[i];
    std::string extra = item.Zip64 ? Zip64Extra({w.Size, w.PackedSize, w.Offset}) : std::string();
    extra += item.Extra;
    Put32(out, 0x02014b50);
    Put16(out, static_cast<uint16_t>(item.Host) << 8 | (item.Zip64 ? 45 : 20));
    Put16(out, item.Zip64 ? 45 : 20);
    Put16(out, w.Flags);
    Put16(out, item.Method);
    Put32(out, item.DosTime);
    Put32(out, w.Crc);
    Put32(out, item.Zip64 ? 0xFFFFFFFF : w.PackedSize);
    Put32(out, item.Zip64 ? 0xFFFFFFFF : w.Size);
    Put16(out, item.Name.size());
    Put16(out, extra.size());
    Put16(out, 0); // comment
    Put16(out, 0); // disk
    Put16(out, 0); // internal attributes
    Put32(out, item.Attributes);
    Put32(out, item.Zip64 ? 0xFFFFFFFF : w.Offset);
    out += item.Name;
    out += extra;
  }

  const uint64_t count = archive.StatedCount.value_or(archive.Items.size());
  const uint64_t directorySize = archive.StatedDirectorySize.value_or(out.size() - directoryStart);
  const uint64_t directoryOffset = archive.StatedDirectoryOffset.value_or(directoryStart - base);
  if (archive.Zip64End) {
    const uint64_t recordOffset = out.size() - base;
    Put32(out, 0x06064b50);
    Put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, count);
    Put64(out, count);
    Put64(out, directorySize);
    Put64(out, directoryOffset);
    Put32(out, 0x07064b50);
    Put32(out, 0);
    Put64(out, recordOffset);
    Put32(out, 1);
  }
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, archive.Zip64End ? 0xFFFF : count);
  Put16(out, archive.Zip64End ? 0xFFFF : count);
  Put32(out, archive.Zip64End ? 0xFFFFFFFF : directorySize);
  Put32(out, archive.Zip64End ? 0xFFFFFFFF : directoryOffset);
  Put16(out, archive.Comment.size());
  out += archive.Comment;
  return out;
}

} // namespace corvane::test
