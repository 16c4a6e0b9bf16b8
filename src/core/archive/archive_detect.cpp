#include "archive/archive_detect.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace corvane::archive {

namespace {

// Enough for the longest header and for the lines before the "begin" line of an encoded file.
constexpr size_t HeadSize = 65536;
// Self-extracting executables carry their stub first; stubs are far smaller than this.
constexpr uint64_t ExecutableScanLimit = 4 << 20;

bool StartsWith(const uint8_t* p, size_t available, const char* signature, size_t length) {
  return available >= length && std::memcmp(p, signature, length) == 0;
}

bool IsRarSignature(const uint8_t* p, size_t available) {
  return StartsWith(p, available, "Rar!\x1A\x07\x00", 7) ||
         StartsWith(p, available, "Rar!\x1A\x07\x01\x00", 8);
}

bool IsZooHeader(const uint8_t* p, size_t available) {
  return available >= 24 && std::memcmp(p, "ZOO ", 4) == 0 && Le32(p + 20) == 0xFDC4A7DCu;
}

bool IsCabHeader(const uint8_t* p, size_t available) {
  return available >= 26 && std::memcmp(p, "MSCF\0\0\0\0", 8) == 0 && p[24] == 3 && p[25] == 1;
}

bool IsGzipHeader(const uint8_t* p, size_t available) {
  return available >= 10 && p[0] == 0x1F && p[1] == 0x8B && p[2] == 8 && (p[3] & 0xE0) == 0;
}

bool IsHaHeader(const uint8_t* p, size_t available) {
  if (available < 5 || p[0] != 'H' || p[1] != 'A' || Le16(p + 2) == 0)
    return false;
  const int method = p[4] & 0x0F;
  return (p[4] >> 4) <= 2 && (method <= 2 || method == 14);
}

// The end of a ZIP directory within the last zipCmntBufSize + 23 bytes, checked for sizes that
// fit the file.
bool HasZipEnd(TByteSource& source, int zipCmntBufSize) {
  const uint64_t size = source.Size();
  if (size < 22)
    return false;
  const uint64_t window =
      std::min<uint64_t>(size, static_cast<uint64_t>(std::max(zipCmntBufSize, 0)) + 23);
  std::vector<uint8_t> tail(window);
  if (!source.ReadExact(size - window, tail.data(), window))
    return false;
  for (size_t i = window - 22 + 1; i-- > 0;) {
    const uint8_t* p = tail.data() + i;
    if (p[0] != 'P' || p[1] != 'K' || p[2] != 5 || p[3] != 6)
      continue;
    const uint64_t at = size - window + i;
    const uint64_t directorySize = Le32(p + 12);
    const uint64_t commentSize = Le16(p + 20);
    // The comment reaches the end of the file (a little slack for padded transfers), and the
    // directory lies before the end record.
    if (at + 22 + commentSize > size || directorySize > at)
      continue;
    return true;
  }
  return false;
}

bool IsUuBeginLine(const char* line, size_t length) {
  if (length < 10 || std::strncmp(line, "begin ", 6) != 0)
    return false;
  size_t i = 6;
  size_t digits = 0;
  while (i < length && line[i] >= '0' && line[i] <= '7') {
    ++i;
    ++digits;
  }
  return digits >= 3 && digits <= 4 && i < length && line[i] == ' ' && i + 1 < length &&
         line[i + 1] != '\r' && line[i + 1] != '\n';
}

bool HasBeginLine(const uint8_t* p, size_t available, int maxHeaderLines) {
  const char* text = reinterpret_cast<const char*>(p);
  size_t start = 0;
  for (int line = 0; line < maxHeaderLines && start < available; ++line) {
    const void* newline = std::memchr(text + start, '\n', available - start);
    const size_t end =
        newline ? static_cast<size_t>(static_cast<const char*>(newline) - text) : available;
    if (IsUuBeginLine(text + start, end - start))
      return true;
    if (!newline)
      break;
    start = end + 1;
  }
  return false;
}

// Full signatures: magic numbers of several bytes, or a header whose CRC holds. Other data passes
// them only by design.
TArcType SignatureAt(const uint8_t* p, size_t available) {
  if (StartsWith(p, available, "PK\3\4", 4) || StartsWith(p, available, "PK\5\6", 4) ||
      StartsWith(p, available, "PK\7\x08", 4))
    return TArcType::atZIP;
  if (IsRarSignature(p, available))
    return TArcType::atRAR;
  if (IsCabHeader(p, available))
    return TArcType::atCAB;
  if (IsArjHeader(p, available))
    return TArcType::atARJ;
  if (IsGzipHeader(p, available))
    return TArcType::atGZip;
  if (IsZooHeader(p, available))
    return TArcType::atZOO;
  return TArcType::atUnknown;
}

// Tests of a few bytes (with at most an 8-bit sum) that ordinary data can pass: the name of a TAR
// archive's first member, for one. They come after the TAR header checksum.
TArcType WeakTypeAt(const uint8_t* p, size_t available) {
  if (IsLhaHeader(p, available))
    return TArcType::atLHA;
  if (const int method = ArcHeaderMethod(p, available))
    return method <= 9 ? TArcType::atARC : TArcType::atPAK;
  if (IsHaHeader(p, available))
    return TArcType::atHA;
  return TArcType::atUnknown;
}

// An ARC member inside an executable must also be followed by another header, so that stray
// bytes of the stub are not taken for one.
bool IsArcChain(TByteSource& source, uint64_t at, const uint8_t* p, size_t available) {
  const int method = ArcHeaderMethod(p, available);
  if (method == 0 || available < 29)
    return false;
  const uint64_t headerSize = method == 1 ? 25 : 29;
  const uint64_t next = at + headerSize + Le32(p + 15);
  uint8_t marker = 0;
  return next < source.Size() && source.ReadExact(next, &marker, 1) && marker == 0x1A;
}

TDetection ScanExecutable(TByteSource& source, int zipCmntBufSize) {
  if (HasZipEnd(source, zipCmntBufSize))
    return {TArcType::atZipExe, 0};
  const uint64_t limit = std::min(source.Size(), ExecutableScanLimit);
  constexpr size_t Chunk = 65536;
  constexpr size_t Overlap = 2600 + 16; // the longest header a check looks at
  std::vector<uint8_t> buffer(Chunk + Overlap);
  for (uint64_t base = 2; base < limit; base += Chunk) {
    const ptrdiff_t got = source.ReadAt(base, buffer.data(), buffer.size());
    if (got <= 0)
      break;
    const size_t count = static_cast<size_t>(got);
    const size_t scan = std::min<size_t>(count, Chunk);
    for (size_t i = 0; i < scan; ++i) {
      const uint8_t* p = buffer.data() + i;
      const size_t available = count - i;
      const uint64_t at = base + i;
      // An LHA header is known by its method at offset 2; it is tested where it would begin, so
      // that one beginning in the last bytes of the block before is not missed.
      if (available > 2 && p[2] == '-' && IsLhaHeader(p, available))
        return {TArcType::atLhaExe, at};
      switch (p[0]) {
      case 'R':
        if (IsRarSignature(p, available))
          return {TArcType::atRarExe, at};
        break;
      case 0x60:
        if (IsArjHeader(p, available))
          return {TArcType::atArjExe, at};
        break;
      case 0x1A:
        if (IsArcChain(source, at, p, available))
          return {ArcHeaderMethod(p, available) <= 9 ? TArcType::atArcExe : TArcType::atPakExe, at};
        break;
      default:
        break;
      }
    }
  }
  return {TArcType::atUnknown, 0};
}

} // namespace

bool IsArjHeader(const uint8_t* p, size_t available) {
  if (available < 8 || p[0] != 0x60 || p[1] != 0xEA)
    return false;
  const size_t size = Le16(p + 2);
  if (size == 0 || size > 2600 || available < 4 + size + 4)
    return false;
  return crc32(0, p + 4, static_cast<uInt>(size)) == Le32(p + 4 + size);
}

bool IsLhaHeader(const uint8_t* p, size_t available) {
  if (available < 22 || p[2] != '-' || p[6] != '-')
    return false;
  const bool methodOk =
      (p[3] == 'l' && (p[4] == 'h' || p[4] == 'z')) || (p[3] == 'p' && p[4] == 'm');
  if (!methodOk)
    return false;
  switch (p[20]) {
  case 0:
  case 1: {
    const size_t size = p[0];
    if (size < 20 || available < 2 + size)
      return false;
    unsigned sum = 0;
    for (size_t i = 2; i < 2 + size; ++i)
      sum += p[i];
    return (sum & 0xFF) == p[1];
  }
  case 2:
    return Le16(p) >= 26;
  case 3:
    return Le16(p) == 4;
  default:
    return false;
  }
}

bool IsTarHeader(const uint8_t* p, size_t available) {
  if (available < 512 || p[0] == 0)
    return false;
  // The checksum field: octal digits, optionally led by blanks, ended by NUL or blank.
  size_t i = 148;
  while (i < 156 && p[i] == ' ')
    ++i;
  uint32_t stored = 0;
  size_t digits = 0;
  while (i < 156 && p[i] >= '0' && p[i] <= '7') {
    stored = stored * 8 + static_cast<uint32_t>(p[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0 || (i < 156 && p[i] != 0 && p[i] != ' '))
    return false;
  uint32_t unsignedSum = 0;
  int32_t signedSum = 0;
  for (size_t k = 0; k < 512; ++k) {
    const uint8_t byte = k >= 148 && k < 156 ? ' ' : p[k];
    unsignedSum += byte;
    signedSum += static_cast<int8_t>(byte);
  }
  return stored == unsignedSum || static_cast<int32_t>(stored) == signedSum;
}

int ArcHeaderMethod(const uint8_t* p, size_t available) {
  if (available < 25 || p[0] != 0x1A || p[1] < 1 || p[1] > 11)
    return 0;
  const uint8_t* name = p + 2;
  size_t length = 0;
  while (length < 13 && name[length] != 0) {
    if (name[length] < 0x20 || name[length] > 0x7E)
      return 0;
    ++length;
  }
  return length > 0 && length < 13 ? p[1] : 0;
}

TDetection DetectArchive(TByteSource& source, int zipCmntBufSize, int maxHeaderLines) {
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(source.Size(), HeadSize)));
  const uint8_t* head = buffer.data();
  const ptrdiff_t got = buffer.empty() ? 0 : source.ReadAt(0, buffer.data(), buffer.size());
  if (got < 0)
    return {TArcType::atFileOpenErr, 0};
  const auto available = static_cast<size_t>(got);
  if (available == 0)
    return {TArcType::atUnknown, 0};
  if (const TArcType type = SignatureAt(head, available); type != TArcType::atUnknown)
    return {type, 0};
  // A 512-byte header with a valid checksum beats every test of a few bytes: a TAR whose first
  // member is named "HA..." or "MZ..." is a TAR.
  if (IsTarHeader(head, available))
    return {TArcType::atTAR, 0};
  if (const TArcType type = WeakTypeAt(head, available); type != TArcType::atUnknown)
    return {type, 0};
  if (StartsWith(head, available, "MZ", 2))
    return ScanExecutable(source, zipCmntBufSize);
  if (HasBeginLine(head, available, maxHeaderLines))
    return {TArcType::atUUE, 0};
  if (HasZipEnd(source, zipCmntBufSize))
    return {TArcType::atZIP, 0};
  return {TArcType::atUnknown, 0};
}

TDetection DetectArchiveFile(const std::string& nativePath, int zipCmntBufSize,
                             int maxHeaderLines) {
  TFileByteSource source(nativePath);
  if (!source.Valid())
    return {TArcType::atFileOpenErr, 0};
  return DetectArchive(source, zipCmntBufSize, maxHeaderLines);
}

} // namespace corvane::archive
